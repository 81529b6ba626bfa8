#include "store/DateText.h"

#include "platform/Clock.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <tuple>
#include <vector>

namespace kv {

namespace {

// The locale's short date and time formats, widened where they drop something: the year is written with
// four digits and the time with its seconds, in the order and with the separators the locale uses. A date
// is shown as the date, a blank and the time.
std::pair<QString, QString> displayFormats(const QLocale& locale) {
    QString date = locale.dateFormat(QLocale::ShortFormat);
    static const QRegularExpression shortYear(QStringLiteral("(?<!y)y{1,3}(?!y)"));
    date.replace(shortYear, QStringLiteral("yyyy"));
    QString time = locale.timeFormat(QLocale::ShortFormat);
    if (!time.contains(QLatin1Char('s'))) {
        // The seconds follow the minutes, after the separator that stands before the minutes.
        static const QRegularExpression minutes(QStringLiteral("([^hHm\\s'])(mm?)"));
        time.replace(minutes, QStringLiteral("\\1\\2\\1ss"));
    }
    return {date, time};
}

} // namespace

QString storedDateNow() { return clock().now().toString(kStoredDateFormat); }

namespace {

// Reads the stored form by hand: this runs for every date a find or an export shows, and the general
// parser costs many times more. Anything but exactly "yyyy-MM-dd HH:mm:ss" with a real date and time is
// no stored date.
QDateTime storedDate(QStringView text, Qt::TimeSpec zone) {
    if (text.size() != 19 || text[4] != u'-' || text[7] != u'-' || text[10] != u' ' || text[13] != u':' ||
        text[16] != u':')
        return {};
    const auto number = [&](qsizetype at, qsizetype length) {
        int value = 0;
        for (qsizetype i = at; i < at + length; ++i) {
            if (text[i] < u'0' || text[i] > u'9') return -1;
            value = value * 10 + (text[i].unicode() - u'0');
        }
        return value;
    };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    if (year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0) return {};
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid()) return {};
    return QDateTime(date, time, zone);
}

// Whether a format writes the time zone ('t' outside quotes).
bool namesZone(const QString& format) {
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'') quoted = !quoted;
        else if (!quoted && c == u't') return true;
    }
    return false;
}

} // namespace

QString displayedDate(const QVariant& stored) {
    // Working the format out costs more than using it; it is kept while the locale stays the same.
    thread_local QLocale formatLocale(QLocale::c());
    thread_local QString dateFormat, timeFormat;
    thread_local bool withZone = false;
    // Formatting is the dearest part of showing a date, and records share days and times of day: each day
    // and each time is formatted once. The days kept are bounded; the times of a day are bounded by nature.
    constexpr qsizetype kRememberedDays = 4096;
    thread_local QHash<QString, QString> days;
    thread_local std::vector<QString> times;
    const QLocale locale;
    if (dateFormat.isEmpty() || !(locale == formatLocale)) {
        formatLocale = locale;
        std::tie(dateFormat, timeFormat) = displayFormats(locale);
        withZone = namesZone(dateFormat) || namesZone(timeFormat);
        days.clear();
        times.clear();
    }
    const QString text = stored.toString();
    // The stored time is the clock time the record was saved at, shown as it stands. Unless the zone is
    // written too, it is read as a time of no zone: looking up the local zone's rules would cost more than
    // all the rest, for every date a find or an export shows.
    const QDateTime when = storedDate(text, withZone ? Qt::LocalTime : Qt::UTC);
    if (!when.isValid()) return text;
    if (withZone) return locale.toString(when, dateFormat + QLatin1Char(' ') + timeFormat);

    const QString day = text.left(10);
    auto known = days.constFind(day);
    if (known == days.constEnd()) {
        if (days.size() >= kRememberedDays) days.clear();
        known = days.insert(day, locale.toString(when.date(), dateFormat));
    }
    const int second = when.time().msecsSinceStartOfDay() / 1000;
    if (times.empty()) times.resize(std::size_t(24 * 60 * 60));
    QString& time = times[std::size_t(second)];
    if (time.isNull()) time = locale.toString(when.time(), timeFormat);
    return *known + QLatin1Char(' ') + time;
}

} // namespace kv
