// keyvale_gui
#include "mainwindow/ExportFlow.h"
#include "startup/modKeyvale.h"
#include "store/Options.h"
#include "support/FakeGrid.h"
#include "support/ScriptedDesktop.h"
#include "support/TempAppFolder.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <memory>

using namespace kv;

namespace {

const QStringList kCaptions{"ID",          "Group Name",   "Website",       "User ID",       "Password",
                            "Description", "Date Changed", "Prior User ID", "Prior Password"};

// Every cell names its row, so a file shows which rows and columns reached it.
QList<QStringList> records() {
    QList<QStringList> rows;
    for (const QString n : {"alpha", "bravo", "charlie", "delta"})
        rows.append({n + "-id", n + "-group", n + ".example", n + "-user", n + "-secret", n + "-notes", n + "-date",
                     n + "-olduser", n + "-oldsecret"});
    return rows;
}

// The file an export writes: the button's is the menu's HTMLall.
QString exportFile(QString key) {
    if (key.isEmpty()) key = "HTMLall";
    return ExportFlow::exportFolder() + "/Export" + key + (key.startsWith("HTML") ? ".htm" : ".txt");
}

QString readUtf8(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

enum Fault { NoTemplate, NoFolder, NameTaken };

// The ID column is always hidden.
const QSet<int> kAllShown{0}, kOnlyPriorUserShown{0, 4, 8};

const QString kTemplateMissing = QStringLiteral(
    "The required KeyvaleTemplate.htm file is missing!\nUninstall Keyvale then reinstall Keyvale or email QUORLIN, "
    "requesting a copy of KeyvaleTemplate.htm.\nIf you decide to reinstall Keyvale, always backup the database "
    "(mdb) and ini (ini) files for safe keeping before starting the reinstall process.");

const QString kPasswordWarning = QStringLiteral(
    "Warning: The option to included the password in the export process is turned on!\nClick 'Yes' if you accept "
    "the risk of including the the password field or 'No' to exclude the password field.");

} // namespace

class ExportFlowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempAppFolder> app_;
    std::unique_ptr<test::ScriptedDesktop> desktop_;
    std::unique_ptr<test::FakeGrid> grid_;

    // The button itself when `key` is empty, else the menu's entry.
    void click(const QString& key) {
        ExportFlow flow(*grid_);
        key.isEmpty() ? flow.buttonClick() : flow.menuClick(key);
    }

private slots:
    void init() {
        app_ = std::make_unique<test::TempAppFolder>(false);
        desktop_ = std::make_unique<test::ScriptedDesktop>();
        grid_ = std::make_unique<test::FakeGrid>(kCaptions, records());
        grid_->hidden = kAllShown;
        // As after the first export; failures covers the folder's absence.
        QVERIFY(QDir().mkpath(ExportFlow::exportFolder()));
    }
    void cleanup() {
        QVERIFY2(desktop_->queueEmpty(), "a scripted answer was not asked for");
        grid_.reset();
        desktop_.reset();
        app_.reset();
    }

    // The button exports every row, with the passwords only when the option is on and the user accepts;
    // the menu's exports write their own file and rows and never the passwords, even with the option on.
    // Neither exports the prior columns, even when only one of them is shown, and afterwards the grid
    // shows what it showed before.
    void exports_data() {
        QTest::addColumn<QString>("key"); // empty: the button, asking when the option is on
        QTest::addColumn<int>("answer");  // -1: the option is off for the button, on for the menu
        QTest::addColumn<QSet<int>>("hidden");
        QTest::addColumn<QString>("written"); // the records in the file, by initial
        QTest::newRow("button, option off") << "" << -1 << kAllShown << "abcd";
        QTest::newRow("button, Yes") << "" << int(Answer::Yes) << QSet<int>{0, 4} << "abcd";
        QTest::newRow("button, No") << "" << int(Answer::No) << QSet<int>{0, 7, 8} << "abcd";
        QTest::newRow("button, only Prior User ID shown") << "" << -1 << kOnlyPriorUserShown << "abcd";
        QTest::newRow("HTMLall") << "HTMLall" << -1 << kAllShown << "abcd";
        QTest::newRow("HTMLselectedRows") << "HTMLselectedRows" << -1 << kAllShown << "bd";
        QTest::newRow("HTMLnonSelectedRows") << "HTMLnonSelectedRows" << -1 << kAllShown << "ac";
        QTest::newRow("AsciiAll") << "AsciiAll" << -1 << kOnlyPriorUserShown << "abcd";
        QTest::newRow("AsciiSelectedRows") << "AsciiSelectedRows" << -1 << kAllShown << "bd";
        QTest::newRow("AsciiNonSelectedRows") << "AsciiNonSelectedRows" << -1 << kAllShown << "ac";
    }
    void exports() {
        QFETCH(QString, key);
        QFETCH(int, answer);
        QFETCH(QSet<int>, hidden);
        QFETCH(QString, written);
        const bool withPassword = answer == int(Answer::Yes);
        gExportPassword = answer >= 0 || !key.isEmpty();
        grid_->hidden = hidden;
        grid_->selected = {1, 3};
        if (answer >= 0) desktop_->answer(Answer(answer));

        click(key);

        QCOMPARE(desktop_->prompts.size(), answer >= 0 ? 1 : 0);
        if (answer >= 0) {
            QCOMPARE(desktop_->last().text, kPasswordWarning);
            QCOMPARE(desktop_->last().title, "Password Warning");
            QCOMPARE(desktop_->last().buttons, Buttons::YesNo);
            QCOMPARE(desktop_->last().icon, Icon::Information);
        }
        const QList<int> exported = withPassword ? QList<int>{1, 2, 3, 4, 5, 6} : QList<int>{1, 2, 3, 5, 6};
        QCOMPARE(grid_->exportedColumns, QList<QList<int>>{exported});
        QCOMPARE(grid_->hidden, hidden);
        QCOMPARE(QDir(ExportFlow::exportFolder()).entryList(QDir::Files),
                 QStringList{QFileInfo(exportFile(key)).fileName()});
        const QString contents = readUtf8(exportFile(key));
        QVERIFY(contents.contains("Group Name"));
        for (const QStringList& record : records())
            QCOMPARE(contents.contains(record[2]), written.contains(record[2].front()));
        QCOMPARE(contents.contains("bravo-secret"), withPassword);
        QCOMPARE(contents.contains("Password"), withPassword);
        QVERIFY(!contents.contains("-old"));
    }

    // When an export cannot be written: a missing template is explained by the button and shown as the
    // plain error by the menu; a deleted Exports folder is made again and the export goes ahead without
    // a word; any other failure is reported with the procedure it happened in. The columns come back.
    void failures_data() {
        QTest::addColumn<QString>("key"); // empty: the button
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("message"); // empty: the export is written
        QTest::addColumn<int>("icon");
        const QString error = "Error %1 in procedure Toolbar_Button%2Click of Form frmMain";
        const QString accessError = error.arg("75 (Path/File access error)");
        const int none = int(Icon::None);
        QTest::newRow("button, no template") << "" << int(NoTemplate) << kTemplateMissing << int(Icon::Information);
        QTest::newRow("menu, no template")
            << "HTMLall" << int(NoTemplate) << error.arg("53 (File not found)", "Menu") << none;
        QTest::newRow("menu, no folder") << "HTMLselectedRows" << int(NoFolder) << QString() << none;
        QTest::newRow("button, file name taken") << "" << int(NameTaken) << accessError.arg("") << none;
        QTest::newRow("menu, file name taken")
            << "AsciiSelectedRows" << int(NameTaken) << accessError.arg("Menu") << none;
    }
    void failures() {
        QFETCH(QString, key);
        QFETCH(int, fault);
        QFETCH(QString, message);
        QFETCH(int, icon);
        if (fault == NoTemplate) {
            QVERIFY(QFile::remove(app_->file("KeyvaleTemplate.htm")));
            QFile earlier(exportFile(key));
            QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier export") > 0);
        } else if (fault == NoFolder) {
            QVERIFY(QDir(ExportFlow::exportFolder()).removeRecursively());
        } else { // a folder standing where the file should go cannot be replaced by the export
            QVERIFY(QDir().mkpath(exportFile(key)));
        }
        grid_->selected = {2};

        click(key);

        QCOMPARE(desktop_->messages(), message.isEmpty() ? QStringList() : QStringList{message});
        if (!message.isEmpty()) {
            QCOMPARE(desktop_->last().title, QString());
            QCOMPARE(desktop_->last().buttons, Buttons::Ok);
            QCOMPARE(int(desktop_->last().icon), icon);
        }
        QCOMPARE(readUtf8(exportFile(key)).contains("charlie.example"), message.isEmpty());
        // A failed export leaves the earlier one as it was, with nothing half-written beside it.
        if (fault == NoTemplate) QCOMPARE(readUtf8(exportFile(key)), "earlier export");
        QCOMPARE(QDir(ExportFlow::exportFolder()).entryList(QDir::Files).size(), fault == NameTaken ? 0 : 1);
        QCOMPARE(grid_->hidden, kAllShown);
    }

    // "Go to Export Folder" puts the columns back, makes the folder when it is missing and opens it in
    // the file manager.
    void gotoExportFolder() {
        QVERIFY(QDir(ExportFlow::exportFolder()).removeRecursively());
        ExportFlow(*grid_).menuClick("GotoExportFolder");
        QVERIFY(desktop_->prompts.isEmpty());
        QVERIFY(QFileInfo(ExportFlow::exportFolder()).isDir());
        QCOMPARE(desktop_->openedFolders, QStringList{ExportFlow::exportFolder()});
        QVERIFY(desktop_->started.isEmpty());
        QVERIFY(grid_->exportedColumns.isEmpty());
        QCOMPARE(grid_->hidden, kAllShown);
    }
};

QTEST_MAIN(ExportFlowTest)
#include "tst_exportflow.moc"
