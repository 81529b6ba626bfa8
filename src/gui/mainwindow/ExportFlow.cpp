#include "mainwindow/ExportFlow.h"

#include "exchange/CsvExport.h"
#include "platform/BusyProgress.h"
#include "platform/CheckedSaveFile.h"
#include "platform/Desktop.h"
#include "platform/Error.h"
#include "access/modKeyvale.h"
#include "store/Options.h"
#include "store/RecordFields.h"
#include "store/modDBstuff.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>

namespace kv {

namespace {

const QString kButtonProcedure = QStringLiteral("Toolbar_ButtonClick of Form frmMain");
const QString kMenuProcedure = QStringLiteral("Toolbar_ButtonMenuClick of Form frmMain");

struct MenuExport {
    const char* key;
    ExportFormat format;
    ExportRows rows;
    const char* file;
};

constexpr std::array kMenuExports{
    MenuExport{"HTMLall", ExportFormat::Html, ExportRows::All, "ExportHTMLall.htm"},
    MenuExport{"HTMLselectedRows", ExportFormat::Html, ExportRows::Selected, "ExportHTMLselectedRows.htm"},
    MenuExport{"HTMLnonSelectedRows", ExportFormat::Html, ExportRows::NotSelected, "ExportHTMLnonSelectedRows.htm"},
    MenuExport{"AsciiAll", ExportFormat::Text, ExportRows::All, "ExportAsciiAll.txt"},
    MenuExport{"AsciiSelectedRows", ExportFormat::Text, ExportRows::Selected, "ExportAsciiSelectedRows.txt"},
    MenuExport{"AsciiNonSelectedRows", ExportFormat::Text, ExportRows::NotSelected, "ExportAsciiNonSelectedRows.txt"},
    MenuExport{"CSVall", ExportFormat::Csv, ExportRows::All, "ExportCSVall.csv"},
    MenuExport{"CSVselectedRows", ExportFormat::Csv, ExportRows::Selected, "ExportCSVselectedRows.csv"},
    MenuExport{"CSVnonSelectedRows", ExportFormat::Csv, ExportRows::NotSelected, "ExportCSVnonSelectedRows.csv"},
};

const QString kGotoExportFolder = QStringLiteral("GotoExportFolder");

QString templatePath() {
    return deliveredFile(gAppPath, QStringLiteral("KeyvaleTemplate.htm"));
}

void showTemplateMissing() {
    desktop().message(QStringLiteral("The required KeyvaleTemplate.htm file is missing!") + QStringLiteral("\n") +
                          QStringLiteral("Uninstall Keyvale then reinstall Keyvale or email QUORLIN, requesting ") +
                          QStringLiteral("a copy of KeyvaleTemplate.htm.") + QStringLiteral("\n") +
                          QStringLiteral("If you decide to reinstall Keyvale, always ") +
                          QStringLiteral("backup the database (mdb) and ini (ini) files for safe keeping before ") +
                          QStringLiteral("starting the reinstall process."),
                      {}, Buttons::Ok, Icon::Information);
}

} // namespace

ExportFlow::ExportFlow(GridOperations& grid) : grid_(grid) {}

QString ExportFlow::exportFolder() {
    return gAppPath + QStringLiteral("Exports");
}

bool ExportFlow::makeExportFolder() {
    const QString folder = exportFolder();
    if (!MakeDirPath(folder)) return false; // it has told the user
    // The names of the files in it tell what the user exported: only the user may list them.
    QFile::setPermissions(folder, kOwnerOnlyFolder);
    return true;
}

void ExportFlow::exportTo(ExportFormat format, ExportRows rows, const QString& file) {
    const QString htmlTemplate = format == ExportFormat::Html ? templatePath() : QString();
    writeExportFile(file, [&](const QString& path, const std::function<bool(qint64)>& progress) {
        return grid_.exportRows(format, rows, path, htmlTemplate, progress);
    });
}

void ExportFlow::exportCsv(ExportRows rows, const QString& file) {
    if (!gRsChildData) throw noObject();
    const bool withPasswords = includePasswords();
    QList<int> selected;
    for (const QVariant& bookmark : grid_.selectedBookmarks())
        selected.append(bookmark.toInt());
    writeExportFile(file, [&](const QString& path, const std::function<bool(qint64)>& progress) {
        return exportCsvRecords(*gRsChildData, rows, selected, withPasswords, path, progress);
    });
}

void ExportFlow::writeExportFile(
    const QString& file, const std::function<bool(const QString&, const std::function<bool(qint64)>&)>& write) {
    const QString path = exportFolder() + QLatin1Char('/') + file;
    const FormOpenHeld holdIdleTimer;
    BusyProgress busy(QApplication::activeWindow(), QStringLiteral("Exporting records..."), grid_.rowCount());
    try {
        write(path, busy.callback());
    } catch (const Error& e) {
        // Only a missing export folder is mended here; when the folder is there the failure has another
        // cause, and the caller reports it rather than letting the export end as if it had worked.
        if (e.number() != err::PathNotFound || QFileInfo(exportFolder()).isDir()) throw;
        if (!makeExportFolder()) return;
        write(path, busy.callback());
    }
}

bool ExportFlow::includePasswords() {
    return gExportPassword &&
           desktop().message(
               QStringLiteral("Warning: The option to included the password in the export process is turned on!") +
                   QStringLiteral("\n") +
                   QStringLiteral("Click 'Yes' if you accept the risk of including the the password field or 'No' "
                                  "to exclude the password field."),
               QStringLiteral("Password Warning"), Buttons::YesNo, Icon::Information) == Answer::Yes;
}

void ExportFlow::buttonClick() {
    const bool includePassword = includePasswords();

    const bool passwordWasVisible = grid_.isColumnVisible(kPasswordColumn);
    if (passwordWasVisible != includePassword) grid_.setColumnVisible(kPasswordColumn, includePassword);
    // Both prior columns are remembered on their own, so that neither reaches the file even when only
    // one of them is shown.
    const bool priorPasswordWasVisible = grid_.isColumnVisible(kPriorPasswordColumn);
    const bool priorUserIdWasVisible = grid_.isColumnVisible(kPriorUserIdColumn);
    if (priorPasswordWasVisible || priorUserIdWasVisible) {
        grid_.setColumnVisible(kPriorPasswordColumn, false);
        grid_.setColumnVisible(kPriorUserIdColumn, false);
    }

    try {
        exportTo(ExportFormat::Html, ExportRows::All, QStringLiteral("ExportHTMLall.htm"));
    } catch (const Error& e) {
        if (e.number() == err::FileNotFound)
            showTemplateMissing();
        else
            reportError(e, kButtonProcedure);
    } catch (const std::exception& e) {
        reportError(e, kButtonProcedure);
    }

    grid_.setColumnVisible(kPasswordColumn, passwordWasVisible);
    grid_.setColumnVisible(kPriorPasswordColumn, priorPasswordWasVisible);
    grid_.setColumnVisible(kPriorUserIdColumn, priorUserIdWasVisible);
}

void ExportFlow::menuClick(const QString& key) {
    const auto entry = std::find_if(kMenuExports.begin(), kMenuExports.end(),
                                    [&](const MenuExport& e) { return key == QLatin1String(e.key); });
    const bool gotoFolder = key == kGotoExportFolder;
    if (entry == kMenuExports.end() && !gotoFolder) return;
    if (!gotoFolder && entry->format == ExportFormat::Csv) {
        // The CSV file is read from the records themselves, so the grid's columns stay as they are.
        try {
            exportCsv(entry->rows, QString::fromLatin1(entry->file));
        } catch (const std::exception& e) {
            reportError(e, kMenuProcedure);
        }
        return;
    }

    // The menu never exports password material, whatever the options say.
    const bool passwordHidden = grid_.isColumnVisible(kPasswordColumn);
    if (passwordHidden) grid_.setColumnVisible(kPasswordColumn, false);
    const bool priorPasswordHidden = grid_.isColumnVisible(kPriorPasswordColumn);
    const bool priorUserIdHidden = grid_.isColumnVisible(kPriorUserIdColumn);
    if (priorPasswordHidden || priorUserIdHidden) {
        grid_.setColumnVisible(kPriorPasswordColumn, false);
        grid_.setColumnVisible(kPriorUserIdColumn, false);
    }
    const auto restore = [&] {
        if (passwordHidden) grid_.setColumnVisible(kPasswordColumn, true);
        if (priorPasswordHidden) grid_.setColumnVisible(kPriorPasswordColumn, true);
        if (priorUserIdHidden) grid_.setColumnVisible(kPriorUserIdColumn, true);
    };

    if (gotoFolder) {
        restore();
        const QString folder = exportFolder();
        if (!QFileInfo(folder).isDir() && !makeExportFolder()) return;
        desktop().openFolder(folder);
        return;
    }

    try {
        exportTo(entry->format, entry->rows, QString::fromLatin1(entry->file));
    } catch (const std::exception& e) {
        reportError(e, kMenuProcedure);
    }
    restore();
}

} // namespace kv
