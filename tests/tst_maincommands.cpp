// keyvale_gui
// The main window's menu, toolbar and idle timer working together on a real window and database.
#include "mainwindow/IdleTimer.h"
#include "startup/frmPassword.h"
#include "tools/HelpViewer.h"
#include "tst_main_driver.h"

#include <QAction>
#include <QFile>
#include <QPushButton>
#include <QTimer>

using namespace kv;
using namespace kv::test;

namespace {
frmPassword* logOnWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<frmPassword*>(w); f && f->isVisible()) return f;
    return nullptr;
}
void trigger(const MainWindowFixture& f, const char* action) { f.control<QAction>(action).trigger(); }
} // namespace

class MainCommandsTest : public QObject {
    Q_OBJECT
private slots:
    // Locking from the menu or by the idle timer hides the window behind the log-on window; the master
    // password brings it back as it was.
    void lockOutAndBack_data() {
        QTest::addColumn<bool>("byTimer");
        QTest::newRow("Lock Out menu") << false;
        QTest::newRow("idle timer") << true;
    }
    void lockOutAndBack() {
        QFETCH(bool, byTimer);
        MainWindowFixture f({Rec("Bank", "www.bank.example", "me", "pw1")});
        gMasterPassword = QStringLiteral("OPEN1SESAME");
        if (byTimer) {
            IdleTimer& timer = *f.form->idleTimer();
            QCOMPARE(timer.timer()->interval(), 32000); // ShutDownTime 60 as delivered
            timer.Timer1_Timer();                         // armed at load: this tick warns
            QCOMPARE(f.status(), QStringLiteral("Auto lockout in approx. 30 seconds. Move the mouse over the form "
                                                "to cancel."));
            timer.Timer1_Timer();
            // A lock-out question still open when the timer locked is answered afterwards: still one log-on.
            f.desktop.answer(Answer::Yes);
            trigger(f, "mnuLockOut");
            int logOns = 0;
            for (QWidget* w : QApplication::topLevelWidgets())
                logOns += qobject_cast<frmPassword*>(w) && w->isVisible();
            QCOMPARE(logOns, 1);
        } else {
            f.desktop.answer(Answer::No);
            trigger(f, "mnuLockOut");
            QVERIFY(f.form->isVisible());
            f.desktop.answer(Answer::Yes);
            trigger(f, "mnuLockOut");
            QCOMPARE(f.desktop.last().text, QStringLiteral("Continue with Lock out?"));
            QCOMPARE(f.desktop.last().title, QStringLiteral("Keyvale Lock Out"));
            QCOMPARE(f.desktop.last().icon, Icon::Question);
        }
        QVERIFY(!f.form->isVisible());
        frmPassword* logOn = logOnWindow();
        QVERIFY(logOn);
        logOn->findChild<QLineEdit*>("txtPassword")->setText("open1sesame");
        logOn->findChild<QPushButton*>("bttnContinue")->click();
        QTRY_VERIFY(f.form->isVisible());
        QVERIFY(!logOnWindow());
        QCOMPARE(f.grid().rowCount(), 1);
        QCOMPARE(f.desktop.ended, 0);
    }

    void idleShutdownEndsTheProgram() {
        MainWindowFixture f({}, {}, [] { gShutDownKeyvale = true; });
        IdleTimer& timer = *f.form->idleTimer();
        timer.Timer1_Timer();
        QVERIFY(f.status().startsWith("Auto shutdown in approx. 30 seconds."));
        timer.Timer1_Timer();
        QCOMPARE(f.desktop.ended, 1);
    }

    // The toolbar's export button writes what the grid shows, passwords deciphered when allowed.
    void exportButtonOnTheRealGrid() {
        MainWindowFixture f({Rec("Bank", "www.bank.example", "me", "Pw<1>")}, {}, [] { gExportPassword = true; });
        f.desktop.answer(Answer::Yes);
        f.control<QAction>("ExportData").trigger();
        QFile page(f.folder.file("Exports/ExportHTMLall.htm"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(page.readAll());
        QVERIFY(html.contains("www.bank.example"));
        QVERIFY(html.contains("Pw&lt;1&gt;"));
        QVERIFY(!f.grid().isColumnVisible(4)); // hidden again, as the option says
    }

    // Bookmarks keep their numbers after a delete, so the last record is found by counting rows.
    void lastRecordAfterADelete() {
        MainWindowFixture f({Rec("G", "a"), Rec("G", "b"), Rec("G", "c")});
        f.clickSelector(1);
        f.desktop.answer(Answer::Yes);
        f.key(Qt::Key_Delete);
        QCOMPARE(f.desktop.last().text, QStringLiteral("Delete the selected record?"));
        QCOMPARE(f.grid().rowCount(), 2);
        f.control<QAction>("LastRecord").trigger();
        QCOMPARE(f.grid().cellText(2), QStringLiteral("c"));
        f.control<QAction>("FirstRecord").trigger();
        QCOMPARE(f.grid().cellText(2), QStringLiteral("a"));
        f.control<QAction>("NewRecord").trigger();
        QCOMPARE(f.grid().currentRow(), 2); // the add-new row
        QCOMPARE(f.grid().currentColumn(), 1);
    }

    void helpMenuOpensTheMainWindowTopic() {
        MainWindowFixture f;
        trigger(f, "mnuHelpHelp");
        QVERIFY(HelpViewer::instance() && HelpViewer::instance()->isVisible());
        QVERIFY(HelpViewer::instance()->shownText().contains("main window", Qt::CaseInsensitive));
        delete HelpViewer::instance();
    }
};

QTEST_MAIN(MainCommandsTest)
#include "tst_maincommands.moc"
