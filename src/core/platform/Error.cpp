#include "platform/Error.h"

#include "platform/Desktop.h"

namespace kv {

QString errorText(int number, const QString& description, const QString& where) {
    return QStringLiteral("Error %1 (%2) in procedure %3").arg(number).arg(description, where);
}

QString errorText(const Error& e, const QString& where) { return errorText(e.number(), e.description(), where); }

void reportError(const Error& e, const QString& where) { desktop().message(errorText(e, where)); }

void reportError(const std::exception& e, const QString& where) {
    if (auto* k = dynamic_cast<const Error*>(&e)) {
        reportError(*k, where);
        return;
    }
    desktop().message(errorText(err::DatabaseError, QString::fromLocal8Bit(e.what()), where));
}

void reportCritical(const Error& e) {
    desktop().message(QStringLiteral("%1 - %2").arg(e.number()).arg(e.description()), {}, Buttons::Ok,
                      Icon::Critical);
}

} // namespace kv
