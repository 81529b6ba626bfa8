// The main window's file commands, backup and restore, and the Options dialog they share the database
// file with.
#include "mainwindow/frmMain.h"

#include "platform/BusyProgress.h"
#include "platform/CopyBusy.h"
#include "exchange/DataFileCopy.h"
#include "exchange/DataFolderMove.h"
#include "grid/RecordsGrid.h"
#include "platform/Desktop.h"
#include "platform/Error.h"
#include "platform/InstanceLock.h"
#include "access/modKeyvale.h"
#include "store/Options.h"
#include "store/RecordCodec.h"
#include "store/modDBstuff.h"
#include "tools/frmOptions.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace kv {

namespace {

QString procedureError(const Error& e, const QString& where) {
    return QStringLiteral("Error %1 (%2) in %3 of Form frmMain").arg(e.number()).arg(e.description(), where);
}

void information(const QString& text) {
    desktop().message(text, {}, Buttons::Ok, Icon::Information);
}

// Why the data did not move; nothing when the user stopped the copy or would not replace a data file.
void tellNotMoved(const MoveResult& result, const QString& folder) {
    switch (result.outcome) {
    case MoveOutcome::CopyFailed:
        reportCritical(*result.error);
        break;
    case MoveOutcome::SettingsNotWritten:
        desktop().message(notMovedText(result.outcome, folder), {}, Buttons::Ok, Icon::Exclamation);
        break;
    default:
        if (const QString text = notMovedText(result.outcome, folder); !text.isEmpty()) information(text);
        break;
    }
}

} // namespace

void frmMain::showRecordsAgain() {
    // The connection was opened again with gRsChildData over every record: show again what was shown.
    const QString status = statusText();
    const QString group = shownGroup_.isEmpty() ? kAllGroups : shownGroup_;
    fillGroupCombo();
    showGroupInCombo(group);
    UpdateComboGroupName();
    setStatusText(status);
}

void frmMain::mnuFileBackup_Click() {
    // A record still being typed belongs in the backup; one the user is told cannot be stored stops it.
    if (SSDBGrid_->isEditing() && !SSDBGrid_->commitRow()) return;
    FormOpenHeld held;
    const QString folder = desktop().browseForFolder(this, gBackupLocation,
                                                     QStringLiteral("Select a folder to backup Keyvale's files to..."));
    if (folder.isEmpty()) return;
    bool stored = false;
    try {
        bool copied = false;
        {
            CopyBusy busy(this, QStringLiteral("Backing up Keyvale's data (KB)..."), databaseFile(gDataFolder));
            copied = backupDatabase(folder, busy.progress());
        }
        if (!copied) return;
        stored = storeBackupLocation(folder);
    } catch (const Error& e) {
        held.release();
        desktop().message(procedureError(e, QStringLiteral("mnuFileBackup")));
        return;
    }
    held.release();
    QString text = QStringLiteral("Backup was Successful.\n\n");
    if (!stored)
        text += QStringLiteral("However, there was a problem storing the location, \n'") + folder +
                QStringLiteral("'\nin the Keyvale database.\n\n");
    text += QStringLiteral("Remember, if Keyvale's password is changed between backup cycles\n") +
            QStringLiteral("the only way to gain access to Keyvale's restored data is to know\n") +
            QStringLiteral("the original question and answer that was filled in when Keyvale ") +
            QStringLiteral("was installed.");
    desktop().message(text, {}, Buttons::Ok, Icon::Exclamation);
}

void frmMain::mnuFileRestore_Click() {
    // A record still being typed is stored first, so that it is not lost when the restore does not happen.
    if (SSDBGrid_->isEditing() && !SSDBGrid_->commitRow()) return;
    QString backup = backupFile(gBackupLocation);
    if (!QFileInfo(backup).isFile()) {
        if (desktop().message(QStringLiteral("The last known backup path was '") + gBackupLocation +
                                  QStringLiteral("' ") + QStringLiteral("but a backup was not found!\n") +
                                  QStringLiteral("Would you like to choose a path to restore from?"),
                              {}, Buttons::YesNo, Icon::Question) != Answer::Yes)
            return;
        const QString folder =
            desktop().browseForFolder(this, gBackupLocation, QStringLiteral("Selected a folder to Restore from..."));
        if (folder.isEmpty()) return;
        backup = backupFile(folder);
        if (!QFileInfo(backup).isFile()) {
            desktop().message(QStringLiteral("The backup file could not be found!\nRestore did not complete!"), {},
                              Buttons::Ok, Icon::Exclamation);
            return;
        }
    }
    // A file that is not one of our databases would destroy the user's data: look at it before asking.
    try {
        checkBackupFile(backup);
    } catch (const Error& e) {
        desktop().message(backupRefusal(backup, e), {}, Buttons::Ok, Icon::Exclamation);
        return;
    }
    if (desktop().message(
            QStringLiteral("About to restore Keyvale's backup data!\nThis process can not be reversed!\n") +
                QStringLiteral("Continue with the restore process?"),
            {}, Buttons::YesNo, Icon::Question) != Answer::Yes)
        return;
    FormOpenHeld held;
    try {
        bool restored = false;
        {
            CopyBusy busy(this, QStringLiteral("Restoring Keyvale's data (KB)..."), backup);
            restored = restoreDatabase(backup, busy.progress());
        }
        if (!restored) {
            showRecordsAgain();
            return;
        }
    } catch (const Error& e) {
        showRecordsAgain();
        held.release();
        desktop().message(procedureError(e, QStringLiteral("mnuFileRestore")));
        return;
    }
    desktop().message(
        QStringLiteral("Restore was Success!\n") +
            QStringLiteral("Keyvale is about to close and restart to confirm log on passwords are synchronized. ") +
            QStringLiteral("If you can succussfully logon then no further steps are required.  ") +
            QStringLiteral("If you can not log on successfully after three attempts then the setup form will open.") +
            QStringLiteral("You must answer the correct question with the correct answer and enter a new password ") +
            QStringLiteral(
                "to gain access to your passwords.  If you have forgotten your original answer and question you ") +
            QStringLiteral(
                "will not gain access to your passwords.  Refer to the help file for additional information ") +
            QStringLiteral("on restoring Keyvale data."),
        {}, Buttons::Ok, Icon::Information);
    desktop().message(QStringLiteral("Keyvale is about to shutdown and restart"), {}, Buttons::Ok, Icon::Information);
    // The new instance gets the arguments this one was given, so it opens the same program folder.
    if (!desktop().startDetached(QCoreApplication::applicationFilePath(), QCoreApplication::arguments().mid(1)))
        desktop().message(QStringLiteral("Keyvale could not start again by itself.\nStart Keyvale to log on to the "
                                         "restored data."),
                          {}, Buttons::Ok, Icon::Exclamation);
    desktop().endApplication();
}

bool frmMain::moveDataFolderTo(const QString& folder, QWidget* owner) {
    FormOpenHeld held;
    const MoveOutcome refused = checkMoveTarget(gDataFolder, folder, false);
    if (refused == MoveOutcome::SameLocation || refused == MoveOutcome::FolderTooLong) {
        tellNotMoved({refused, {}}, folder);
        return false;
    }
    if (desktop().message(QStringLiteral("About to move Keyvale' data!\nDo you want to continue?"), {}, Buttons::YesNo,
                          Icon::Question) != Answer::Yes)
        return false;
    // Another installation's data may live there: it is never replaced without asking.
    if (refused == MoveOutcome::FolderHoldsData &&
        desktop().askDefaultNo(QStringLiteral("The folder '") + folder +
                               QStringLiteral("' already holds a Keyvale data file.\n") +
                               QStringLiteral("Do you want to replace it with the data being moved?")) != Answer::Yes)
        return false;

    const QString oldFolder = gDataFolder;
    MoveResult result;
    {
        CopyBusy busy(owner, QStringLiteral("Moving Keyvale's data (KB)..."), databaseFile(oldFolder));
        result = moveDataFolder({oldFolder, folder, gIniFile, &InstanceLock::process(),
                                 refused == MoveOutcome::FolderHoldsData, busy.progress()});
    }
    // Whether the connection is open on the moved file or again on the old one, gRsChildData now holds every
    // record: the grid must not go on writing by the positions of the group it showed.
    showRecordsAgain();
    if (result.outcome != MoveOutcome::Moved) {
        tellNotMoved(result, folder);
        return false;
    }
    const bool keepOld =
        desktop().message(QStringLiteral("Do you want to keep the Keyvale' data in the old location as a backup?"), {},
                          Buttons::YesNo, Icon::Question) == Answer::Yes;
    const bool removed = !keepOld && removeOldDatabase(oldFolder, gDataFolder);
    emit dataFolderMoved(gDataFolder);
    information(removed ? QStringLiteral("Moved Keyvale to the new location and deleted data from the old location.")
                        : QStringLiteral("Moved Keyvale to the new location and kept the data in the old location for "
                                         "backup purposes."));
    return true;
}

bool frmMain::setRecordsProtected(bool on, QWidget* owner) {
    FormOpenHeld held;
    auto typed = desktop().input(on ? QStringLiteral("Enter the master password to protect the records:")
                                    : QStringLiteral("Enter the master password to remove the records' protection:"),
                                 {}, {}, Desktop::Echo::Masked);
    if (!typed) return false;
    QString password = std::move(*typed);
    typed.reset();
    ProtectionChange change = ProtectionChange::Cancelled;
    try {
        // The count of records is known once the conversion has begun.
        BusyProgress busy(owner,
                          on ? QStringLiteral("Protecting records...") : QStringLiteral("Unprotecting records..."), 0);
        change = SetDatabaseProtected(on, password, [&busy](qint64 done, qint64 total) {
            busy.setTotal(total);
            return busy.step(done);
        });
    } catch (const Error& e) {
        wipeText(password);
        // Whatever the failure left the shared recordsets reading, the window reads its records afresh.
        showRecordsAgain();
        held.release();
        desktop().message(procedureError(e, QStringLiteral("setRecordsProtected")));
        return false;
    }
    wipeText(password);
    if (change == ProtectionChange::Changed) showRecordsAgain();
    held.release();
    switch (change) {
    case ProtectionChange::WrongPassword:
        information(QStringLiteral("Invalid Password!"));
        return false;
    case ProtectionChange::Cancelled:
        information(on ? QStringLiteral("Cancelled: the records were not protected and are stored as they were.")
                       : QStringLiteral("Cancelled: the records are still protected and stored as they were."));
        return false;
    case ProtectionChange::Changed:
        break;
    }
    information(on ? QStringLiteral("The records are now protected with the master password.")
                   : QStringLiteral("The records are no longer protected with the master password."));
    return true;
}

void frmMain::mnuEditOptions_Click() {
    // The move of the data folder reopens the database and a change of protection reads every record again:
    // a record still being typed is stored first.
    if (SSDBGrid_->isEditing() && !SSDBGrid_->commitRow()) return;
    frmOptions options(this);
    runModal(options);
}

} // namespace kv
