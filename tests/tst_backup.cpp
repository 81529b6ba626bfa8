// keyvale_gui
// Backup, restore and the move of the data folder through the real commands, on temporary folders: what
// they write, and that no failure ever costs the user a byte of the database.
#include "exchange/DataFileCopy.h"
#include "startup/ProfileFile.h"
#include "store/Sqlite.h"
#include "tools/frmOptions.h"
#include "support/Widgets.h"
#include "tst_main_driver.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <unistd.h>

using namespace kv;
using namespace kv::test;

namespace {

QByteArray bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
void write(const QString& path, const QByteArray& content) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}
bool ownerOnly(const QString& path) {
    return QFile::permissions(path) == (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
}
QStringList filesIn(const QString& folder) { return QDir(folder).entryList(QDir::Files | QDir::Hidden); }

// A folder nothing can be written into, even by root (who ignores permission bits).
QString unwritableFolder(const QTemporaryDir& scratch) {
    if (::geteuid() == 0) return QStringLiteral("/proc");
    const QString folder = scratch.filePath(QStringLiteral("readonly"));
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    return folder;
}

// The records of the file the program has open; -1 when the connection is closed.
int recordCount() { return gDBConnection && gDBConnection->isOpen() ? openRecordset("select * from tblChildData")->recordCount() : -1; }

const QString kBackupDone = "Backup was Successful.\n\nRemember, if Keyvale's password is changed between backup "
                            "cycles\nthe only way to gain access to Keyvale's restored data is to know\nthe original "
                            "question and answer that was filled in when Keyvale was installed.";

} // namespace

class BackupTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { setCopyFailureAfter(-1); }

    // A copy replaces its target with the source's bytes, owner-only, and reports its progress; stopped, or
    // failing in any way, it leaves the target as it was and no temporary file behind.
    void copyFailures_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("error");
        QTest::newRow("succeeds") << "ok" << 0;
        QTest::newRow("stopped by the user") << "stopped" << -1;
        QTest::newRow("folder not writable") << "readonly" << 70;
        QTest::newRow("fails part-way") << "partway" << 61;
        QTest::newRow("source vanished") << "nosource" << 53;
        QTest::newRow("no such folder") << "nofolder" << 76;
        QTest::newRow("onto itself, dots") << "self-dots" << 70;
        QTest::newRow("onto itself, link") << "self-link" << 70;
        QTest::newRow("onto itself, hard link") << "self-hardlink" << 70;
    }
    void copyFailures() {
        QFETCH(QString, how);
        QFETCH(int, error);
        QTemporaryDir scratch;
        const QString source = scratch.filePath("src/keyvale.mdb");
        QDir().mkpath(scratch.filePath("src"));
        QDir().mkpath(scratch.filePath("dst"));
        QByteArray content(3 * 1024 * 1024 + 17, '\0');
        for (int i = 0; i < content.size(); ++i) content[i] = char(i * 7);
        write(source, content);
        QString target = scratch.filePath("dst/keyvale.bak");
        write(target, "the older backup");
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        QList<qint64> seen;
        CopyProgress progress = [&](qint64 done) {
            seen << done;
            return true;
        };
        if (how == "stopped") progress = [](qint64) { return false; };
        if (how == "readonly") target = unwritableFolder(scratch) + "/keyvale.bak";
        if (how == "partway") setCopyFailureAfter(1024 * 1024 + 5);
        if (how == "nosource") QFile::remove(source);
        if (how == "nofolder") target = scratch.filePath("gone/keyvale.bak");
        if (how == "self-dots") target = scratch.filePath("dst/../src/./keyvale.mdb");
        if (how == "self-link") {
            QFile::link(scratch.filePath("src"), scratch.filePath("alias"));
            target = scratch.filePath("alias/keyvale.mdb");
        }
        if (how == "self-hardlink") {
            target = scratch.filePath("dst/keyvale.mdb");
            QCOMPARE(::link(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()), 0);
        }
        const QByteArray before = bytes(target);
        const QStringList filesBefore = filesIn(QFileInfo(target).absolutePath());

        int thrown = 0;
        bool copied = false;
        try {
            copied = copyFileSafely(source, target, progress);
        } catch (const Error& e) {
            thrown = e.number();
        }
        QCOMPARE(thrown, qMax(error, 0));
        QCOMPARE(copied, error == 0);
        if (error == 0) {
            QCOMPARE(bytes(target), content);
            QVERIFY(ownerOnly(target));
            QCOMPARE(seen.last(), qint64(content.size()));
            QVERIFY(std::is_sorted(seen.begin(), seen.end()));
        } else {
            QCOMPARE(bytes(target), before);
        }
        if (how != "nosource") QCOMPARE(bytes(source), content);
        if (how != "readonly" && how != "nofolder") QCOMPARE(filesIn(QFileInfo(target).absolutePath()), filesBefore);
    }

    // Backup writes keyvale.bak into the chosen folder, remembers the folder and leaves the window working
    // on the same file; restore then finds it without asking, puts it back and restarts the program with the
    // arguments it was given.
    void backupThenRestore() {
        MainWindowFixture f({Rec("Bank", "www.bank.example", "me", "pw1"), Rec("Mail", "mail.example", "you", "pw2")});
        QTemporaryDir backups;
        f.form->setStatusText("before");
        f.desktop.answerFolder(backups.path());
        f.control<QAction>("mnuFileBackup").trigger();
        const QString bak = backups.filePath("keyvale.bak");
        QCOMPARE(f.desktop.last().text, kBackupDone);
        QCOMPARE(f.desktop.last().icon, Icon::Exclamation);
        QCOMPARE(f.desktop.prompts.first().text, QString("Select a folder to backup Keyvale's files to..."));
        QVERIFY(ownerOnly(bak));
        QCOMPARE(gBackupLocation, backups.path());
        QCOMPARE(f.folder.scalar("select OptionValue from tblOptions where OptionName = 'BackupLocation'").toString(),
                 backups.path());
        QVERIFY(!gFormOpen);
        // The backup holds what the file held, and the window goes on with the same file.
        gCloseDatabase();
        QCOMPARE(bytes(bak).size(), bytes(f.folder.database()).size());
        gInitializeDB();
        QCOMPARE(f.grid().rowCount(), 2);
        QCOMPARE(f.status(), QString("before"));

        // A second backup replaces the first without asking.
        f.folder.execute("insert into tblChildData (GroupName, Website) values ('Bank', 'later.example')");
        f.desktop.answerFolder(backups.path());
        f.control<QAction>("mnuFileBackup").trigger();
        QCOMPARE(recordCount(), 3);
        const QByteArray backedUp = bytes(bak);
        f.folder.execute("insert into tblChildData (GroupName, Website) values ('Mail', 'after-backup.example')");
        QVERIFY(bytes(f.folder.database()) != backedUp);

        f.desktop.clear();
        f.desktop.answer(Answer::Yes);
        f.control<QAction>("mnuFileRestore").trigger();
        QCOMPARE(f.desktop.prompts.size(), 3);
        QCOMPARE(f.desktop.prompts[0].text, QString("About to restore Keyvale's backup data!\nThis process can not be "
                                                    "reversed!\nContinue with the restore process?"));
        QVERIFY(f.desktop.prompts[1].text.startsWith("Restore was Success!\nKeyvale is about to close and restart to "
                                                     "confirm log on passwords are synchronized. If you can succussfully"));
        QCOMPARE(f.desktop.prompts[2].text, QString("Keyvale is about to shutdown and restart"));
        QCOMPARE(bytes(f.folder.database()), backedUp);
        QVERIFY(ownerOnly(f.folder.database()));
        QCOMPARE(f.desktop.started,
                 QList<QStringList>{QStringList{QCoreApplication::applicationFilePath()} +
                                    QCoreApplication::arguments().mid(1)});
        QCOMPARE(f.desktop.ended, 1);
    }

    // Without a BackupLocation row the backup still succeeds and says where it could not be remembered.
    void backupWithoutLocationRow() {
        MainWindowFixture f;
        f.folder.execute("delete from tblOptions where OptionName = 'BackupLocation'");
        gInitializeDB();
        const QString before = gBackupLocation;
        QTemporaryDir backups;
        f.desktop.answerFolder(backups.path());
        f.control<QAction>("mnuFileBackup").trigger();
        QCOMPARE(f.desktop.last().text,
                 "Backup was Successful.\n\nHowever, there was a problem storing the location, \n'" + backups.path() +
                     "'\nin the Keyvale database.\n\n" + kBackupDone.mid(24));
        QCOMPARE(gBackupLocation, before);
        QVERIFY(QFile::exists(backups.filePath("keyvale.bak")));
    }

    // A backup that cannot be written leaves the older backup and the database as they were, says why, and
    // the window goes on with the database.
    void backupFailures_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("message");
        QTest::newRow("folder not writable") << "readonly" << "Error 70 (Permission denied) in mnuFileBackup of Form frmMain";
        QTest::newRow("disk fills") << "partway" << "Error 61 (Disk full) in mnuFileBackup of Form frmMain";
    }
    void backupFailures() {
        QFETCH(QString, how);
        QFETCH(QString, message);
        MainWindowFixture f({Rec("Bank", "www.bank.example", "me", "pw1")});
        QTemporaryDir scratch;
        QString folder = scratch.path();
        write(scratch.filePath("keyvale.bak"), "older backup");
        if (how == "readonly") folder = unwritableFolder(scratch);
        if (how == "partway") setCopyFailureAfter(2048);
        const QByteArray database = bytes(f.folder.database());
        f.desktop.answerFolder(folder);
        f.control<QAction>("mnuFileBackup").trigger();
        QCOMPARE(f.desktop.last().text, message);
        QCOMPARE(f.desktop.last().icon, Icon::None);
        QCOMPARE(bytes(scratch.filePath("keyvale.bak")), QByteArray("older backup"));
        QCOMPARE(filesIn(scratch.path()), QStringList{"keyvale.bak"});
        QCOMPARE(gBackupLocation, f.folder.path());
        QVERIFY(!gFormOpen);
        QCOMPARE(recordCount(), 1);
        QCOMPARE(f.grid().rowCount(), 1);
        gCloseDatabase();
        QCOMPARE(bytes(f.folder.database()), database);
    }

    // Restore puts back only a database of ours: anything else is named, and the database stays as it was and
    // open. A copy that fails part-way also leaves it whole.
    void restoreRefusals_data() {
        QTest::addColumn<QString>("backup");
        QTest::addColumn<bool>("checked");
        QTest::newRow("a text file") << "text" << true;
        QTest::newRow("an empty file") << "empty" << true;
        QTest::newRow("a database with another key") << "otherkey" << true;
        QTest::newRow("a database without our tables") << "notables" << true;
        QTest::newRow("the disk fills while copying") << "partway" << false;
    }
    void restoreRefusals() {
        QFETCH(QString, backup);
        QFETCH(bool, checked);
        MainWindowFixture f({Rec("Bank", "www.bank.example", "me", "pw1")});
        QTemporaryDir scratch;
        const QString bak = scratch.filePath("keyvale.bak");
        if (backup == "text") write(bak, QByteArray(4096, 'x'));
        if (backup == "empty") write(bak, {});
        if (backup == "otherkey" || backup == "notables") {
            auto other = sql::Connection::create(bak, backup == "otherkey" ? "another key" : kDatabasePassword);
            other->executeScript(backup == "otherkey" ? "create table tblChildData (a);"
                                                      : "create table tblMasterData (GroupName);");
        }
        if (backup == "partway") {
            QVERIFY(QFile::copy(f.folder.database(), bak));
            setCopyFailureAfter(1024);
        }
        gBackupLocation = scratch.path();
        gCloseDatabase();
        const QByteArray database = bytes(f.folder.database());
        gInitializeDB();
        if (!checked) f.desktop.answer(Answer::Yes);
        f.control<QAction>("mnuFileRestore").trigger();
        if (checked) {
            QCOMPARE(f.desktop.prompts.size(), 1);
            QCOMPARE(f.desktop.last().text,
                     "The file '" + bak + "' is not a Keyvale backup!\nRestore did not complete!");
            QCOMPARE(f.desktop.last().icon, Icon::Exclamation);
        } else {
            QCOMPARE(f.desktop.last().text, QString("Error 61 (Disk full) in mnuFileRestore of Form frmMain"));
        }
        QCOMPARE(f.desktop.ended, 0);
        QVERIFY(f.desktop.started.isEmpty());
        QCOMPARE(recordCount(), 1);
        QCOMPARE(f.grid().rowCount(), 1);
        gCloseDatabase();
        QCOMPARE(bytes(f.folder.database()), database);
    }

    // With no backup where the last one went, restore asks for another folder, which it does not remember.
    void restoreFromAnotherFolder() {
        MainWindowFixture f;
        QTemporaryDir gone, picked;
        gBackupLocation = gone.path() + "/moved";
        const QString question = "The last known backup path was '" + gBackupLocation +
                                 "' but a backup was not found!\nWould you like to choose a path to restore from?";
        f.desktop.answer(Answer::No);
        f.control<QAction>("mnuFileRestore").trigger();
        QCOMPARE(f.desktop.messages(), QStringList{question});
        QCOMPARE(f.desktop.last().icon, Icon::Question);

        f.desktop.clear();
        f.desktop.answer(Answer::Yes);
        f.desktop.answerFolder(picked.path());
        f.control<QAction>("mnuFileRestore").trigger();
        QCOMPARE(f.desktop.prompts[1].text, QString("Selected a folder to Restore from..."));
        QCOMPARE(f.desktop.last().text, QString("The backup file could not be found!\nRestore did not complete!"));

        QVERIFY(QFile::copy(f.folder.database(), picked.filePath("keyvale.bak")));
        f.desktop.clear();
        f.desktop.answer(Answer::Yes);
        f.desktop.answerFolder(picked.path());
        f.desktop.answer(Answer::No); // not now
        f.control<QAction>("mnuFileRestore").trigger();
        QCOMPARE(f.desktop.last().text.left(30), QString("About to restore Keyvale's bac"));
        QCOMPARE(gBackupLocation, gone.path() + "/moved");
        QCOMPARE(f.desktop.ended, 0);
    }

    // The move copies the database into the new folder, points the settings file there, keeps or deletes the
    // old file as the user says, and leaves the program working on the new file.
    void moveDataFolder_data() {
        QTest::addColumn<bool>("keepOld");
        QTest::newRow("delete the old file") << false;
        QTest::newRow("keep the old file") << true;
    }
    void moveDataFolder() {
        QFETCH(bool, keepOld);
        MainWindowFixture f({Rec("Bank", "www.bank.example", "me", "pw1")});
        QTemporaryDir target;
        gCloseDatabase();
        const QByteArray database = bytes(f.folder.database());
        gInitializeDB();
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
        QCOMPARE(bytes(moved), database);
        QVERIFY(ownerOnly(moved));
        QCOMPARE(QFile::exists(f.folder.database()), keepOld);
        QCOMPARE(gDataFolder, target.path() + "/");
        QCOMPARE(readProfileString(gIniFile, "Options", "KeyvaleLocation"), target.path() + "/");
        QCOMPARE(gDBConnection->path(), moved);
        QCOMPARE(f.grid().rowCount(), 1);
        QVERIFY(!options.isVisible());
        QVERIFY(!gFormOpen);
    }

    // A move that would write over a database, or onto the file itself however the folder is spelled, or that
    // cannot point the settings file at the new folder, changes nothing the program runs on.
    void moveRefusals_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("message");
        const QString same = "Cannot move Keyvale data file to the same location.";
        QTest::newRow("folder holds a database, No") << "occupied" << "";
        QTest::newRow("same folder, as stored") << "exact" << same;
        QTest::newRow("same folder, trailing separator") << "slash" << same;
        QTest::newRow("same folder, dots") << "dots" << same;
        QTest::newRow("same folder, through a link") << "link" << same;
        QTest::newRow("settings file not writable") << "ini" << "An error has occured writing INI settings...";
    }
    void moveRefusals() {
        QFETCH(QString, how);
        QFETCH(QString, message);
        MainWindowFixture f({Rec("Bank", "www.bank.example", "me", "pw1")});
        QTemporaryDir scratch;
        QString folder = scratch.path();
        const QString here = f.folder.path().chopped(1);
        if (how == "occupied") write(scratch.filePath("keyvale.mdb"), "another installation's data");
        if (how == "exact") folder = here;
        if (how == "slash") folder = here + "/";
        if (how == "dots") folder = here + "/help/..";
        if (how == "link") {
            QFile::link(here, scratch.filePath("alias"));
            folder = scratch.filePath("alias");
        }
        if (how == "ini") {
            QDir().mkpath(scratch.filePath("ini-is-a-folder"));
            gIniFile = scratch.filePath("ini-is-a-folder");
            folder = scratch.filePath("new");
            QDir().mkpath(folder);
        }
        gCloseDatabase();
        const QByteArray database = bytes(f.folder.database());
        const QByteArray other = bytes(scratch.filePath("keyvale.mdb"));
        gInitializeDB();
        frmOptions options(f.form.get());
        options.show();
        f.desktop.answerFolder(folder);
        if (how == "occupied" || how == "ini") f.desktop.answer(Answer::Yes);
        if (how == "occupied") f.desktop.answer(Answer::No);
        child<QPushButton>(options, "bttnBrowseLocation")->click();
        if (how == "occupied") {
            QCOMPARE(f.desktop.last().text, "The folder '" + folder +
                                                "' already holds a Keyvale data file.\nDo you want to replace it "
                                                "with the data being moved?");
            QVERIFY(f.desktop.last().defaultNo);
        } else {
            QCOMPARE(f.desktop.last().text, message);
        }
        QVERIFY(f.desktop.queueEmpty());
        QCOMPARE(gDataFolder, f.folder.path());
        QCOMPARE(gDBConnection->path(), f.folder.database());
        QCOMPARE(recordCount(), 1);
        QVERIFY(options.isVisible());
        QVERIFY(!gFormOpen);
        gCloseDatabase();
        QCOMPARE(bytes(f.folder.database()), database);
        QCOMPARE(bytes(scratch.filePath("keyvale.mdb")), how == "ini" ? QByteArray("<missing>") : other);
    }

    // The File menu offers backup and restore above Exit; the Edit menu offers the options before Find.
    void menuEntries() {
        MainWindowFixture f;
        QStringList file, edit;
        for (QAction* a : f.control<QMenu>("mnuFile").actions()) file << (a->isSeparator() ? "-" : a->text());
        for (QAction* a : f.control<QMenu>("mnuEdit").actions()) edit << a->text();
        QCOMPARE(file, (QStringList{"&Backup", "&Restore", "-", "E&xit"}));
        QCOMPARE(edit.indexOf("&Options") + 1, edit.indexOf("&Find"));
    }
};

QTEST_MAIN(BackupTest)
#include "tst_backup.moc"
