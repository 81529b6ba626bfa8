#include "exchange/DataFolderMove.h"

#include "exchange/DataFileCopy.h"
#include "platform/InstanceLock.h"
#include "access/modKeyvale.h"
#include "store/modDBstuff.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kv {

namespace {

QString withoutSeparator(QString folder) {
    if (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\'))) folder.chop(1);
    return folder;
}

// Takes the new folder's lock for the length of a move and gives it back unless the move is kept, so that
// a folder another running Keyvale works on is never written to.
class LockFollowing {
public:
    explicit LockFollowing(InstanceLock* lock) : lock_(lock), before_(lock ? lock->folder() : QString()) {}
    ~LockFollowing() {
        if (!lock_ || kept_ || !moved_) return;
        if (before_.isEmpty())
            lock_->release();
        else
            lock_->moveTo(before_);
    }
    LockFollowing(const LockFollowing&) = delete;
    LockFollowing& operator=(const LockFollowing&) = delete;

    bool moveTo(const QString& folder) {
        if (!lock_) return true;
        moved_ = lock_->moveTo(folder);
        return moved_;
    }
    void keep() { kept_ = true; }

private:
    InstanceLock* lock_;
    QString before_;
    bool moved_ = false;
    bool kept_ = false;
};

// Points the settings file at the folder. It counts as done only when the file reads back as the next
// start will read it; otherwise the old value is put back.
bool pointSettingsAt(const QString& settingsFile, const QString& folder, const QString& before) {
    if (!writeDataFolderSetting(settingsFile, folder)) return false;
    if (readDataFolderSetting(settingsFile) == folder) return true;
    writeDataFolderSetting(settingsFile, before);
    return false;
}

} // namespace

QString storedDataFolder(const QString& folder) {
    // A relative path would be read against whatever folder the next start runs in.
    QString stored = QDir::isRelativePath(folder) ? QFileInfo(folder).absoluteFilePath() : folder;
    if (!stored.endsWith(QLatin1Char('/'))) stored += QLatin1Char('/');
    return stored;
}

MoveOutcome checkMoveTarget(const QString& oldFolder, const QString& newFolder, bool replaceExisting) {
    if (newFolder.trimmed() == withoutSeparator(oldFolder) || isSameFolder(newFolder, oldFolder))
        return MoveOutcome::SameLocation;
    if (storedDataFolder(newFolder).size() > kIniValueLimit) return MoveOutcome::FolderTooLong;
    const QString target = databaseFile(newFolder);
    if (isSameFile(databaseFile(oldFolder), target)) return MoveOutcome::SameFile;
    if (!replaceExisting && QFileInfo::exists(target)) return MoveOutcome::FolderHoldsData;
    return MoveOutcome::Moved;
}

MoveResult moveDataFolder(const DataFolderMove& move) {
    if (const MoveOutcome refused = checkMoveTarget(move.oldFolder, move.newFolder, move.replaceExisting);
        refused != MoveOutcome::Moved)
        return {refused, {}};
    LockFollowing lock(move.lock);
    if (!lock.moveTo(move.newFolder)) return {MoveOutcome::FolderInUse, {}};

    const bool wasOpen = gDBConnection && gDBConnection->isOpen();
    try {
        if (!copyDatabaseTo(move.oldFolder, move.newFolder, move.progress)) return {MoveOutcome::Stopped, {}};
    } catch (const Error& e) {
        return {MoveOutcome::CopyFailed, e};
    }
    // The connection is closed now; the settings file names the new folder before anything else changes.
    const QString stored = storedDataFolder(move.newFolder);
    const bool pointed = pointSettingsAt(move.settingsFile, stored, move.oldFolder);
    if (pointed) {
        gDataFolder = stored;
        lock.keep();
    }
    if (wasOpen) gInitializeDB();
    return {pointed ? MoveOutcome::Moved : MoveOutcome::SettingsNotWritten, {}};
}

QString notMovedText(MoveOutcome outcome, const QString& folder) {
    switch (outcome) {
    case MoveOutcome::SameLocation:
        return QStringLiteral("Cannot move Keyvale data file to the same location.");
    case MoveOutcome::FolderTooLong:
        return QStringLiteral("Cannot move Keyvale data file to a folder whose path is longer than %1 "
                              "characters.\nChoose a folder with a shorter path.")
            .arg(kIniValueLimit - 1);
    case MoveOutcome::SameFile:
        return QStringLiteral("Cannot copy Keyvale to the same folder it resides in.");
    case MoveOutcome::FolderInUse:
        return QStringLiteral("Keyvale is already running with the data folder ") + folder +
               QStringLiteral(".\nClose it before moving Keyvale's data there.");
    case MoveOutcome::SettingsNotWritten:
        return QStringLiteral("An error has occured writing INI settings...");
    case MoveOutcome::Moved:
    case MoveOutcome::Stopped:
    case MoveOutcome::FolderHoldsData:
    case MoveOutcome::CopyFailed:
        break;
    }
    return {};
}

bool removeOldDatabase(const QString& oldFolder, const QString& newFolder) {
    const QFileInfo oldFile(databaseFile(oldFolder)), newFile(databaseFile(newFolder));
    if (!newFile.isFile() || newFile.size() != oldFile.size() || isSameFile(oldFile.filePath(), newFile.filePath()))
        return false;
    return QFile::remove(oldFile.filePath());
}

} // namespace kv
