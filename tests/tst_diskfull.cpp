// Writes that fail part-way, from an injected failure and on a small file system that is really full: the
// user is told why, the file that was there is byte for byte as it was, and nothing half-written is left
// beside it. And every file the program makes is its user's alone.
#include "mainwindow/ExportFlow.h"
#include "platform/CheckedSaveFile.h"
#include "platform/InstanceLock.h"
#include "access/ProfileFile.h"
#include "access/UserFolders.h"
#include "store/Sqlite.h"
#include "support/FakeGrid.h"
#include "tst_main_driver.h"

#include <QAction>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <fcntl.h>
#include <optional>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kv;
using namespace kv::test;

namespace {

// A file system of its own, small enough to fill; not there when this machine does not let us mount one.
class SmallDisk {
public:
    explicit SmallDisk(const QString& path) : path_(QFile::encodeName(path)) {
        mounted_ = ::mount("tmpfs", path_.constData(), "tmpfs", 0, "size=128k") == 0;
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(path_.constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return mounted_; }

    // Takes all the room left but `spare` bytes (a multiple of the page size).
    void fill(qint64 spare) const {
        const int fd = ::open((path_ + "/filler").constData(), O_WRONLY | O_CREAT, 0600);
        QVERIFY(fd >= 0);
        const QByteArray block(4096, 'f');
        qint64 size = 0;
        for (ssize_t n; (n = ::write(fd, block.constData(), std::size_t(block.size()))) > 0;)
            size += n;
        QVERIFY(::ftruncate(fd, off_t(qMax<qint64>(0, size - spare))) == 0);
        ::close(fd);
    }

private:
    QByteArray path_;
    bool mounted_ = false;
};

// The files in a folder, hidden ones included, without the disk's filler.
QStringList filesIn(const QString& folder) {
    QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    files.removeAll("filler");
    return files;
}

// The mode bits for owner, group and others (Qt's "user" bits describe the running process).
QFileDevice::Permissions modeOf(const QString& path) {
    return QFile::permissions(path) & 0x7077;
}

} // namespace

class DiskFullTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { setWriteFailureAfter(-1); }

    // What each write replaces, where a failure leaves it, and what the user is told.
    void failedWrites_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<bool>("realDisk");
        QTest::addColumn<QString>("message");
        for (const bool real : {false, true}) {
            const QString how = real ? ", full disk" : ", injected";
            QTest::newRow(qPrintable("settings file" + how))
                << "settings" << real << "An error has occured writing INI KeyvaleLocation settings...";
            QTest::newRow(qPrintable("export" + how))
                << "export" << real << "Error 61 (Disk full) in procedure Toolbar_ButtonClick of Form frmMain";
            QTest::newRow(qPrintable("backup" + how))
                << "backup" << real << "Error 61 (Disk full) in mnuFileBackup of Form frmMain";
            QTest::newRow(qPrintable("restore" + how))
                << "restore" << real << "Error 61 (Disk full) in mnuFileRestore of Form frmMain";
            QTest::newRow(qPrintable("per-user database" + how))
                << "per-user" << real << "Error 61 (Disk full) in procedure Main of Module modKeyvale";
        }
    }
    void failedWrites() {
        QFETCH(QString, what);
        QFETCH(bool, realDisk);
        QFETCH(QString, message);
        QTemporaryDir scratch;
        const QString disk = scratch.filePath("disk");
        QVERIFY(QDir().mkpath(disk));
        std::optional<SmallDisk> small;
        if (realDisk && !small.emplace(disk).mounted()) QSKIP("no small file system can be mounted here");

        // For the restore, the data folder is on the disk, and the backup differs from what it holds.
        const std::function<void()> dataOnDisk = [&] {
            const QString backups = scratch.filePath("backups");
            QDir().mkpath(backups);
            gCloseDatabase();
            QFile::copy(gDataFolder + "keyvale.mdb", backups + "/keyvale.bak");
            QFile::copy(gDataFolder + "keyvale.mdb", disk + "/keyvale.mdb");
            gDataFolder = disk + "/";
            gInitializeDB();
            GetOptions();
            gDBConnection->execute("insert into tblMasterData values ('Mail')");
            gBackupLocation = backups;
        };
        std::unique_ptr<MainWindowFixture> window;
        std::unique_ptr<ScriptedDesktop> ownDesktop;
        std::unique_ptr<TempAppFolder> app;
        if (what == "backup" || what == "restore") {
            window = std::make_unique<MainWindowFixture>(QList<Rec>{Rec("Bank", "bank.example")}, QStringList(),
                                                         what == "restore" ? dataOnDisk : nullptr);
        } else {
            ownDesktop = std::make_unique<ScriptedDesktop>();
            app = std::make_unique<TempAppFolder>(false);
        }
        ScriptedDesktop& desktop = window ? window->desktop : *ownDesktop;

        // The file the write replaces, with what it held.
        QString target;
        QByteArray before = "what was there before";
        std::unique_ptr<FakeGrid> grid;
        if (what == "settings") {
            gSettingsFolder = disk + "/";
            target = disk + "/keyvale.ini";
            before = "; the user's notes\n[Options]\nKeyvaleLocation=\n";
        } else if (what == "export") {
            gAppPath = disk + "/";
            QVERIFY(QFile::copy(app->file("KeyvaleTemplate.htm"), disk + "/KeyvaleTemplate.htm"));
            QVERIFY(QDir().mkpath(ExportFlow::exportFolder()));
            target = ExportFlow::exportFolder() + "/ExportHTMLall.htm";
            grid = std::make_unique<FakeGrid>(QStringList{"Group Name", "Website", "User ID"}, QList<QStringList>());
            for (int i = 0; i < 300; ++i)
                grid->rows.append({"Group", QString("site%1.example").arg(i), "someone"});
        } else if (what == "backup") {
            target = disk + "/keyvale.bak";
            desktop.answerFolder(disk);
        } else if (what == "restore") {
            target = disk + "/keyvale.mdb";
            before = fileBytes(target);
            desktop.answer(Answer::Yes);
        } else {
            // An installed copy's first start: its data folder has no database yet.
            gPerUserFolders = true;
            gAppPath = gDataFolder = disk + "/";
            target = disk + "/keyvale.mdb";
            before = "<missing>";
        }
        if (before != "<missing>" && what != "restore") QVERIFY(writeFile(target, before));
        const QStringList filesBefore = filesIn(QFileInfo(target).path());
        // Small files fail at their first byte only on a disk with no room at all.
        if (realDisk)
            small->fill(what == "settings" ? 0 : 4096);
        else
            setWriteFailureAfter(what == "settings" ? 5 : 2048);

        if (what == "settings") {
            InitializeINIfile();
        } else if (what == "export") {
            ExportFlow(*grid).buttonClick();
        } else if (what == "backup") {
            window->control<QAction>("mnuFileBackup").trigger();
        } else if (what == "restore") {
            window->control<QAction>("mnuFileRestore").trigger();
        } else {
            try {
                provideUserDatabase(app->database());
            } catch (const Error& e) {
                desktop.message(errorText(e, "Main of Module modKeyvale"), {}, Buttons::Ok, Icon::None);
            }
        }

        QCOMPARE(desktop.last().text, message);
        QCOMPARE(desktop.last().icon, what == "settings" ? Icon::Exclamation : Icon::None);
        QCOMPARE(desktop.ended, 0);
        QVERIFY(desktop.queueEmpty());
        QCOMPARE(fileBytes(target), before);
        QCOMPARE(filesIn(QFileInfo(target).path()), filesBefore);
        // The window goes on with the database it had.
        if (window) QCOMPARE(window->grid().rowCount(), 1);
        if (what == "restore") QCOMPARE(gDBConnection->path(), target);
    }

    // An installed copy's first start makes its folders, settings file, lock and database for its user
    // alone, whatever the mask the session gives new files; a settings file another program left readable
    // by all is owner-only once written.
    void ownerOnlyFiles() {
        QTemporaryDir home;
        qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
        qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
        const mode_t mask = ::umask(022);
        ScriptedDesktop desktop;
        TempAppFolder delivered(false);
        const QString program = home.filePath("program/");
        QVERIFY(QDir().mkpath(program) && writeFile(program + kInstalledMarker, ""));

        useProgramFolders(QString(), program);
        InitializeINIfile();
        QCOMPARE(InstanceLock::process().lock(gDataFolder), InstanceLock::Outcome::Locked);
        const QFileDevice::Permissions lockMode = modeOf(InstanceLock::lockFile(gDataFolder));
        InstanceLock::process().release();
        provideUserDatabase(delivered.database());
        QVERIFY(QFile::setPermissions(gIniFile, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        QVERIFY(writeProfileString(gIniFile, "Other", "Key", "value"));
        ::umask(mask);

        QVERIFY(desktop.prompts.isEmpty());
        const auto file = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        const auto folder = file | QFileDevice::ExeOwner;
        const QString config = home.filePath("config/keyvale"), data = home.filePath("data/keyvale");
        QCOMPARE(modeOf(config), folder);
        QCOMPARE(modeOf(data), folder);
        QCOMPARE(modeOf(config + "/keyvale.ini"), file);
        QCOMPARE(modeOf(data + "/keyvale.mdb"), file);
        QCOMPARE(lockMode, file);
    }
};

QTEST_MAIN(DiskFullTest)
#include "tst_diskfull.moc"
