#include "mainwindow/IdleTimer.h"
#include "access/modKeyvale.h"
#include "store/Options.h"
#include "support/ScriptedDesktop.h"
#include "platform/HelpViewer.h"

#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <utility>

using namespace kv;

namespace {

const QString kReady = QStringLiteral("Keyvale is Ready");
const QString kSound = QStringLiteral("/tmp/kv-idle/AutoShutdown.wav");

// A main window stand-in: a window with a password box and a status text, counting lock-outs.
struct Window {
    QWidget main;
    QVBoxLayout* layout = new QVBoxLayout(&main);
    QLineEdit* txtPassword = new QLineEdit(&main);
    QString status = kReady;
    std::function<void()> onStatus;
    int lockOuts = 0;
    IdleTimer* idle = new IdleTimer(
        &main,
        [this](const QString& text) {
            status = text;
            if (onStatus) onStatus();
        },
        [this] { return status; }, [this] { ++lockOuts; }, [] {});

    Window() {
        layout->addWidget(txtPassword);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
    }
    QToolButton* alert() const { return main.findChild<QToolButton*>(QStringLiteral("cmdAlerts")); }
    void tick(int n = 1) {
        for (int i = 0; i < n; ++i)
            idle->Timer1_Timer();
    }
};

} // namespace

class IdleTimerTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        gFormOpen = false;
        gShutDownTime = gShutDownTimeByte = 60;
        gShutDownKeyvale = false;
        gAppPath = QStringLiteral("/tmp/kv-idle/");
    }

    // Counting from the last movement: the first tick arms, the second warns, the third locks the program.
    void idleCycle() {
        gShutDownTime = gShutDownTimeByte = 45;
        test::ScriptedDesktop desk;
        Window w;
        w.status = QStringLiteral("Saved Changes");
        w.idle->ResetAutoShutdown(); // movement with no warning on screen leaves the message alone
        // A tick that arrives while the warning is still being given must not act on it.
        bool first = true;
        w.onStatus = [&] {
            if (std::exchange(first, false)) w.tick(3);
        };

        w.tick(); // arms
        QCOMPARE(w.status, QStringLiteral("Saved Changes"));
        QVERIFY(w.alert()->isHidden());

        w.tick(); // warns
        const QString warning =
            QStringLiteral("Auto lockout in approx. 22.5 seconds. Move the mouse over the form to cancel.");
        QCOMPARE(w.status, warning);
        QVERIFY(w.alert()->isVisible() && w.alert()->isChecked());
        QCOMPARE(desk.sounds, QStringList({kSound + " (wait)", kSound}));
        QCOMPARE(w.lockOuts, 0);

        w.tick(); // locks
        QCOMPARE(w.lockOuts, 1);
        QVERIFY(desk.prompts.isEmpty());
        QVERIFY(w.main.isHidden());
        QCOMPARE(w.status, kReady);
        QVERIFY(w.alert()->isHidden() && !w.alert()->isChecked());

        // Behind the log-on window the cycle starts again from the beginning, not at the warning.
        w.main.show();
        w.tick();
        QCOMPARE(w.status, kReady);
        w.tick();
        QCOMPARE(w.status, warning);
    }

    // A real mouse movement over any part of the window, including widgets added after the idle watch was set
    // up, takes the warning back and starts the idle period afresh.
    void movementCancelsWarning() {
        test::ScriptedDesktop desk;
        Window w;
        auto* table = new QTableWidget(3, 3, &w.main);
        w.layout->addWidget(table);
        table->show();
        for (QWidget* widget : {static_cast<QWidget*>(w.txtPassword), table->viewport()}) {
            w.idle->ResetAutoShutdown();
            w.tick(2);
            QCOMPARE(w.status,
                     QStringLiteral("Auto lockout in approx. 30 seconds. Move the mouse over the form to cancel."));
            QTest::mouseMove(widget, widget->rect().center());
            QTRY_COMPARE(w.status, QStringLiteral("Auto Shutdown/Lockout Cancelled"));
            QVERIFY(w.alert()->isHidden() && !w.alert()->isChecked());
            w.tick();
            QCOMPARE(w.lockOuts, 0);
        }
    }

    // While the user works in another window of the program nothing happens, however long they stay.
    void nothingWhileBusyElsewhere_data() {
        QTest::addColumn<QString>("busy");
        QTest::addColumn<bool>("waits");
        QTest::newRow("a dialog is open") << "formOpen" << true;
        QTest::newRow("options window shown") << "options" << true;
        QTest::newRow("help window shown") << "help" << true;
        QTest::newRow("options window built but hidden") << "hiddenOptions" << false;
    }
    void nothingWhileBusyElsewhere() {
        QFETCH(QString, busy);
        QFETCH(bool, waits);
        test::ScriptedDesktop desk;
        Window w;
        w.tick(); // the window came up armed: the warning is on screen when the user turns elsewhere
        QWidget other;
        other.setWindowTitle(QStringLiteral("Startup Option Settings"));
        gFormOpen = busy == "formOpen";
        if (busy == "options") other.show();
        if (busy == "help") HelpViewer::showTopic(&w.main, QStringLiteral("/nonexistent/help.htm"), 1);
        w.tick(5);
        QCOMPARE(w.lockOuts > 0, !waits);
        QCOMPARE(w.main.isVisible(), waits);
        if (auto* help = HelpViewer::instance()) help->close();
    }

    // A length of 0 means never (a 0 ms timer would fire at every turn of the event loop); any other runs
    // the cycle by itself.
    void interval() {
        test::ScriptedDesktop desk;
        Window w;
        gShutDownTimeByte = 0;
        w.idle->start();
        QVERIFY(!w.idle->timer()->isActive());
        gShutDownTimeByte = 1;
        w.idle->start();
        QTRY_COMPARE_WITH_TIMEOUT(w.lockOuts, 1, 3000);
    }
};

QTEST_MAIN(IdleTimerTest)
#include "tst_idletimer.moc"
