#include "startup/frmPassword.h"

#include "platform/Artwork.h"
#include "platform/BusyProgress.h"
#include "platform/Desktop.h"
#include "platform/Units.h"
#include "platform/WidgetRoutines.h"
#include "access/modAdmin.h"
#include "access/modKeyvale.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kv {

namespace {

// The window's height without and with the new-password boxes, its width, and where the buttons stand.
constexpr int kCollapsedHeight = 2200;
constexpr int kExpandedHeight = 3190;
constexpr int kWidth = 5760;
constexpr int kButtonsTopCollapsed = 1140;
constexpr int kButtonsTopExpanded = 2100;
// The heights above are those of the whole window; its title bar and borders take this much of them.
constexpr int kFrameHeight = 375;
constexpr int kBoxLeft = 2640;
constexpr int kLabelLeft = 960;

// The three tries a user has before the window gives up.
constexpr int kAttemptLimit = 3;

} // namespace

frmPassword::frmPassword(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmPassword"));
    setWindowTitle(QStringLiteral("Keyvale - Enter Password"));

    const auto place = [this](QWidget* w, int left, int top, int width, int height) {
        w->setGeometry(twipsToPixels(left, this), twipsToPixels(top, this), twipsToPixels(width, this),
                       twipsToPixels(height, this));
    };
    const auto label = [this](const char* name, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    const auto box = [this](const char* name, QLabel* buddy) {
        auto* b = new QLineEdit(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setEchoMode(QLineEdit::Password);
        buddy->setBuddy(b);
        b->installEventFilter(this);
        return b;
    };
    const auto line = [this](const char* name) {
        auto* f = new QFrame(this);
        f->setObjectName(QString::fromLatin1(name));
        f->setFrameShape(QFrame::HLine);
        f->setFrameShadow(QFrame::Sunken);
        return f;
    };

    Label1 = label("Label1", {});
    Label1->setPixmap(appIcon().pixmap(twipsToPixels(480, this), twipsToPixels(480, this)));
    place(Label1, 240, 200, 480, 480);
    Label2 = label("Label2", QStringLiteral("Enter Password:"));
    place(Label2, kLabelLeft, 240, kBoxLeft - kLabelLeft - 60, 345);
    txtPassword = box("txtPassword", Label2);
    place(txtPassword, kBoxLeft, 240, 2880, 345);
    Check1 = new QCheckBox(QStringLiteral("Change &Password:"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    place(Check1, kLabelLeft, 660, 2880, 300);
    Line1 = line("Line1");
    place(Line1, 120, 1020, kWidth - 240, 30);

    Label3 = label("Label3", QStringLiteral("New Password:"));
    place(Label3, kLabelLeft, 1140, kBoxLeft - kLabelLeft - 60, 345);
    txtNewPassword = box("txtNewPassword", Label3);
    place(txtNewPassword, kBoxLeft, 1140, 2880, 345);
    Label4 = label("Label4", QStringLiteral("Re-Enter:"));
    place(Label4, kLabelLeft, 1560, kBoxLeft - kLabelLeft - 60, 345);
    txtReEnterNewPassword = box("txtReEnterNewPassword", Label4);
    place(txtReEnterNewPassword, kBoxLeft, 1560, 2880, 345);
    Line2 = line("Line2");
    place(Line2, 120, 1990, kWidth - 240, 30);

    bttnContinue = new QPushButton(QStringLiteral("&Continue"), this);
    bttnContinue->setObjectName(QStringLiteral("bttnContinue"));
    bttnContinue->setDefault(true);
    bttnQuit = new QPushButton(QStringLiteral("&Quit"), this);
    bttnQuit->setObjectName(QStringLiteral("bttnQuit"));
    bttnQuit->setAutoDefault(false);
    place(bttnContinue, kBoxLeft, kButtonsTopCollapsed, 1380, 420);
    place(bttnQuit, kBoxLeft + 1500, kButtonsTopCollapsed, 1380, 420);

    setTabOrder(txtPassword, Check1);
    setTabOrder(Check1, txtNewPassword);
    setTabOrder(txtNewPassword, txtReEnterNewPassword);
    setTabOrder(txtReEnterNewPassword, bttnContinue);
    setTabOrder(bttnContinue, bttnQuit);

    connect(Check1, &QCheckBox::toggled, this, &frmPassword::Check1_Click);
    connect(bttnContinue, &QPushButton::clicked, this, &frmPassword::bttnContinue_Click);
    connect(bttnQuit, &QPushButton::clicked, this, &frmPassword::bttnQuit_Click);

    resize(twipsToPixels(kWidth, this), twipsToPixels(kCollapsedHeight - kFrameHeight, this));
    Form_Load();
}

void frmPassword::Form_Load() {
    fixedWidth_ = width();
    RemoveCloseMenu(this);
    // A title bar that offers none of its buttons is read by some window managers as one that offers them
    // all; keeping the minimize button keeps the close button away.
    setWindowFlag(Qt::WindowTitleHint, true);
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);
    ShowNewPasswordFields(false);
    gFormOpen = true;
}

void frmPassword::Form_Unload() {
    gFormOpen = false;
    // After a lock-out the main window comes back as it was left.
    if (gLoggedOn)
        if (QWidget* main = mainWindow(); main && !main->isVisible()) main->show();
    QDialog::done(gLoggedOn ? Accepted : Rejected);
}

void frmPassword::ShowNewPasswordFields(bool show) {
    for (QWidget* w :
         {static_cast<QWidget*>(Label3), static_cast<QWidget*>(Label4), static_cast<QWidget*>(txtNewPassword),
          static_cast<QWidget*>(txtReEnterNewPassword), static_cast<QWidget*>(Line2)})
        w->setVisible(show);
    const int buttonsTop = twipsToPixels(show ? kButtonsTopExpanded : kButtonsTopCollapsed, this);
    bttnContinue->move(bttnContinue->x(), buttonsTop);
    bttnQuit->move(bttnQuit->x(), buttonsTop);
    // The user cannot resize the window: only the check box changes its height.
    setFixedSize(fixedWidth_, twipsToPixels((show ? kExpandedHeight : kCollapsedHeight) - kFrameHeight, this));
    (show ? txtNewPassword : txtPassword)->setFocus();
    update();
}

void frmPassword::Check1_Click() {
    ShowNewPasswordFields(Check1->isChecked());
}

void frmPassword::closeEvent(QCloseEvent* event) {
    event->ignore();
}

void frmPassword::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        ShowHelpTopic(this, 30);
        return;
    }
    QDialog::keyPressEvent(event);
}

bool frmPassword::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn)
        if (auto* box = qobject_cast<QLineEdit*>(watched)) SelectAllText(box);
    return QDialog::eventFilter(watched, event);
}

void frmPassword::bttnQuit_Click() {
    desktop().endApplication();
}

void frmPassword::bttnContinue_Click() {
    ++attempts_;
    bool matches = false;
    {
        // A protected database derives its key from the password, which takes a moment.
        const BusyPointer busy(true);
        matches = MasterPasswordMatches(txtPassword->text());
    }
    if (matches) {
        if (Check1->isChecked() && (!txtNewPassword->text().isEmpty() || !txtReEnterNewPassword->text().isEmpty())) {
            // A refused change counts as a try but does not end the tries: the password itself was right.
            if (txtNewPassword->text() != txtReEnterNewPassword->text()) {
                desktop().message(QStringLiteral("New Password and Re-enter Password do not match!"), {}, Buttons::Ok,
                                  Icon::Information);
                txtNewPassword->setFocus();
                SelectAllText(txtNewPassword);
                return;
            }
            PasswordChange change = PasswordChange::NotStored;
            {
                const BusyPointer busy(true);
                change = ChangeMasterPassword(txtNewPassword->text());
            }
            if (change == PasswordChange::Refused) txtNewPassword->setFocus();
            if (change != PasswordChange::Changed) return;
        }
        gLoggedOn = true;
        attempts_ = 0;
        for (QLineEdit* box : {txtPassword, txtNewPassword, txtReEnterNewPassword})
            wipeBox(box);
        Form_Unload();
    } else {
        desktop().message(QStringLiteral("Invalid Password!"), {}, Buttons::Ok, Icon::Information);
        txtPassword->setFocus();
        SelectAllText(txtPassword);
    }
    if (attempts_ >= kAttemptLimit) {
        // Locked: three failures end the program. At start-up, closing without gLoggedOn leads to recovery.
        if (gMainInitialised) {
            desktop().endApplication();
            return;
        }
        Form_Unload();
    }
}

} // namespace kv
