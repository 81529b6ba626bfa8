// keyvale_gui
#include "mainwindow/ExportFlow.h"
#include "platform/Error.h"
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
using test::FakeGrid;

namespace {

const QStringList kCaptions{
    QStringLiteral("ID"),           QStringLiteral("Group Name"),    QStringLiteral("Website"),
    QStringLiteral("User ID"),      QStringLiteral("Password"),      QStringLiteral("Description"),
    QStringLiteral("Date Changed"), QStringLiteral("Prior User ID"), QStringLiteral("Prior Password")};

// Every cell names its row, so a file shows which rows and columns reached it.
QList<QStringList> records() {
    QList<QStringList> rows;
    for (const char* name : {"alpha", "bravo", "charlie", "delta"}) {
        const QString n = QString::fromLatin1(name);
        rows.append({n + QStringLiteral("-id"), n + QStringLiteral("-group"), n + QStringLiteral(".example"),
                     n + QStringLiteral("-user"), n + QStringLiteral("-secret"), n + QStringLiteral("-notes"),
                     n + QStringLiteral("-date"), n + QStringLiteral("-olduser"), n + QStringLiteral("-oldsecret")});
    }
    return rows;
}

QSet<int> hiddenColumns(bool passwordShown, bool priorUserShown, bool priorPasswordShown) {
    QSet<int> hidden{0};
    if (!passwordShown) hidden.insert(4);
    if (!priorUserShown) hidden.insert(7);
    if (!priorPasswordShown) hidden.insert(8);
    return hidden;
}

QString readUtf8(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QString exportFile(const QString& name) {
    return ExportFlow::exportFolder() + QLatin1Char('/') + name;
}

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
    std::unique_ptr<FakeGrid> grid_;

private slots:
    void init() {
        app_ = std::make_unique<test::TempAppFolder>(false);
        desktop_ = std::make_unique<test::ScriptedDesktop>();
        grid_ = std::make_unique<FakeGrid>(kCaptions, records());
        grid_->hidden = {0};
        // As after the first export; exportFolderRecreated covers the folder's absence.
        QVERIFY(QDir().mkpath(ExportFlow::exportFolder()));
    }
    void cleanup() {
        QVERIFY2(desktop_->queueEmpty(), "a scripted answer was not asked for");
        grid_.reset();
        desktop_.reset();
        app_.reset();
    }

    // The button exports the passwords only when the option is on and the user accepts; the prior
    // columns never. Afterwards the grid shows what it showed before, set back in a fixed order.
    void buttonColumns_data() {
        QTest::addColumn<bool>("option");
        QTest::addColumn<int>("answer"); // -1: no question expected
        QTest::addColumn<bool>("passwordShown");
        QTest::addColumn<bool>("priorUserShown");
        QTest::addColumn<bool>("priorPasswordShown");
        QTest::addColumn<QList<int>>("exported");
        QTest::addColumn<QStringList>("log");
        const QList<int> withoutPassword{1, 2, 3, 5, 6};
        const QList<int> withPassword{1, 2, 3, 4, 5, 6};
        QTest::newRow("option off, everything shown") << false << -1 << true << true << true << withoutPassword
                                                      << QStringList{"-4", "-8", "-7", "+4", "+8", "+7"};
        QTest::newRow("option off, everything hidden")
            << false << -1 << false << false << false << withoutPassword << QStringList{"-4", "-8", "-7"};
        QTest::newRow("option on, Yes, password column hidden") << true << int(Answer::Yes) << false << false << false
                                                                << withPassword << QStringList{"+4", "-4", "-8", "-7"};
        QTest::newRow("option on, Yes, everything shown") << true << int(Answer::Yes) << true << true << true
                                                          << withPassword << QStringList{"-8", "-7", "+4", "+8", "+7"};
        QTest::newRow("option on, No, password column shown") << true << int(Answer::No) << true << false << false
                                                              << withoutPassword << QStringList{"-4", "+4", "-8", "-7"};
        QTest::newRow("only Prior User ID shown")
            << false << -1 << false << true << false << withoutPassword << QStringList{"-8", "-7", "-4", "-8", "+7"};
    }
    void buttonColumns() {
        QFETCH(bool, option);
        QFETCH(int, answer);
        QFETCH(bool, passwordShown);
        QFETCH(bool, priorUserShown);
        QFETCH(bool, priorPasswordShown);
        QFETCH(QList<int>, exported);
        QFETCH(QStringList, log);
        gExportPassword = option;
        grid_->hidden = hiddenColumns(passwordShown, priorUserShown, priorPasswordShown);
        const QSet<int> before = grid_->hidden;
        if (answer >= 0) desktop_->answer(Answer(answer));

        ExportFlow(*grid_).buttonClick();

        if (answer >= 0) {
            QCOMPARE(desktop_->prompts.size(), 1);
            const test::Prompt asked = desktop_->last();
            QCOMPARE(asked.text, kPasswordWarning);
            QCOMPARE(asked.title, QStringLiteral("Password Warning"));
            QCOMPARE(asked.buttons, Buttons::YesNo);
            QCOMPARE(asked.icon, Icon::Information);
        } else {
            QVERIFY(desktop_->prompts.isEmpty());
        }
        QCOMPARE(grid_->exportedColumns, QList<QList<int>>{exported});
        QCOMPARE(grid_->hidden, before);
        QCOMPARE(grid_->visibilityLog, log);

        const QString page = readUtf8(exportFile(QStringLiteral("ExportHTMLall.htm")));
        QVERIFY(page.contains(QLatin1String(">delta.example</td>")));
        QCOMPARE(page.contains(QLatin1String("alpha-secret")), exported.contains(4));
        QVERIFY(!page.contains(QLatin1String("-olduser")));
        QVERIFY(!page.contains(QLatin1String("-oldsecret")));
    }

    // The menu's exports: their files, their rows, and never any password material, even with every
    // column shown and the option on.
    void menuExports_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("written");
        QTest::addColumn<QStringList>("left");
        const QStringList all{"alpha", "bravo", "charlie", "delta"};
        const QStringList selected{"bravo", "delta"};
        const QStringList other{"alpha", "charlie"};
        QTest::newRow("HTMLall") << "HTMLall"
                                 << "ExportHTMLall.htm" << all << QStringList();
        QTest::newRow("HTMLselectedRows") << "HTMLselectedRows"
                                          << "ExportHTMLselectedRows.htm" << selected << other;
        QTest::newRow("HTMLnonSelectedRows") << "HTMLnonSelectedRows"
                                             << "ExportHTMLnonSelectedRows.htm" << other << selected;
        QTest::newRow("AsciiAll") << "AsciiAll"
                                  << "ExportAsciiAll.txt" << all << QStringList();
        QTest::newRow("AsciiSelectedRows") << "AsciiSelectedRows"
                                           << "ExportAsciiSelectedRows.txt" << selected << other;
        QTest::newRow("AsciiNonSelectedRows") << "AsciiNonSelectedRows"
                                              << "ExportAsciiNonSelectedRows.txt" << other << selected;
    }
    void menuExports() {
        QFETCH(QString, key);
        QFETCH(QString, file);
        QFETCH(QStringList, written);
        QFETCH(QStringList, left);
        gExportPassword = true;
        grid_->hidden = hiddenColumns(true, true, true);
        grid_->selected = {1, 3};

        ExportFlow(*grid_).menuClick(key);

        QVERIFY(desktop_->prompts.isEmpty());
        QCOMPARE(grid_->exportedColumns, (QList<QList<int>>{{1, 2, 3, 5, 6}}));
        QCOMPARE(grid_->visibilityLog, (QStringList{"-4", "-8", "-7", "+4", "+8", "+7"}));
        QCOMPARE(grid_->hidden, QSet<int>{0});
        QCOMPARE(QDir(ExportFlow::exportFolder()).entryList(QDir::Files), QStringList{file});
        const QString contents = readUtf8(exportFile(file));
        QVERIFY(contents.contains(QLatin1String("Group Name")));
        for (const QString& name : written)
            QVERIFY2(contents.contains(name + ".example"), qPrintable(name));
        for (const QString& name : left)
            QVERIFY2(!contents.contains(name + ".example"), qPrintable(name));
        QVERIFY(!contents.contains(QLatin1String("secret")));
        QVERIFY(!contents.contains(QLatin1String("olduser")));
        QVERIFY(!contents.contains(QLatin1String("Password")));
    }

    // The menu puts back only what it hid.
    void menuRestoresWhatItHid() {
        grid_->hidden = hiddenColumns(false, true, false);
        ExportFlow(*grid_).menuClick(QStringLiteral("AsciiAll"));
        QCOMPARE(grid_->exportedColumns, (QList<QList<int>>{{1, 2, 3, 5, 6}}));
        QCOMPARE(grid_->visibilityLog, (QStringList{"-8", "-7", "+7"}));
        QCOMPARE(grid_->hidden, hiddenColumns(false, true, false));
    }

    // A missing template: the button explains what to do, the menu shows the plain error; no file is
    // written and the columns look as before.
    void missingTemplate_data() {
        QTest::addColumn<QString>("key"); // empty: the button itself
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("icon");
        QTest::newRow("button") << QString() << kTemplateMissing << int(Icon::Information);
        const QString menuError =
            QStringLiteral("Error 53 (File not found) in procedure Toolbar_ButtonMenuClick of Form frmMain");
        QTest::newRow("HTML File") << "HTMLall" << menuError << int(Icon::None);
        QTest::newRow("HTML - Non Selected Rows") << "HTMLnonSelectedRows" << menuError << int(Icon::None);
    }
    void missingTemplate() {
        QFETCH(QString, key);
        QFETCH(QString, message);
        QFETCH(int, icon);
        QVERIFY(QFile::remove(app_->file(QStringLiteral("KeyvaleTemplate.htm"))));
        grid_->hidden = hiddenColumns(true, true, true);

        ExportFlow flow(*grid_);
        key.isEmpty() ? flow.buttonClick() : flow.menuClick(key);

        QCOMPARE(desktop_->messages(), QStringList{message});
        const test::Prompt shown = desktop_->last();
        QCOMPARE(shown.title, QString());
        QCOMPARE(shown.buttons, Buttons::Ok);
        QCOMPARE(int(shown.icon), icon);
        QCOMPARE(grid_->hidden, QSet<int>{0});
        QVERIFY(!QDir(ExportFlow::exportFolder()).exists() || QDir(ExportFlow::exportFolder()).isEmpty());
    }

    // A deleted Exports folder is made again and the export goes ahead without a word.
    void exportFolderRecreated_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("file");
        QTest::newRow("button") << QString() << "ExportHTMLall.htm";
        QTest::newRow("ASCII File") << "AsciiAll"
                                    << "ExportAsciiAll.txt";
        QTest::newRow("HTML - Selected Rows") << "HTMLselectedRows"
                                              << "ExportHTMLselectedRows.htm";
    }
    void exportFolderRecreated() {
        QFETCH(QString, key);
        QFETCH(QString, file);
        QVERIFY(QDir(ExportFlow::exportFolder()).removeRecursively());
        grid_->selected = {2};

        ExportFlow flow(*grid_);
        key.isEmpty() ? flow.buttonClick() : flow.menuClick(key);

        QVERIFY(desktop_->prompts.isEmpty());
        QVERIFY(QFileInfo(exportFile(file)).isFile());
        QVERIFY(readUtf8(exportFile(file)).contains(QLatin1String("charlie.example")));
        QCOMPARE(grid_->hidden, QSet<int>{0});
    }

    // Any other failure is reported with the procedure it happened in, and the columns come back.
    void otherFailure_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("button") << QString() << "ExportHTMLall.htm"
                                << "Error 75 (Path/File access error) in procedure Toolbar_ButtonClick of Form frmMain";
        QTest::newRow("ASCII - Selected Rows")
            << "AsciiSelectedRows"
            << "ExportAsciiSelectedRows.txt"
            << "Error 75 (Path/File access error) in procedure Toolbar_ButtonMenuClick of Form frmMain";
    }
    void otherFailure() {
        QFETCH(QString, key);
        QFETCH(QString, file);
        QFETCH(QString, message);
        // A folder standing where the file should go cannot be replaced by the export.
        QVERIFY(QDir().mkpath(exportFile(file)));
        grid_->hidden = hiddenColumns(true, true, true);

        ExportFlow flow(*grid_);
        key.isEmpty() ? flow.buttonClick() : flow.menuClick(key);

        QCOMPARE(desktop_->messages(), QStringList{message});
        QCOMPARE(desktop_->last().buttons, Buttons::Ok);
        QCOMPARE(desktop_->last().icon, Icon::None);
        QCOMPARE(grid_->hidden, QSet<int>{0});
    }

    // "Go to Export Folder" puts the columns back, makes the folder when it is missing and opens it in
    // the file manager.
    void gotoExportFolder_data() {
        QTest::addColumn<bool>("folderExists");
        QTest::newRow("folder there") << true;
        QTest::newRow("folder missing") << false;
    }
    void gotoExportFolder() {
        QFETCH(bool, folderExists);
        if (!folderExists) QVERIFY(QDir(ExportFlow::exportFolder()).removeRecursively());
        grid_->hidden = hiddenColumns(true, true, true);

        ExportFlow(*grid_).menuClick(QStringLiteral("GotoExportFolder"));

        QVERIFY(desktop_->prompts.isEmpty());
        QCOMPARE(ExportFlow::exportFolder(), gAppPath + QStringLiteral("Exports"));
        QVERIFY(QFileInfo(ExportFlow::exportFolder()).isDir());
        QCOMPARE(desktop_->openedFolders, QStringList{ExportFlow::exportFolder()});
        QVERIFY(desktop_->started.isEmpty());
        QVERIFY(grid_->exportedColumns.isEmpty());
        QCOMPARE(grid_->visibilityLog, (QStringList{"-4", "-8", "-7", "+4", "+8", "+7"}));
        QCOMPARE(grid_->hidden, QSet<int>{0});
    }
};

QTEST_MAIN(ExportFlowTest)
#include "tst_exportflow.moc"
