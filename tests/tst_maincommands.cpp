// The main window's menu, toolbar and idle timer working together on a real window and database.
#include "mainwindow/IdleTimer.h"
#include "mainwindow/SessionLock.h"
#include "tst_main_driver.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
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

const QList<Rec> kRecords = {
    Rec("Bank", "www.bank.example", "me", "pw1", "cheque", "2024-01-02 10:00:00", "old", "pw0"),
    Rec("Bank", "www.bank2.example", "you", "pw2"),
    Rec("Mail", "www.mail.example", "mo", "pw3"),
};

// Everything the file holds, to see that nothing was stored.
QList<QVariantList> everything(const MainWindowFixture& f) {
    QList<QVariantList> rows;
    for (const char* table : {"tblOptions", "tblChildData", "tblMasterData", "tblPassword"})
        rows += f.folder.query(QStringLiteral("SELECT * FROM ") + table);
    return rows;
}

// Logs on at the log-on window over the locked main window.
void logOn(MainWindowFixture& f) {
    QCOMPARE(logOnWindows().size(), 1);
    frmPassword* window = logOnWindows().first();
    window->findChild<QLineEdit*>("txtPassword")->setText("open1sesame");
    window->findChild<QPushButton*>("bttnContinue")->click();
    QTRY_VERIFY(f.form->isVisible());
}

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

    // While locked the main window holds no record and runs no command, however it was locked: the grid has
    // no row, a screen reader finds no cell, group name or password, and every command is off. The log-on
    // brings the window back at the group, row and column it showed.
    void lockedWindowHoldsNothing_data() {
        QTest::addColumn<QString>("by");
        QTest::newRow("Lock Out menu") << "menu";
        QTest::newRow("idle timer") << "timer";
        QTest::newRow("session") << "session";
    }
    void lockedWindowHoldsNothing() {
        QFETCH(QString, by);
        MainWindowFixture f(kRecords, {}, [] { gShowPasswordColumn = gShowPriorUserIDPassword = true; });
        gMasterPassword = QStringLiteral("OPEN1SESAME");
        f.combo().setCurrentIndex(f.combo().findText("Bank"));
        f.form->SSDBCombo_Click();
        f.click(1, 3);
        const QString status = f.status();
        if (by == "menu") {
            f.desktop.answer(Answer::Yes);
            f.control<QAction>("mnuLockOut").trigger();
        } else if (by == "timer") {
            for (int tick = 0; tick < 3 && !f.form->isLocked(); ++tick)
                f.form->idleTimer()->Timer1_Timer();
        } else {
            lockOutForSession(f.form.get());
        }
        QVERIFY(f.form->isLocked());

        QCOMPARE(f.grid().model()->rowCount(), 0);
        QCOMPARE(f.grid().caption(), QString());
        QCOMPARE(f.combo().count(), 0);
        QCOMPARE(f.passwordBox().text(), QString());
        const QStringList reachable = f.accessibleTexts() << f.status();
        for (const Rec& r : kRecords)
            for (const QString& field : {r.group, r.website, r.user, r.password, r.description, r.priorPassword})
                QVERIFY2(!reachable.contains(field), qPrintable(field));
        QVERIFY(!f.form->isEnabled());
        for (QAction* action : f.form->findChildren<QAction*>())
            QVERIFY2(!action->isEnabled(), qPrintable(action->objectName() + action->text()));
        f.control<QAction>("mnuFileExit").trigger();
        f.control<QAction>("ExportData").trigger();
        QCOMPARE(f.desktop.ended, 0);
        QVERIFY(!QDir(gAppPath + "Exports").exists());

        logOn(f);
        QVERIFY(!f.form->isLocked() && f.form->isEnabled());
        QCOMPARE(f.combo().currentText(), QStringLiteral("Bank"));
        QCOMPARE(f.grid().caption(), QStringLiteral("Total Records for Group Name - Bank: 2"));
        QCOMPARE(f.grid().currentRow(), 1);
        QCOMPARE(f.grid().currentColumn(), 3);
        QCOMPARE(f.grid().cellText(3), QStringLiteral("you"));
        QCOMPARE(f.passwordBox().text(), QStringLiteral("pw2"));
        QCOMPARE(f.status(), by == "menu" ? status : QStringLiteral("Keyvale is Ready"));
        QVERIFY(f.control<QAction>("mnuFileExit").isEnabled() && f.control<QAction>("ExportData").isEnabled());
        QVERIFY(f.accessibleTexts().contains("pw2"));
    }

    // The session's lock does not wait for the user: an open window of the program closes as its own Exit or
    // Cancel would, keeping nothing it had not stored (its boxes were ticked), and the program locks. The idle
    // timer, meanwhile, still waits for such a window.
    void sessionLockClosesAnOpenWindow_data() {
        QTest::addColumn<QString>("opener");
        QTest::newRow("generator") << "btnPasswordGenerator";
        QTest::newRow("find") << "mnuEditFind";
        QTest::newRow("options") << "mnuEditOptions";
        QTest::newRow("about") << "mnuHelpAbout";
        QTest::newRow("import selection") << "mnuEditImportSelectData";
    }
    void sessionLockClosesAnOpenWindow() {
        QFETCH(QString, opener);
        MainWindowFixture f(kRecords);
        gMasterPassword = QStringLiteral("OPEN1SESAME");
        f.click(1, 2);
        const QList<QVariantList> stored = everything(f);
        // Boxes that act only through Save (the others change the running program's copy at once).
        const bool confirmUpdate = gConfirmUpdate, shutDown = gShutDownKeyvale;
        QPointer<QDialog> opened;
        bool idleTimerWaited = false;
        QTimer::singleShot(0, [&] {
            opened = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!opened) return;
            for (QCheckBox* box : opened->findChildren<QCheckBox*>())
                box->click();
            for (int tick = 0; tick < 3; ++tick)
                f.form->idleTimer()->Timer1_Timer();
            idleTimerWaited = f.form->isVisible() && !f.form->isLocked();
            lockOutForSession(f.form.get());
        });
        if (opener.startsWith("btn"))
            f.control<QPushButton>(qPrintable(opener)).click();
        else
            f.control<QAction>(qPrintable(opener)).trigger();
        QVERIFY2(idleTimerWaited, "the window opened and the idle timer left it alone");
        QTRY_VERIFY(f.form->isLocked());
        QVERIFY(!opened || !opened->isVisible());
        QVERIFY(!f.form->isVisible());
        QCOMPARE(everything(f), stored);
        QCOMPARE(gConfirmUpdate, confirmUpdate);
        QCOMPARE(gShutDownKeyvale, shutDown);
        QCOMPARE(f.desktop.clipboard, QString());
        QCOMPARE(f.desktop.messages(), QStringList());

        logOn(f);
        QCOMPARE(f.grid().currentRow(), 1);
        QCOMPARE(f.grid().currentColumn(), 2);
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

    // The passwords reach a screen reader only while their column is shown; hidden again, they are gone.
    void passwordsReachScreenReadersOnlyWhileShown() {
        MainWindowFixture f(kRecords);
        const QStringList passwords{"pw0", "pw1", "pw2", "pw3"};
        auto reached = [&] {
            const QStringList texts = f.accessibleTexts();
            QStringList found;
            for (const QString& p : passwords)
                if (texts.contains(p)) found << p;
            return found;
        };
        QCOMPARE(reached(), QStringList());
        QTest::keyClick(&f.view(), Qt::Key_2, Qt::ControlModifier);
        QCOMPARE(reached(), QStringList({"pw1", "pw2", "pw3"}));
        QTest::keyClick(&f.view(), Qt::Key_3, Qt::ControlModifier);
        QCOMPARE(reached(), passwords);
        QTest::keyClick(&f.view(), Qt::Key_2, Qt::ControlModifier);
        QTest::keyClick(&f.view(), Qt::Key_3, Qt::ControlModifier);
        QCOMPARE(reached(), QStringList());
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
