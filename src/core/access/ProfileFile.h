#pragma once

#include <QString>

namespace kv {

// Settings files made of "[Section]" headers and "Key=Value" lines. Section and key names match without
// regard to case; a value is the text after "=" as written, without the blanks around it (and without
// quotes around the whole of it), so paths keep their commas, semicolons and backslashes.

// The key's value; a null string when the file, the section or the key is not there.
QString readProfileString(const QString& file, const QString& section, const QString& key);
// Sets the key, adding it (and its section) when missing and keeping every other line as it stands.
// The file is replaced in one step, owner-only, once every byte of it is on disk. False, leaving the file
// as it was, when it could not be read or written (a full disk included), or when the value would break the
// line it stands on.
bool writeProfileString(const QString& file, const QString& section, const QString& key, const QString& value);

} // namespace kv
