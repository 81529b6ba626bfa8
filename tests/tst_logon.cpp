#include "platform/WidgetRoutines.h"
#include "startup/frmPassword.h"
#include "access/modAdmin.h"
#include "access/modKeyvale.h"
#include "support/ScriptedDesktop.h"
#include "support/TempAppFolder.h"
#include "platform/HelpViewer.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace kv;
using namespace kv::test;

namespace {
const QString kInvalid = QStringLiteral("Invalid Password!");
} // namespace

class LogonTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        setMainWindow(nullptr);
        delete HelpViewer::instance();
    }

    // The window over the locked main window (the start-up log-on is played from Main). Each try is the
    // password typed, or "password|new|re-entered" with Check1 ticked.
    void tries_data() {
        QTest::addColumn<QStringList>("tries");
        QTest::addColumn<bool>("loggedOn");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("password"); // as stored afterwards
        QTest::newRow("three wrong end the program") << QStringList{"guess1", "guess2", "guess3"} << false
                                                     << QStringList{kInvalid, kInvalid, kInvalid} << "SECRET42";
        QTest::newRow("right at the third")
            << QStringList{"guess1", "guess2", "secret42"} << true << QStringList{kInvalid, kInvalid} << "SECRET42";
        QTest::newRow("changed") << QStringList{"secret42|Better7pw|Better7pw"} << true << QStringList{} << "BETTER7PW";
        QTest::newRow("ticked, new boxes empty") << QStringList{"secret42||"} << true << QStringList{} << "SECRET42";
        QTest::newRow("too short") << QStringList{"secret42|bet7|bet7"} << false
                                   << QStringList{"The minimum length for a password is a length of 6"} << "SECRET42";
        QTest::newRow("trailing blank") << QStringList{"secret42|better7 |better7 "} << false
                                        << QStringList{"The password can not begin or end with a blank."} << "SECRET42";
    }
    void tries() {
        QFETCH(QStringList, tries);
        QFETCH(bool, loggedOn);
        QFETCH(QStringList, messages);
        QFETCH(QString, password);
        TempAppFolder folder;
        ScriptedDesktop desk;
        gPwdLength = QStringLiteral("6");
        gAlphaNumeric = QStringLiteral("YES");
        gRecoveryQuestion = QStringLiteral("THREE");
        gRecoveryAnswer = QStringLiteral("BLUE");
        gMasterPassword = QStringLiteral("SECRET42");
        SaveMasterPassword();
        QWidget main;
        setMainWindow(&main);
        gMainInitialised = true;
        frmPassword form;
        form.show();
        const auto box = [&form](const char* name) { return form.findChild<QLineEdit*>(name); };
        const auto click = [&form](const char* name) { form.findChild<QPushButton*>(name)->click(); };

        for (const QString& t : tries) {
            const QStringList typed = t.split(u'|');
            box("txtPassword")->setText(typed[0]);
            if (typed.size() == 3) {
                form.findChild<QCheckBox*>(QStringLiteral("Check1"))->setChecked(true);
                box("txtNewPassword")->setText(typed[1]);
                box("txtReEnterNewPassword")->setText(typed[2]);
            }
            box("txtPassword")->setFocus();
            click("bttnContinue");
        }
        QCOMPARE(gLoggedOn, loggedOn);
        QCOMPARE(main.isVisible(), loggedOn);
        QCOMPARE(form.isVisible(), !loggedOn);
        QCOMPARE(desk.messages(), messages);
        for (const Prompt& p : desk.prompts)
            QVERIFY(p.icon == Icon::Information && p.buttons == Buttons::Ok);
        QCOMPARE(desk.ended, messages.count(kInvalid) == 3 ? 1 : 0);
        QCOMPARE(gMasterPassword, password);
        QCOMPARE(folder.storedMasterRecord(), (QStringList{"THREE", "BLUE", password}));
        if (loggedOn || desk.ended) return;

        // A refused new password is to be chosen again. Neither the close box nor Escape leaves the
        // window; F1 opens the help, Quit ends the program.
        QCOMPARE(form.focusWidget(), box("txtNewPassword"));
        form.close();
        QTest::keyClick(&form, Qt::Key_Escape);
        QVERIFY(form.isVisible());
        QTest::keyClick(box("txtPassword"), Qt::Key_F1);
        QVERIFY(HelpViewer::instance() && HelpViewer::instance()->isVisible());
        click("bttnQuit");
        QCOMPARE(desk.ended, 1);
        QVERIFY(!gLoggedOn);
    }
};

QTEST_MAIN(LogonTest)
#include "tst_logon.moc"
