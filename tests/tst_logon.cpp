#include "platform/Units.h"
#include "startup/WidgetRoutines.h"
#include "startup/frmPassword.h"
#include "startup/modAdmin.h"
#include "startup/modKeyvale.h"
#include "store/Cipher.h"
#include "support/ScriptedDesktop.h"
#include "support/TempAppFolder.h"
#include "tools/HelpViewer.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

using namespace kv;
using namespace kv::test;

namespace {
const QString kInvalid = QStringLiteral("Invalid Password!");
const QString kMismatch = QStringLiteral("New Password and Re-enter Password do not match!");
} // namespace

class LogonTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempAppFolder> folder;
    std::unique_ptr<ScriptedDesktop> desk;
    std::unique_ptr<frmPassword> form;

    QLineEdit* box(const char* name) { return form->findChild<QLineEdit*>(QString::fromLatin1(name)); }
    QCheckBox* check() { return form->findChild<QCheckBox*>(QStringLiteral("Check1")); }
    void click(const char* name) {
        QTest::mouseClick(form->findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
    }
    // One press of Continue with what is typed in the three boxes; a new password ticks Check1.
    void attempt(const QString& password, const QString& newPassword = {}, const QString& reEnter = {}) {
        box("txtPassword")->setText(password);
        if (!newPassword.isEmpty() || !reEnter.isEmpty()) check()->setChecked(true);
        box("txtNewPassword")->setText(newPassword);
        box("txtReEnterNewPassword")->setText(reEnter);
        click("bttnContinue");
    }
    QStringList storedRow() {
        const auto rows = folder->query(QStringLiteral("select Question, Answer, Password from tblPassword"));
        if (rows.size() != 1) return {};
        return {decipherField(rows[0][0].toString()), decipherField(rows[0][1].toString()),
                decipherField(rows[0][2].toString())};
    }

private slots:
    void init() {
        folder = std::make_unique<TempAppFolder>();
        desk = std::make_unique<ScriptedDesktop>();
        gPwdLength = QStringLiteral("6");
        gAlphaNumeric = QStringLiteral("YES");
        gRecoveryQuestion = QStringLiteral("THREE");
        gRecoveryAnswer = QStringLiteral("BLUE");
        gMasterPassword = QStringLiteral("SECRET42");
        SaveMasterPassword();
        form = std::make_unique<frmPassword>();
        form->show();
    }
    void cleanup() {
        form.reset();
        desk.reset();
        folder.reset();
        setMainWindow(nullptr);
        gPwdLength.clear();
        gAlphaNumeric.clear();
    }

    void lowerCaseLogsOn() {
        QVERIFY(gFormOpen);
        QTest::keyClicks(box("txtPassword"), QStringLiteral("secret42"));
        QTest::keyClick(box("txtPassword"), Qt::Key_Return);
        QVERIFY(desk->prompts.isEmpty());
        QVERIFY(gLoggedOn);
        QVERIFY(!form->isVisible());
        QCOMPARE(form->result(), int(QDialog::Accepted));
        QVERIFY(!gFormOpen);
        QCOMPARE(form->attempts(), 0);
    }

    // Steps: w = wrong password, r = right password, m = right password with a mismatched new one,
    // b = right password with a new one that breaks the rules.
    void attemptLimit_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<int>("closedAfter"); // 0: still open after all steps
        QTest::addColumn<bool>("loggedOn");
        QTest::addColumn<QStringList>("messages");
        const QString tooShort = QStringLiteral("The minimum length for a password is a length of 6");
        QTest::newRow("three wrong") << "www" << 3 << false << QStringList{kInvalid, kInvalid, kInvalid};
        QTest::newRow("right at the third") << "wwr" << 3 << true << QStringList{kInvalid, kInvalid};
        QTest::newRow("mismatch does not end the tries")
            << "wwm" << 0 << false << QStringList{kInvalid, kInvalid, kMismatch};
        QTest::newRow("the fourth after a mismatch ends them")
            << "wwmw" << 4 << false << QStringList{kInvalid, kInvalid, kMismatch, kInvalid};
        QTest::newRow("broken rule does not end the tries")
            << "wwbw" << 4 << false << QStringList{kInvalid, kInvalid, tooShort, kInvalid};
    }
    void attemptLimit() {
        QFETCH(QString, steps);
        QFETCH(int, closedAfter);
        QFETCH(bool, loggedOn);
        QFETCH(QStringList, messages);
        for (int i = 0; i < steps.size(); ++i) {
            QVERIFY2(form->isVisible(), "closed too early");
            switch (steps[i].toLatin1()) {
            case 'w': attempt(QStringLiteral("guess1")); break;
            case 'r': attempt(QStringLiteral("Secret42")); break;
            case 'm': attempt(QStringLiteral("secret42"), QStringLiteral("newpass1"), QStringLiteral("newpass2")); break;
            case 'b': attempt(QStringLiteral("secret42"), QStringLiteral("new1"), QStringLiteral("new1")); break;
            }
            QCOMPARE(form->isVisible(), closedAfter == 0 || i + 1 < closedAfter);
        }
        QCOMPARE(gLoggedOn, loggedOn);
        QCOMPARE(desk->messages(), messages);
        for (const Prompt& p : desk->prompts) {
            QCOMPARE(p.icon, Icon::Information);
            QCOMPARE(p.buttons, Buttons::Ok);
        }
        QCOMPARE(desk->ended, 0);
        QCOMPARE(storedRow().value(2), QStringLiteral("SECRET42"));
    }

    void lockedOutEndsAtTheThirdFailure() {
        QWidget main;
        setMainWindow(&main);
        gMainInitialised = true;
        gLoggedOn = true;
        attempt(QStringLiteral("guess1"));
        attempt(QStringLiteral("guess2"));
        QCOMPARE(desk->ended, 0);
        attempt(QStringLiteral("guess3"));
        QCOMPARE(desk->ended, 1);
        QVERIFY(!main.isVisible());
    }

    void unlockShowsTheMainWindowAgain() {
        QWidget main;
        main.setObjectName(QStringLiteral("frmMain"));
        setMainWindow(&main);
        gMainInitialised = true;
        attempt(QStringLiteral("guess1"));
        attempt(QStringLiteral("guess2"));
        attempt(QStringLiteral("SECRET42"));
        QVERIFY(main.isVisible());
        QCOMPARE(mainWindow(), &main);
        QVERIFY(!form->isVisible());
        QCOMPARE(desk->ended, 0);
        // The success started the count afresh: the next lock-out again allows three tries.
        QCOMPARE(form->attempts(), 0);
    }

    void passwordChange() {
        attempt(QStringLiteral("secret42"), QStringLiteral("Better7pw"), QStringLiteral("Better7pw"));
        QVERIFY(desk->prompts.isEmpty());
        QVERIFY(gLoggedOn);
        QCOMPARE(gMasterPassword, QStringLiteral("BETTER7PW"));
        QCOMPARE(storedRow(), (QStringList{"THREE", "BLUE", "BETTER7PW"}));
    }

    void refusedChanges_data() {
        QTest::addColumn<QString>("newPassword");
        QTest::addColumn<QString>("reEnter");
        QTest::addColumn<QString>("message");
        QTest::newRow("mismatch") << "Better7pw" << "Better7PW" << kMismatch;
        QTest::newRow("too short") << "bet7" << "bet7" << "The minimum length for a password is a length of 6";
        QTest::newRow("not storable") << "better7\u4E2D" << "better7\u4E2D"
                                      << "The password contains characters that Keyvale can not store: \u4E2D";
        QTest::newRow("trailing blank") << "better7 " << "better7 "
                                        << "The password can not begin or end with a blank.";
    }
    void refusedChanges() {
        QFETCH(QString, newPassword);
        QFETCH(QString, reEnter);
        QFETCH(QString, message);
        QApplication::setActiveWindow(form.get());
        attempt(QStringLiteral("secret42"), newPassword, reEnter);
        QCOMPARE(desk->messages(), QStringList{message});
        QCOMPARE(desk->last().icon, Icon::Information);
        QVERIFY(form->isVisible());
        QVERIFY(!gLoggedOn);
        QCOMPARE(gMasterPassword, QStringLiteral("SECRET42"));
        QCOMPARE(storedRow(), (QStringList{"THREE", "BLUE", "SECRET42"}));
        QCOMPARE(form->focusWidget(), box("txtNewPassword"));
    }

    void tickedWithEmptyBoxesJustLogsOn() {
        check()->setChecked(true);
        attempt(QStringLiteral("secret42"));
        QVERIFY(desk->prompts.isEmpty());
        QVERIFY(gLoggedOn);
        QCOMPARE(storedRow(), (QStringList{"THREE", "BLUE", "SECRET42"}));
    }

    void expandsAndCollapses() {
        const int width = form->width();
        QCOMPARE(form->height(), twipsToPixels(2200, form.get()));
        QVERIFY(!box("txtNewPassword")->isVisible());
        QTest::mouseClick(check(), Qt::LeftButton, {}, QPoint(8, check()->height() / 2));
        QVERIFY(check()->isChecked());
        QCOMPARE(form->height(), twipsToPixels(3190, form.get()));
        QCOMPARE(form->width(), width);
        QVERIFY(box("txtNewPassword")->isVisible());
        QVERIFY(box("txtReEnterNewPassword")->isVisible());
        // The user cannot resize it.
        form->resize(width + 100, 500);
        QCOMPARE(form->size(), QSize(width, twipsToPixels(3190, form.get())));
        check()->setChecked(false);
        QCOMPARE(form->height(), twipsToPixels(2200, form.get()));
        QVERIFY(!box("txtNewPassword")->isVisible());
    }

    void leftOnlyThroughItsButtons() {
        QCOMPARE(form->windowTitle(), QStringLiteral("Keyvale - Enter Password"));
        QVERIFY(!(form->windowFlags() & Qt::WindowCloseButtonHint));
        form->close();
        QVERIFY(form->isVisible());
        QTest::keyClick(form.get(), Qt::Key_Escape);
        QVERIFY(form->isVisible());
        click("bttnQuit");
        QCOMPARE(desk->ended, 1);
        QVERIFY(!gLoggedOn);
    }

    void f1OpensHelp() {
        QVERIFY(!HelpViewer::instance());
        QTest::keyClick(box("txtPassword"), Qt::Key_F1);
        QVERIFY(HelpViewer::instance() && HelpViewer::instance()->isVisible());
    }

};

QTEST_MAIN(LogonTest)
#include "tst_logon.moc"
