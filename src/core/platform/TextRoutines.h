#pragma once

#include <QString>

namespace kv {

// Removes blanks (and only blanks: tabs and other spacing stay) from both ends of a text.
QString trimBlanks(const QString& text);

} // namespace kv
