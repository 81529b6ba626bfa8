// keyvale_gui
// The program as a desktop application: where an installed copy keeps its files, one instance per data
// folder, lock-out with the session, and what it leaves on the clipboard.
#include "mainwindow/SessionLock.h"
#include "platform/QtDesktop.h"
#include "startup/InstanceLock.h"
#include "startup/UserFolders.h"
#include "startup/frmPassword.h"
#include "startup/modKeyvale.h"
#include "store/modDBstuff.h"
#include "tst_main_driver.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QLockFile>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <unistd.h>

using namespace kv;
using namespace kv::test;

namespace {

QList<frmPassword*> logOnWindows() {
    QList<frmPassword*> shown;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<frmPassword*>(w); f && f->isVisible()) shown << f;
    return shown;
}

void writeFile(const QString& path, const QByteArray& content) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

// A second instance on the folder, in a thread of its own (started at once; wait() for its outcome).
struct Elsewhere {
    InstanceLock::Outcome outcome{};
    std::unique_ptr<QThread> thread;
    Elsewhere(const QString& folder, int patienceMs)
        : thread(QThread::create([=, this] { outcome = InstanceLock().lock(folder, patienceMs); })) {
        thread->start();
    }
    // Keeps this thread's instance answering meanwhile.
    InstanceLock::Outcome wait() {
        while (!thread->wait(10))
            QCoreApplication::processEvents();
        return outcome;
    }
};

// A private session bus, so that the test sends its signals to nobody else.
struct PrivateBus {
    QProcess daemon;
    QString address;
    PrivateBus() {
        daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
        if (daemon.waitForStarted(5000) && daemon.waitForReadyRead(5000))
            address = QString::fromLatin1(daemon.readLine()).trimmed();
    }
    ~PrivateBus() {
        QDBusConnection::disconnectFromBus(QStringLiteral("kv-watch"));
        QDBusConnection::disconnectFromBus(QStringLiteral("kv-sender"));
        daemon.kill();
        daemon.waitForFinished();
    }
};

} // namespace

class DesktopIntegrationTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QVERIFY(home_.isValid());
        qputenv("XDG_CONFIG_HOME", home_.filePath("config").toUtf8());
        qputenv("XDG_DATA_HOME", home_.filePath("data").toUtf8());
    }

    // A named folder always wins; a portable copy keeps its own folder; an installed copy (marked so, or
    // one whose folder cannot be written) uses the user's config and data folders.
    void programFolders_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("perUser");
        QTest::newRow("named folder") << "named" << false;
        QTest::newRow("portable copy") << "portable" << false;
        QTest::newRow("installed copy") << "installed" << true;
        QTest::newRow("read-only folder") << "read-only" << true;
    }
    void programFolders() {
        QFETCH(QString, kind);
        QFETCH(bool, perUser);
        if (kind == "read-only" && ::geteuid() == 0) QSKIP("the superuser writes into any folder");
        const QString program = home_.filePath(kind + "/program/");
        const QString named = home_.filePath(kind + "/named/");
        QVERIFY(QDir().mkpath(program));
        if (kind == "installed") writeFile(program + kInstalledMarker, "");
        if (kind == "read-only") QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
        const ProgramFolders found = findProgramFolders(kind == "named" ? named : QString(), program);
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString expected = kind == "named" ? named : program;
        QCOMPARE(found.perUser, perUser);
        QCOMPARE(found.appPath, perUser ? home_.filePath("data/keyvale/") : expected);
        QCOMPARE(found.settingsFolder, perUser ? home_.filePath("config/keyvale/") : expected);
    }

    // An installed copy's first start makes owner-only folders, a settings file naming the user's data
    // folder and a copy of the delivered database there; later starts keep the database as it is, and a
    // data folder the user chose is never filled with an empty one.
    void installedFirstStart() {
        ScriptedDesktop desktop;
        resetProgramState();
        const QString program = home_.filePath("program/");
        QVERIFY(QDir().mkpath(program));
        writeFile(program + kInstalledMarker, "");
        const QString delivered = home_.filePath("delivered.mdb");
        writeFile(delivered, "empty database");

        useProgramFolders({}, program);
        InitializeINIfile();
        const QString data = home_.filePath("data/keyvale/");
        QCOMPARE(gIniFile, home_.filePath("config/keyvale/keyvale.ini"));
        QCOMPARE(gDataFolder, data);
        QVERIFY(provideUserDatabase(delivered));
        QFile copy(data + "keyvale.mdb");
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), QByteArray("empty database"));
        QCOMPARE(copy.permissions() & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
        const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
        QCOMPARE(QFile::permissions(data) & 0x7077, ownerOnly);
        QCOMPARE(QFile::permissions(home_.filePath("config/keyvale")) & 0x7077, ownerOnly);
        QVERIFY(!QFile::exists(program + "keyvale.ini"));

        writeFile(data + "keyvale.mdb", "the user's records");
        QVERIFY(provideUserDatabase(delivered));
        gDataFolder = home_.filePath("usb/");
        QVERIFY(provideUserDatabase(delivered));
        QVERIFY(!QFile::exists(gDataFolder + "keyvale.mdb"));
        QFile kept(data + "keyvale.mdb");
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("the user's records"));
        QVERIFY(desktop.prompts.isEmpty());
    }

    // One instance per data folder: a second start brings the first forward, or, when the first does not
    // answer, waits for it to let go (a restart) and otherwise gives up; folders apart run side by side.
    void oneInstancePerFolder() {
        const QString one = home_.filePath("one"), two = home_.filePath("two");
        QVERIFY(QDir().mkpath(one) && QDir().mkpath(two));
        InstanceLock first;
        int raised = 0;
        connect(&first, &InstanceLock::raiseRequested, this, [&raised] { ++raised; });
        QCOMPARE(first.lock(one), InstanceLock::Outcome::Locked);

        QCOMPARE(Elsewhere(one, 0).wait(), InstanceLock::Outcome::RaisedOther);
        QCOMPARE(raised, 1);
        QVERIFY(first.heldByOther(two) == false);
        QCOMPARE(Elsewhere(two, 0).wait(), InstanceLock::Outcome::Locked);

        // This thread does not answer now: the second start waits its patience out, then gives up.
        InstanceLock second;
        QCOMPARE(second.lock(one, 200), InstanceLock::Outcome::HeldByOther);
        QVERIFY(second.heldByOther(one));
        // An ending instance lets go while the new one waits.
        Elsewhere restart(one, 5000);
        QThread::msleep(300);
        first.release();
        QCOMPARE(restart.wait(), InstanceLock::Outcome::Locked);
        QCOMPARE(raised, 1);
    }

    // A lock left by an instance that crashed is taken over.
    void staleLockTakenOver() {
        const QString folder = home_.filePath("crashed");
        QVERIFY(QDir().mkpath(folder));
        QByteArray content;
        {
            QLockFile held(InstanceLock::lockFile(folder));
            QVERIFY(held.lock());
            QFile f(InstanceLock::lockFile(folder));
            QVERIFY(f.open(QIODevice::ReadOnly));
            content = f.readAll();
        }
        QProcess gone;
        gone.start(QStringLiteral("true"));
        QVERIFY(gone.waitForStarted());
        const qint64 pid = gone.processId();
        QVERIFY(gone.waitForFinished());
        content.replace(0, content.indexOf('\n'), QByteArray::number(pid));
        writeFile(InstanceLock::lockFile(folder), content);
        InstanceLock next;
        QCOMPARE(next.lock(folder, 0), InstanceLock::Outcome::Locked);
        QCOMPARE(next.folder(), QFileInfo(folder).canonicalFilePath());
    }

    // A moved data folder is locked where it now is; a folder another instance holds is not taken.
    void lockFollowsMovedFolder() {
        const QString from = home_.filePath("from"), to = home_.filePath("to"), taken = home_.filePath("taken");
        for (const QString& f : {from, to, taken})
            QVERIFY(QDir().mkpath(f));
        InstanceLock lock, other;
        QCOMPARE(other.lock(taken), InstanceLock::Outcome::Locked);
        QCOMPARE(lock.lock(from), InstanceLock::Outcome::Locked);
        QVERIFY(!lock.moveTo(taken));
        QCOMPARE(lock.folder(), QFileInfo(from).canonicalFilePath());
        QVERIFY(lock.moveTo(to));
        QVERIFY(!other.heldByOther(from));
        QVERIFY(other.heldByOther(to));
    }

    // The screen saver coming on and the machine going to sleep lock the main window out as the idle
    // timer does, clearing the password the program copied; a lock-out waits for an open dialog, and
    // signals that say otherwise, or come from a stranger, change nothing.
    void sessionLocks_data() {
        QTest::addColumn<QString>("interface");
        QTest::addColumn<QString>("signal");
        QTest::addColumn<bool>("value");
        QTest::addColumn<QString>("sender");
        QTest::addColumn<bool>("dialogOpen");
        QTest::addColumn<bool>("locks");
        const QString fd = "org.freedesktop.ScreenSaver", login = "org.freedesktop.login1.Manager";
        QTest::newRow("screen saver on") << fd << "ActiveChanged" << true << "" << false << true;
        QTest::newRow("another desktop's screen saver") << "org.gnome.ScreenSaver" << "ActiveChanged" << true << ""
                                                         << false << true;
        QTest::newRow("screen saver off") << fd << "ActiveChanged" << false << "" << false << false;
        QTest::newRow("sleep") << login << "PrepareForSleep" << true << "org.freedesktop.login1" << false << true;
        QTest::newRow("waking up") << login << "PrepareForSleep" << false << "org.freedesktop.login1" << false
                                   << false;
        QTest::newRow("sleep said by a stranger") << login << "PrepareForSleep" << true << "" << false << false;
        QTest::newRow("while a dialog is open") << fd << "ActiveChanged" << true << "" << true << true;
    }
    void sessionLocks() {
        QFETCH(QString, interface);
        QFETCH(QString, signal);
        QFETCH(bool, value);
        QFETCH(QString, sender);
        QFETCH(bool, dialogOpen);
        QFETCH(bool, locks);
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
            QSKIP("dbus-daemon is not installed");
        PrivateBus bus;
        QVERIFY2(!bus.address.isEmpty(), "the private bus did not start");
        const QDBusConnection watched = QDBusConnection::connectToBus(bus.address, QStringLiteral("kv-watch"));
        QDBusConnection sending = QDBusConnection::connectToBus(bus.address, QStringLiteral("kv-sender"));
        QVERIFY(watched.isConnected() && sending.isConnected());
        if (!sender.isEmpty()) QVERIFY(sending.registerService(sender));

        MainWindowFixture f;
        lockWithSession(f.form.get(), watched, watched);
        f.desktop.setClipboardText(QStringLiteral("k3y"));
        gFormOpen = dialogOpen;
        const QString path = interface == "org.freedesktop.login1.Manager" ? "/org/freedesktop/login1" : "/ScreenSaver";
        QDBusMessage message = QDBusMessage::createSignal(path, interface, signal);
        message << value;
        QVERIFY(sending.send(message));
        if (dialogOpen) {
            QTest::qWait(700);
            QVERIFY(f.form->isVisible());
            gFormOpen = false;
        }
        if (locks) {
            QTRY_VERIFY(!f.form->isVisible());
        } else {
            QTest::qWait(300);
            QVERIFY(f.form->isVisible());
        }
        QCOMPARE(logOnWindows().size(), locks ? 1 : 0);
        QCOMPARE(f.desktop.clipboard, locks ? QString() : QStringLiteral("k3y"));
        QCOMPARE(f.status(), QStringLiteral("Keyvale is Ready"));
        // Locked already: a second signal brings no second log-on window.
        QVERIFY(sending.send(message));
        QTest::qWait(200);
        QCOMPARE(logOnWindows().size(), locks ? 1 : 0);
        qDeleteAll(logOnWindows());
    }

    // The copy is marked secret for clipboard managers; clearing takes only the program's own text, at a
    // lock-out as at the end, when the program lets go of its data folder too.
    void clipboardHygiene_data() {
        QTest::addColumn<bool>("userCopiedSince");
        QTest::newRow("still the program's text") << false;
        QTest::newRow("the user copied something since") << true;
    }
    void clipboardHygiene() {
        QFETCH(bool, userCopiedSince);
        QtDesktop desktop;
        QClipboard* clipboard = QApplication::clipboard();
        desktop.setClipboardText(QStringLiteral("a1b2c3"));
        const QMimeData* data = clipboard->mimeData();
        QVERIFY(data);
        QCOMPARE(data->text(), QStringLiteral("a1b2c3"));
        QCOMPARE(data->data(QStringLiteral("x-kde-passwordManagerHint")), QByteArray("secret"));
        if (userCopiedSince) clipboard->setText(QStringLiteral("my note"));
        const QString folder = home_.filePath("held");
        QVERIFY(QDir().mkpath(folder));
        QCOMPARE(InstanceLock::process().lock(folder), InstanceLock::Outcome::Locked);
        desktop.leaveCleanly();
        QCOMPARE(clipboard->text(), userCopiedSince ? QStringLiteral("my note") : QString());
        QVERIFY(InstanceLock::process().folder().isEmpty());
        QVERIFY(!InstanceLock().heldByOther(folder));
    }

private:
    QTemporaryDir home_;
};

QTEST_MAIN(DesktopIntegrationTest)
#include "tst_desktopintegration.moc"
