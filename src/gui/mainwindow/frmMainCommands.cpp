// The main window's menu, toolbar, idle timer and the windows they open.
#include "mainwindow/frmMain.h"

#include "tools/ImportOldKeyvale.h"
#include "tools/frmImportCsv.h"
#include "tools/frmImportSelect.h"
#include "mainwindow/ExportFlow.h"
#include "grid/GridDropDown.h"
#include "mainwindow/IdleTimer.h"
#include "mainwindow/MainToolbar.h"
#include "grid/RecordsGrid.h"
#include "platform/Desktop.h"
#include "platform/Error.h"
#include "platform/WidgetRoutines.h"
#include "startup/frmPassword.h"
#include "access/modKeyvale.h"
#include "store/RecordFields.h"
#include "store/modDBstuff.h"
#include "tools/frmAbout.h"
#include "tools/frmFind.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QToolButton>
#include <utility>

namespace kv {

void frmMain::InitializeMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MenuBar"));
    auto item = [this](QMenu* menu, const char* name, const QString& caption, void (frmMain::*handler)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };

    QMenu* mnuFile = bar->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    item(mnuFile, "mnuFileBackup", QStringLiteral("&Backup"), &frmMain::mnuFileBackup_Click);
    item(mnuFile, "mnuFileRestore", QStringLiteral("&Restore"), &frmMain::mnuFileRestore_Click);
    mnuFile->addSeparator()->setObjectName(QStringLiteral("mnuFileSeparator"));
    item(mnuFile, "mnuFileExit", QStringLiteral("E&xit"), &frmMain::mnuFileExit_Click);

    QMenu* mnuEdit = bar->addMenu(QStringLiteral("&Edit"));
    mnuEdit->setObjectName(QStringLiteral("mnuEdit"));
    item(mnuEdit, "mnuEditImportSelectData", QStringLiteral("&Import Selected Data (current version)"),
         &frmMain::mnuEditImportSelectData_Click);
    item(mnuEdit, "mnuEditImport", QStringLiteral("&Import Version 4.x Data"), &frmMain::mnuEditImport_Click);
    item(mnuEdit, "mnuEditImportCsv", QStringLiteral("Import &CSV File..."), &frmMain::mnuEditImportCsv_Click);
    item(mnuEdit, "mnuEditOptions", QStringLiteral("&Options"), &frmMain::mnuEditOptions_Click);
    item(mnuEdit, "mnuEditFind", QStringLiteral("&Find"), &frmMain::mnuEditFind_Click)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));

    {
        // The toolbar's commands, where the keyboard and a screen reader find them with their keys.
        QMenu* mnuView = bar->addMenu(QStringLiteral("&View"));
        mnuView->setObjectName(QStringLiteral("mnuView"));
        // A null key stands for a separator.
        const char* const keys[] = {"ShowPasswordText", "ShowPasswordColumn", "ShowPriorUserIDPassword", nullptr,
                                    "FirstRecord",      "LastRecord",         "NewRecord",               nullptr,
                                    "ExportData"};
        for (const char* key : keys) {
            if (key)
                mnuView->addAction(Toolbar_->button(QString::fromLatin1(key)));
            else
                mnuView->addSeparator();
        }
        Toolbar_->exportDataMenu()->setTitle(QStringLiteral("Export &To"));
        mnuView->addMenu(Toolbar_->exportDataMenu());
    }

    QAction* lockOut = bar->addAction(QStringLiteral("&Lock Out"));
    lockOut->setObjectName(QStringLiteral("mnuLockOut"));
    connect(lockOut, &QAction::triggered, this, &frmMain::mnuLockOut_Click);

    QMenu* mnuHelp = bar->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    item(mnuHelp, "mnuHelpHelp", QStringLiteral("&Help"), &frmMain::mnuHelpHelp_Click)->setShortcut(Qt::Key_F1);
    item(mnuHelp, "mnuHelpAbout", QStringLiteral("&About"), &frmMain::mnuHelpAbout_Click);
}

void frmMain::InitializeToolbar() {
    exportFlow_ = std::make_unique<ExportFlow>(*SSDBGrid_);
    Toolbar_ = new MainToolbar(
        *SSDBGrid_, txtPassword_, flags_, [this](const QString& text) { setStatusText(text); },
        [this] { exportFlow_->buttonClick(); }, [this](const QString& key) { exportFlow_->menuClick(key); }, this);
    Toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    addToolBar(Qt::TopToolBarArea, Toolbar_);
    Toolbar_->InitializeToolbar();
}

void frmMain::startIdleTimer() {
    Timer1_ = new IdleTimer(
        this, [this](const QString& text) { setStatusText(text); }, [this] { return statusText(); },
        [this] { lockOut(); }, [this] { idleShutdown(); });
    statusBar()->addPermanentWidget(Timer1_->alertButton());
    // The message panel holds the longest warning whole, in the desktop's font.
    const QString longest = IdleTimer::warningText(true, 255 / 2.0);
    panelMessage_->setMinimumWidth(panelMessage_->fontMetrics().horizontalAdvance(longest) +
                                   2 * (panelMessage_->frameWidth() + panelMessage_->margin() + 2));
    Timer1_->start();
    Timer1_->bShutdownArmed = true;
}

IdleTimer* frmMain::idleTimer() const { return Timer1_; }

MainToolbar* frmMain::toolbar() const { return Toolbar_; }

void frmMain::ResetAutoShutdown() {
    if (Timer1_) Timer1_->ResetAutoShutdown();
}

int frmMain::runModal(QDialog& dialog) {
    // The idle timer waits while one of our other windows is open.
    const bool wasOpen = gFormOpen;
    gFormOpen = true;
    const int result = dialog.exec();
    gFormOpen = wasOpen;
    return result;
}

void frmMain::showLogOnWindow() {
    // Locked already (the idle timer may lock while a lock-out question is still open): one log-on window.
    if (logOn_) {
        logOn_->activateWindow();
        return;
    }
    // Nothing the program copied stays on the clipboard of a locked program.
    desktop().clearClipboardText();
    // A fresh log-on: the window shows the main window again only when the master password is accepted.
    gLoggedOn = false;
    auto* logOn = new frmPassword;
    logOn->setAttribute(Qt::WA_DeleteOnClose);
    // Only the master password brings the records back.
    connect(logOn, &QDialog::accepted, this, &frmMain::bringRecordsBack);
    logOn_ = logOn;
    logOn->show();
    logOn->activateWindow();
}

void frmMain::mnuFileExit_Click() { close(); }

void frmMain::mnuEditFind_Click() {
    if (!find_) find_ = std::make_unique<frmFind>(*SSDBGrid_, this);
    runModal(*find_);
}

ImportLink frmMain::importLink() {
    return {[this](const QString& text) { setStatusText(text); },
            [this] { return shownGroup_.isEmpty() ? kAllGroups : shownGroup_; },
            [this](const QString& group) {
                // gInitializeGroupNameCombo reads the groups again and shows all of them; then the group.
                gInitializeGroupNameCombo();
                SSDBDropDown_->refresh();
                showGroupInCombo(group.isEmpty() ? kAllGroups : group);
                UpdateComboGroupName();
            }};
}

void frmMain::mnuEditImportSelectData_Click() {
    // A row being typed is stored (or the user puts it right) before rows are added beneath it.
    if (!SSDBGrid_->commitRow()) return;
    frmImportSelect form(flags_, importLink(), this);
    runModal(form);
}

void frmMain::mnuEditImport_Click() {
    if (!SSDBGrid_->commitRow()) return;
    const FormOpenHeld holdIdleTimer;
    ImportOldKeyvale(this, importLink());
}

void frmMain::mnuEditImportCsv_Click() {
    if (!SSDBGrid_->commitRow()) return;
    frmImportCsv form(importLink(), this);
    runModal(form);
}

void frmMain::mnuLockOut_Click() {
    if (desktop().message(QStringLiteral("Continue with Lock out?"), QStringLiteral("Keyvale Lock Out"),
                          Buttons::YesNo, Icon::Question) != Answer::Yes)
        return;
    lockOut();
}

void frmMain::lockOut() {
    hide();
    holdRecords();
    showLogOnWindow();
    ResetAutoShutdown();
}

void frmMain::holdRecords() {
    if (locked_) return;
    locked_ = true;
    // No command runs behind the log-on window, not even one asked for by a screen reader.
    for (QAction* action : findChildren<QAction*>())
        if (action->isEnabled()) {
            action->setEnabled(false);
            heldCommands_.append(action);
        }
    setEnabled(false);
    SSDBGrid_->lockRows();
    groupList_->removeRows(0, groupList_->rowCount());
    // setText, unlike clear, leaves nothing for the box's undo to bring back.
    heldPassword_ = txtPassword_->text();
    txtPassword_->setText(QString());
    heldStatus_ = statusText();
    setStatusText(QStringLiteral("Keyvale is Ready"));
    // A protected database's records stay sealed until the master password gives their key again, and no
    // opened value of theirs is kept meanwhile: the row's values are read again at log-on.
    if (gRecordCodec.isProtected()) {
        wipeText(heldPassword_);
        wipeText(sRowPassword);
        wipeText(sRowUserID);
    }
    LockRecords();
}

void frmMain::bringRecordsBack() {
    if (!locked_) return;
    locked_ = false;
    fillGroupCombo();
    showGroupInCombo(shownGroup_.isEmpty() ? kAllGroups : shownGroup_);
    SSDBGrid_->unlockRows();
    if (gRecordCodec.isProtected()) {
        takeSnapshot();
        txtPassword_->setText(SSDBGrid_->cellText(kPasswordColumn));
    } else {
        txtPassword_->setText(std::exchange(heldPassword_, QString()));
    }
    setStatusText(std::exchange(heldStatus_, QString()));
    setEnabled(true);
    for (const QPointer<QAction>& action : std::exchange(heldCommands_, {}))
        if (action) action->setEnabled(true);
    SSDBGrid_->setFocus();
}

void frmMain::idleShutdown() {
    storePendingRow(Asking::Never);
    endProgram();
}

void frmMain::mnuHelpHelp_Click() { ShowHelpTopic(this, 10); }

void frmMain::mnuHelpAbout_Click() {
    frmAbout about(this);
    about.exec();
}

} // namespace kv
