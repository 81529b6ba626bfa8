#include "support/OldKeyvaleWriter.h"

#include "store/Cipher.h"

#include <QFile>

namespace kv::test {

namespace {

QByteArray padded(const QString& text, int length) {
    return toWindows1252(text).leftJustified(length, ' ', true);
}

QByteArray oldFileField(const QString& text, int length) {
    return toWindows1252(encipherWith(kOldFileKey, fromWindows1252(padded(text, length))));
}

} // namespace

QByteArray oldKeyvaleBytes(const QString& oldPassword, const QList<OldLogOn>& logOns) {
    QByteArray bytes = QByteArray(104, ' ') + padded(encipherField(oldPassword), 15);
    for (const OldLogOn& l : logOns)
        bytes += QByteArray("   ") + (l.deleted ? '*' : ' ') + oldFileField(l.website, 50) +
                 oldFileField(l.userID, 50) + oldFileField(l.password, 15);
    return bytes;
}

bool writeOldKeyvaleFile(const QString& path, const QString& oldPassword, const QList<OldLogOn>& logOns) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(oldKeyvaleBytes(oldPassword, logOns)) >= 0;
}

} // namespace kv::test
