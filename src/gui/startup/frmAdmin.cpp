#include "startup/frmAdmin.h"

#include "platform/Desktop.h"
#include "platform/Error.h"
#include "platform/Units.h"
#include "access/modAdmin.h"
#include "store/Cipher.h"
#include "store/modDBstuff.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kv {

namespace {
constexpr double kShortestLength = 3;
constexpr double kLongestLength = 15;
} // namespace

frmAdmin::frmAdmin(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAdmin"));
    setWindowTitle(QStringLiteral("Admininstrative Requirements"));

    lblPasswordLength = new QLabel(QStringLiteral("Password Minimum &Length:"), this);
    lblPasswordLength->setObjectName(QStringLiteral("lblPasswordLength"));
    txtPasswordLength = new QLineEdit(QStringLiteral("6"), this);
    txtPasswordLength->setObjectName(QStringLiteral("txtPasswordLength"));
    txtPasswordLength->setMaxLength(15);
    txtPasswordLength->setToolTip(
        QStringLiteral("Enter the minimum required password length to open the Keyvale applicaiton."));
    txtPasswordLength->setFixedWidth(twipsToPixels(900, this));
    lblPasswordLength->setBuddy(txtPasswordLength);

    chkAlphaNumericPassword = new QCheckBox(QStringLiteral("Alpha and Numeric Password &Required"), this);
    chkAlphaNumericPassword->setObjectName(QStringLiteral("chkAlphaNumericPassword"));
    chkAlphaNumericPassword->setChecked(true);

    btnOK = new QPushButton(QStringLiteral("&Ok"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &frmAdmin::btnOK_Click);

    auto* form = new QFormLayout;
    form->addRow(lblPasswordLength, txtPasswordLength);
    form->addRow(chkAlphaNumericPassword);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addSpacing(twipsToPixels(120, this));
    layout->addLayout(buttons);
    setMinimumWidth(twipsToPixels(5200, this));
}

void frmAdmin::btnOK_Click() {
    close();
}

// Every way of closing ends here (Ok and the close box through close(), Escape through reject()); the
// window closes only once the rules are saved.
void frmAdmin::done(int) {
    if (Form_QueryUnload()) QDialog::done(Accepted);
}

bool frmAdmin::Form_QueryUnload() {
    const std::optional<double> length = parseNumber(txtPasswordLength->text());
    if (!length) {
        desktop().message(QStringLiteral("Password Length must be a numeric value from 3 to 15!"), {}, Buttons::Ok,
                          Icon::Information);
        return false;
    }
    if (*length < kShortestLength) {
        desktop().beep();
        desktop().message(QStringLiteral("The minimum password length is 3"));
        txtPasswordLength->setText(QStringLiteral("3"));
        return false;
    }
    if (*length > kLongestLength) {
        desktop().message(QStringLiteral("The maximum password length is 15"));
        txtPasswordLength->setText(QStringLiteral("15"));
        return false;
    }
    const QString summary = QStringLiteral("The current administrative settings are as follows: \n") +
                            QStringLiteral("The minimum password length for Keyvale's passord is: ") +
                            QString::number(*length, 'g', 15) + QStringLiteral("\n") +
                            (chkAlphaNumericPassword->isChecked()
                                 ? QStringLiteral("Alfa/Numeric characters are required for Keyvale's password.")
                                 : QStringLiteral("No Alfa/Numerica character requirement for Keyvale's password.")) +
                            QStringLiteral("\n\nSave the settings?");
    switch (desktop().message(summary, {}, Buttons::YesNoCancel, Icon::Information)) {
    case Answer::Yes:
        break;
    case Answer::Cancel:
        desktop().endApplication();
        return false;
    default:
        return false;
    }
    try {
        SaveSettings();
    } catch (const std::exception& e) {
        // Nothing usable was stored: say so and keep the window, so the user can try again or cancel.
        reportError(e, QStringLiteral("Form_QueryUnload of Form frmAdmin"));
        return false;
    }
    return true;
}

void frmAdmin::SaveSettings() {
    const QString length = txtPasswordLength->text().trimmed();
    const QString alphaNumeric = chkAlphaNumericPassword->isChecked() ? QStringLiteral("YES") : QStringLiteral("NOS");
    auto rs = openRecordset(QStringLiteral("Select * from tbladmin"));
    if (rs->eof() && rs->bof())
        rs->addNew();
    else
        rs->moveFirst();
    rs->setField(QStringLiteral("pwdLength"), encipherField(length));
    rs->setField(QStringLiteral("AlphaNumeric"), encipherField(alphaNumeric));
    rs->update();
    rs->close();
    gPwdLength = length;
    gAlphaNumeric = alphaNumeric;
}

} // namespace kv
