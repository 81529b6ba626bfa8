#pragma once

#include <QIcon>

namespace kv {

// The program's own pictures, drawn in code so that they are sharp at every screen scale.
QIcon appIcon();

// The main window's toolbar pictures, by key: "HidePassword" (a closed eye), "ShowPassword" (an open
// eye), "FirstRecord", "LastRecord" (an arrow against a bar) and "NewRecord" (a page with a plus). An
// unknown key gives a null icon.
QIcon toolbarIcon(const QString& key);

// The picture of the idle-warning button: a warning triangle with an exclamation mark.
QIcon alertIcon();

} // namespace kv
