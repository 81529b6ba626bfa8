#pragma once

#include <QDialog>

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kv {

// First-run setup and recovery, chosen by gFirstRun when the window is made. At first run the user answers
// one of three questions and chooses the master password; in recovery the same question must get the same
// answer before a new master password is taken. Continue sets gSetupDone and closes the window; Quit ends
// the program.
class frmSetup : public QDialog {
    Q_OBJECT
public:
    explicit frmSetup(QWidget* parent = nullptr);

    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void txtAns1_Change();
    void txtAns2_Change();
    void txtAns3_Change();
    void bttnContinue_Click();
    void bttnQuit_Click();

private:
    void Form_Load();
    // Empties the answer and password boxes once their values are stored.
    void wipeBoxes();
    void placeHelpBeside();

    bool recovery_;
    bool helpPlaced_ = false;
    QLabel* lblWelcome;
    QGroupBox* Frame1;
    QLabel* Label4;
    QLineEdit* txtAns1;
    QLabel* Label5;
    QLineEdit* txtAns2;
    QLabel* Label6;
    QLineEdit* txtAns3;
    QLabel* Label2;
    QLineEdit* txtPassword1;
    QLabel* Label3;
    QLineEdit* txtPassword2;
    QLabel* lblWarning;
    QPushButton* bttnContinue;
    QPushButton* bttnQuit;
    QLabel* Image1;
    QFrame* Line1;
    QFrame* Line2;
};

} // namespace kv
