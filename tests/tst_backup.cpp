// Backup, restore and the move of the data folder through the real commands, on temporary folders: what
// they write, and that no failure ever costs the user a byte of the database.
#include "exchange/DataFileCopy.h"
#include "exchange/DataFolderMove.h"
#include "platform/BusyProgress.h"
#include "platform/InstanceLock.h"
#include "store/RecordFields.h"
#include "store/Sqlite.h"
#include "tools/frmOptions.h"
#include "tst_main_driver.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QLockFile>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
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

// Each record as "website=description", as the file holds them.
QStringList descriptions(const QString& database) {
    const auto connection = sql::Connection::open(database, kDatabasePassword);
    sql::Statement st(*connection, "select Website || '=' || Description from tblChildData order by Website");
    QStringList out;
    while (st.step())
        out << st.column(0).toString();
    return out;
}

// The main window showing the second of two groups (so its rows are not the first rows of all groups), its
// folder locked and named by the settings file, with the Options dialog open over it.
struct MoveFixture {
    MoveFixture() {
        writeDataFolderSetting(gIniFile, f.folder.path());
        InstanceLock::process().lock(f.folder.path());
        database = databaseBytes(f);
        const int mail = f.combo().findText("Mail");
        f.combo().setCurrentIndex(mail);
        emit f.combo().activated(mail);
        options.show();
    }
    ~MoveFixture() { InstanceLock::process().release(); }

    // Picks the folder in the Options dialog and answers the questions that follow.
    void moveTo(const QString& folder, const QList<Answer>& answers) {
        f.desktop.answerFolder(folder);
        for (Answer a : answers)
            f.desktop.answer(a);
        child<QPushButton>(options, "bttnBrowseLocation")->click();
    }
    // A folder in the scratch folder whose path has `length` characters.
    QString folderOfLength(int length) const {
        return scratch.path() + "/" + QString(length - scratch.path().size() - 1, 'd');
    }
    // The window shows the group it showed, and an edit of its first row lands in that record of the file
    // the program works on.
    void sameGroupWritesItsOwnRecord() {
        options.close();
        showActive(*f.form);
        QCOMPARE(f.combo().currentText(), QString("Mail"));
        QCOMPARE(f.shownColumn(kWebsiteColumn), QStringList({"b.example", "c.example"}));
        f.edit(0, kDescriptionColumn, "edited");
        f.desktop.answer(Answer::Yes); // Save changes?
        f.key(Qt::Key_Return);
        QCOMPARE(f.desktop.last().text, QString("Save changes?"));
        QCOMPARE(descriptions(gDBConnection->path()),
                 QStringList({"a.example=one", "b.example=edited", "c.example=three", "z.example=four"}));
    }

    MainWindowFixture f{{Rec("Bank", "a.example", "ann", "pw-a", "one"), Rec("Mail", "b.example", "bob", "pw-b", "two"),
                         Rec("Mail", "c.example", "cy", "pw-c", "three"),
                         Rec("Bank", "z.example", "zed", "pw-z", "four")}};
    QTemporaryDir scratch;
    frmOptions options{f.form.get()};
    QByteArray database;
};

} // namespace

class BackupTest : public QObject {
    Q_OBJECT
private slots:
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
        // With no backup where the last one went, a picked folder without one is no restore either.
        QTest::newRow("restore, no backup anywhere")
            << "nobackup"
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
            if (how == "nobackup") {
                writeFile(bak, "an older backup");
                gBackupLocation = scratch.filePath("gone");
                f.desktop.answer(Answer::Yes);
                f.desktop.answerFolder(f.folder.path());
            }
        }
        const QString location = gBackupLocation;
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
    // old file as the user says, and leaves the program working on the new file, its lock moved there, with
    // the main window on the group it showed. A folder whose path is as long as the settings file keeps is
    // found again by the next start.
    void moveDataFolder_data() {
        QTest::addColumn<bool>("keepOld");
        QTest::addColumn<int>("pathLength"); // of the new folder; 0: a short one
        QTest::newRow("delete the old file") << false << 0;
        QTest::newRow("keep the old file") << true << 0;
        QTest::newRow("longest path the settings keep") << false << kIniValueLimit - 1;
    }
    void moveDataFolder() {
        QFETCH(bool, keepOld);
        QFETCH(int, pathLength);
        MoveFixture m;
        const QString target = pathLength ? m.folderOfLength(pathLength) : m.scratch.filePath("new");
        QDir().mkpath(target);
        m.moveTo(target, {Answer::Yes, keepOld ? Answer::Yes : Answer::No});
        QCOMPARE(m.f.desktop.prompts[0].text, QString("Selected a folder to move Keyvale data file to..."));
        QCOMPARE(m.f.desktop.prompts[1].text, QString("About to move Keyvale' data!\nDo you want to continue?"));
        QCOMPARE(m.f.desktop.prompts[2].text,
                 QString("Do you want to keep the Keyvale' data in the old location as a backup?"));
        QCOMPARE(m.f.desktop.last().text,
                 keepOld ? QString("Moved Keyvale to the new location and kept the data in the old location for "
                                   "backup purposes.")
                         : QString("Moved Keyvale to the new location and deleted data from the old location."));
        QCOMPARE(m.f.desktop.last().icon, Icon::Information);
        const QString moved = target + "/keyvale.mdb";
        QCOMPARE(fileBytes(moved), m.database);
        QVERIFY(ownerOnly(moved));
        QCOMPARE(fileBytes(m.f.folder.database()), keepOld ? m.database : QByteArray("<missing>"));
        QCOMPARE(gDataFolder, target + "/");
        QCOMPARE(readDataFolderSetting(gIniFile), target + "/");
        QCOMPARE(gDBConnection->path(), moved);
        QCOMPARE(InstanceLock::process().folder(), QFileInfo(target).canonicalFilePath());
        QVERIFY(!InstanceLock().heldByOther(m.f.folder.path())); // the old folder is let go
        QVERIFY(!m.options.isVisible());
        QCOMPARE(m.options.findChild<QLineEdit*>("txtKeyvaleLocation")->text(), target + "/");
        m.sameGroupWritesItsOwnRecord();
    }

    // A move that is refused, stopped or fails leaves the program on its old folder: the settings file names
    // it, its file is as it was, the lock stays there, and the main window shows the group it showed and
    // writes an edit into the record it shows. The user is told why, except for a copy they stopped.
    void moveFailures_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("message");
        QTest::addColumn<Icon>("icon");
        const QString same = "Cannot move Keyvale data file to the same location.";
        QTest::newRow("target not writable") << "readonly"
                                             << "70 - Permission denied" << Icon::Critical;
        QTest::newRow("copy cancelled") << "cancel"
                                        << "" << Icon::None;
        QTest::newRow("settings file cannot take the folder")
            << "newline"
            << "An error has occured writing INI settings..." << Icon::Exclamation;
        QTest::newRow("path longer than the settings keep")
            << "long"
            << "Cannot move Keyvale data file to a folder whose path is longer than 253 characters.\nChoose a "
               "folder with a shorter path."
            << Icon::Information;
        QTest::newRow("same folder, trailing separator") << "slash" << same << Icon::Information;
        QTest::newRow("same folder, through a link") << "link" << same << Icon::Information;
        QTest::newRow("same file, through a hard link")
            << "hardlink"
            << "Cannot copy Keyvale to the same folder it resides in." << Icon::Information;
        QTest::newRow("folder in use by another Keyvale")
            << "held"
            << "Keyvale is already running with the data folder %1.\nClose it before moving Keyvale's data there."
            << Icon::Information;
        QTest::newRow("folder holds a database, No") << "occupied"
                                                     << "The folder '%1' already holds a Keyvale data file.\nDo you "
                                                        "want to replace it with the data being moved?"
                                                     << Icon::Question;
    }
    void moveFailures() {
        QFETCH(QString, how);
        QFETCH(QString, message);
        QFETCH(Icon, icon);
        MoveFixture m;
        const QString here = m.f.folder.path().chopped(1);
        QString folder = m.scratch.filePath("new");
        QDir().mkpath(folder);
        if (how == "readonly") folder = unwritableFolder(m.scratch);
        if (how == "newline") QDir().mkpath(folder = m.scratch.filePath("new\nline"));
        if (how == "long") QDir().mkpath(folder = m.folderOfLength(kIniValueLimit));
        if (how == "slash") folder = here + "/";
        if (how == "link") QFile::link(here, folder = m.scratch.filePath("alias"));
        if (how == "hardlink")
            QCOMPARE(::link(QFile::encodeName(m.f.folder.database()).constData(),
                            QFile::encodeName(folder + "/keyvale.mdb").constData()),
                     0);
        QLockFile otherInstance(InstanceLock::lockFile(folder));
        if (how == "held") QVERIFY(otherInstance.tryLock(0));
        if (how == "occupied") writeFile(folder + "/keyvale.mdb", "another installation's data");
        const QByteArray targetBefore = fileBytes(folder + "/keyvale.mdb");
        QTimer stopper;
        if (how == "cancel") {
            // The progress dialog comes up at the first step, and its Cancel is pressed.
            m.f.clock.autoStep = BusyProgress::kShowAfterMs;
            QObject::connect(&stopper, &QTimer::timeout, [&] {
                if (auto* busy = m.options.findChild<QProgressDialog*>("BusyProgress")) busy->cancel();
            });
            stopper.start(0);
        }
        QList<Answer> answers;
        if (!QStringList({"long", "slash", "link"}).contains(how)) answers << Answer::Yes; // About to move
        if (how == "occupied") answers << Answer::No;
        m.moveTo(folder, answers);
        QVERIFY(m.f.desktop.queueEmpty());
        if (message.isEmpty()) {
            QCOMPARE(m.f.desktop.prompts.size(), 2); // the folder and "About to move"
        } else {
            QCOMPARE(m.f.desktop.last().text, QString(message).replace("%1", folder));
            QCOMPARE(m.f.desktop.last().icon, icon);
        }
        QCOMPARE(fileBytes(folder + "/keyvale.mdb"), how == "newline" ? m.database : targetBefore);
        QCOMPARE(gDataFolder, m.f.folder.path());
        QCOMPARE(readDataFolderSetting(gIniFile), m.f.folder.path());
        QCOMPARE(InstanceLock::process().folder(), QFileInfo(here).canonicalFilePath());
        QVERIFY(m.options.isVisible());
        QCOMPARE(fileBytes(m.f.folder.database()), m.database);
        m.sameGroupWritesItsOwnRecord();
        QCOMPARE(gDBConnection->path(), m.f.folder.database());
    }

    // A tool with no window and no connection open moves the same way, and never replaces a data file it
    // was not allowed to.
    void moveWithoutAConnection() {
        ScriptedDesktop desktop;
        TempAppFolder app(false);
        QTemporaryDir target;
        writeDataFolderSetting(gIniFile, app.path());
        const DataFolderMove move{app.path(), target.path(), gIniFile, nullptr, false, {}};
        writeFile(target.filePath("keyvale.mdb"), "another installation's data");
        QCOMPARE(kv::moveDataFolder(move).outcome, MoveOutcome::FolderHoldsData);
        QCOMPARE(fileBytes(target.filePath("keyvale.mdb")), QByteArray("another installation's data"));
        QVERIFY(QFile::remove(target.filePath("keyvale.mdb")));
        QCOMPARE(kv::moveDataFolder(move).outcome, MoveOutcome::Moved);
        QCOMPARE(fileBytes(target.filePath("keyvale.mdb")), fileBytes(app.database()));
        QCOMPARE(readDataFolderSetting(gIniFile), target.path() + "/");
        QCOMPARE(gDataFolder, target.path() + "/");
        QVERIFY(!gDBConnection);
        QVERIFY(desktop.prompts.isEmpty());
    }

    // A restore that fails part-way keeps the record the user was typing: it is stored before the copy.
    void restoreKeepsTheRowBeingTyped() {
        MainWindowFixture f({Rec("Bank", "www.bank.example", "me", "pw1", "old")});
        QTemporaryDir scratch;
        QVERIFY(QFile::copy(f.folder.database(), scratch.filePath("keyvale.bak")));
        gBackupLocation = scratch.path();
        f.click(0, kDescriptionColumn);
        f.type("typed");
        QVERIFY(f.grid().isEditing());
        f.desktop.answer(Answer::Yes); // Save changes?
        f.desktop.answer(Answer::Yes); // can not be reversed
        setCopyFailureAfter(2048);
        f.control<QAction>("mnuFileRestore").trigger();
        QCOMPARE(f.desktop.messages().first(), QString("Save changes?"));
        QCOMPARE(f.desktop.last().text, QString("Error 61 (Disk full) in mnuFileRestore of Form frmMain"));
        QCOMPARE(f.stored("www.bank.example").value(4), QVariant("typed"));
        QCOMPARE(f.shownColumn(kDescriptionColumn), QStringList{"typed"});
        QVERIFY(!f.grid().isEditing());
    }
};

QTEST_MAIN(BackupTest)
#include "tst_backup.moc"
