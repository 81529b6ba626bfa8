#pragma once

#include "exchange/FileCopy.h"
#include "platform/Error.h"

#include <QString>
#include <optional>

namespace kv {

class InstanceLock;

// Moving the database to another data folder: copy it there, point the settings file at it, and only then
// let the old file go. The windows ask the questions; this does the work, so that a command-line tool can
// do the same.

enum class MoveOutcome {
    Moved,              // the data is in the new folder and the settings file names it
    Stopped,            // the copy was stopped part-way
    SameLocation,       // the new folder is the data folder
    FolderTooLong,      // the settings file cannot keep the new folder's path whole
    SameFile,           // the new folder's data file is the data file itself, reached another way
    FolderHoldsData,    // the new folder already holds a data file, and replacing it was not allowed
    FolderInUse,        // another running Keyvale works on the new folder
    CopyFailed,         // the copy failed; `error` says why
    SettingsNotWritten, // the settings file could not be pointed at the new folder
};

struct MoveResult {
    MoveOutcome outcome = MoveOutcome::Moved;
    std::optional<Error> error; // why the copy failed
};

struct DataFolderMove {
    QString oldFolder;            // the data folder as stored; the program's connection, when open, is on it
    QString newFolder;            // where to, as chosen (with or without a trailing separator)
    QString settingsFile;         // names the data folder for the next start
    InstanceLock* lock = nullptr; // this process's lock, which follows the data (none: nothing is locked)
    bool replaceExisting = false; // whether a data file already in the new folder may be replaced
    CopyProgress progress;
};

// The value the settings file gets for a data folder: the folder with a trailing separator.
QString storedDataFolder(const QString& folder);

// Why a move from `oldFolder` to `newFolder` would be refused before anything is touched; Moved when it
// would not be.
MoveOutcome checkMoveTarget(const QString& oldFolder, const QString& newFolder, bool replaceExisting);

// Moves the data. After Moved, gDataFolder is the new folder and the connection, when it was open, is open
// on the moved file; the old file is still there. After anything else the data folder, the settings file,
// the old file and the lock are as they were and the connection, when it was open, is open again on the
// old file (a copy already finished in the new folder stays there).
MoveResult moveDataFolder(const DataFolderMove& move);

// What the user is told when the data did not move to `folder`; empty for a failed copy (its error says
// why) and for outcomes the user chose (the copy stopped, a data file not to be replaced).
QString notMovedText(MoveOutcome outcome, const QString& folder);

// Deletes the old folder's data file once the moved copy is there and whole; false when it was kept.
bool removeOldDatabase(const QString& oldFolder, const QString& newFolder);

} // namespace kv
