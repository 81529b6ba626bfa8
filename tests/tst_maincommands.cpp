// keyvale_gui
// The main window's menu, toolbar and idle timer working together on a real window and database.
#include "mainwindow/IdleTimer.h"
#include "tst_main_driver.h"

#include <QAction>
#include <QFile>
#include <QPushButton>
#include <QTimer>

using namespace kv;
using namespace kv::test;

class MainCommandsTest : public QObject {
    Q_OBJECT
private slots:
    // Locking from the menu or by the idle timer hides the window behind the log-on window; the master
    // password brings it back as it was. With shutdown chosen, the timer ends the program instead.
    void lockOutAndBack_data() {
        QTest::addColumn<QString>("by");
        QTest::newRow("Lock Out menu") << "menu";
        QTest::newRow("idle timer") << "timer";
        QTest::newRow("idle shutdown") << "shutdown";
    }
    void lockOutAndBack() {
        QFETCH(QString, by);
        MainWindowFixture f({Rec("Bank", "www.bank.example", "me", "pw1")}, {},
                            [&] { gShutDownKeyvale = by == "shutdown"; });
        gMasterPassword = QStringLiteral("OPEN1SESAME");
        if (by == "menu") {
            f.desktop.answer(Answer::No);
            f.control<QAction>("mnuLockOut").trigger();
            QVERIFY(f.form->isVisible());
            f.desktop.answer(Answer::Yes);
            f.control<QAction>("mnuLockOut").trigger();
            QCOMPARE(f.desktop.last().text, QStringLiteral("Continue with Lock out?"));
            QCOMPARE(f.desktop.last().title, QStringLiteral("Keyvale Lock Out"));
            QCOMPARE(f.desktop.last().icon, Icon::Question);
        } else {
            QCOMPARE(f.form->idleTimer()->timer()->interval(), 32000); // ShutDownTime 60 as delivered
            // Armed at load: the first tick warns, the second acts.
            f.form->idleTimer()->Timer1_Timer();
            f.form->idleTimer()->Timer1_Timer();
            QCOMPARE(f.desktop.ended, by == "shutdown" ? 1 : 0);
            if (by == "shutdown") return;
            // A lock-out question still open when the timer locked is answered afterwards: still one log-on.
            f.desktop.answer(Answer::Yes);
            f.control<QAction>("mnuLockOut").trigger();
        }
        QVERIFY(!f.form->isVisible());
        QCOMPARE(logOnWindows().size(), 1);
        frmPassword* logOn = logOnWindows().first();
        logOn->findChild<QLineEdit*>("txtPassword")->setText("open1sesame");
        logOn->findChild<QPushButton*>("bttnContinue")->click();
        QTRY_VERIFY(f.form->isVisible());
        QVERIFY(logOnWindows().isEmpty());
        QCOMPARE(f.grid().rowCount(), 1);
        QCOMPARE(f.desktop.ended, 0);
    }

    // The toolbar's export button writes what the grid shows, passwords deciphered when allowed, and leaves
    // the grid as it was.
    void exportButtonOnTheRealGrid() {
        MainWindowFixture f({Rec("Bank", "www.bank.example", "me", "Pw<1>")}, {}, [] { gExportPassword = true; });
        f.desktop.answer(Answer::Yes);
        f.control<QAction>("ExportData").trigger();
        QFile page(f.folder.file("Exports/ExportHTMLall.htm"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(page.readAll());
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
    }
};

QTEST_MAIN(MainCommandsTest)
#include "tst_maincommands.moc"
