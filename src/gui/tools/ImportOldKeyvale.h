#pragma once

#include "tools/ImportLink.h"

class QWidget;

namespace kv {

// Edit > Import Version 4.x Data: appends every record of the data folder's 4.x data file to the
// database under "IMPORTED DATA", once the old master password has been given.
void ImportOldKeyvale(QWidget* owner, const ImportLink& link);

} // namespace kv
