#include "startup/frmSetup.h"
#include "access/modAdmin.h"
#include "access/modKeyvale.h"
#include "support/ScriptedDesktop.h"
#include "support/TempAppFolder.h"
#include "platform/HelpViewer.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace kv;
using namespace kv::test;

class SetupTest : public QObject {
    Q_OBJECT
private slots:
    // Each answer starts with the number of its box; "a|b" are two different passwords. Recovery follows a
    // first run that stored question TWO answered "Rex" and sets no limit on the tries: a refused pair is
    // sent four times.
    void continuing_data() {
        QTest::addColumn<bool>("firstRun");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QString>("password");
        QTest::addColumn<Icon>("icon");
        QTest::addColumn<QString>("message"); // empty: accepted
        QTest::addColumn<QStringList>("row"); // question, answer and password as stored afterwards
        QTest::addColumn<bool>("writeFails"); // the master password record cannot be written
        const Icon none = Icon::None, info = Icon::Information;
        const QString empty, cannot = QStringLiteral(" contains characters that Keyvale can not store: ");
        const QStringList nothing, soup{"1soup"};
        // Typing into one answer box empties the others.
        QTest::newRow("the last box typed in counts")
            << true << QStringList{"1pizza", "3blue", "2rex", "1soup"} << "abc123" << none << empty
            << QStringList{"ONE", "SOUP", "ABC123"} << false;
        // Their own code page lacks them, but their upper case has them.
        QTest::newRow("upper case that can be stored") << true << QStringList{"3cr\u00E8me"} << "\u00FFabc123" << none
                                                       << empty << QStringList{"THREE", "CR\u00C8ME", "\u0178ABC123"} << false;
        QTest::newRow("no answer") << true << nothing << "abc123" << info << "Answer one of the questions to continue."
                                   << nothing << false;
        QTest::newRow("no password") << true << soup << empty << none
                                     << "Please enter a password in both password fields." << nothing << false;
        QTest::newRow("different") << true << soup << "abc123|abc124" << none << "Passwords must be the same."
                                   << nothing << false;
        // Named once each. The micro sign can be stored, but its upper case (Greek Mu) can not.
        QTest::newRow("password not storable") << true << soup << "pass\u0142\u00B5\u4E2D\u014212" << info
                                               << "The password" + cannot + "\u0142\u00B5\u4E2D" << nothing << false;
        QTest::newRow("answer not storable") << true << QStringList{"1\u0141\u00F3d\u017A"} << "abc123" << info
                                             << "The answer" + cannot + "\u0141\u017A" << nothing << false;
        const QStringList before{"TWO", "REX", "OLDPASS1"};
        // The answer was stored with a blank after it, which reading it back took away.
        QTest::newRow("recovery, blanks around the answer")
            << false << QStringList{"2 Rex "} << "newPass7" << none << empty << QStringList{"TWO", "REX", "NEWPASS7"}
            << false;
        // Setup stays open rather than let the main window open on a file with no master password.
        QTest::newRow("first run, cannot write") << true << soup << "abc123" << Icon::Critical << "3146 - disk full" << nothing
                                                 << true;
        QTest::newRow("recovery, cannot write") << false << QStringList{"2rex"} << "newPass7" << Icon::Critical
                                                << "3146 - disk full" << before << true;
    }
    void continuing() {
        QFETCH(bool, firstRun);
        QFETCH(QStringList, answers);
        QFETCH(QString, password);
        QFETCH(Icon, icon);
        QFETCH(QString, message);
        QFETCH(QStringList, row);
        QFETCH(bool, writeFails);
        TempAppFolder folder;
        ScriptedDesktop desk;
        gPwdLength = QStringLiteral("6");
        gAlphaNumeric = QStringLiteral("YES");
        if (!firstRun) {
            gRecoveryQuestion = QStringLiteral("TWO");
            gRecoveryAnswer = QStringLiteral("REX");
            gMasterPassword = QStringLiteral("OLDPASS1");
            QVERIFY(SaveMasterPassword());
        }
        for (const char* when : {"INSERT", "UPDATE"})
            if (writeFails)
                folder.execute(QStringLiteral("CREATE TRIGGER no%1 BEFORE %1 ON tblPassword BEGIN SELECT "
                                              "RAISE(ABORT, 'disk full'); END").arg(when));
        gFirstRun = firstRun;
        frmSetup form;
        form.show();
        const auto box = [&form](const QString& name) { return form.findChild<QLineEdit*>(name); };
        const auto click = [&form](const char* name) { form.findChild<QPushButton*>(name)->click(); };
        // Only a first run opens the help beside it.
        QCOMPARE(HelpViewer::instance() && HelpViewer::instance()->isVisible(), firstRun);
        box("txtAns1")->setFocus();
        QTest::keyClick(box("txtAns1"), Qt::Key_Tab); // one answer is enough: on to the password
        QCOMPARE(form.focusWidget(), box("txtPassword1"));

        // The answers are typed key by key, characters beyond ASCII included.
        for (const QString& a : answers)
            for (const QChar c : a.mid(1))
                QTest::sendKeyEvent(QTest::Click, box("txtAns" + a.left(1)), Qt::Key_unknown, c, Qt::NoModifier);
        const QStringList typed = password.split(u'|');
        box("txtPassword1")->setText(typed.first());
        box("txtPassword2")->setText(typed.last());
        const int presses = message.isEmpty() || firstRun ? 1 : 4;
        for (int i = 0; i < presses; ++i)
            click("bttnContinue");
        const bool accepted = message.isEmpty();
        QCOMPARE(desk.messages(), accepted ? QStringList() : QStringList(presses, message));
        QCOMPARE(form.isVisible(), !accepted);
        QCOMPARE(gSetupDone, accepted);
        QCOMPARE(gFirstRun, firstRun && !accepted);
        QCOMPARE(folder.storedMasterRecord(), row);
        if (accepted) {
            QCOMPARE(gMasterPassword, row[2]);
            return;
        }
        QCOMPARE(desk.last().icon, icon);
        QCOMPARE(desk.last().buttons, Buttons::Ok);
        QCOMPARE(box("txtPassword1")->text(), typed.first()); // kept to be corrected
        // Escape does not end the program, Quit does.
        QTest::keyClick(&form, Qt::Key_Escape);
        QVERIFY(form.isVisible());
        click("bttnQuit");
        QCOMPARE(desk.ended, 1);
    }
};

QTEST_MAIN(SetupTest)
#include "tst_setup.moc"
