#include "startup/frmSetup.h"
#include "startup/modAdmin.h"
#include "startup/modKeyvale.h"
#include "store/Cipher.h"
#include "support/ScriptedDesktop.h"
#include "support/TempAppFolder.h"
#include "tools/HelpViewer.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

using namespace kv;
using namespace kv::test;

namespace {

const QString kWrongAnswer = QStringLiteral("Your question and/or answer are wrong, sorry about your luck.");

// Types text into a box key by key, characters beyond ASCII included.
void type(QLineEdit* box, const QString& text) {
    for (const QChar c : text) QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

struct Stored {
    QString question, answer, password;
};

} // namespace

class SetupTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempAppFolder> folder;
    std::unique_ptr<ScriptedDesktop> desk;
    std::unique_ptr<frmSetup> form;

    QLineEdit* box(const char* name) { return form->findChild<QLineEdit*>(QString::fromLatin1(name)); }
    QLabel* label(const char* name) { return form->findChild<QLabel*>(QString::fromLatin1(name)); }
    void click(const char* name) {
        QTest::mouseClick(form->findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
    }
    // Types an answer into box 1, 2 or 3 as a user would (0: none) and the password twice.
    void fill(int answerBox, const QString& answer, const QString& password1, const QString& password2) {
        if (answerBox > 0) type(box(qPrintable(QStringLiteral("txtAns%1").arg(answerBox))), answer);
        type(box("txtPassword1"), password1);
        type(box("txtPassword2"), password2);
    }
    void open(bool firstRun) {
        gFirstRun = firstRun;
        form = std::make_unique<frmSetup>();
        form->show();
    }
    QList<Stored> stored() {
        QList<Stored> out;
        for (const auto& row : folder->query(QStringLiteral("select Question, Answer, Password from tblPassword")))
            out.append({decipherField(row[0].toString()), decipherField(row[1].toString()),
                        decipherField(row[2].toString())});
        return out;
    }
    // A finished first run: question TWO answered "Rex", password "OLDPASS1".
    void storeFirstRun() {
        gRecoveryQuestion = QStringLiteral("TWO");
        gRecoveryAnswer = QStringLiteral("REX");
        gMasterPassword = QStringLiteral("OLDPASS1");
        SaveMasterPassword();
    }

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
        gPwdLength.clear();
        gAlphaNumeric.clear();
    }

    void firstRunStoresUpperCase() {
        open(true);
        fill(2, QStringLiteral("Rex the Dog"), QStringLiteral("myPass99"), QStringLiteral("myPass99"));
        click("bttnContinue");
        QVERIFY(desk->prompts.isEmpty());
        QVERIFY(!form->isVisible());
        QVERIFY(gSetupDone);
        QVERIFY(!gFirstRun);
        QVERIFY(!gFormOpen);
        const auto rows = stored();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].question, QStringLiteral("TWO"));
        QCOMPARE(rows[0].answer, QStringLiteral("REX THE DOG"));
        QCOMPARE(rows[0].password, QStringLiteral("MYPASS99"));
        QCOMPARE(gMasterPassword, QStringLiteral("MYPASS99"));
    }

    // Typing into another answer box empties the others: the last box typed in is the question.
    void onlyTheLastAnswerCounts() {
        open(true);
        QTest::keyClicks(box("txtAns1"), QStringLiteral("pizza"));
        QTest::keyClicks(box("txtAns3"), QStringLiteral("blue"));
        QVERIFY(box("txtAns1")->text().isEmpty());
        QTest::keyClicks(box("txtAns2"), QStringLiteral("rex"));
        QVERIFY(box("txtAns3")->text().isEmpty());
        QCOMPARE(box("txtAns2")->text(), QStringLiteral("rex"));
        QTest::keyClicks(box("txtAns1"), QStringLiteral("soup"));
        QCOMPARE(box("txtAns1")->text(), QStringLiteral("soup"));
        QVERIFY(box("txtAns2")->text().isEmpty());
        fill(0, {}, QStringLiteral("abc123"), QStringLiteral("abc123"));
        click("bttnContinue");
        QCOMPARE(stored().value(0).question, QStringLiteral("ONE"));
        QCOMPARE(stored().value(0).answer, QStringLiteral("SOUP"));
    }

    void refusals_data() {
        QTest::addColumn<int>("answerBox");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("password1");
        QTest::addColumn<QString>("password2");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("icon");
        const int none = int(Icon::None), info = int(Icon::Information);
        const QString both = QStringLiteral("Please enter a password in both password fields.");
        const QString same = QStringLiteral("Passwords must be the same.");
        QTest::newRow("no answer") << 0 << "" << "abc123" << "abc123"
                                   << "Answer one of the questions to continue." << info;
        QTest::newRow("blank answer") << 3 << "   " << "abc123" << "abc123"
                                      << "Answer one of the questions to continue." << info;
        QTest::newRow("no password") << 1 << "soup" << "" << "" << both << none;
        QTest::newRow("different") << 1 << "soup" << "abc123" << "abc124" << same << none;
        QTest::newRow("trailing blank differs") << 1 << "soup" << "abc123 " << "abc123" << same << none;
        QTest::newRow("too short") << 1 << "soup" << "abc12" << "abc12"
                                   << "The minimum length for a password is a length of 6" << info;
        QTest::newRow("password not storable")
            << 1 << "soup" << "pass\u0142\u4E2D12" << "pass\u0142\u4E2D12"
            << "The password contains characters that Keyvale can not store: \u0142\u4E2D" << info;
        // Micro sign is in the code page, but its upper case (Greek Mu) is not.
        QTest::newRow("upper case not storable")
            << 1 << "soup" << "\u00B5abc123" << "\u00B5abc123"
            << "The password contains characters that Keyvale can not store: \u00B5" << info;
        QTest::newRow("password with a leading blank") << 1 << "soup" << " abc123" << " abc123"
                                                       << "The password can not begin or end with a blank." << info;
        QTest::newRow("answer not storable")
            << 1 << "\u0141\u00F3d\u017A" << "abc123" << "abc123"
            << "The answer contains characters that Keyvale can not store: \u0141\u017A" << info;
    }
    void refusals() {
        QFETCH(int, answerBox);
        QFETCH(QString, answer);
        QFETCH(QString, password1);
        QFETCH(QString, password2);
        QFETCH(QString, message);
        QFETCH(int, icon);
        open(true);
        fill(answerBox, answer, password1, password2);
        click("bttnContinue");
        QCOMPARE(desk->messages(), QStringList{message});
        QCOMPARE(desk->last().icon, Icon(icon));
        QCOMPARE(desk->last().buttons, Buttons::Ok);
        QVERIFY(form->isVisible());
        QVERIFY(!gSetupDone);
        QVERIFY(gFirstRun);
        QVERIFY(stored().isEmpty());
        // The contents stay for the user to correct.
        QCOMPARE(box("txtPassword1")->text(), password1);
    }

    // Characters whose upper case fits the code page can be used although they do not fit themselves.
    void upperCaseThatFitsIsAccepted() {
        open(true);
        fill(1, QStringLiteral("cr\u00E8me"), QStringLiteral("\u00FFabc123"), QStringLiteral("\u00FFabc123"));
        click("bttnContinue");
        QVERIFY(desk->prompts.isEmpty());
        QCOMPARE(stored().value(0).password, QStringLiteral("\u0178ABC123"));
        QCOMPARE(stored().value(0).answer, QStringLiteral("CR\u00C8ME"));
    }

    void recovery_data() {
        QTest::addColumn<int>("answerBox");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("right pair, other case") << 2 << "rex" << true;
        QTest::newRow("right answer, wrong question") << 1 << "Rex" << false;
        QTest::newRow("wrong answer") << 2 << "Max" << false;
        QTest::newRow("trailing blank") << 2 << "Rex " << false;
    }
    void recovery() {
        QFETCH(int, answerBox);
        QFETCH(QString, answer);
        QFETCH(bool, accepted);
        storeFirstRun();
        open(false);
        fill(answerBox, answer, QStringLiteral("newPass7"), QStringLiteral("newPass7"));
        click("bttnContinue");
        QCOMPARE(gSetupDone, accepted);
        QCOMPARE(form->isVisible(), !accepted);
        const auto rows = stored();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].question, QStringLiteral("TWO"));
        QCOMPARE(rows[0].answer, QStringLiteral("REX"));
        QCOMPARE(rows[0].password, accepted ? QStringLiteral("NEWPASS7") : QStringLiteral("OLDPASS1"));
        if (accepted) {
            QVERIFY(desk->prompts.isEmpty());
        } else {
            QCOMPARE(desk->messages(), QStringList{kWrongAnswer});
            QCOMPARE(desk->last().icon, Icon::Information);
        }
    }

    void recoveryHasNoAttemptLimit() {
        storeFirstRun();
        open(false);
        fill(2, QStringLiteral("Max"), QStringLiteral("newPass7"), QStringLiteral("newPass7"));
        for (int i = 0; i < 6; ++i) click("bttnContinue");
        QCOMPARE(desk->messages(), QStringList(6, kWrongAnswer));
        QTest::keyClicks(box("txtAns2"), QStringLiteral("\b\b\brex"));
        QCOMPARE(box("txtAns2")->text(), QStringLiteral("rex"));
        click("bttnContinue");
        QVERIFY(gSetupDone);
        QCOMPARE(stored().value(0).password, QStringLiteral("NEWPASS7"));
    }

    void texts_data() {
        QTest::addColumn<bool>("firstRun");
        QTest::addColumn<QString>("welcome");
        QTest::newRow("first run") << true
                                   << "Welcome to Keyvale.  Please take a moment to answer one of the questions and "
                                      "enter your password.";
        QTest::newRow("recovery") << false
                                  << "So you forgot your password or you restored Keyvale's data and forgot your "
                                     "password that was stored in the backup file!  Simply answer the right question "
                                     "with the right answer and enter a new password.  I hope you kept your answer a "
                                     "secret!";
    }
    void texts() {
        QFETCH(bool, firstRun);
        QFETCH(QString, welcome);
        open(firstRun);
        QCOMPARE(form->windowTitle(), QStringLiteral("Setup Keyvale"));
        QCOMPARE(label("lblWelcome")->text(), welcome);
        QCOMPARE(label("lblWarning")->text(),
                 QStringLiteral("Warning: Since you are keeping all of your secrets in one basket don't write "
                                "Keyvale's password or question and answer down anywhere, keep it a secret.  That's "
                                "why the application is called Keyvale.  The most secret place is in your mind."));
        QCOMPARE(label("Image1")->isVisible(), !firstRun);
        // Only a first run opens the help, at its setup topic.
        const HelpViewer* help = HelpViewer::instance();
        QCOMPARE(help && help->isVisible(), firstRun);
        QVERIFY(gFormOpen);
    }

    void keys() {
        storeFirstRun();
        open(false);
        QApplication::setActiveWindow(form.get());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        box("txtAns1")->setFocus();
        QTest::keyClick(box("txtAns1"), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), box("txtPassword1"));
        QTest::keyClick(box("txtPassword1"), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), box("txtPassword2"));
        QVERIFY(!HelpViewer::instance());
        QTest::keyClick(box("txtPassword2"), Qt::Key_F1);
        QVERIFY(HelpViewer::instance() && HelpViewer::instance()->isVisible());
    }

    void quitEndsTheProgram() {
        open(true);
        fill(1, QStringLiteral("soup"), QStringLiteral("abc123"), QStringLiteral("abc123"));
        click("bttnQuit");
        QCOMPARE(desk->ended, 1);
        QVERIFY(!gSetupDone);
        QVERIFY(stored().isEmpty());
    }
};

QTEST_MAIN(SetupTest)
#include "tst_setup.moc"
