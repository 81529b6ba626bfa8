#pragma once

#include <QString>
#include <QVariant>

namespace kv {

// DateChanged as it is stored: local time as "yyyy-MM-dd HH:mm:ss", whole seconds.
inline const QString kStoredDateFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// Now, as every save stamps DateChanged.
QString storedDateNow();
// A stored DateChanged as the grid shows it (and as find and export see it); text that is not a stored
// date comes back as it is.
QString displayedDate(const QVariant& stored);

} // namespace kv
