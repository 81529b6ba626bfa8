#include "startup/frmSetup.h"
#include "startup/modAdmin.h"
#include "startup/modKeyvale.h"
#include "store/Cipher.h"
#include "support/ScriptedDesktop.h"
#include "support/TempAppFolder.h"
#include "tools/HelpViewer.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace kv;
using namespace kv::test;

namespace {
const QString kWrongAnswer = QStringLiteral("Your question and/or answer are wrong, sorry about your luck.");
} // namespace

class SetupTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempAppFolder> folder;
    std::unique_ptr<ScriptedDesktop> desk;
    std::unique_ptr<frmSetup> form;

    QLineEdit* box(const QString& name) { return form->findChild<QLineEdit*>(name); }
    void click(const char* name) { form->findChild<QPushButton*>(QString::fromLatin1(name))->click(); }
    // Types key by key (characters beyond ASCII included) as a user would.
    void type(const QString& name, const QString& text) {
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, box(name), Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    // Each answer starts with the number of its box.
    void fill(const QStringList& answers, const QString& password1, const QString& password2) {
        for (const QString& a : answers)
            type(QStringLiteral("txtAns") + a.left(1), a.mid(1));
        type(QStringLiteral("txtPassword1"), password1);
        type(QStringLiteral("txtPassword2"), password2);
    }
    // Recovery follows a finished first run: question TWO answered "Rex", password "OLDPASS1".
    void open(bool firstRun) {
        if (!firstRun) {
            gRecoveryQuestion = QStringLiteral("TWO");
            gRecoveryAnswer = QStringLiteral("REX");
            gMasterPassword = QStringLiteral("OLDPASS1");
            SaveMasterPassword();
        }
        gFirstRun = firstRun;
        form = std::make_unique<frmSetup>();
        form->show();
    }
    QStringList stored() const { return folder->storedMasterRecord(); }

private slots:
    void init() {
        folder = std::make_unique<TempAppFolder>();
        desk = std::make_unique<ScriptedDesktop>();
        gPwdLength = QStringLiteral("6");
        gAlphaNumeric = QStringLiteral("YES");
    }
    void cleanup() {
        form.reset();
        desk.reset();
        folder.reset();
    }

    // Each answer starts with the number of its box; "a|b" are two different passwords. Recovery sets no
    // limit on the tries: a refused pair is sent four times.
    void continuing_data() {
        QTest::addColumn<bool>("firstRun");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("message"); // empty: accepted
        QTest::addColumn<QStringList>("row"); // question, answer and password as stored afterwards
        const int none = int(Icon::None), info = int(Icon::Information);
        const QString cannot = QStringLiteral("The password contains characters that Keyvale can not store: ");
        const QString empty;
        const QStringList nothing, soup{"1soup"}, rex{"TWO", "REX", "OLDPASS1"};
        // Typing into one answer box empties the others.
        QTest::newRow("the last box typed in counts")
            << true << QStringList{"1pizza", "3blue", "2rex", "1soup"} << "abc123" << none << empty
            << QStringList{"ONE", "SOUP", "ABC123"};
        // Their own code page lacks them, but their upper case has them.
        QTest::newRow("upper case that can be stored") << true << QStringList{"3cr\u00E8me"} << "\u00FFabc123" << none
                                                       << empty << QStringList{"THREE", "CR\u00C8ME", "\u0178ABC123"};
        QTest::newRow("no answer") << true << nothing << "abc123" << info << "Answer one of the questions to continue."
                                   << nothing;
        QTest::newRow("no password") << true << soup << empty << none
                                     << "Please enter a password in both password fields." << nothing;
        QTest::newRow("different") << true << soup << "abc123|abc124" << none << "Passwords must be the same."
                                   << nothing;
        QTest::newRow("too short") << true << soup << "abc12" << info
                                   << "The minimum length for a password is a length of 6" << nothing;
        QTest::newRow("password not storable")
            << true << soup << "pass\u0142\u4E2D12" << info << cannot + "\u0142\u4E2D" << nothing;
        // The micro sign can be stored, but its upper case (Greek Mu) can not.
        QTest::newRow("upper case not storable")
            << true << soup << "\u00B5abc123" << info << cannot + "\u00B5" << nothing;
        QTest::newRow("leading blank") << true << soup << " abc123" << info
                                       << "The password can not begin or end with a blank." << nothing;
        QTest::newRow("answer not storable")
            << true << QStringList{"1\u0141\u00F3d\u017A"} << "abc123" << info
            << "The answer contains characters that Keyvale can not store: \u0141\u017A" << nothing;
        QTest::newRow("recovery, wrong answer")
            << false << QStringList{"2Max"} << "newPass7" << info << kWrongAnswer << rex;
        QTest::newRow("recovery, trailing blank")
            << false << QStringList{"2Rex "} << "newPass7" << info << kWrongAnswer << rex;
    }
    void continuing() {
        QFETCH(bool, firstRun);
        QFETCH(QStringList, answers);
        QFETCH(QString, password);
        QFETCH(int, icon);
        QFETCH(QString, message);
        QFETCH(QStringList, row);
        open(firstRun);
        QCOMPARE(HelpViewer::instance() && HelpViewer::instance()->isVisible(), firstRun); // only a first run opens it
        const QStringList typed = password.split(u'|');
        fill(answers, typed.first(), typed.last());
        const int presses = message.isEmpty() || firstRun ? 1 : 4;
        for (int i = 0; i < presses; ++i)
            click("bttnContinue");
        const bool accepted = message.isEmpty();
        QCOMPARE(desk->messages(), accepted ? QStringList() : QStringList(presses, message));
        QCOMPARE(form->isVisible(), !accepted);
        QCOMPARE(gSetupDone, accepted);
        QCOMPARE(gFirstRun, firstRun && !accepted);
        QCOMPARE(stored(), row);
        if (accepted) {
            QCOMPARE(gMasterPassword, row[2]);
            return;
        }
        QCOMPARE(desk->last().icon, Icon(icon));
        QCOMPARE(desk->last().buttons, Buttons::Ok);
        QCOMPARE(box(QStringLiteral("txtPassword1"))->text(), typed.first()); // kept to be corrected
    }

    // Tab from an answer goes on to the password; Escape does not end the program, Quit does.
    void keysAndQuit() {
        open(false);
        QApplication::setActiveWindow(form.get());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        box(QStringLiteral("txtAns1"))->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), box(QStringLiteral("txtPassword1")));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(form->isVisible());
        click("bttnQuit");
        QCOMPARE(desk->ended, 1);
        QVERIFY(!gSetupDone);
    }
};

QTEST_MAIN(SetupTest)
#include "tst_setup.moc"
