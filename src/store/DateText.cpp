#include "store/DateText.h"

#include "platform/Clock.h"

#include <QDateTime>
#include <QLocale>

namespace kv {

QString storedDateNow() { return clock().now().toString(kStoredDateFormat); }

QString displayedDate(const QVariant& stored) {
    const QDateTime when = QDateTime::fromString(stored.toString(), kStoredDateFormat);
    return when.isValid() ? QLocale().toString(when, QLocale::ShortFormat) : stored.toString();
}

} // namespace kv
