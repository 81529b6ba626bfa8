#pragma once

#include <QString>

namespace kv {

// Shared paths, set during start-up and read by every layer (the store opens the data folder's database,
// the options fall back to the program's folder). Paths end in "/".
inline QString gAppPath;    // the program's folder (or the one named by --app-dir / KEYVALE_APP_DIR)
inline QString gIniFile;    // gSettingsFolder (or gAppPath) + "keyvale.ini"
inline QString gSettingsFolder; // where the settings file lives; empty means gAppPath
inline bool gPerUserFolders = false; // an installed copy: settings and data in the user's own folders
inline QString gDataFolder; // the data folder as stored in the settings file
inline QString gWinDir;     // where the about box looks for its tune: the program's folder on this platform
inline QString gHelpFile;   // the help pages

} // namespace kv
