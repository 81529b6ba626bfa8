#include "startup/frmAdmin.h"
#include "startup/modAdmin.h"
#include "store/Cipher.h"
#include "support/ScriptedDesktop.h"
#include "support/TempAppFolder.h"

#include <QCheckBox>
#include <QLocale>
#include <QScopeGuard>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace kv;
using namespace kv::test;

namespace {
const QString kLengthMessage = QStringLiteral("The minimum length for a password is a length of ");
const QString kAlphaMessage = QStringLiteral("Password must contain alpha and numeric values!");
const QString kNotNumeric = QStringLiteral("Password Length must be a numeric value from 3 to 15!");
constexpr int kByOk = 0, kByCloseBox = 1, kByEscape = 2; // how the window is closed
} // namespace

class AdminTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempAppFolder> folder;
    std::unique_ptr<ScriptedDesktop> desk;

private slots:
    void init() {
        folder = std::make_unique<TempAppFolder>();
        desk = std::make_unique<ScriptedDesktop>();
        gPwdLength.clear();
        gAlphaNumeric.clear();
    }
    void cleanup() {
        desk.reset();
        folder.reset();
    }

    void validation_data() {
        QTest::addColumn<QString>("pwdLength");
        QTest::addColumn<QString>("alphaNumeric");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message"); // empty: accepted
        const QString yes = QStringLiteral("YES"), nos = QStringLiteral("NOS"), accepted;
        QTest::newRow("letters only") << "6" << yes << "abcdef" << kAlphaMessage;
        QTest::newRow("digits only") << "6" << yes << "123456" << kAlphaMessage;
        QTest::newRow("too short, length first") << "6" << yes << "abc12" << kLengthMessage + "6";
        QTest::newRow("letters and digits") << "6" << yes << "abc123" << accepted;
        QTest::newRow("punctuation is the alpha half") << "6" << yes << "!?.,;1" << accepted;
        QTest::newRow("no rules loaded") << accepted << accepted << accepted << accepted;
        QTest::newRow("6.5 needs seven") << "6.5" << nos << "abcdef" << kLengthMessage + "6.5";
        QTest::newRow("6.5 takes seven, NOS") << "6.5" << nos << "abcdefg" << accepted;
        QTest::newRow("leading number of a text") << "8 chars" << nos << "abcdefg" << kLengthMessage + "8 chars";
    }
    void validation() {
        QFETCH(QString, pwdLength);
        QFETCH(QString, alphaNumeric);
        QFETCH(QString, password);
        QFETCH(QString, message);
        gPwdLength = pwdLength;
        gAlphaNumeric = alphaNumeric;
        QCOMPARE(gAdminValidation(password), message.isEmpty());
        QCOMPARE(desk->messages(), message.isEmpty() ? QStringList() : QStringList{message});
        for (const Prompt& p : desk->prompts)
            QVERIFY(p.icon == Icon::Information && p.buttons == Buttons::Ok);
    }

    // However the window is closed, the length is checked; only Yes to the summary stores the rules and
    // closes the window. The check box is cleared in every row (the first run keeps it ticked).
    void closing_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("how");
        QTest::addColumn<int>("reply");      // the answer to the summary; -1: no summary
        QTest::addColumn<QString>("stored"); // the stored length; empty: nothing stored, window open
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("beeps");
        QTest::addColumn<QString>("textAfter");
        const int none = int(Icon::None), info = int(Icon::Information);
        const int yes = int(Answer::Yes), no = int(Answer::No), cancel = int(Answer::Cancel);
        const QString nothing;
        const QString saveSeven = QStringLiteral(
            "The current administrative settings are as follows: \nThe minimum password length for Keyvale's "
            "passord is: 7\nNo Alfa/Numerica character requirement for Keyvale's password.\n\nSave the settings?");
        QTest::newRow("2") << "2" << kByOk << -1 << nothing << "The minimum password length is 3" << none << 1 << "3";
        QTest::newRow("16 by the close box")
            << "16" << kByCloseBox << -1 << nothing << "The maximum password length is 15" << none << 0 << "15";
        QTest::newRow("letters by Escape") << "six" << kByEscape << -1 << nothing << kNotNumeric << info << 0 << "six";
        QTest::newRow(" 7 , Yes") << " 7 " << kByOk << yes << "7" << saveSeven << info << 0 << " 7 ";
        QTest::newRow("No keeps the window") << "7" << kByCloseBox << no << nothing << saveSeven << info << 0 << "7";
        QTest::newRow("Cancel ends the program") << "7" << kByOk << cancel << nothing << saveSeven << info << 0 << "7";
        // The rule applied reads the number with a point, so the window takes no other decimal mark.
        QTest::newRow("6,5 where the user's decimal mark is a comma")
            << "6,5" << kByOk << -1 << nothing << kNotNumeric << info << 0 << "6,5";
    }
    void closing() {
        QFETCH(QString, typed);
        QFETCH(int, how);
        QFETCH(int, reply);
        QFETCH(QString, stored);
        QFETCH(QString, message);
        QFETCH(int, icon);
        QFETCH(int, beeps);
        QFETCH(QString, textAfter);
        const QLocale before;
        if (QByteArray(QTest::currentDataTag()).contains("decimal mark")) QLocale::setDefault(QLocale::German);
        const auto restore = qScopeGuard([&before] { QLocale::setDefault(before); });
        frmAdmin form;
        form.show();
        auto* length = form.findChild<QLineEdit*>(QStringLiteral("txtPasswordLength"));
        length->setText(typed);
        form.findChild<QCheckBox*>(QStringLiteral("chkAlphaNumericPassword"))->setChecked(false);
        if (reply >= 0) desk->answer(Answer(reply));
        if (how == kByOk)
            QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("btnOK")), Qt::LeftButton);
        else if (how == kByCloseBox)
            form.close();
        else
            QTest::keyClick(&form, Qt::Key_Escape);
        QCOMPARE(desk->messages(), QStringList{message});
        QCOMPARE(desk->last().icon, Icon(icon));
        QCOMPARE(desk->last().buttons, reply >= 0 ? Buttons::YesNoCancel : Buttons::Ok);
        QCOMPARE(desk->beeps, beeps);
        QCOMPARE(desk->ended, reply == int(Answer::Cancel) ? 1 : 0);
        QCOMPARE(length->text(), textAfter);
        QCOMPARE(form.isVisible(), stored.isEmpty());
        QCOMPARE(gPwdLength, stored);
        QStringList row;
        for (const auto& r : folder->query(QStringLiteral("select pwdLength, AlphaNumeric from tbladmin")))
            row << decipherField(r[0].toString()) << decipherField(r[1].toString());
        QCOMPARE(row, (stored.isEmpty() ? QStringList() : QStringList{stored, "NOS"}));
    }
};

QTEST_MAIN(AdminTest)
#include "tst_admin.moc"
