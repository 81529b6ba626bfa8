// keyvale_gui
// The main window's menu, toolbar and idle timer working together on a real window and database.
#include "mainwindow/IdleTimer.h"
#include "tst_main_driver.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

using namespace kv;
using namespace kv::test;

namespace {
// How the program ends or locks with a row in edit; `stored` is the description in the file afterwards.
struct Ending {
    QString by;
    bool confirm;
    QString group;
    QList<Answer> answers;
    QStringList asked;
    bool ends;
    QString stored;
};
} // namespace
Q_DECLARE_METATYPE(Ending)

class MainCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { qDeleteAll(logOnWindows()); }

    // A description typed and tabbed past is pending when the program ends or locks. Exit and the close box
    // store it as leaving the row would, and stay open when it is refused or the user cancels; the idle
    // shutdown stores it only when nobody need be asked, else drops it whole; a lock-out keeps it in edit
    // for after the log-on. `group` is put into the row as well; `asked` are the boxes shown, in order.
    void endingWithARowInEdit_data() {
        QTest::addColumn<Ending>("e");
        const QString save = "Save changes?", lock = "Continue with Lock out?";
        const QString newGroup = "The Master Group Name does not exists.\nAre you sure you want to create it?";
        QTest::newRow("Exit, confirmed") << Ending{"exit", true, "Bank", {Answer::Yes}, {save}, true, "typed"};
        QTest::newRow("Exit, changes dropped") << Ending{"exit", true, "Bank", {Answer::No}, {save}, true, "old"};
        QTest::newRow("Exit, cancelled") << Ending{"exit", true, "Bank", {Answer::Cancel}, {save}, false, "old"};
        QTest::newRow("close box, no group name")
            << Ending{"close", false, "", {}, {"Please enter a Group Name!"}, false, "old"};
        QTest::newRow("close box, new group refused")
            << Ending{"close", false, "Shop", {Answer::No}, {newGroup}, false, "old"};
        QTest::newRow("idle shutdown stores") << Ending{"shutdown", false, "Bank", {}, {}, true, "typed"};
        QTest::newRow("idle shutdown, confirmation on") << Ending{"shutdown", true, "Bank", {}, {}, true, "old"};
        QTest::newRow("idle shutdown, new group") << Ending{"shutdown", false, "Shop", {}, {}, true, "old"};
        QTest::newRow("idle lock-out") << Ending{"timer", true, "Bank", {}, {}, false, "old"};
        // Answering No first leaves everything as it was.
        QTest::newRow("Lock Out menu")
            << Ending{"menu", false, "Bank", {Answer::No, Answer::Yes}, {lock, lock}, false, "old"};
        QTest::newRow("closed while locked")
            << Ending{"locked close", true, "Bank", {Answer::Yes}, {lock}, true, "old"};
    }
    void endingWithARowInEdit() {
        QFETCH(Ending, e);
        const auto& [by, confirm, group, answers, asked, ends, stored] = e;
        MainWindowFixture f({Rec("Bank", "www.bank.example", "me", "pw1", "old")}, {}, [&] {
            gConfirmUpdate = confirm;
            gShutDownKeyvale = by == "shutdown";
        });
        gMasterPassword = QStringLiteral("OPEN1SESAME");
        f.click(0, 5);
        f.type("typed");
        f.key(Qt::Key_Tab);
        if (group != "Bank") f.grid().setCellValue(1, group);
        for (Answer a : answers)
            f.desktop.answer(a);

        if (by == "exit")
            f.control<QAction>("mnuFileExit").trigger();
        else if (by == "close")
            f.form->close();
        else if (by == "locked close")
            f.control<QAction>("mnuLockOut").trigger(), f.form->close();
        else if (by == "menu")
            f.control<QAction>("mnuLockOut").trigger(), f.control<QAction>("mnuLockOut").trigger();
        else
            f.form->idleTimer()->Timer1_Timer(), f.form->idleTimer()->Timer1_Timer(); // warns, then acts

        QCOMPARE(f.desktop.messages(), asked);
        if (asked.contains("Save changes?")) QCOMPARE(f.desktop.last().buttons, Buttons::YesNoCancel);
        QCOMPARE(f.desktop.ended, int(ends));
        QCOMPARE(f.stored("www.bank.example").mid(0, 5), QVariantList({"Bank", "www.bank.example", "me", "pw1", stored}));
        QCOMPARE(f.count("SELECT COUNT(*) FROM tblMasterData"), 1); // no group left behind
        if (ends) return;
        const bool locked = by == "timer" || by == "menu";
        QCOMPARE(f.form->isVisible(), !locked);
        if (locked) {
            // A lock-out question still open when the timer locked is answered afterwards: still one log-on.
            if (by == "timer") {
                f.desktop.answer(Answer::Yes);
                f.control<QAction>("mnuLockOut").trigger();
            }
            QCOMPARE(logOnWindows().size(), 1);
            frmPassword* logOn = logOnWindows().first();
            logOn->findChild<QLineEdit*>("txtPassword")->setText("open1sesame");
            logOn->findChild<QPushButton*>("bttnContinue")->click();
            QTRY_VERIFY(f.form->isVisible());
        }
        QVERIFY(f.grid().isEditing());
        QCOMPARE(f.grid().cellText(5), QString("typed"));
    }

    // The toolbar's commands are on the View menu, between Edit and Lock Out, each showing its key; the
    // keys work from the grid, where the focus is.
    void viewMenu() {
        MainWindowFixture f({Rec("Bank", "www.bank.example", "me", "pw1")});
        QStringList entries;
        for (QAction* a : f.form->menuBar()->actions() + f.control<QMenu>("mnuView").actions())
            if (!a->isSeparator()) entries << a->text() + " " + a->shortcut().toString();
        QCOMPARE(entries, QStringList({"&File ", "&Edit ", "&View ", "&Lock Out ", "&Help ",
                                       "Show Password Textbox Ctrl+1", "Show Password Column Ctrl+2",
                                       "Show Prior Columns Ctrl+3", "First Record Ctrl+Shift+Home",
                                       "Last Record Ctrl+Shift+End", "New Record Ctrl+N", "Export Data Ctrl+E",
                                       "Export &To "}));
        QTest::keyClick(&f.view(), Qt::Key_2, Qt::ControlModifier);
        QVERIFY(f.grid().isColumnVisible(4));
    }

    // Bookmarks keep their numbers after a delete, so the last record is found by counting rows.
    void lastRecordAfterADelete() {
        MainWindowFixture f({Rec("G", "a"), Rec("G", "b"), Rec("G", "c")});
        f.clickSelector(1);
        f.desktop.answer(Answer::Yes);
        f.key(Qt::Key_Delete);
        QCOMPARE(f.desktop.last().text, QStringLiteral("Delete the selected record?"));
        QCOMPARE(f.folder.query("SELECT Website FROM tblChildData"), (QList<QVariantList>{{"a"}, {"c"}}));
        QCOMPARE(f.grid().caption(), QString("Total Records for all Groups: 2"));
        f.control<QAction>("LastRecord").trigger();
        QCOMPARE(f.grid().cellText(2), QStringLiteral("c"));
    }
};

QTEST_MAIN(MainCommandsTest)
#include "tst_maincommands.moc"
