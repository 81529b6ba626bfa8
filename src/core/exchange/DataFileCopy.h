#pragma once

#include "exchange/FileCopy.h"
#include "platform/Error.h"

#include <QString>

namespace kv {

// The steps of backup, restore and the data-folder move that need no window. Restore and move copy the
// database only while the connection is closed, and open it again on the old file whatever goes wrong.

// "keyvale.bak" in a folder as the folder picker gives it.
QString backupFile(const QString& folder);

// Copies the data folder's database to keyvale.bak in `folder`, replacing an older backup, while no change
// can be written to it; the connection stays open throughout. A damaged database is not copied (an older
// backup stays as it was). Throws kv::Error; false when `progress` stopped it.
bool backupDatabase(const QString& folder, const CopyProgress& progress = {});

// Stores the folder as the BackupLocation option and in gBackupLocation; false, changing nothing, when the
// option has no row.
bool storeBackupLocation(const QString& folder);

// Throws kv::Error unless the file opens with the database password, holds the program's tables with
// their fields and reads back whole, so that a wrong pick or a damaged backup never replaces the database.
void checkBackupFile(const QString& path);
// The message that refuses to restore the backup at `path` for the error checkBackupFile threw.
QString backupRefusal(const QString& path, const Error& e);

// Checks the backup, then copies it over the data folder's database with the connection closed, which stays
// closed when the copy succeeded. Otherwise the database is as it was and open again: kv::Error is thrown,
// or false is answered when `progress` stopped it.
bool restoreDatabase(const QString& backupPath, const CopyProgress& progress = {});

// Copies the database of `fromFolder` (the data folder) into `toFolder` as keyvale.mdb. The connection, when
// open, is closed for the copy and stays closed when the copy succeeded, for the caller to open it on
// whichever folder is then the data folder. Otherwise it is open again on the data folder as it was:
// kv::Error is thrown, or false is answered when `progress` stopped it.
bool copyDatabaseTo(const QString& fromFolder, const QString& toFolder, const CopyProgress& progress = {});

} // namespace kv
