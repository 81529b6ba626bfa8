#include "mainwindow/ExportFlow.h"
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

// Every cell of a record holds its name, so a file shows which records reached it.
const QStringList kNames{"alpha", "bravo", "charlie", "delta"};
const QStringList kCaptions{"ID",          "Group Name",   "Website",       "User ID",       "Password",
                            "Description", "Date Changed", "Prior User ID", "Prior Password"};

// The file an export writes: the button's is the menu's HTMLall.
QString exportFile(QString key) {
    if (key.isEmpty()) key = "HTMLall";
    return ExportFlow::exportFolder() + "/Export" + key + (key.startsWith("HTML") ? ".htm" : ".txt");
}

enum Fault { NoTemplate, NoFolder, NameTaken };

// The ID column is always hidden.
const QSet<int> kAllShown{0};

} // namespace

class ExportFlowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempAppFolder> app_;
    std::unique_ptr<test::ScriptedDesktop> desktop_;
    std::unique_ptr<test::FakeGrid> grid_;

private slots:
    void init() {
        app_ = std::make_unique<test::TempAppFolder>(false);
        desktop_ = std::make_unique<test::ScriptedDesktop>();
        grid_ = std::make_unique<test::FakeGrid>(kCaptions, QList<QStringList>());
        for (const QString& name : kNames)
            grid_->rows.append(QStringList(kCaptions.size(), name));
        grid_->hidden = kAllShown;
        QVERIFY(QDir().mkpath(ExportFlow::exportFolder()));
    }
    void cleanup() {
        QVERIFY2(desktop_->queueEmpty(), "a scripted answer was not asked for");
        grid_.reset();
        desktop_.reset();
        app_.reset();
    }

    // Passwords only from the button, with the option on and accepted; prior columns never. A failure is
    // reported, a deleted Exports folder made again, and the grid shows what it did before.
    void exports_data() {
        QTest::addColumn<QString>("key"); // empty: the button, asking when the option is on
        QTest::addColumn<int>("answer");  // -1: the option is off for the button, on for the menu
        QTest::addColumn<QSet<int>>("hidden");
        QTest::addColumn<int>("fault");       // -1: none
        QTest::addColumn<QString>("written"); // the records in the file, by initial
        QTest::addColumn<QString>("message"); // the failure reported
        QTest::newRow("button, Yes") << "" << int(Answer::Yes) << QSet<int>{0, 4} << -1 << "abcd" << QString();
        QTest::newRow("button, No") << "" << int(Answer::No) << QSet<int>{0, 7, 8} << -1 << "abcd" << QString();
        QTest::newRow("button, option off") << "" << -1 << QSet<int>{0, 8} << -1 << "abcd" << QString();
        QTest::newRow("AsciiAll") << "AsciiAll" << -1 << QSet<int>{0, 4, 8} << -1 << "abcd" << QString();
        QTest::newRow("menu, no folder") << "HTMLselectedRows" << -1 << kAllShown << int(NoFolder) << "bd" << QString();
        const QString error = "Error %1 in procedure Toolbar_Button%2Click of Form frmMain";
        QTest::newRow("button, no template")
            << "" << -1 << kAllShown << int(NoTemplate) << ""
            << "The required KeyvaleTemplate.htm file is missing!\nUninstall Keyvale then reinstall Keyvale or email "
               "QUORLIN, requesting a copy of KeyvaleTemplate.htm.\nIf you decide to reinstall Keyvale, always "
               "backup the database (mdb) and ini (ini) files for safe keeping before starting the reinstall process.";
        QTest::newRow("menu, no template")
            << "HTMLall" << -1 << kAllShown << int(NoTemplate) << "" << error.arg("53 (File not found)", "Menu");
        QTest::newRow("button, file name taken")
            << "" << -1 << kAllShown << int(NameTaken) << "" << error.arg("75 (Path/File access error)", "");
    }
    void exports() {
        QFETCH(QString, key);
        QFETCH(int, answer);
        QFETCH(QSet<int>, hidden);
        QFETCH(int, fault);
        QFETCH(QString, written);
        QFETCH(QString, message);
        gExportPassword = answer >= 0 || !key.isEmpty();
        grid_->hidden = hidden;
        grid_->selected = {1, 3};
        if (answer >= 0) desktop_->answer(Answer(answer));
        if (fault == NoTemplate) {
            QVERIFY(QFile::remove(app_->file("KeyvaleTemplate.htm")));
            QFile earlier(exportFile(key));
            QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier export") > 0);
        }
        if (fault == NoFolder) QVERIFY(QDir(ExportFlow::exportFolder()).removeRecursively());
        if (fault == NameTaken) QVERIFY(QDir().mkpath(exportFile(key))); // a folder the file cannot replace

        ExportFlow flow(*grid_);
        key.isEmpty() ? flow.buttonClick() : flow.menuClick(key);

        QStringList messages = message.isEmpty() ? QStringList() : QStringList{message};
        if (answer >= 0)
            messages.prepend("Warning: The option to included the password in the export process is turned on!\n"
                             "Click 'Yes' if you accept the risk of including the the password field or 'No' to "
                             "exclude the password field.");
        QCOMPARE(desktop_->messages(), messages);
        if (!messages.isEmpty()) {
            QCOMPARE(desktop_->last().title, message.isEmpty() ? "Password Warning" : "");
            QCOMPARE(desktop_->last().buttons, message.isEmpty() ? Buttons::YesNo : Buttons::Ok);
            QCOMPARE(desktop_->last().icon, message.startsWith("Error") ? Icon::None : Icon::Information);
        }
        const QList<int> columns =
            answer == int(Answer::Yes) ? QList<int>{1, 2, 3, 4, 5, 6} : QList<int>{1, 2, 3, 5, 6};
        QCOMPARE(grid_->exportedColumns, QList<QList<int>>(fault == NoFolder ? 2 : 1, columns));
        QCOMPARE(grid_->hidden, hidden);
        const QString contents = QString::fromUtf8(test::fileBytes(exportFile(key)));
        for (const QString& name : kNames)
            QCOMPARE(contents.contains(name), written.contains(name.front()));
        // A failed export leaves the earlier one as it was, with nothing half-written beside it.
        if (fault == NoTemplate) QCOMPARE(contents, "earlier export");
        QCOMPARE(QDir(ExportFlow::exportFolder()).entryList(QDir::Files).size(), fault == NameTaken ? 0 : 1);
    }

    // "Go to Export Folder" makes the folder when it is missing, owner-only (the file names tell what was
    // exported), opens it and leaves the columns shown.
    void gotoExportFolder() {
        QVERIFY(QDir(ExportFlow::exportFolder()).removeRecursively());
        ExportFlow(*grid_).menuClick("GotoExportFolder");
        QVERIFY(QFileInfo(ExportFlow::exportFolder()).isDir());
        // The mode bits for owner, group and others (Qt's "user" bits describe the running process).
        QCOMPARE(QFile::permissions(ExportFlow::exportFolder()) & 0x7077,
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(desktop_->openedFolders, QStringList{ExportFlow::exportFolder()});
        QVERIFY(desktop_->prompts.isEmpty());
        QCOMPARE(grid_->hidden, kAllShown);
    }
};

QTEST_MAIN(ExportFlowTest)
#include "tst_exportflow.moc"
