#include "startup/frmSetup.h"

#include "platform/Artwork.h"
#include "platform/BusyProgress.h"
#include "platform/Desktop.h"
#include "platform/Units.h"
#include "platform/WidgetRoutines.h"
#include "access/modAdmin.h"
#include "access/modKeyvale.h"
#include "platform/HelpViewer.h"

#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace kv {

namespace {

QLabel* makeLabel(const char* name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QLineEdit* makeBox(const char* name, QLabel* label, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    label->setBuddy(box);
    return box;
}

QFrame* makeLine(const char* name, QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setObjectName(QString::fromLatin1(name));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

const QString kQuestionOne = QStringLiteral("ONE");
const QString kQuestionTwo = QStringLiteral("TWO");
const QString kQuestionThree = QStringLiteral("THREE");

} // namespace

frmSetup::frmSetup(QWidget* parent) : QDialog(parent), recovery_(!gFirstRun) {
    setObjectName(QStringLiteral("frmSetup"));
    setWindowTitle(QStringLiteral("Setup Keyvale"));

    lblWelcome = makeLabel("lblWelcome", {}, this);
    lblWelcome->setWordWrap(true);
    Image1 = makeLabel("Image1", {}, this);
    Image1->setPixmap(appIcon().pixmap(twipsToPixels(720, this), twipsToPixels(720, this)));
    Image1->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    Image1->setVisible(false);

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Label4 = makeLabel("Label4", QStringLiteral("What is your favorite food?"), Frame1);
    txtAns1 = makeBox("txtAns1", Label4, Frame1);
    Label5 = makeLabel("Label5", QStringLiteral("What is your pets name?"), Frame1);
    txtAns2 = makeBox("txtAns2", Label5, Frame1);
    Label6 = makeLabel("Label6", QStringLiteral("What is your favorite color?"), Frame1);
    txtAns3 = makeBox("txtAns3", Label6, Frame1);
    auto* questions = new QGridLayout(Frame1);
    questions->addWidget(Label4, 0, 0);
    questions->addWidget(txtAns1, 0, 1);
    questions->addWidget(Label5, 1, 0);
    questions->addWidget(txtAns2, 1, 1);
    questions->addWidget(Label6, 2, 0);
    questions->addWidget(txtAns3, 2, 1);

    Line1 = makeLine("Line1", this);
    Label2 = makeLabel("Label2", QStringLiteral("Enter Password:"), this);
    txtPassword1 = makeBox("txtPassword1", Label2, this);
    Label3 = makeLabel("Label3", QStringLiteral("Re-enter Password:"), this);
    txtPassword2 = makeBox("txtPassword2", Label3, this);
    for (QLineEdit* box : {txtPassword1, txtPassword2})
        box->setEchoMode(QLineEdit::Password);
    auto* passwords = new QGridLayout;
    passwords->addWidget(Label2, 0, 0);
    passwords->addWidget(txtPassword1, 0, 1);
    passwords->addWidget(Label3, 1, 0);
    passwords->addWidget(txtPassword2, 1, 1);
    // Line the password boxes up with the answer boxes above them.
    passwords->setColumnMinimumWidth(0, twipsToPixels(2975, this));
    questions->setColumnMinimumWidth(0, twipsToPixels(2800, this));

    lblWarning = makeLabel("lblWarning", {}, this);
    lblWarning->setWordWrap(true);
    Line2 = makeLine("Line2", this);

    bttnContinue = new QPushButton(QStringLiteral("&Continue"), this);
    bttnContinue->setObjectName(QStringLiteral("bttnContinue"));
    bttnContinue->setDefault(true);
    bttnQuit = new QPushButton(QStringLiteral("&Quit"), this);
    bttnQuit->setObjectName(QStringLiteral("bttnQuit"));
    bttnQuit->setAutoDefault(false);

    auto* top = new QHBoxLayout;
    top->addWidget(Image1);
    top->addWidget(lblWelcome, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bttnContinue);
    buttons->addWidget(bttnQuit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Frame1);
    layout->addWidget(Line1);
    layout->addLayout(passwords);
    layout->addWidget(lblWarning);
    layout->addWidget(Line2);
    layout->addLayout(buttons);
    setMinimumWidth(twipsToPixels(7200, this));

    setTabOrder(txtAns1, txtAns2);
    setTabOrder(txtAns2, txtAns3);
    setTabOrder(txtAns3, txtPassword1);
    setTabOrder(txtPassword1, txtPassword2);
    setTabOrder(txtPassword2, bttnContinue);
    setTabOrder(bttnContinue, bttnQuit);

    // Only the user's own typing empties the other answers; emptying them must not start a chain.
    connect(txtAns1, &QLineEdit::textEdited, this, &frmSetup::txtAns1_Change);
    connect(txtAns2, &QLineEdit::textEdited, this, &frmSetup::txtAns2_Change);
    connect(txtAns3, &QLineEdit::textEdited, this, &frmSetup::txtAns3_Change);
    for (QLineEdit* box : {txtAns1, txtAns2, txtAns3, txtPassword1, txtPassword2})
        box->installEventFilter(this);
    connect(bttnContinue, &QPushButton::clicked, this, &frmSetup::bttnContinue_Click);
    connect(bttnQuit, &QPushButton::clicked, this, &frmSetup::bttnQuit_Click);

    Form_Load();
}

void frmSetup::Form_Load() {
    gFormOpen = true;
    if (recovery_) {
        lblWelcome->setText(QStringLiteral(
            "So you forgot your password or you restored Keyvale's data and forgot your password that was stored "
            "in the backup file!  Simply answer the right question with the right answer and enter a new "
            "password.  I hope you kept your answer a secret!"));
        Image1->setVisible(true);
    } else {
        ShowHelpTopic(this, 20);
        lblWelcome->setText(QStringLiteral(
            "Welcome to Keyvale.  Please take a moment to answer one of the questions and enter your password."));
    }
    lblWarning->setText(QStringLiteral("Warning: Since you are keeping all of your secrets in one basket don't write "
                                       "Keyvale's ") +
                        QStringLiteral("password or question and answer down anywhere, keep it a secret.  ") +
                        QStringLiteral("That's why the application is called Keyvale.  The most secret place ") +
                        QStringLiteral("is in your mind."));
    txtAns1->setFocus();
}

void frmSetup::done(int result) {
    gFormOpen = false;
    QDialog::done(result);
}

void frmSetup::txtAns1_Change() {
    txtAns2->clear();
    txtAns3->clear();
}

void frmSetup::txtAns2_Change() {
    txtAns1->clear();
    txtAns3->clear();
}

void frmSetup::txtAns3_Change() {
    txtAns1->clear();
    txtAns2->clear();
}

bool frmSetup::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn)
        if (auto* box = qobject_cast<QLineEdit*>(watched)) SelectAllText(box);
    return QDialog::eventFilter(watched, event);
}

void frmSetup::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        ShowHelpTopic(this, 110);
        return;
    }
    // Escape would close the window and so end the program: leaving takes Quit or the close box.
    if (event->key() == Qt::Key_Escape) return;
    QDialog::keyPressEvent(event);
}

void frmSetup::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!recovery_ && !helpPlaced_) {
        helpPlaced_ = true;
        QTimer::singleShot(0, this, &frmSetup::placeHelpBeside);
    }
}

// The help opened at first run explains this window: put the two side by side when the screen has room,
// rather than the help hiding the questions.
void frmSetup::placeHelpBeside() {
    QWidget* help = HelpViewer::instance();
    if (!help || !help->isVisible() || !screen()) return;
    const QRect area = screen()->availableGeometry();
    const int gap = twipsToPixels(240, this);
    const int mine = frameGeometry().width();
    const int total = mine + gap + help->frameGeometry().width();
    if (total > area.width()) return;
    const int left = area.left() + (area.width() - total) / 2;
    move(left, y());
    help->move(left + mine + gap, y());
    activateWindow();
}

// Tab from an answer goes straight on to the password: one answer is enough. From the password boxes
// on, Tab moves through the window as usual, so every box stays reachable from the keyboard.
bool frmSetup::focusNextPrevChild(bool next) {
    QWidget* from = focusWidget();
    if (next && (from == txtAns1 || from == txtAns2 || from == txtAns3)) {
        txtPassword1->setFocus(Qt::TabFocusReason);
        return true;
    }
    return QDialog::focusNextPrevChild(next);
}

void frmSetup::wipeBoxes() {
    for (QLineEdit* box : {txtAns1, txtAns2, txtAns3, txtPassword1, txtPassword2})
        wipeBox(box);
}

void frmSetup::bttnQuit_Click() {
    desktop().endApplication();
}

void frmSetup::bttnContinue_Click() {
    if (txtAns1->text().trimmed().isEmpty() && txtAns2->text().trimmed().isEmpty() &&
        txtAns3->text().trimmed().isEmpty()) {
        desktop().message(QStringLiteral("Answer one of the questions to continue."), {}, Buttons::Ok,
                          Icon::Information);
        return;
    }
    if (txtPassword1->text().trimmed().isEmpty() || txtPassword2->text().trimmed().isEmpty()) {
        desktop().message(QStringLiteral("Please enter a password in both password fields."));
        return;
    }
    if (txtPassword1->text() != txtPassword2->text()) {
        desktop().message(QStringLiteral("Passwords must be the same."));
        return;
    }
    const QString typedAnswer = txtAns1->text() + txtAns2->text() + txtAns3->text();
    const QString answer = typedAnswer.toUpper();
    QString question;
    if (!txtAns1->text().trimmed().isEmpty()) question = kQuestionOne;
    if (!txtAns2->text().trimmed().isEmpty()) question = kQuestionTwo;
    if (!txtAns3->text().trimmed().isEmpty()) question = kQuestionThree;
    if (!gAdminValidation(txtPassword1->text())) return;
    // A password or answer that would not come back as typed would lock the user out at the next start.
    if (!CanStoreMasterPassword(txtPassword1->text())) return;

    if (!recovery_) {
        if (!CanStoreRecoveryAnswer(typedAnswer)) return;
        gRecoveryQuestion = question;
        gRecoveryAnswer = answer;
        gMasterPassword = txtPassword1->text().toUpper();
        // The main window never opens without a stored master password: the next start would take the
        // records for a breach and lock them away.
        if (!SaveMasterPassword()) return;
        gFirstRun = false;
        gSetupDone = true;
        wipeBoxes();
        accept();
        return;
    }
    bool matches = false;
    PasswordChange change = PasswordChange::NotStored;
    {
        // A protected database derives keys from the answer and the new password, which takes a moment.
        const BusyPointer busy(true);
        matches = RecoveryAnswerMatches(question, answer);
        if (matches) change = ChangeMasterPassword(txtPassword1->text());
    }
    if (matches) {
        // The rules were met above; a password that could not be stored leaves the old one in force.
        if (change != PasswordChange::Changed) return;
        gSetupDone = true;
        wipeBoxes();
        accept();
        return;
    }
    desktop().message(QStringLiteral("Your question and/or answer are wrong, sorry about your luck."), {}, Buttons::Ok,
                      Icon::Information);
}

} // namespace kv
