#include "startup/Main.h"
#include "startup/ProfileFile.h"
#include "startup/WidgetRoutines.h"
#include "startup/modKeyvale.h"
#include "store/Cipher.h"
#include "store/modDBstuff.h"
#include "support/ScriptedDesktop.h"
#include "support/TempAppFolder.h"
#include "support/TestClock.h"
#include "tools/HelpViewer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

using namespace kv;
using kv::test::ScriptedDesktop;
using kv::test::TempAppFolder;

namespace {
QString storedDataFolder() {
    return readProfileString(gIniFile, "Options", "KeyvaleLocation");
}
const QString kIniQuestion = QStringLiteral(
    "Error#: 75 - Path/File access error.  Error Reading the INI File, it could be corrupted.\nDo you want to delete "
    "the application's INI file?\n\nThe application INI file contains option settings but a new INI file with "
    "default settings will be created the next time Keyvale starts.");
} // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void settingsFile_data() {
        QTest::addColumn<QString>("content"); // null: no file at all
        QTest::addColumn<QString>("expected"); // "%app" stands for the program folder
        QTest::newRow("no settings file") << QString() << "%app";
        QTest::newRow("empty key") << "[Options]\nKeyvaleLocation=\n" << "%app";
        QTest::newRow("other folder") << "[Options]\nKeyvaleLocation=/srv/keyvale\n" << "/srv/keyvale";
        QTest::newRow("long value is cut") << "[Options]\nKeyvaleLocation=/" + QString(300, 'x') + "\n"
                                           << "/" + QString(253, 'x');
        // Written by hand: taken as written, names in any case, among other sections and keys.
        QTest::newRow("comma, semicolon, blanks around")
            << "[Other]\nKeyvaleLocation=/elsewhere\n\n[options]\nkeyvalelocation = /srv/a,b;c d/ \r\n"
            << "/srv/a,b;c d/";
        QTest::newRow("backslashes and quotes") << "[Options]\nKeyvaleLocation=\"C:\\data\\kv\\\"\n"
                                                << "C:\\data\\kv\\";
    }
    void settingsFile() {
        QFETCH(QString, content);
        QFETCH(QString, expected);
        ScriptedDesktop desktop;
        TempAppFolder app(false);
        if (!content.isNull()) {
            QFile f(app.file("keyvale.ini"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content.toUtf8());
        }
        InitializeINIfile();
        expected.replace("%app", app.path());
        QCOMPARE(gIniFile, app.file("keyvale.ini"));
        QCOMPARE(gDataFolder, expected);
        QCOMPARE(storedDataFolder().left(254), expected);
        QVERIFY(desktop.prompts.isEmpty());
        QCOMPARE(desktop.ended, 0);
    }

    // Writing the data folder changes its one line and keeps the rest of the file as the user left it.
    void settingsFileWrites_data() {
        QTest::addColumn<QString>("before"); // null: no file at all
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("after");
        QTest::newRow("new file") << QString() << "/d/"
                                  << "[Options]\nKeyvaleLocation=/d/\n";
        QTest::newRow("replaced among others")
            << "; notes\n[OPTIONS]\nA=1\nkeyvalelocation=/old/\nB=2\n[Other]\nKeyvaleLocation=x\n"
            << "/d,e/"
            << "; notes\n[OPTIONS]\nA=1\nKeyvaleLocation=/d,e/\nB=2\n[Other]\nKeyvaleLocation=x\n";
        QTest::newRow("added to its section") << "[Options]\nA=1\n\n[Other]\n"
                                              << "/d/"
                                              << "[Options]\nA=1\nKeyvaleLocation=/d/\n\n[Other]\n";
        QTest::newRow("section added") << "[Other]\nA=1"
                                       << "/d/"
                                       << "[Other]\nA=1\n\n[Options]\nKeyvaleLocation=/d/\n";
        QTest::newRow("line break refused") << "[Options]\nKeyvaleLocation=/old/\n"
                                            << "/d/\n[Evil]"
                                            << "[Options]\nKeyvaleLocation=/old/\n";
    }
    void settingsFileWrites() {
        QFETCH(QString, before);
        QFETCH(QString, value);
        QFETCH(QString, after);
        TempAppFolder app(false);
        QFile file(app.file("keyvale.ini"));
        if (!before.isNull()) {
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(before.toUtf8());
            file.close();
        }
        QCOMPARE(writeProfileString(file.fileName(), "Options", "KeyvaleLocation", value), !value.contains('\n'));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), after);
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

    void unreadableSettingsFile_data() {
        QTest::addColumn<bool>("deleteIt");
        QTest::newRow("Yes deletes the file") << true;
        QTest::newRow("No keeps it") << false;
    }
    void unreadableSettingsFile() {
        QFETCH(bool, deleteIt);
        ScriptedDesktop desktop;
        TempAppFolder app(false);
        QVERIFY(QDir().mkdir(app.file("keyvale.ini"))); // a settings "file" that cannot be read
        desktop.answer(deleteIt ? Answer::Yes : Answer::No);
        InitializeINIfile();
        QCOMPARE(desktop.prompts.first().text, kIniQuestion);
        QCOMPARE(desktop.prompts.first().icon, Icon::Critical);
        QCOMPARE(desktop.prompts.first().buttons, Buttons::YesNo);
        QCOMPARE(desktop.ended, 1);
        QCOMPARE(QFile::exists(app.file("keyvale.ini")), !deleteIt);
        if (deleteIt) {
            QCOMPARE(desktop.messages().last(), QStringLiteral("Keyvale will shut down and a new INI file will be "
                                                              "created with default option settings."));
            QCOMPARE(desktop.last().icon, Icon::Information);
            InitializeINIfile(); // the next start makes a new one
            QCOMPARE(gDataFolder, app.path());
        } else {
            QCOMPARE(desktop.prompts.size(), 1);
        }
    }

    void masterPasswordRecord() {
        ScriptedDesktop desktop;
        TempAppFolder app;
        QVERIFY(LoadMasterPassword());
        QVERIFY(gFirstRun);

        gRecoveryQuestion = "TWO";
        gRecoveryAnswer = "REX ";
        gMasterPassword = "SECRET9";
        SaveMasterPassword();
        gMasterPassword = "CHANGED1";
        SaveMasterPassword(); // rewrites the one row
        const auto rows = app.query("select Password, Question, Answer from tblPassword");
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0][0].toString(), encipherField("CHANGED1"));
        QCOMPARE(decipherField(rows[0][1].toString()), QStringLiteral("TWO"));

        gFirstRun = false;
        gMasterPassword.clear();
        QVERIFY(LoadMasterPassword());
        QVERIFY(!gFirstRun);
        QCOMPARE(gMasterPassword, QStringLiteral("CHANGED1"));
        QCOMPARE(gRecoveryQuestion, QStringLiteral("TWO"));
        QCOMPARE(gRecoveryAnswer, QStringLiteral("REX")); // trimmed when read
        QVERIFY(desktop.prompts.isEmpty());
    }

    // Groups without a master password: the file was tampered with; the program ends before any window.
    void breachedDatabaseEndsStartUp() {
        ScriptedDesktop desktop;
        kv::test::TestClock clock;
        TempAppFolder app(false);
        app.execute("insert into tblMasterData values ('Bank')");
        bool mainShown = false;
        QVERIFY(!Main([&mainShown] { mainShown = true; }));
        QVERIFY(!mainShown);
        QCOMPARE(desktop.messages(),
                 QStringList{"Keyvale has been breached or is corrupted!  Please reinstall Keyvale"});
        QCOMPARE(desktop.last().icon, Icon::Critical);
        QCOMPARE(desktop.ended, 1);
        QCOMPARE(gVersionText, QStringLiteral("v 6.0.1"));
        QCOMPARE(gDataFolder, app.path());
    }

    // A database that cannot be opened is reported, and start-up ends without reaching for what is missing.
    void unopenableDatabaseEndsStartUp() {
        ScriptedDesktop desktop;
        kv::test::TestClock clock;
        TempAppFolder app(false);
        QVERIFY(QFile::remove(app.database()));
        bool mainShown = false;
        QVERIFY(!Main([&mainShown] { mainShown = true; }));
        QVERIFY(!mainShown);
        QCOMPARE(desktop.messages(),
                 QStringList({"Error 3024 (Could not find file '" + app.database() +
                                  "'.) in procedure gInitializeDB of module modDBstuff",
                              "Error 91 (Object variable or With block variable not set) in procedure GetOptions of "
                              "Module modKeyvale",
                              "3704 - Operation is not allowed when the object is closed."}));
        QCOMPARE(desktop.ended, 1);
    }

    void pathRoutines_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("withSeparator");
        QTest::newRow("plain") << "/data" << "/data/";
        QTest::newRow("trailing blanks") << "/data  " << "/data/";
        QTest::newRow("already slash") << "/data/" << "/data/";
        QTest::newRow("backslash kept") << "C:\\data\\" << "C:\\data\\";
    }
    void pathRoutines() {
        QFETCH(QString, path);
        QFETCH(QString, withSeparator);
        AddBackslash(path);
        QCOMPARE(path, withSeparator);
        QCOMPARE(StripNull(QString("abc") + QChar(0) + "def"), QStringLiteral("abc"));
        QCOMPARE(StripNull("abc"), QStringLiteral("abc"));
    }

    void makeDirPath() {
        ScriptedDesktop desktop;
        TempAppFolder app(false);
        QVERIFY(MakeDirPath(app.file("a/b/c")));
        QVERIFY(QDir(app.file("a/b/c")).exists());
        QFile blocker(app.file("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        QVERIFY(!MakeDirPath(app.file("file/sub")));
        QCOMPARE(desktop.messages(), QStringList{"Could not Create Destination Folder."});
        QCOMPARE(desktop.last().icon, Icon::Exclamation);
    }

    void helpTopics() {
        TempAppFolder app(false);
        QWidget owner;
        ShowHelpTopic(&owner, 9998);
        QVERIFY(!HelpViewer::instance());
        ShowHelpTopic(&owner, 30);
        QVERIFY(HelpViewer::instance());
        QCOMPARE(HelpViewer::instance()->windowTitle(), QStringLiteral("Keyvale Help"));
        gHelpFile = app.file("nothing-here.html");
        ShowHelpTopic(&owner, 10);
        QVERIFY(HelpViewer::instance()->shownText().contains("could not be found"));
        delete HelpViewer::instance();
    }

    void selectAllText() {
        QLineEdit box("secret");
        SelectAllText(&box);
        QCOMPARE(box.selectedText(), QStringLiteral("secret"));
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
