#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QRandomGenerator;

namespace kv {

// The password generator: a random password of 6 to 15 lower-case letters, digits or both, which can be
// copied to the clipboard. Each showing starts from the defaults (digits and letters, 6 characters).
class frmGeneratePassword : public QDialog {
    Q_OBJECT
public:
    explicit frmGeneratePassword(QWidget* parent = nullptr);
    ~frmGeneratePassword() override;

    // The letters a to y and the digits 0 to 8 that passwords are made of.
    static const QString kLetters;
    static const QString kDigits;

    // Makes a password of at least `length` characters from the character set (1 letters, 2 digits,
    // 3 digits and letters), drawing from `random`.
    static QString makePassword(int charSet, double length, QRandomGenerator& random);
    // The numeric value of a typed length: its leading number, 0 when it has none.
    static double lengthValue(const QString& text);

    qint16 iCharSet = 3;

public slots:
    void Option1_Click();
    void Option2_Click();
    void Option3_Click();
    void btnGeneratePassword_Click();
    void btnCopy_Click();
    void btnExit_Click();

private:
    // False, after telling the user, when the typed length is outside 6 to 15; the focus goes back to it.
    bool cmbNumOfChar_Validate();
    void onFocusChanged(QWidget* old, QWidget* now);

    QLabel* lblNumOfChar_;
    QComboBox* cmbNumOfChar_;
    QRadioButton* Option1_;
    QRadioButton* Option2_;
    QRadioButton* Option3_;
    QLineEdit* txtGeneratedPassword_;
    QPushButton* btnGeneratePassword_;
    QPushButton* btnCopy_;
    QPushButton* btnExit_;
    bool validating_ = false;
};

} // namespace kv
