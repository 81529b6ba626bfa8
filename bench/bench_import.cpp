// The imports at scale: a 4.x data file of many records into a database of as many, and a tenth of another
// database's records selected in the import window and imported; with the process's peak memory.

#include "BenchSupport.h"

#include "exchange/ImportRun.h"
#include "exchange/OldKeyvaleFile.h"
#include "tools/frmImportSelect.h"
#include "grid/RecordsGrid.h"
#include "mainwindow/frmMain.h"
#include "access/modKeyvale.h"
#include "store/Cipher.h"
#include "store/DateText.h"
#include "store/Schema.h"
#include "store/modDBstuff.h"
#include "support/OldKeyvaleWriter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableView>
#include <memory>

namespace kv::bench {
namespace {

// The main window's lists and grid read again, as after an import.
void reload(frmMain& form) {
    gInitializeGroupNameCombo();
    form.UpdateComboGroupName();
}

int measureImport4x(const QString& folder, int records) {
    QList<test::OldLogOn> logOns;
    for (int r = 0; r < records; ++r)
        logOns.append({QStringLiteral("www.site%1.example.com").arg(r), QStringLiteral("user%1").arg(r),
                       QStringLiteral("pw%1").arg(r), r % 10 == 0});
    if (!test::writeOldKeyvaleFile(QDir(folder).filePath(QStringLiteral("keyvale")), QStringLiteral("OLD"), logOns))
        return 1;
    OpenedDatabase opened(folder);
    auto form = std::make_unique<frmMain>();
    form->show();
    QApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    QFile device(oldKeyvaleFile(gDataFolder));
    if (!device.open(QIODevice::ReadOnly)) return 1;
    const ImportRun run = importOldRecords(OldKeyvaleFile(device), *gDBConnection, storedDateNow());
    reload(*form);
    QApplication::processEvents();
    report("import_4x", records, timer.nsecsElapsed() / 1e9, "s");
    if (run.imported != records || run.error) {
        std::fprintf(stderr, "imported %d of %d records\n", run.imported, records);
        return 1;
    }
    report("peak_rss", records, peakRssMegabytes(), "MB");
    return 0;
}

int measureImportSelected(const QString& folder, int records) {
    // `folder` holds the other database; the open one starts empty.
    sql::Connection::open(databaseFile(folder), kDatabasePassword)
        ->execute(QStringLiteral("INSERT INTO tblPassword (Password) VALUES (?)"),
                  {encipherField(QStringLiteral("PW"))});
    const QString openFolder = QDir(folder).filePath(QStringLiteral("open"));
    QDir().mkpath(openFolder);
    createDeliveredDatabase(databaseFile(openFolder));
    OpenedDatabase opened(openFolder);
    opened.desktop.yesNoAnswer = Answer::Yes;
    opened.desktop.folderAnswer = folder;
    auto form = std::make_unique<frmMain>();
    form->show();

    frmImportSelect window(form->viewFlags(),
                           {[&](const QString& text) { form->setStatusText(text); }, [] { return QString(); },
                            [&](const QString&) { reload(*form); }},
                           form.get());
    window.show();
    QElapsedTimer timer;
    timer.start();
    window.btnGetKeyvaleImportPath_Click();
    window.findChild<QLineEdit*>(QStringLiteral("txtPassword"))->setText(QStringLiteral("pw"));
    window.btnGetData_Click();
    QApplication::processEvents();
    report("import_select_open", records, timer.nsecsElapsed() / 1e9, "s");

    const int selected = records / 10;
    QTableView* view = window.grid()->view();
    view->selectionModel()->select(QItemSelection(view->model()->index(0, 0),
                                                  view->model()->index(selected - 1, view->model()->columnCount() - 1)),
                                   QItemSelectionModel::ClearAndSelect);
    timer.restart();
    window.btnImport_Click();
    QApplication::processEvents();
    report("import_selected", selected, timer.nsecsElapsed() / 1e9, "s");
    if (gRsChildData->recordCount() != selected) {
        std::fprintf(stderr, "the open database holds %d records, not %d\n", gRsChildData->recordCount(), selected);
        return 1;
    }
    report("peak_rss", records, peakRssMegabytes(), "MB");
    return 0;
}

} // namespace

KV_BENCH_SUITE("import_4x", {10000}, measureImport4x);
KV_BENCH_SUITE("import_selected", {100000}, measureImportSelected);

} // namespace kv::bench
