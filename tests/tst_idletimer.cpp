// keyvale_gui
#include "mainwindow/IdleTimer.h"
#include "mainwindow/MainToolbar.h"
#include "platform/Error.h"
#include "startup/modKeyvale.h"
#include "store/Options.h"
#include "support/FakeGrid.h"
#include "support/ScriptedDesktop.h"
#include "tools/HelpViewer.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>

using namespace kv;

namespace {

const QString kCancelled = QStringLiteral("Auto Shutdown/Lockout Cancelled");
const QString kSound = QStringLiteral("/tmp/kv-idle/AutoShutdown.wav");

// A main window stand-in: a plain window with a status text, counting the lock-outs and shutdowns the
// idle watch asks for.
struct Window {
    QWidget main;
    QVBoxLayout* layout = new QVBoxLayout(&main);
    QLineEdit* txtPassword = new QLineEdit(&main);
    QString status = QStringLiteral("Keyvale is Ready");
    int lockOuts = 0;
    int shutDowns = 0;
    std::unique_ptr<IdleTimer> idle;

    Window() {
        txtPassword->setObjectName(QStringLiteral("txtPassword"));
        layout->addWidget(txtPassword);
        idle = std::make_unique<IdleTimer>(
            &main, [this](const QString& text) { status = text; }, [this] { return status; }, [this] { ++lockOuts; },
            [this] { ++shutDowns; });
        main.resize(420, 360);
    }
    void show() {
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
    }
    QToolButton* alert() const { return main.findChild<QToolButton*>(QStringLiteral("cmdAlerts")); }
    void tick(int n = 1) {
        for (int i = 0; i < n; ++i)
            idle->Timer1_Timer();
    }
};

QString warningText(bool shutdown, const QString& seconds) {
    return (shutdown ? QStringLiteral("Auto shutdown in approx. ") : QStringLiteral("Auto lockout in approx. ")) +
           seconds + QStringLiteral(" seconds. Move the mouse over the form to cancel.");
}

// A desktop whose waited-for sound takes "a while": the program's timer may tick meanwhile.
class SlowSoundDesktop final : public Desktop {
public:
    explicit SlowSoundDesktop(test::ScriptedDesktop& inner) : inner_(inner) { setDesktop(this); }
    ~SlowSoundDesktop() override { setDesktop(&inner_); }
    std::function<void()> duringWait;

    void playSound(const QString& file, bool wait) override {
        inner_.playSound(file, wait);
        if (wait && duringWait) duringWait();
    }
    Answer message(const QString& t, const QString& ti, Buttons b, Icon i) override {
        return inner_.message(t, ti, b, i);
    }
    std::optional<QString> input(const QString& p, const QString& t, const QString& d) override {
        return inner_.input(p, t, d);
    }
    QString browseForFolder(QObject* o, const QString& f, const QString& t) override {
        return inner_.browseForFolder(o, f, t);
    }
    bool openUrl(const QString& u) override { return inner_.openUrl(u); }
    bool openFolder(const QString& f) override { return inner_.openFolder(f); }
    bool startDetached(const QString& p, const QStringList& a) override { return inner_.startDetached(p, a); }
    void playTune(const QString& f) override { inner_.playTune(f); }
    void stopTune() override { inner_.stopTune(); }
    void beep() override { inner_.beep(); }
    void setClipboardText(const QString& t) override { inner_.setClipboardText(t); }
    void endApplication() override { inner_.endApplication(); }

private:
    test::ScriptedDesktop& inner_;
};

} // namespace

class IdleTimerTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        gFormOpen = false;
        gShutDownTime = 60;
        gShutDownTimeByte = 60;
        gShutDownKeyvale = false;
        gAppPath = QStringLiteral("/tmp/kv-idle/");
    }

    // Counting from the last movement: the first tick arms, the second warns, the third acts.
    void idleCycle_data() {
        QTest::addColumn<int>("shutDownTime");
        QTest::addColumn<bool>("shutdown");
        QTest::addColumn<QString>("seconds");
        QTest::newRow("lock-out after 60") << 60 << false << "30";
        QTest::newRow("shutdown after 60") << 60 << true << "30";
        QTest::newRow("lock-out after 45") << 45 << false << "22.5";
        QTest::newRow("shutdown after 255") << 255 << true << "127.5";
    }
    void idleCycle() {
        QFETCH(int, shutDownTime);
        QFETCH(bool, shutdown);
        QFETCH(QString, seconds);
        gShutDownTime = qint16(shutDownTime);
        gShutDownTimeByte = quint8(shutDownTime);
        gShutDownKeyvale = shutdown;
        test::ScriptedDesktop desk;
        Window w;
        w.show();
        w.idle->ResetAutoShutdown(); // the user has just moved the mouse
        w.status = QStringLiteral("Saved Changes");

        w.tick(); // arms
        QCOMPARE(w.status, QStringLiteral("Saved Changes"));
        QVERIFY(w.alert()->isHidden());
        QVERIFY(desk.sounds.isEmpty());

        w.tick(); // warns
        QCOMPARE(w.status, warningText(shutdown, seconds));
        QVERIFY(w.alert()->isVisible());
        QVERIFY(w.alert()->isChecked());
        QCOMPARE(desk.sounds, QStringList({kSound + " (wait)", kSound}));
        QCOMPARE(w.lockOuts + w.shutDowns, 0);

        w.tick(); // acts
        QCOMPARE(w.shutDowns, shutdown ? 1 : 0);
        QCOMPARE(w.lockOuts, shutdown ? 0 : 1);
        QCOMPARE(desk.sounds.size(), 2);
        QVERIFY(desk.prompts.isEmpty());
        if (shutdown) return;
        QVERIFY(w.main.isHidden());
        QCOMPARE(w.status, QStringLiteral("Keyvale is Ready"));
        QVERIFY(w.alert()->isHidden());
        QVERIFY(!w.alert()->isChecked());

        // Behind the log-on window the cycle starts again from the beginning, not at the warning.
        w.main.show();
        w.tick();
        QCOMPARE(w.status, QStringLiteral("Keyvale is Ready"));
        QCOMPARE(desk.sounds.size(), 2);
        w.tick();
        QCOMPARE(w.status, warningText(false, seconds));
    }

    // A real mouse movement (no button pressed) over any part of the window, including widgets added after
    // the idle watch was set up, takes the warning back.
    void movementCancelsWarning_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("the window itself") << "main";
        QTest::newRow("a box there from the start") << "txtPassword";
        QTest::newRow("a button added later, inside a frame") << "btnLater";
        QTest::newRow("the cells of a grid added later") << "gridViewport";
        QTest::newRow("a toolbar button") << "ShowPasswordText";
    }
    void movementCancelsWarning() {
        QFETCH(QString, target);
        test::ScriptedDesktop desk;
        Window w;
        auto* frame = new QWidget(&w.main);
        auto* frameLayout = new QVBoxLayout(frame);
        auto* later = new QPushButton(QStringLiteral("Later"), frame);
        later->setObjectName(QStringLiteral("btnLater"));
        frameLayout->addWidget(later);
        auto* table = new QTableWidget(3, 3, &w.main);
        table->viewport()->setObjectName(QStringLiteral("gridViewport"));
        test::FakeGrid grid({"a"}, {});
        ViewFlags flags;
        auto* toolbar = new MainToolbar(
            grid, w.txtPassword, flags, [](const QString&) {}, [] {}, [](const QString&) {}, &w.main);
        w.layout->insertWidget(0, toolbar);
        w.layout->addWidget(frame);
        w.layout->addWidget(table);
        w.show();
        QWidget* widget = target == "main" ? &w.main : w.main.findChild<QWidget*>(target);
        QVERIFY(widget);
        QVERIFY(widget->isVisible());
        const QPoint spot = target == "main" ? QPoint(2, 2) : widget->rect().center();

        w.tick();
        QCOMPARE(w.status, warningText(false, "30"));
        QTest::mouseMove(widget, spot);
        QTRY_COMPARE(w.status, kCancelled);
        QVERIFY(w.alert()->isHidden());
        QVERIFY(!w.alert()->isChecked());
        QVERIFY(!w.idle->bShutdownArmed);

        // The idle period started afresh: no lock-out on the next tick.
        w.tick();
        QCOMPARE(w.lockOuts, 0);
        QCOMPARE(w.status, kCancelled);
    }

    // Movement while no warning is pending disarms quietly and leaves the message panel alone.
    void movementWithoutWarningKeepsStatus() {
        test::ScriptedDesktop desk;
        Window w;
        w.show();
        w.status = QStringLiteral("Current Row 3 : Mail, example.org, me");
        QTest::mouseMove(w.txtPassword, QPoint(5, 5));
        QTRY_VERIFY(!w.idle->bShutdownArmed);
        QCOMPARE(w.status, QStringLiteral("Current Row 3 : Mail, example.org, me"));
        w.tick();
        QCOMPARE(w.status, QStringLiteral("Current Row 3 : Mail, example.org, me"));
    }

    // While the user works in another window of the program nothing happens, however long they stay.
    void nothingWhileBusyElsewhere_data() {
        QTest::addColumn<QString>("busy");
        QTest::addColumn<bool>("waits");
        QTest::newRow("a dialog is open") << "formOpen" << true;
        QTest::newRow("options window shown") << "options" << true;
        QTest::newRow("help window shown") << "help" << true;
        QTest::newRow("options window built but hidden") << "hiddenOptions" << false;
        QTest::newRow("another window of that kind") << "otherTitle" << false;
    }
    void nothingWhileBusyElsewhere() {
        QFETCH(QString, busy);
        QFETCH(bool, waits);
        test::ScriptedDesktop desk;
        Window w;
        w.show();
        w.tick(); // the window came up armed: the warning is on screen when the user turns elsewhere
        QCOMPARE(w.status, warningText(false, "30"));

        QWidget other;
        other.setWindowTitle(busy == "otherTitle" ? QStringLiteral("Startup Options")
                                                  : QStringLiteral("Startup Option Settings"));
        if (busy == "formOpen") gFormOpen = true;
        if (busy == "options" || busy == "otherTitle") other.show();
        if (busy == "help") HelpViewer::showTopic(&w.main, QStringLiteral("/nonexistent/help.htm"), 1);
        w.tick(5);
        QCOMPARE(w.lockOuts > 0, !waits);
        QCOMPARE(w.main.isVisible(), waits);
        if (auto* help = HelpViewer::instance()) help->close();
    }

    // The warning sound is waited for; a tick that comes meanwhile must not lock the window before the
    // user has even heard the warning.
    void tickDuringWarningSoundDoesNothing() {
        test::ScriptedDesktop desk;
        SlowSoundDesktop slow(desk);
        Window w;
        w.show();
        slow.duringWait = [&w] { w.tick(3); };
        w.tick();
        QCOMPARE(w.lockOuts, 0);
        QVERIFY(w.main.isVisible());
        QCOMPARE(w.status, warningText(false, "30"));
        QCOMPARE(desk.sounds.size(), 2);
    }

    void interval_data() {
        QTest::addColumn<int>("shutDownTime");
        QTest::addColumn<int>("interval");
        QTest::addColumn<bool>("running");
        QTest::newRow("60") << 60 << 32000 << true;
        QTest::newRow("1") << 1 << 533 << true;
        QTest::newRow("255") << 255 << 136000 << true;
        QTest::newRow("0 never fires") << 0 << 0 << false;
    }
    void interval() {
        QFETCH(int, shutDownTime);
        QFETCH(int, interval);
        QFETCH(bool, running);
        test::ScriptedDesktop desk;
        Window w;
        gShutDownTimeByte = 60;
        w.idle->start();
        gShutDownTimeByte = quint8(shutDownTime);
        w.idle->start();
        QTimer* timer = w.main.findChild<QTimer*>(QStringLiteral("Timer1"));
        QVERIFY(timer);
        QCOMPARE(timer->interval(), interval);
        QCOMPARE(timer->isActive(), running);
        QTest::qWait(20);
        QCOMPARE(w.status, QStringLiteral("Keyvale is Ready"));
    }

    // The running timer drives the cycle by itself: with the shortest setting the window locks within
    // two ticks of being left alone.
    void timerLocksUnattendedWindow() {
        test::ScriptedDesktop desk;
        gShutDownTime = 1;
        gShutDownTimeByte = 1;
        Window w;
        w.show();
        w.idle->start();
        QTRY_COMPARE_WITH_TIMEOUT(w.lockOuts, 1, 3000);
        QVERIFY(w.main.isHidden());
    }

    void errorsAreReported() {
        test::ScriptedDesktop desk;
        QWidget main;
        IdleTimer idle(
            &main, [](const QString&) {},
            []() -> QString { throw Error(5, QStringLiteral("Invalid procedure call or argument")); },
            [] { throw Error(91, QStringLiteral("Object variable not set")); }, [] {});
        idle.ResetAutoShutdown();
        QCOMPARE(desk.messages(), QStringList({"Error 5 (Invalid procedure call or argument) in procedure "
                                               "ResetAutoShutdown of Form frmMain"}));
        desk.clear();
        idle.bShutdownArmed = true;
        idle.Timer1_Timer();
        idle.Timer1_Timer();
        QCOMPARE(desk.messages().last(),
                 QStringLiteral("Error 91 (Object variable not set) in procedure Timer1_Timer of Form frmMain"));
    }
};

QTEST_MAIN(IdleTimerTest)
#include "tst_idletimer.moc"
