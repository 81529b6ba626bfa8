#include "startup/frmAdmin.h"
#include "access/modAdmin.h"
#include "store/Cipher.h"
#include "support/ScriptedDesktop.h"
#include "support/TempAppFolder.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <optional>

using namespace kv;
using namespace kv::test;

namespace {
enum How { ByOk, ByCloseBox, ByEscape };
// A length typed and the window closed; the answer to the summary (none: no summary is asked for), what is
// said, the length stored (empty: nothing stored, the window stays) and the length the box shows afterwards.
struct Closing {
    QString typed;
    How how;
    std::optional<Answer> reply;
    QString message;
    Icon icon;
    int beeps;
    QString stored, textAfter;
};
} // namespace
Q_DECLARE_METATYPE(Closing)

class AdminTest : public QObject {
    Q_OBJECT
private slots:
    // The rule applied reads a length with a point, so the window must take no other decimal mark.
    void initTestCase() { QLocale::setDefault(QLocale::German); }

    void validation_data() {
        QTest::addColumn<QString>("pwdLength");
        QTest::addColumn<QString>("alphaNumeric");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message"); // empty: accepted
        const QString yes = QStringLiteral("YES"), nos = QStringLiteral("NOS"), accepted;
        const QString alpha = QStringLiteral("Password must contain alpha and numeric values!");
        const QString length = QStringLiteral("The minimum length for a password is a length of ");
        QTest::newRow("letters only") << "6" << yes << "abcdef" << alpha;
        QTest::newRow("digits only") << "6" << yes << "123456" << alpha;
        QTest::newRow("punctuation is the alpha half") << "6" << yes << "!?.,;1" << accepted;
        QTest::newRow("no rules loaded") << accepted << accepted << accepted << accepted;
        QTest::newRow("6.5 needs seven") << "6.5" << nos << "abcdef" << length + "6.5";
        QTest::newRow("6.5 takes seven, NOS") << "6.5" << nos << "abcdefg" << accepted;
        QTest::newRow("leading number of a text") << "8 chars" << nos << "abcdefg" << length + "8 chars";
    }
    void validation() {
        QFETCH(QString, pwdLength);
        QFETCH(QString, alphaNumeric);
        QFETCH(QString, password);
        QFETCH(QString, message);
        ScriptedDesktop desk;
        gPwdLength = pwdLength;
        gAlphaNumeric = alphaNumeric;
        QCOMPARE(gAdminValidation(password), message.isEmpty());
        QCOMPARE(desk.messages(), message.isEmpty() ? QStringList() : QStringList{message});
        for (const Prompt& p : desk.prompts)
            QVERIFY(p.icon == Icon::Information && p.buttons == Buttons::Ok);
    }

    // However the window is closed, the length is checked; only Yes to the summary stores the rules and
    // closes the window. The check box is cleared in every row (the first run keeps it ticked).
    void closing_data() {
        QTest::addColumn<Closing>("c");
        const QString saveSeven = QStringLiteral(
            "The current administrative settings are as follows: \nThe minimum password length for Keyvale's "
            "passord is: 7\nNo Alfa/Numerica character requirement for Keyvale's password.\n\nSave the settings?");
        const Icon info = Icon::Information;
        QTest::newRow("2") << Closing{"2", ByOk, {}, "The minimum password length is 3", Icon::None, 1, {}, "3"};
        QTest::newRow("16 by the close box")
            << Closing{"16", ByCloseBox, {}, "The maximum password length is 15", Icon::None, 0, {}, "15"};
        QTest::newRow("6,5 by Escape where the decimal mark is a comma") << Closing{
            "6,5", ByEscape, {}, "Password Length must be a numeric value from 3 to 15!", info, 0, {}, "6,5"};
        QTest::newRow(" 7 , Yes") << Closing{" 7 ", ByOk, Answer::Yes, saveSeven, info, 0, "7", " 7 "};
        QTest::newRow("No keeps the window") << Closing{"7", ByCloseBox, Answer::No, saveSeven, info, 0, {}, "7"};
        QTest::newRow("Cancel ends the program") << Closing{"7", ByOk, Answer::Cancel, saveSeven, info, 0, {}, "7"};
    }
    void closing() {
        QFETCH(Closing, c);
        TempAppFolder folder;
        ScriptedDesktop desk;
        gPwdLength.clear();
        frmAdmin form;
        form.show();
        auto* length = form.findChild<QLineEdit*>(QStringLiteral("txtPasswordLength"));
        length->setText(c.typed);
        form.findChild<QCheckBox*>(QStringLiteral("chkAlphaNumericPassword"))->setChecked(false);
        if (c.reply) desk.answer(*c.reply);
        if (c.how == ByOk)
            QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("btnOK")), Qt::LeftButton);
        else if (c.how == ByCloseBox)
            form.close();
        else
            QTest::keyClick(&form, Qt::Key_Escape);
        QCOMPARE(desk.messages(), QStringList{c.message});
        QCOMPARE(desk.last().icon, c.icon);
        QCOMPARE(desk.last().buttons, c.reply ? Buttons::YesNoCancel : Buttons::Ok);
        QCOMPARE(desk.beeps, c.beeps);
        QCOMPARE(desk.ended, c.reply == Answer::Cancel ? 1 : 0);
        QCOMPARE(length->text(), c.textAfter);
        QCOMPARE(form.isVisible(), c.stored.isEmpty());
        QCOMPARE(gPwdLength, c.stored);
        QStringList row;
        for (const auto& r : folder.query(QStringLiteral("select pwdLength, AlphaNumeric from tbladmin")))
            row << decipherField(r[0].toString()) << decipherField(r[1].toString());
        QCOMPARE(row, (c.stored.isEmpty() ? QStringList() : QStringList{c.stored, "NOS"}));
    }
};

QTEST_MAIN(AdminTest)
#include "tst_admin.moc"
