#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kv {

// The password rules, chosen once at first run: the minimum length of the master password and whether it
// must mix digits with other characters. Whichever way the window is closed (Ok, the close box, Escape),
// the values are checked and the user is asked to save them; No keeps the window open, Cancel ends the
// program, Yes stores them in tbladmin and makes them the rules of this run.
class frmAdmin : public QDialog {
    Q_OBJECT
public:
    explicit frmAdmin(QWidget* parent = nullptr);

    void done(int result) override;

private slots:
    void btnOK_Click();

private:
    // The closing checks; true when the rules were saved and the window may close.
    bool Form_QueryUnload();
    void SaveSettings();

    QLabel* lblPasswordLength;
    QLineEdit* txtPasswordLength;
    QCheckBox* chkAlphaNumericPassword;
    QPushButton* btnOK;
};

} // namespace kv
