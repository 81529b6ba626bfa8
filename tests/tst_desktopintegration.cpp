// The program as a desktop application: an installed copy's folders, one instance per data folder,
// lock-out with the session, and what it leaves on the clipboard.
#include "mainwindow/SessionLock.h"
#include "platform/InstanceLock.h"
#include "platform/QtDesktop.h"
#include "access/UserFolders.h"
#include "tst_main_driver.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QLockFile>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <unistd.h>

using namespace kv;
using namespace kv::test;
using Outcome = InstanceLock::Outcome;

namespace {

// A second instance on the folder, in a thread of its own so that this one keeps answering.
struct Elsewhere {
    Outcome outcome{};
    std::unique_ptr<QThread> thread;
    Elsewhere(const QString& folder, int patienceMs)
        : thread(QThread::create([=, this] { outcome = InstanceLock().lock(folder, patienceMs); })) {
        thread->start();
    }
    Outcome wait() {
        while (!thread->wait(10))
            QCoreApplication::processEvents();
        return outcome;
    }
};

} // namespace

class DesktopIntegrationTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
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
        const QString program = home_.filePath(kind + "/program/"), named = home_.filePath(kind + "/named/");
        QVERIFY(QDir().mkpath(program));
        if (kind == "installed") QVERIFY(writeFile(program + kInstalledMarker, ""));
        if (kind == "read-only") QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
        const ProgramFolders found = findProgramFolders(kind == "named" ? named : QString(), program);
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString own = kind == "named" ? named : program;
        QCOMPARE(found.perUser, perUser);
        QCOMPARE(found.appPath, perUser ? home_.filePath("data/keyvale/") : own);
        QCOMPARE(found.settingsFolder, perUser ? home_.filePath("config/keyvale/") : own);
    }

    // The per-user data folder gets the delivered database once, owner-only; a data folder the user chose
    // is never filled with an empty one.
    void userDatabase() {
        const QString delivered = home_.filePath("delivered.mdb"), data = home_.filePath("data/keyvale/");
        QVERIFY(writeFile(delivered, "empty"));
        gPerUserFolders = true;
        gAppPath = gDataFolder = data;
        provideUserDatabase(delivered);
        QVERIFY(writeFile(data + "keyvale.mdb", "records")); // the user's own now: a later start keeps it
        provideUserDatabase(delivered);
        gDataFolder = home_.filePath("usb/");
        provideUserDatabase(delivered);
        QCOMPARE(QFile::permissions(data + "keyvale.mdb") & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
        QVERIFY(!QFile::exists(home_.filePath("usb/keyvale.mdb")));
        QCOMPARE(fileBytes(data + "keyvale.mdb"), QByteArray("records"));
        resetProgramState();
    }

    // A second start brings the first forward; when the first does not answer it waits for the lock (an
    // ending instance lets go) and otherwise gives up. Folders apart run side by side.
    void oneInstancePerFolder() {
        const QString one = home_.filePath("one"), two = home_.filePath("two");
        QVERIFY(QDir().mkpath(one) && QDir().mkpath(two));
        InstanceLock first;
        int raised = 0;
        connect(&first, &InstanceLock::raiseRequested, this, [&raised] { ++raised; });
        QCOMPARE(first.lock(one), Outcome::Locked);
        QCOMPARE(Elsewhere(one, 0).wait(), Outcome::RaisedOther);
        QCOMPARE(raised, 1);

        InstanceLock second;
        QCOMPARE(second.lock(two), Outcome::Locked);

        // This thread does not answer now: the other start waits its patience out.
        QCOMPARE(InstanceLock().lock(one, 200), Outcome::HeldByOther);
        Elsewhere restart(one, 5000);
        QThread::msleep(300);
        first.release();
        QCOMPARE(restart.wait(), Outcome::Locked);
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
            content = fileBytes(InstanceLock::lockFile(folder));
        }
        QProcess gone;
        gone.start(QStringLiteral("true"));
        QVERIFY(gone.waitForStarted());
        content.replace(0, content.indexOf('\n'), QByteArray::number(gone.processId()));
        QVERIFY(gone.waitForFinished());
        QVERIFY(writeFile(InstanceLock::lockFile(folder), content));
        QCOMPARE(InstanceLock().lock(folder, 0), Outcome::Locked);
    }

    // The screen saver coming on and the machine going to sleep lock the main window out as the idle timer
    // does, clearing the password the program copied; signals that say otherwise, or come from a stranger,
    // change nothing.
    void sessionLocks_data() {
        QTest::addColumn<QString>("interface");
        QTest::addColumn<bool>("value");
        QTest::addColumn<QString>("sender");
        QTest::addColumn<bool>("locks");
        const QString fd = "org.freedesktop.ScreenSaver", sleep = "org.freedesktop.login1.Manager";
        QTest::newRow("screen saver on") << fd << true << "" << true;
        QTest::newRow("another desktop's screen saver") << "org.gnome.ScreenSaver" << true << "" << true;
        QTest::newRow("screen saver off") << fd << false << "" << false;
        QTest::newRow("sleep") << sleep << true << "org.freedesktop.login1" << true;
        QTest::newRow("waking up") << sleep << false << "org.freedesktop.login1" << false;
        QTest::newRow("sleep said by a stranger") << sleep << true << "" << false;
    }
    void sessionLocks() {
        QFETCH(QString, interface);
        QFETCH(bool, value);
        QFETCH(QString, sender);
        QFETCH(bool, locks);
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
            QSKIP("dbus-daemon is not installed");
        QProcess daemon; // a private bus: the signals go to nobody else
        daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
        QVERIFY(daemon.waitForReadyRead(5000));
        const QString address = QString::fromLatin1(daemon.readLine()).trimmed();
        QDBusConnection watched = QDBusConnection::connectToBus(address, QStringLiteral("watched"));
        QDBusConnection sending = QDBusConnection::connectToBus(address, QStringLiteral("sending"));
        if (!sender.isEmpty()) QVERIFY(sending.registerService(sender));
        {
            MainWindowFixture f;
            lockWithSession(f.form.get(), watched, watched);
            f.desktop.setClipboardText(QStringLiteral("k3y"));
            const bool sleeping = interface.endsWith("Manager");
            QDBusMessage message = QDBusMessage::createSignal(
                sleeping ? "/org/freedesktop/login1" : "/ScreenSaver", interface,
                sleeping ? "PrepareForSleep" : "ActiveChanged");
            QVERIFY(sending.send(message << value));
            if (locks)
                QTRY_VERIFY(f.form->isLocked());
            else
                QTest::qWait(300);
            QCOMPARE(f.form->isVisible(), !locks);
            QCOMPARE(logOnWindows().size(), locks ? 1 : 0);
            QCOMPARE(f.desktop.clipboard, locks ? QString() : QStringLiteral("k3y"));
            qDeleteAll(logOnWindows());
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("watched"));
        QDBusConnection::disconnectFromBus(QStringLiteral("sending"));
        daemon.kill();
        daemon.waitForFinished();
    }

    // The copy is marked secret for clipboard managers; at the end only the program's own text is cleared,
    // and the data folder is let go.
    void clipboardAtTheEnd_data() {
        QTest::addColumn<bool>("userCopiedSince");
        QTest::newRow("still the program's text") << false;
        QTest::newRow("the user copied something since") << true;
    }
    void clipboardAtTheEnd() {
        QFETCH(bool, userCopiedSince);
        QtDesktop desktop;
        QClipboard* clipboard = QApplication::clipboard();
        desktop.setClipboardText(QStringLiteral("a1b2c3"));
        QCOMPARE(clipboard->text(), QStringLiteral("a1b2c3"));
        QCOMPARE(clipboard->mimeData()->data(QStringLiteral("x-kde-passwordManagerHint")), QByteArray("secret"));
        if (userCopiedSince) clipboard->setText(QStringLiteral("my note"));
        const QString folder = home_.filePath("held");
        QVERIFY(QDir().mkpath(folder));
        QCOMPARE(InstanceLock::process().lock(folder), Outcome::Locked);
        desktop.leaveCleanly();
        QCOMPARE(clipboard->text(), userCopiedSince ? QStringLiteral("my note") : QString());
        QVERIFY(!InstanceLock().heldByOther(folder));
    }

private:
    QTemporaryDir home_;
};

QTEST_MAIN(DesktopIntegrationTest)
#include "tst_desktopintegration.moc"
