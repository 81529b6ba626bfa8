// keyvale_gui
#pragma once

#include <QIcon>

namespace kv {

// The program's own pictures, drawn in code so that they are sharp at every screen scale.
QIcon appIcon();

} // namespace kv
