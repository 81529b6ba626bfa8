#pragma once

#include <QDialog>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kv {

// The log-on window: asks for the master password at start-up and when the program has locked itself, and
// (with Check1 ticked) changes it. It is left only through its buttons. Three failed tries close it at
// start-up (start-up then offers recovery) and end the program when it is locked.
class frmPassword : public QDialog {
    Q_OBJECT
public:
    explicit frmPassword(QWidget* parent = nullptr);

    // Continue presses since the window was made or since the last success.
    int attempts() const { return attempts_; }

    // Only the window's own buttons close it: Escape does nothing.
    void reject() override {}

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void Check1_Click();
    void bttnContinue_Click();
    void bttnQuit_Click();

private:
    void Form_Load();
    void Form_Unload();
    void ShowNewPasswordFields(bool show);

    quint8 attempts_ = 0;
    int fixedWidth_ = 0;

    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* txtPassword;
    QCheckBox* Check1;
    QLabel* Label3;
    QLineEdit* txtNewPassword;
    QLabel* Label4;
    QLineEdit* txtReEnterNewPassword;
    QPushButton* bttnContinue;
    QPushButton* bttnQuit;
    QFrame* Line1;
    QFrame* Line2;
};

} // namespace kv
