// keyvale_gui
// Backup, restore and the move of the data folder through the real commands, on temporary folders: what
// they write, and that no failure ever costs the user a byte of the database.
#include "exchange/DataFileCopy.h"
#include "platform/InstanceLock.h"
#include "startup/ProfileFile.h"
#include "store/Sqlite.h"
#include "tools/frmOptions.h"
#include "tst_main_driver.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <unistd.h>

using namespace kv;
using namespace kv::test;

namespace {

bool ownerOnly(const QString& path) {
    return (QFile::permissions(path) & 0x0777) == (QFile::ReadUser | QFile::WriteUser);
}
QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

// A folder nothing can be written into, even by root (who ignores permission bits).
QString unwritableFolder(const QTemporaryDir& scratch) {
    if (::geteuid() == 0) return QStringLiteral("/proc");
    QDir().mkpath(scratch.filePath("readonly"));
    QFile::setPermissions(scratch.filePath("readonly"), QFile::ReadOwner | QFile::ExeOwner);
    return scratch.filePath("readonly");
}

// The bytes of the program's database, read with its connection closed; the connection is opened again.
QByteArray databaseBytes(const MainWindowFixture& f) {
    gCloseDatabase();
    const QByteArray content = fileBytes(f.folder.database());
    gInitializeDB();
    return content;
}
// The window goes on working on the same database.
void stillWorking(const MainWindowFixture& f, int records) {
    QCOMPARE(openRecordset("select * from tblChildData")->recordCount(), records);
    QCOMPARE(f.grid().rowCount(), records);
    QCOMPARE(gDBConnection->path(), f.folder.database());
    QVERIFY(!gFormOpen);
}

} // namespace

class BackupTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { setCopyFailureAfter(-1); }

    // A copy reports its progress as it goes; a file is never copied onto itself, however it is reached (on
    // this platform that would empty it).
    void copyProgressAndSelf() {
        QTemporaryDir scratch;
        const QString source = scratch.filePath("keyvale.mdb"), copy = scratch.filePath("copy");
        writeFile(source, QByteArray(3 * 1024 * 1024 + 17, 'k'));
        QList<qint64> seen;
        QVERIFY(copyFileSafely(source, copy, [&](qint64 done) { return seen << done, true; }));
        QCOMPARE(fileBytes(copy), fileBytes(source));
        QCOMPARE(seen.last(), qint64(3 * 1024 * 1024 + 17));
        QVERIFY(std::is_sorted(seen.begin(), seen.end()) && seen.size() > 1);

        QFile::link(scratch.path(), scratch.filePath("alias"));
        ::link(QFile::encodeName(source).constData(), QFile::encodeName(scratch.filePath("hard")).constData());
        for (const QString& self : {scratch.filePath("alias/keyvale.mdb"), scratch.filePath("hard")}) {
            QVERIFY_THROWS_EXCEPTION(Error, copyFileSafely(source, self));
            QCOMPARE(fileBytes(self), fileBytes(copy));
        }
    }

    // Backup writes keyvale.bak into the chosen folder (replacing an older one), remembers the folder and
    // leaves the window working on the same file; restore then finds it without asking, puts it back and
    // restarts the program with the arguments it was given.
    void backupThenRestore() {
        MainWindowFixture f({Rec("Bank", "www.bank.example", "me", "pw1"), Rec("Mail", "mail.example", "you", "pw2")});
        QTemporaryDir backups;
        const QString bak = backups.filePath("keyvale.bak");
        writeFile(bak, "an older backup");
        const QByteArray database = databaseBytes(f);
        f.desktop.answerFolder(backups.path());
        f.control<QAction>("mnuFileBackup").trigger();
        QCOMPARE(f.desktop.prompts.first().text, QString("Select a folder to backup Keyvale's files to..."));
        QCOMPARE(f.desktop.last().text,
                 QString("Backup was Successful.\n\nRemember, if Keyvale's password is changed between backup cycles\n"
                         "the only way to gain access to Keyvale's restored data is to know\nthe original question "
                         "and answer that was filled in when Keyvale was installed."));
        QCOMPARE(f.desktop.last().icon, Icon::Exclamation);
        QCOMPARE(fileBytes(bak), database);
        QVERIFY(ownerOnly(bak));
        QCOMPARE(f.folder.option("BackupLocation"), backups.path());
        stillWorking(f, 2);

        const QByteArray backedUp = fileBytes(bak);
        f.folder.execute("insert into tblChildData (GroupName, Website) values ('Mail', 'after-backup.example')");
        f.desktop.clear();
        f.desktop.answer(Answer::Yes);
        f.control<QAction>("mnuFileRestore").trigger();
        QCOMPARE(f.desktop.messages().value(0), QString("About to restore Keyvale's backup data!\nThis process can not "
                                                        "be reversed!\nContinue with the restore process?"));
        QVERIFY(f.desktop.messages().value(1).startsWith("Restore was Success!\nKeyvale is about to close and restart "
                                                         "to confirm log on passwords are synchronized. If you can "
                                                         "succussfully"));
        QCOMPARE(f.desktop.messages().value(2), QString("Keyvale is about to shutdown and restart"));
        QCOMPARE(fileBytes(f.folder.database()), backedUp);
        QVERIFY(ownerOnly(f.folder.database()));
        QCOMPARE(f.desktop.started, QList<QStringList>{QStringList{QCoreApplication::applicationFilePath()} +
                                                       QCoreApplication::arguments().mid(1)});
        QCOMPARE(f.desktop.ended, 1);

        // When the program cannot start itself again, the user is told how to go on before it ends.
        f.desktop.clear();
        f.desktop.startSucceeds = false;
        f.desktop.answer(Answer::Yes);
        f.control<QAction>("mnuFileRestore").trigger();
        QCOMPARE(f.desktop.last().text,
                 QString("Keyvale could not start again by itself.\nStart Keyvale to log on to the restored data."));
        QCOMPARE(f.desktop.ended, 1);
    }

    // A backup that cannot be written or would copy damage, or a restore from a file that is no backup of ours,
    // is damaged or fails part-way, says why and leaves the database (and an older backup) as they were, with
    // the window working. A "*" in a message stands for SQLite's account of the damage.
    void commandFailures_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("message");
        const QString notOurs = "The file '%1' is not a Keyvale backup!\nRestore did not complete!";
        QTest::newRow("backup, folder not writable") << "backup-readonly"
                                                     << "Error 70 (Permission denied) in mnuFileBackup of Form frmMain";
        QTest::newRow("backup, disk fills") << "backup-partway"
                                            << "Error 61 (Disk full) in mnuFileBackup of Form frmMain";
        QTest::newRow("backup, database damaged")
            << "backup-damaged"
            << "Error 3049 (The database '%db' is damaged: *.  Nothing was backed up; the earlier backup '%1' was "
               "kept as it was) in mnuFileBackup of Form frmMain";
        QTest::newRow("restore, one byte of the backup flipped")
            << "flipped"
            << "The database '%1' is damaged: *\nRestore did not complete!";
        QTest::newRow("restore, a field missing")
            << "nofield"
            << "The file '%1' is not a Keyvale backup!\nThe table tblChildData of the database '%1' has no field "
               "Description\nRestore did not complete!";
        QTest::newRow("restore, a text file") << "text" << notOurs;
        QTest::newRow("restore, an empty file") << "empty" << notOurs;
        QTest::newRow("restore, another key") << "otherkey" << notOurs;
        QTest::newRow("restore, not our tables") << "notables" << notOurs;
        QTest::newRow("restore, disk fills") << "partway"
                                             << "Error 61 (Disk full) in mnuFileRestore of Form frmMain";
        // With no backup where the last one went, a picked folder without one is no restore either.
        QTest::newRow("restore, no backup anywhere") << "nobackup"
                                                     << "The backup file could not be found!\nRestore did not complete!";
    }
    void commandFailures() {
        QFETCH(QString, how);
        QFETCH(QString, message);
        // Damage where the window does not read: only a check of the whole file finds it.
        MainWindowFixture f({Rec("Bank", "www.bank.example", "me", "pw1")}, {}, [&how] {
            if (how == "backup-damaged") damagePage(gDBConnection->path(), "sqlite_sequence", 1);
        });
        QTemporaryDir scratch;
        const QString bak = scratch.filePath("keyvale.bak");
        const QByteArray database = databaseBytes(f);
        if (how.startsWith("backup")) {
            writeFile(bak, "an older backup");
            f.desktop.answerFolder(how == "backup-readonly" ? unwritableFolder(scratch) : scratch.path());
        } else {
            gBackupLocation = scratch.path();
            if (how == "text") writeFile(bak, QByteArray(4096, 'x'));
            if (how == "empty") writeFile(bak, {});
            if (how == "otherkey" || how == "notables")
                sql::Connection::create(bak, how == "otherkey" ? "another key" : kDatabasePassword)
                    ->executeScript("create table tblMasterData (GroupName TEXT);");
            if (how == "flipped" || how == "nofield") {
                QVERIFY(QFile::copy(f.folder.database(), bak));
                if (how == "flipped")
                    damagePage(bak, "tblChildData", 1);
                else
                    remakeRecordTable(bak, "ChildAutoID INTEGER PRIMARY KEY, GroupName TEXT, Website TEXT, "
                                           "UserID TEXT, Password TEXT, DateChanged TEXT, PriorUserID TEXT, "
                                           "PriorPassword TEXT");
            }
            if (how == "partway") {
                QVERIFY(QFile::copy(f.folder.database(), bak));
                f.desktop.answer(Answer::Yes);
            }
            if (how == "nobackup") {
                writeFile(bak, "an older backup");
                gBackupLocation = scratch.filePath("gone");
                f.desktop.answer(Answer::Yes);
                f.desktop.answerFolder(f.folder.path());
            }
        }
        const QString location = gBackupLocation;
        if (how.endsWith("partway")) setCopyFailureAfter(2048);
        const QByteArray before = fileBytes(bak);
        f.control<QAction>(how.startsWith("backup") ? "mnuFileBackup" : "mnuFileRestore").trigger();
        const QStringList expected = QString(message).replace("%1", bak).replace("%db", f.folder.database()).split('*');
        const QString said = f.desktop.last().text;
        QVERIFY2(expected.size() == 1 ? said == expected[0]
                                      : said.startsWith(expected[0]) && said.endsWith(expected[1]) &&
                                            said.size() > expected[0].size() + expected[1].size(),
                 qPrintable(said));
        QCOMPARE(f.desktop.last().icon, message.startsWith("Error") ? Icon::None : Icon::Exclamation);
        QCOMPARE(f.desktop.ended, 0);
        QCOMPARE(fileBytes(bak), before);
        QCOMPARE(filesIn(scratch.path()), QStringList{"keyvale.bak"});
        QCOMPARE(gBackupLocation, location);
        stillWorking(f, 1);
        QCOMPARE(databaseBytes(f), database);
    }

    // The move copies the database into the new folder, points the settings file there, keeps or deletes the
    // old file as the user says, and leaves the program working on the new file, its lock moved there.
    void moveDataFolder_data() {
        QTest::addColumn<bool>("keepOld");
        QTest::newRow("delete the old file") << false;
        QTest::newRow("keep the old file") << true;
    }
    void moveDataFolder() {
        QFETCH(bool, keepOld);
        MainWindowFixture f({Rec("Bank", "www.bank.example", "me", "pw1")});
        QTemporaryDir target;
        const QByteArray database = databaseBytes(f);
        QCOMPARE(InstanceLock::process().lock(f.folder.path()), InstanceLock::Outcome::Locked);
        frmOptions options(f.form.get());
        options.show();
        f.desktop.answerFolder(target.path());
        f.desktop.answer(Answer::Yes);
        f.desktop.answer(keepOld ? Answer::Yes : Answer::No);
        child<QPushButton>(options, "bttnBrowseLocation")->click();
        QCOMPARE(f.desktop.prompts[0].text, QString("Selected a folder to move Keyvale data file to..."));
        QCOMPARE(f.desktop.prompts[1].text, QString("About to move Keyvale' data!\nDo you want to continue?"));
        QCOMPARE(f.desktop.prompts[2].text,
                 QString("Do you want to keep the Keyvale' data in the old location as a backup?"));
        QCOMPARE(f.desktop.last().text,
                 keepOld ? QString("Moved Keyvale to the new location and kept the data in the old location for "
                                   "backup purposes.")
                         : QString("Moved Keyvale to the new location and deleted data from the old location."));
        const QString moved = target.filePath("keyvale.mdb");
        QCOMPARE(fileBytes(moved), database);
        QVERIFY(ownerOnly(moved));
        QCOMPARE(QFile::exists(f.folder.database()), keepOld);
        QCOMPARE(gDataFolder, target.path() + "/");
        QCOMPARE(readProfileString(gIniFile, "Options", "KeyvaleLocation"), target.path() + "/");
        QCOMPARE(gDBConnection->path(), moved);
        QCOMPARE(InstanceLock::process().folder(), QFileInfo(target.path()).canonicalFilePath());
        QVERIFY(!InstanceLock().heldByOther(f.folder.path())); // the old folder is let go
        InstanceLock::process().release();
        QCOMPARE(f.grid().rowCount(), 1);
        QVERIFY(!options.isVisible());
    }

    // A move that would write over a database, or onto the file itself however the folder is spelled, or that
    // cannot point the settings file at the new folder, changes nothing the program runs on.
    void moveRefusals_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("message");
        const QString same = "Cannot move Keyvale data file to the same location.";
        QTest::newRow("folder holds a database, No")
            << "occupied"
            << "The folder '%1' already holds a Keyvale data file.\nDo you want to replace it with "
               "the data being moved?";
        QTest::newRow("same folder, trailing separator") << "slash" << same;
        QTest::newRow("same folder, through a link") << "link" << same;
        QTest::newRow("folder in use by another Keyvale")
            << "held" << "Keyvale is already running with the data folder %1.\nClose it before moving Keyvale's data there.";
        QTest::newRow("settings file not writable") << "ini"
                                                    << "An error has occured writing INI settings...";
    }
    void moveRefusals() {
        QFETCH(QString, how);
        QFETCH(QString, message);
        MainWindowFixture f({Rec("Bank", "www.bank.example", "me", "pw1")});
        QTemporaryDir scratch;
        QString folder = scratch.path();
        const QString here = f.folder.path().chopped(1);
        writeFile(scratch.filePath("keyvale.mdb"), "another installation's data");
        if (how == "slash") folder = here + "/";
        if (how == "link") QFile::link(here, folder = scratch.filePath("alias"));
        QLockFile otherInstance(InstanceLock::lockFile(scratch.filePath("held")));
        if (how == "held") {
            QDir().mkpath(folder = scratch.filePath("held"));
            QVERIFY(otherInstance.tryLock(0));
        }
        if (how == "ini") {
            QDir().mkpath(gIniFile = scratch.filePath("ini-is-a-folder"));
            QDir().mkpath(folder = scratch.filePath("new"));
        }
        const QByteArray database = databaseBytes(f);
        frmOptions options(f.form.get());
        options.show();
        f.desktop.answerFolder(folder);
        if (how == "occupied" || how == "ini" || how == "held") f.desktop.answer(Answer::Yes);
        if (how == "occupied") f.desktop.answer(Answer::No);
        child<QPushButton>(options, "bttnBrowseLocation")->click();
        QCOMPARE(f.desktop.last().text, QString(message).replace("%1", folder));
        QCOMPARE(f.desktop.last().defaultNo, how == "occupied");
        QVERIFY(f.desktop.queueEmpty());
        QCOMPARE(gDataFolder, f.folder.path());
        stillWorking(f, 1);
        QVERIFY(options.isVisible());
        QCOMPARE(databaseBytes(f), database);
        QCOMPARE(fileBytes(scratch.filePath("keyvale.mdb")), QByteArray("another installation's data"));
    }
};

QTEST_MAIN(BackupTest)
#include "tst_backup.moc"
