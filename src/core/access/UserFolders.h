#pragma once

#include <QString>

namespace kv {

// Where this copy of the program keeps the files it writes.
//
// A portable copy (one whose folder the user can write) keeps everything in its program folder, or in the
// folder named with --app-dir / KEYVALE_APP_DIR. An installed copy keeps them per user: the settings file
// in the user's config folder ("keyvale/keyvale.ini") and the data, exports and backups in the user's
// data folder ("keyvale/"); the files delivered with it are read from beside the executable.
struct ProgramFolders {
    QString appPath;        // gAppPath: ends in "/"
    QString settingsFolder; // the folder of keyvale.ini: ends in "/"
    bool perUser = false;   // an installed copy using the user's folders
};

// The name of the file an install puts beside the executable to mark the copy as installed.
inline const QString kInstalledMarker = QStringLiteral("keyvale-installed.txt");

// `namedFolder` is the folder given with --app-dir or KEYVALE_APP_DIR (empty when none);
// `programFolder` the executable's folder. A named folder always wins.
ProgramFolders findProgramFolders(const QString& namedFolder, const QString& programFolder);

// Sets gAppPath and the settings file's folder from findProgramFolders and creates the per-user folders
// (owner-only) when they are missing.
void useProgramFolders(const QString& namedFolder, const QString& programFolder);

// At an installed copy's first start its data folder holds no database yet: copy the delivered empty one
// there, owner-only. Only the per-user default data folder is filled so; a data folder the user chose
// that has gone missing is reported by the database, never silently replaced by an empty one.
// `delivered` is the empty database delivered with the program. Throws kv::Error when the copy fails
// (53 when there is no delivered database), leaving no database behind.
void provideUserDatabase(const QString& delivered);

} // namespace kv
