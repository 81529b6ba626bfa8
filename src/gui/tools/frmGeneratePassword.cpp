#include "tools/frmGeneratePassword.h"

#include "platform/BusyProgress.h"
#include "platform/Desktop.h"
#include "access/PasswordGenerator.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QVBoxLayout>

namespace kv {

const QString frmGeneratePassword::kLetters = kGeneratorLetters;
const QString frmGeneratePassword::kDigits = kGeneratorDigits;

namespace {

void useVerdana(QWidget* widget, qreal pointSize = 0) {
    QFont font = widget->font();
    font.setFamilies({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans")});
    if (pointSize > 0) font.setPointSizeF(pointSize);
    widget->setFont(font);
}

} // namespace

QString frmGeneratePassword::makePassword(int charSet, double length, QRandomGenerator& random) {
    return generatePassword(charSet == 1 ? GeneratorSet::Letters : charSet == 2 ? GeneratorSet::Digits : GeneratorSet::Mixed,
                            length, random);
}

double frmGeneratePassword::lengthValue(const QString& text) {
    return generatorLengthValue(text);
}

frmGeneratePassword::frmGeneratePassword(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmGeneratePassword"));
    setWindowTitle(QStringLiteral("Password Generator"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    lblNumOfChar_ = new QLabel(QStringLiteral("Characters (6 - 15)"), this);
    lblNumOfChar_->setObjectName(QStringLiteral("lblNumOfChar"));
    useVerdana(lblNumOfChar_);

    cmbNumOfChar_ = new QComboBox(this);
    cmbNumOfChar_->setObjectName(QStringLiteral("cmbNumOfChar"));
    cmbNumOfChar_->setEditable(true);
    cmbNumOfChar_->setInsertPolicy(QComboBox::NoInsert);
    cmbNumOfChar_->clearEditText();
    for (int n = kShortestGenerated; n <= kLongestGenerated; ++n)
        cmbNumOfChar_->addItem(QString::number(n));
    cmbNumOfChar_->setCurrentIndex(0);
    cmbNumOfChar_->setEditText(QString::number(kShortestGenerated));
    lblNumOfChar_->setBuddy(cmbNumOfChar_);

    Option1_ = new QRadioButton(QStringLiteral("Letters"), this);
    Option1_->setObjectName(QStringLiteral("Option1"));
    Option2_ = new QRadioButton(QStringLiteral("Numbers"), this);
    Option2_->setObjectName(QStringLiteral("Option2"));
    Option3_ = new QRadioButton(QStringLiteral("Numbers and Letters"), this);
    Option3_->setObjectName(QStringLiteral("Option3"));
    Option3_->setChecked(true);
    // However an option gets chosen (click, arrow keys, a screen reader), the mode follows it.
    connect(Option1_, &QRadioButton::toggled, this, [this](bool on) { if (on) Option1_Click(); });
    connect(Option2_, &QRadioButton::toggled, this, [this](bool on) { if (on) Option2_Click(); });
    connect(Option3_, &QRadioButton::toggled, this, [this](bool on) { if (on) Option3_Click(); });

    txtGeneratedPassword_ = new QLineEdit(this);
    txtGeneratedPassword_->setObjectName(QStringLiteral("txtGeneratedPassword"));
    txtGeneratedPassword_->setReadOnly(true);
    txtGeneratedPassword_->setAccessibleName(QStringLiteral("Generated Password"));
    txtGeneratedPassword_->setAlignment(Qt::AlignCenter);
    useVerdana(txtGeneratedPassword_, font().pointSizeF() * 1.3);
    {
        QPalette palette = txtGeneratedPassword_->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Button));
        txtGeneratedPassword_->setPalette(palette);
    }

    btnGeneratePassword_ = new QPushButton(QStringLiteral("&Generate"), this);
    btnGeneratePassword_->setObjectName(QStringLiteral("btnGeneratePassword"));
    btnGeneratePassword_->setDefault(true);
    btnCopy_ = new QPushButton(QStringLiteral("&Copy to Clipboard"), this);
    btnCopy_->setObjectName(QStringLiteral("btnCopy"));
    btnExit_ = new QPushButton(QStringLiteral("&Exit"), this);
    btnExit_->setObjectName(QStringLiteral("btnExit"));
    for (QPushButton* button : {btnGeneratePassword_, btnCopy_, btnExit_})
        useVerdana(button);
    connect(btnGeneratePassword_, &QPushButton::clicked, this, &frmGeneratePassword::btnGeneratePassword_Click);
    connect(btnCopy_, &QPushButton::clicked, this, &frmGeneratePassword::btnCopy_Click);
    connect(btnExit_, &QPushButton::clicked, this, &frmGeneratePassword::btnExit_Click);

    // A click on a button or an option leaves the focus in the length box: Generate checks the length
    // itself, and the other buttons and the options do not need it.
    for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{Option1_, Option2_, Option3_,
                                                                           btnGeneratePassword_, btnCopy_, btnExit_})
        button->setFocusPolicy(Qt::TabFocus);

    auto* lengthRow = new QHBoxLayout;
    lengthRow->addWidget(lblNumOfChar_);
    lengthRow->addWidget(cmbNumOfChar_);
    lengthRow->addStretch();

    auto* kinds = new QGroupBox(this);
    auto* kindsLayout = new QVBoxLayout(kinds);
    kindsLayout->addWidget(Option1_);
    kindsLayout->addWidget(Option2_);
    kindsLayout->addWidget(Option3_);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnGeneratePassword_);
    buttons->addWidget(btnCopy_);
    buttons->addWidget(btnExit_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(lengthRow);
    layout->addWidget(kinds);
    layout->addWidget(txtGeneratedPassword_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(cmbNumOfChar_, Option1_);
    setTabOrder(Option1_, Option2_);
    setTabOrder(Option2_, Option3_);
    setTabOrder(Option3_, txtGeneratedPassword_);
    setTabOrder(txtGeneratedPassword_, btnGeneratePassword_);
    setTabOrder(btnGeneratePassword_, btnCopy_);
    setTabOrder(btnCopy_, btnExit_);
    cmbNumOfChar_->setFocus();

    connect(qApp, &QApplication::focusChanged, this, &frmGeneratePassword::onFocusChanged);
}

frmGeneratePassword::~frmGeneratePassword() {
    // Hiding the window while it is destroyed moves the focus; this window must not hear of it.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
}

void frmGeneratePassword::Option1_Click() {
    iCharSet = 1;
}
void frmGeneratePassword::Option2_Click() {
    iCharSet = 2;
}
void frmGeneratePassword::Option3_Click() {
    iCharSet = 3;
}

bool frmGeneratePassword::cmbNumOfChar_Validate() {
    const double value = lengthValue(cmbNumOfChar_->currentText());
    if (generatorLengthAccepted(value)) return true;
    validating_ = true;
    desktop().message(QStringLiteral("Please select 6 to 15 characters!"), {}, Buttons::Ok, Icon::Information);
    validating_ = false;
    cmbNumOfChar_->setFocus();
    if (cmbNumOfChar_->lineEdit()) cmbNumOfChar_->lineEdit()->selectAll();
    return false;
}

void frmGeneratePassword::onFocusChanged(QWidget* old, QWidget* now) {
    if (validating_ || !old || !now || now->window() != this) return;
    const auto inLengthBox = [this](QWidget* w) { return w == cmbNumOfChar_ || cmbNumOfChar_->isAncestorOf(w); };
    if (!inLengthBox(old) || inLengthBox(now)) return;
    // The command buttons decide for themselves: Generate checks the length, Copy and Exit do not use it.
    if (qobject_cast<QPushButton*>(now)) return;
    cmbNumOfChar_Validate();
}

void frmGeneratePassword::btnGeneratePassword_Click() {
    // Enter reaches Generate without leaving the length box, so the length is checked here as well: a
    // length outside 6 to 15 makes nothing.
    if (!cmbNumOfChar_Validate()) return;
    {
        const BusyPointer hourglass;
        txtGeneratedPassword_->clear();
        const double vLength = lengthValue(cmbNumOfChar_->currentText());
        txtGeneratedPassword_->setText(makePassword(iCharSet, vLength, *QRandomGenerator::system()));
    }
    cmbNumOfChar_->setFocus();
}

void frmGeneratePassword::btnCopy_Click() {
    desktop().setClipboardText(txtGeneratedPassword_->text());
    accept();
}

void frmGeneratePassword::btnExit_Click() {
    reject();
}

} // namespace kv
