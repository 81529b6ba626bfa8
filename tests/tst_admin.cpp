#include "startup/frmAdmin.h"
#include "startup/modAdmin.h"
#include "store/Cipher.h"
#include "support/ScriptedDesktop.h"
#include "support/TempAppFolder.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

using namespace kv;
using namespace kv::test;

namespace {

const QString kLengthMessage = QStringLiteral("The minimum length for a password is a length of ");
const QString kAlphaMessage = QStringLiteral("Password must contain alpha and numeric values!");

QString summary(const QString& length, bool alphaNumeric) {
    return QStringLiteral("The current administrative settings are as follows: \n"
                          "The minimum password length for Keyvale's passord is: ") +
           length + QStringLiteral("\n") +
           (alphaNumeric ? QStringLiteral("Alfa/Numeric characters are required for Keyvale's password.")
                         : QStringLiteral("No Alfa/Numerica character requirement for Keyvale's password.")) +
           QStringLiteral("\n\nSave the settings?");
}

} // namespace

class AdminTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempAppFolder> folder;
    std::unique_ptr<ScriptedDesktop> desk;
    std::unique_ptr<frmAdmin> form;

    QLineEdit* length() { return form->findChild<QLineEdit*>(QStringLiteral("txtPasswordLength")); }
    QCheckBox* alpha() { return form->findChild<QCheckBox*>(QStringLiteral("chkAlphaNumericPassword")); }
    void clickOk() { QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("btnOK")), Qt::LeftButton); }
    int storedRules() { return folder->scalar(QStringLiteral("select count(*) from tbladmin")).toInt(); }

private slots:
    void init() {
        folder = std::make_unique<TempAppFolder>();
        desk = std::make_unique<ScriptedDesktop>();
        gPwdLength.clear();
        gAlphaNumeric.clear();
        form = std::make_unique<frmAdmin>();
        form->show();
    }
    void cleanup() {
        form.reset();
        desk.reset();
        folder.reset();
        gPwdLength.clear();
        gAlphaNumeric.clear();
    }

    void validation_data() {
        QTest::addColumn<QString>("pwdLength");
        QTest::addColumn<QString>("alphaNumeric");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message"); // empty: accepted

        QTest::newRow("six letters") << "6" << "YES" << "abcdef" << kAlphaMessage;
        QTest::newRow("six digits") << "6" << "YES" << "123456" << kAlphaMessage;
        QTest::newRow("too short, length first") << "6" << "YES" << "abc12" << kLengthMessage + "6";
        QTest::newRow("letters and digits") << "6" << "YES" << "abc123" << "";
        QTest::newRow("punctuation is the alpha half") << "6" << "YES" << "!?.,;1" << "";
        QTest::newRow("lower-case yes is no rule") << "6" << "yes" << "abcdef" << "";
        QTest::newRow("NOS") << "6" << "NOS" << "abcdef" << "";
        QTest::newRow("no rules loaded") << "" << "" << "" << "";
        QTest::newRow("6.5 needs seven") << "6.5" << "NOS" << "abcdef" << kLengthMessage + "6.5";
        QTest::newRow("6.5 takes seven") << "6.5" << "NOS" << "abcdefg" << "";
        QTest::newRow("leading number of a text") << "8 chars" << "NOS" << "abcdefg" << kLengthMessage + "8 chars";
        QTest::newRow("not a number is no minimum") << "abc" << "NOS" << "a" << "";
    }
    void validation() {
        QFETCH(QString, pwdLength);
        QFETCH(QString, alphaNumeric);
        QFETCH(QString, password);
        QFETCH(QString, message);
        gPwdLength = pwdLength;
        gAlphaNumeric = alphaNumeric;
        QCOMPARE(gAdminValidation(password), message.isEmpty());
        if (message.isEmpty()) {
            QVERIFY(desk->prompts.isEmpty());
            return;
        }
        QCOMPARE(desk->prompts.size(), 1);
        QCOMPARE(desk->last().text, message);
        QCOMPARE(desk->last().icon, Icon::Information);
        QCOMPARE(desk->last().buttons, Buttons::Ok);
        QCOMPARE(desk->last().title, QString());
    }

    // A refused length keeps the window open, whether the user pressed Ok or closed it.
    void refusedLengths_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("byCloseBox");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("beeps");
        QTest::addColumn<QString>("textAfter");
        const int none = int(Icon::None), info = int(Icon::Information);
        const QString notNumeric = QStringLiteral("Password Length must be a numeric value from 3 to 15!");
        QTest::newRow("2") << "2" << false << "The minimum password length is 3" << none << 1 << "3";
        QTest::newRow("2 by the close box") << "2" << true << "The minimum password length is 3" << none << 1 << "3";
        QTest::newRow("16") << "16" << false << "The maximum password length is 15" << none << 0 << "15";
        QTest::newRow("letters") << "six" << false << notNumeric << info << 0 << "six";
        QTest::newRow("empty") << "" << true << notNumeric << info << 0 << "";
        QTest::newRow("infinity is no number") << "inf" << false << notNumeric << info << 0 << "inf";
    }
    void refusedLengths() {
        QFETCH(QString, typed);
        QFETCH(bool, byCloseBox);
        QFETCH(QString, message);
        QFETCH(int, icon);
        QFETCH(int, beeps);
        QFETCH(QString, textAfter);
        length()->setText(typed);
        if (byCloseBox)
            form->close();
        else
            clickOk();
        QCOMPARE(desk->messages(), QStringList{message});
        QCOMPARE(desk->last().icon, Icon(icon));
        QCOMPARE(desk->last().buttons, Buttons::Ok);
        QCOMPARE(desk->beeps, beeps);
        QCOMPARE(length()->text(), textAfter);
        QVERIFY(form->isVisible());
        QCOMPARE(storedRules(), 0);
    }

    void savedRules_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<QString>("shownLength");
        QTest::addColumn<QString>("storedLength");
        QTest::addColumn<QString>("storedAlpha");
        QTest::newRow("designer values") << "6" << true << "6" << "6" << "YES";
        QTest::newRow("blanks around 7") << " 7 " << false << "7" << "7" << "NOS";
        QTest::newRow("6.5 kept as typed") << "6.5" << true << "6.5" << "6.5" << "YES";
        QTest::newRow("15") << "15" << false << "15" << "15" << "NOS";
    }
    void savedRules() {
        QFETCH(QString, typed);
        QFETCH(bool, checked);
        QFETCH(QString, shownLength);
        QFETCH(QString, storedLength);
        QFETCH(QString, storedAlpha);
        length()->setText(typed);
        alpha()->setChecked(checked);
        desk->answer(Answer::Yes);
        clickOk();
        QCOMPARE(desk->messages(), QStringList{summary(shownLength, checked)});
        QCOMPARE(desk->last().buttons, Buttons::YesNoCancel);
        QCOMPARE(desk->last().icon, Icon::Information);
        QVERIFY(!form->isVisible());
        QCOMPARE(form->result(), int(QDialog::Accepted));
        QCOMPARE(gPwdLength, storedLength);
        QCOMPARE(gAlphaNumeric, storedAlpha);

        const auto rows = folder->query(QStringLiteral("select pwdLength, AlphaNumeric from tbladmin"));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(decipherField(rows[0][0].toString()), storedLength);
        QCOMPARE(decipherField(rows[0][1].toString()), storedAlpha);

        // The next start reads back the same rules.
        gPwdLength.clear();
        gAlphaNumeric.clear();
        GetAdminInfo();
        QCOMPARE(gPwdLength, storedLength);
        QCOMPARE(gAlphaNumeric, storedAlpha);
    }

    void noKeepsTheWindowThenYesSaves() {
        length()->setText(QStringLiteral("8"));
        desk->answer(Answer::No);
        clickOk();
        QVERIFY(form->isVisible());
        QCOMPARE(storedRules(), 0);
        QVERIFY(gPwdLength.isEmpty());

        length()->setText(QStringLiteral("9"));
        desk->answer(Answer::Yes);
        form->close();
        QVERIFY(!form->isVisible());
        QCOMPARE(storedRules(), 1);
        QCOMPARE(gPwdLength, QStringLiteral("9"));
        QCOMPARE(desk->messages().size(), 2);
    }

    void cancelEndsTheProgramWithoutSaving() {
        desk->answer(Answer::Cancel);
        clickOk();
        QCOMPARE(desk->ended, 1);
        QCOMPARE(storedRules(), 0);
        QVERIFY(gPwdLength.isEmpty());
        QVERIFY(gAlphaNumeric.isEmpty());
    }

    void escapeRunsTheSameChecks() {
        length()->setText(QStringLiteral("1"));
        QTest::keyClick(form.get(), Qt::Key_Escape);
        QCOMPARE(desk->messages(), QStringList{"The minimum password length is 3"});
        QVERIFY(form->isVisible());
    }

    void missingRulesAreReported() {
        gPwdLength = QStringLiteral("kept");
        GetAdminInfo();
        QCOMPARE(desk->messages(),
                 QStringList{"Error 3021 (No current record.) in procedure GetAdminInfo of Module modKeyvale"});
        QCOMPARE(desk->last().icon, Icon::None);
        QCOMPARE(gPwdLength, QStringLiteral("kept"));
    }

};

QTEST_MAIN(AdminTest)
#include "tst_admin.moc"
