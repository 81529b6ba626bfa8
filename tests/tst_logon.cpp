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
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

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
    void click(const char* name) { form->findChild<QPushButton*>(QString::fromLatin1(name))->click(); }
    QStringList stored() const { return folder->storedMasterRecord(); }

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
        QApplication::setActiveWindow(form.get());
    }
    void cleanup() {
        form.reset();
        desk.reset();
        folder.reset();
        setMainWindow(nullptr);
    }

    // The window over the locked main window (the start-up log-on is played from Main). Each try is the
    // password typed, or "password|new|re-entered" with Check1 ticked.
    void tries_data() {
        QTest::addColumn<QStringList>("tries");
        QTest::addColumn<bool>("loggedOn");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("password"); // as stored afterwards
        const QString notStorable = QStringLiteral("The password contains characters that Keyvale can not store: ");
        QTest::newRow("three wrong end the program") << QStringList{"guess1", "guess2", "guess3"} << false
                                                     << QStringList{kInvalid, kInvalid, kInvalid} << "SECRET42";
        QTest::newRow("right at the third")
            << QStringList{"guess1", "guess2", "secret42"} << true << QStringList{kInvalid, kInvalid} << "SECRET42";
        QTest::newRow("changed") << QStringList{"secret42|Better7pw|Better7pw"} << true << QStringList{} << "BETTER7PW";
        QTest::newRow("ticked, new boxes empty") << QStringList{"secret42||"} << true << QStringList{} << "SECRET42";
        QTest::newRow("mismatch by case")
            << QStringList{"secret42|Better7pw|Better7PW"} << false << QStringList{kMismatch} << "SECRET42";
        QTest::newRow("too short") << QStringList{"secret42|bet7|bet7"} << false
                                   << QStringList{"The minimum length for a password is a length of 6"} << "SECRET42";
        QTest::newRow("not storable") << QStringList{"secret42|better7\u4E2D|better7\u4E2D"} << false
                                      << QStringList{notStorable + "\u4E2D"} << "SECRET42";
        QTest::newRow("trailing blank") << QStringList{"secret42|better7 |better7 "} << false
                                        << QStringList{"The password can not begin or end with a blank."} << "SECRET42";
    }
    void tries() {
        QFETCH(QStringList, tries);
        QFETCH(bool, loggedOn);
        QFETCH(QStringList, messages);
        QFETCH(QString, password);
        QWidget main;
        setMainWindow(&main);
        gMainInitialised = true;
        for (const QString& t : tries) {
            const QStringList typed = t.split(u'|');
            box("txtPassword")->setText(typed[0]);
            if (typed.size() == 3) {
                form->findChild<QCheckBox*>(QStringLiteral("Check1"))->setChecked(true);
                box("txtNewPassword")->setText(typed[1]);
                box("txtReEnterNewPassword")->setText(typed[2]);
            }
            box("txtPassword")->setFocus();
            click("bttnContinue");
        }
        QCOMPARE(gLoggedOn, loggedOn);
        QCOMPARE(main.isVisible(), loggedOn);
        QCOMPARE(form->isVisible(), !loggedOn);
        QCOMPARE(desk->messages(), messages);
        for (const Prompt& p : desk->prompts)
            QVERIFY(p.icon == Icon::Information && p.buttons == Buttons::Ok);
        QCOMPARE(desk->ended, messages.count(kInvalid) == 3 ? 1 : 0);
        QCOMPARE(gMasterPassword, password);
        QCOMPARE(stored(), (QStringList{"THREE", "BLUE", password}));
        // A wrong password is to be typed again, a refused new one to be chosen again.
        if (!loggedOn)
            QCOMPARE(form->focusWidget(), box(messages.last() == kInvalid ? "txtPassword" : "txtNewPassword"));
    }

    void leftOnlyThroughItsButtons() {
        form->close();
        QTest::keyClick(form.get(), Qt::Key_Escape);
        QVERIFY(form->isVisible());
        QTest::keyClick(box("txtPassword"), Qt::Key_F1);
        QVERIFY(HelpViewer::instance() && HelpViewer::instance()->isVisible());
        click("bttnQuit");
        QCOMPARE(desk->ended, 1);
        QVERIFY(!gLoggedOn);
    }
};

QTEST_MAIN(LogonTest)
#include "tst_logon.moc"
