#include "startup/Main.h"
#include "access/ProfileFile.h"
#include "platform/WidgetRoutines.h"
#include "access/modKeyvale.h"
#include "store/Sqlite.h"
#include "store/modDBstuff.h"
#include "support/ScriptedDesktop.h"
#include "support/TempAppFolder.h"
#include "support/TestClock.h"
#include "platform/HelpViewer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>

using namespace kv;
using namespace kv::test;

namespace {
const QString kIniQuestion = QStringLiteral(
    "Error#: 75 - Path/File access error.  Error Reading the INI File, it could be corrupted.\nDo you want to delete "
    "the application's INI file?\n\nThe application INI file contains option settings but a new INI file with "
    "default settings will be created the next time Keyvale starts.");
} // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    // The data folder as read from the settings file; when there is none, the program folder is written
    // into it, on its one line, keeping the rest of the file as the user left it.
    void settingsFile_data() {
        QTest::addColumn<QString>("content");  // null: no file at all
        QTest::addColumn<QString>("expected"); // "%app" stands for the program folder
        QTest::addColumn<QString>("after");    // null: as it was
        QTest::newRow("no settings file") << QString() << "%app" << "[Options]\nKeyvaleLocation=%app\n";
        QTest::newRow("empty key among others")
            << "; notes\n[OPTIONS]\nA=1\nkeyvalelocation=\nB=2\n[Other]\nKeyvaleLocation=x\n" << "%app"
            << "; notes\n[OPTIONS]\nA=1\nKeyvaleLocation=%app\nB=2\n[Other]\nKeyvaleLocation=x\n";
        QTest::newRow("added to its section") << "[Options]\nA=1\n\n[Other]\n" << "%app"
                                              << "[Options]\nA=1\nKeyvaleLocation=%app\n\n[Other]\n";
        QTest::newRow("section added") << "[Other]\nA=1" << "%app"
                                       << "[Other]\nA=1\n\n[Options]\nKeyvaleLocation=%app\n";
        QTest::newRow("long value is cut") << "[Options]\nKeyvaleLocation=/" + QString(300, 'x') + "\n"
                                           << "/" + QString(253, 'x') << QString();
        // Written by hand: taken as written, names in any case, among other sections and keys.
        QTest::newRow("comma, semicolon, blanks around")
            << "[Other]\nKeyvaleLocation=/elsewhere\n\n[options]\nkeyvalelocation = /srv/a,b;c d/ \r\n"
            << "/srv/a,b;c d/" << QString();
        QTest::newRow("backslashes and quotes") << "[Options]\nKeyvaleLocation=\"C:\\data\\kv\\\"\n"
                                                << "C:\\data\\kv\\" << QString();
    }
    void settingsFile() {
        QFETCH(QString, content);
        QFETCH(QString, expected);
        QFETCH(QString, after);
        ScriptedDesktop desktop;
        TempAppFolder app(false);
        const QString file = app.file("keyvale.ini");
        if (!content.isNull()) QVERIFY(writeFile(file, content.toUtf8()));
        InitializeINIfile();
        QCOMPARE(gDataFolder, expected.replace("%app", app.path()));
        QVERIFY(desktop.prompts.isEmpty());
        QCOMPARE(desktop.ended, 0);
        // A line break would smuggle lines of its own into the file.
        QVERIFY(!writeProfileString(file, "Options", "KeyvaleLocation", "/d/\n[Evil]"));
        QCOMPARE(QString::fromUtf8(fileBytes(file)), after.isNull() ? content : after.replace("%app", app.path()));
    }

    // Without a settings file, and with a program folder that cannot be written, start-up says so and goes
    // on with the program folder.
    void settingsFileCannotBeWritten() {
        ScriptedDesktop desktop;
        TempAppFolder app(false);
        gAppPath = app.file("missing/");
        InitializeINIfile();
        QCOMPARE(desktop.messages(), QStringList({"An error has occured writing INI KeyvaleLocation setting.",
                                                  "An error has occured writing INI KeyvaleLocation settings..."}));
        QCOMPARE(desktop.last().icon, Icon::Exclamation);
        QCOMPARE(gDataFolder, gAppPath);
        QCOMPARE(desktop.ended, 0);
    }

    // A settings "file" that cannot be read: No keeps it, Yes deletes it; either way the program ends.
    void unreadableSettingsFile() {
        ScriptedDesktop desktop;
        TempAppFolder app(false);
        QVERIFY(QDir().mkdir(app.file("keyvale.ini")));
        desktop.answer(Answer::No);
        InitializeINIfile();
        QCOMPARE(desktop.last().text, kIniQuestion);
        QCOMPARE(desktop.last().icon, Icon::Critical);
        QCOMPARE(desktop.last().buttons, Buttons::YesNo);
        QVERIFY(QFile::exists(app.file("keyvale.ini")));
        desktop.answer(Answer::Yes);
        InitializeINIfile();
        QVERIFY(!QFile::exists(app.file("keyvale.ini")));
        QCOMPARE(desktop.messages().mid(1), QStringList({kIniQuestion, "Keyvale will shut down and a new INI file will "
                                                                       "be created with default option settings."}));
        QCOMPARE(desktop.last().icon, Icon::Information);
        QCOMPARE(desktop.ended, 2);
    }

    // The master password record reads back with the answer trimmed.
    void masterPasswordRecord() {
        ScriptedDesktop desktop;
        TempAppFolder app;
        gRecoveryQuestion = "TWO";
        gRecoveryAnswer = "REX ";
        gMasterPassword = "SECRET9";
        SaveMasterPassword();
        gMasterPassword = gRecoveryAnswer = gRecoveryQuestion = QString();
        QVERIFY(LoadMasterPassword());
        QCOMPARE((QStringList{gRecoveryQuestion, gRecoveryAnswer, gMasterPassword}),
                 (QStringList{"TWO", "REX", "SECRET9"}));
    }

    // Start-up ends before any window, with one message, when the data folder or its database cannot be
    // opened whole, lacks a field the program stores, or holds groups but no master password (the file was
    // tampered with): nothing after the first failure runs on what it left unopened.
    void startUpEnds_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("message"); // %db: the database file
        const QString in = " in procedure gInitializeDB of module modDBstuff";
        QTest::newRow("breached") << "breached"
                                  << "Keyvale has been breached or is corrupted!  Please reinstall Keyvale";
        QTest::newRow("no database") << "no database"
                                     << "Error 3024 (Could not find file '%db'.)" + in;
        QTest::newRow("no data folder") << "no folder"
                                        << "Error 3024 (Could not find file '%db'.)" + in;
        QTest::newRow("data folder is a file") << "folder is a file"
                                               << "Error 3024 (Could not find file '%db'.)" + in;
        QTest::newRow("another key") << "another key"
                                     << "Error 3031 (Not a valid password.)" + in;
        QTest::newRow("not a database") << "text"
                                        << "Error 3343 (Unrecognized database format '%db'.)" + in;
        QTest::newRow("damaged pages") << "damaged"
                                       << "Error 3049 (database disk image is malformed)" + in;
        QTest::newRow("no group table")
            << "no group table"
            << "Error 3078 (The database engine cannot find the input table or query 'tblMasterData'.  Make sure it "
               "exists and that its name is spelled correctly.)" +
                   in;
        QTest::newRow("a record field missing")
            << "PriorUserID TEXT, PriorPassword TEXT"
            << "Error 3265 (The table tblChildData of the database '%db' has no field Description)" + in;
        QTest::newRow("a record field of another kind")
            << "Description TEXT, PriorUserID TEXT, PriorPassword BLOB"
            << "Error 3265 (The field PriorPassword of table tblChildData in the database '%db' holds BLOB, not "
               "text)" +
                   in;
    }
    void startUpEnds() {
        QFETCH(QString, damage);
        QFETCH(QString, message);
        ScriptedDesktop desktop;
        TestClock clock;
        TempAppFolder app(false);
        QString database = app.database();
        if (damage == "breached") {
            app.execute("insert into tblMasterData values ('Bank')");
        } else if (damage == "no database") {
            QVERIFY(QFile::remove(app.database()));
        } else if (damage.contains("folder")) {
            database = app.file("data/keyvale.mdb");
            if (damage == "folder is a file") QVERIFY(writeFile(app.file("data"), "not a folder"));
            QVERIFY(writeFile(app.file("keyvale.ini"), "[Options]\nKeyvaleLocation=" + app.file("data/").toUtf8()));
        } else if (damage == "another key") {
            QVERIFY(QFile::remove(app.database()));
            sql::Connection::create(app.database(), "another key")->executeScript("CREATE TABLE t (x);");
        } else if (damage == "text") {
            QVERIFY(writeFile(app.database(), "These are not the records you are looking for.\n"));
        } else if (damage == "damaged") {
            app.damagePage("idxChildDataGroupWebsite", 64);
        } else if (damage == "no group table") {
            app.execute("drop table tblMasterData");
        } else {
            app.remakeRecordTable("ChildAutoID INTEGER PRIMARY KEY, GroupName TEXT, Website TEXT, UserID TEXT, "
                                  "Password TEXT, DateChanged TEXT, " +
                                  damage);
        }
        bool mainShown = false;
        QVERIFY(!Main([&mainShown] { mainShown = true; }));
        QVERIFY(!mainShown);
        QCOMPARE(desktop.messages(), QStringList{message.replace("%db", database)});
        QCOMPARE(desktop.last().icon, damage == "breached" ? Icon::Critical : Icon::None);
        QCOMPARE(desktop.ended, 1);
    }

    // Missing folder levels are made; a level that is a file is said.
    void makeDirPath() {
        ScriptedDesktop desktop;
        TempAppFolder app(false);
        QVERIFY(MakeDirPath(app.file("a/b/c")));
        QVERIFY(QDir(app.file("a/b/c")).exists());
        QVERIFY(writeFile(app.file("file"), {}));
        QVERIFY(!MakeDirPath(app.file("file/sub")));
        QCOMPARE(desktop.messages(), QStringList{"Could not Create Destination Folder."});
        QCOMPARE(desktop.last().icon, Icon::Exclamation);
    }

    // Contexts from 9998 on open no help; a missing help file is said in the window, not in a message box.
    void helpTopics() {
        ScriptedDesktop desktop;
        TempAppFolder app(false);
        ShowHelpTopic(nullptr, 9998);
        QVERIFY(!HelpViewer::instance());
        gHelpFile = app.file("nothing-here.html");
        ShowHelpTopic(nullptr, 10);
        QVERIFY(HelpViewer::instance());
        QVERIFY(HelpViewer::instance()->shownText().contains("could not be found"));
        QVERIFY(HelpViewer::instance()->shownText().contains(gHelpFile));
        QVERIFY(desktop.prompts.isEmpty());
        delete HelpViewer::instance();
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
