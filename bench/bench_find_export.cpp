// Find and export at scale, through the main window as a user runs them, beside one plain read of every
// record (the floor any command that looks at all records stands on). Each export runs in a process of its
// own, so that its peak memory is its own.

#include "BenchSupport.h"

#include "access/Protection.h"
#include "grid/RecordsGrid.h"
#include "mainwindow/MainToolbar.h"
#include "mainwindow/frmMain.h"
#include "store/Sqlite.h"
#include "store/modDBstuff.h"
#include "tools/frmFind.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

namespace kv::bench {
namespace {

const std::vector<int> kSizes{1000, 10000, 100000, 1000000};

// Gives every record a date of its own, as records saved one by one have (the built database dates them
// all alike), and makes the window read them again.
void ownDates(frmMain& form) {
    gDBConnection->execute(
        QStringLiteral("UPDATE tblChildData SET DateChanged = "
                       "strftime('%Y-%m-%d %H:%M:%S', '2020-01-01', '+' || (rowid * 7) || ' minutes')"));
    form.UpdateComboGroupName();
}

// The records as they were built, dated alike again, then protected (the key made cheaply: only reading
// the records counts here), and the window reading them again; false when that failed.
bool protectAsBuilt(frmMain& form) {
    gDBConnection->execute(QStringLiteral("UPDATE tblChildData SET DateChanged = ?"), {kBuiltDate});
    giveMasterPassword();
    setKdfParams({1, 8192});
    const bool done = setProtected(true) >= 0;
    form.UpdateComboGroupName();
    return done;
}

std::unique_ptr<frmMain> openMainWindow() {
    auto form = std::make_unique<frmMain>();
    form->show();
    QApplication::processEvents();
    return form;
}

int measureFind(const QString& folder, int records) {
    OpenedDatabase opened(folder);
    report("plain_scan", records, plainScanSeconds(), "s");
    auto form = openMainWindow();
    frmFind find(*form->grid(), form.get());
    find.show();
    const auto search = [&](const char* measure, const QString& field, bool anyPart) {
        find.findChild<QComboBox*>(QStringLiteral("cmbFieldToLookIn"))->setEditText(field);
        find.findChild<QLineEdit*>(QStringLiteral("txtFindContent"))->setText(QStringLiteral("zzqx nowhere"));
        find.findChild<QCheckBox*>(QStringLiteral("chkAnyPartOfField"))->setChecked(anyPart);
        QElapsedTimer timer;
        timer.start();
        find.btnFind_Click();
        report(measure, records, timer.nsecsElapsed() / 1e9, "s");
    };
    search("find_miss_one_field", QStringLiteral("Group Name"), false);
    search("find_miss_all_fields", QStringLiteral("All Fields"), false);
    search("find_any_part_miss_all_fields", QStringLiteral("All Fields"), true);
    ownDates(*form);
    search("find_miss_all_fields_own_dates", QStringLiteral("All Fields"), false);
    const auto onLastRow = [&] {
        if (form->grid()->currentRow() == records - 1) return true;
        std::fprintf(stderr, "find left the grid on row %d, not on the last\n", form->grid()->currentRow());
        return false;
    };
    if (!onLastRow() || !protectAsBuilt(*form)) return 1;
    report("plain_scan_protected", records, plainScanSeconds(), "s");
    search("find_miss_all_fields_protected", QStringLiteral("All Fields"), false);
    return onLastRow() ? 0 : 1;
}

int measureExport(const char* measure, const char* menuKey, const char* file, const QString& folder, int records) {
    // The delivered template lies in the build folder, one up from this program.
    QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/../KeyvaleTemplate.htm"),
                folder + QStringLiteral("/KeyvaleTemplate.htm"));
    OpenedDatabase opened(folder);
    report("plain_scan", records, plainScanSeconds(), "s");
    auto form = openMainWindow();
    const QString rssBefore = QStringLiteral("%1_rss_before").arg(QLatin1String(measure));
    report(qPrintable(rssBefore), records, peakRssMegabytes(), "MB");
    QElapsedTimer timer;
    timer.start();
    form->toolbar()->Toolbar_ButtonMenuClick(QLatin1String(menuKey));
    report(measure, records, timer.nsecsElapsed() / 1e9, "s");
    report(qPrintable(QStringLiteral("%1_peak_rss").arg(QLatin1String(measure))), records, peakRssMegabytes(), "MB");
    const QFileInfo written(folder + QStringLiteral("/Exports/") + QLatin1String(file));
    if (!written.isFile() || written.size() < records * 40) {
        std::fprintf(stderr, "the export wrote %lld bytes\n", written.size());
        return 1;
    }
    ownDates(*form);
    timer.restart();
    form->toolbar()->Toolbar_ButtonMenuClick(QLatin1String(menuKey));
    report(qPrintable(QStringLiteral("%1_own_dates").arg(QLatin1String(measure))), records, timer.nsecsElapsed() / 1e9,
           "s");
    if (!protectAsBuilt(*form)) return 1;
    timer.restart();
    form->toolbar()->Toolbar_ButtonMenuClick(QLatin1String(menuKey));
    report(qPrintable(QStringLiteral("%1_protected").arg(QLatin1String(measure))), records, timer.nsecsElapsed() / 1e9,
           "s");
    return 0;
}

} // namespace

KV_BENCH_SUITE("find", kSizes, measureFind);
KV_BENCH_SUITE("export_html", kSizes, [](const QString& folder, int records) {
    return measureExport("export_html_all", "HTMLall", "ExportHTMLall.htm", folder, records);
});
KV_BENCH_SUITE("export_text", kSizes, [](const QString& folder, int records) {
    return measureExport("export_text_all", "AsciiAll", "ExportAsciiAll.txt", folder, records);
});

} // namespace kv::bench
