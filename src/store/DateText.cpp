#include "store/DateText.h"

#include "platform/Clock.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>

namespace kv {

namespace {

// The locale's short date and time, widened where it drops something: the year is written with four
// digits and the time with its seconds, in the order and with the separators the locale uses.
QString displayFormat(const QLocale& locale) {
    QString date = locale.dateFormat(QLocale::ShortFormat);
    static const QRegularExpression shortYear(QStringLiteral("(?<!y)y{1,3}(?!y)"));
    date.replace(shortYear, QStringLiteral("yyyy"));
    QString time = locale.timeFormat(QLocale::ShortFormat);
    if (!time.contains(QLatin1Char('s'))) {
        // The seconds follow the minutes, after the separator that stands before the minutes.
        static const QRegularExpression minutes(QStringLiteral("([^hHm\\s'])(mm?)"));
        time.replace(minutes, QStringLiteral("\\1\\2\\1ss"));
    }
    return date + QLatin1Char(' ') + time;
}

} // namespace

QString storedDateNow() { return clock().now().toString(kStoredDateFormat); }

QString displayedDate(const QVariant& stored) {
    const QDateTime when = QDateTime::fromString(stored.toString(), kStoredDateFormat);
    if (!when.isValid()) return stored.toString();
    const QLocale locale;
    return locale.toString(when, displayFormat(locale));
}

} // namespace kv
