#include "exchange/OldKeyvaleFile.h"

#include "exchange/FileCopy.h"
#include "platform/Error.h"
#include "store/Cipher.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <cmath>

namespace kv {

namespace {

// Field places within a record.
constexpr int kDeletedAt = 3;
constexpr int kWebsiteAt = 4;
constexpr int kUserIdAt = 54;
constexpr int kPasswordAt = 104;
constexpr int kLongField = 50;
constexpr int kPasswordLength = 15;

QString field(const QByteArray& record, int at, int length) {
    return fromWindows1252(record.mid(at, length));
}

QString oldFileField(const QByteArray& record, int at, int length) {
    return trimBlanks(decipherWith(kOldFileKey, field(record, at, length)));
}

} // namespace

OldKeyvaleFile::OldKeyvaleFile(QIODevice& device) : device_(device), size_(qMax<qint64>(0, device.size())) {
    count_ = int(qMin<double>(std::nearbyint(double(size_) / kRecordLength), INT_MAX));
}

QByteArray OldKeyvaleFile::rawRecord(int number) const {
    QByteArray bytes(kRecordLength, ' ');
    if (number < 1 || number > count_) return bytes;
    const qint64 at = (qint64(number) - 1) * kRecordLength;
    const qint64 length = qMin(kRecordLength, size_ - at);
    if (length <= 0) return bytes;
    if (!device_.seek(at)) throw Error(57, QStringLiteral("Device I/O error"));
    const qint64 got = device_.read(bytes.data(), length);
    if (got != length) throw Error(57, QStringLiteral("Device I/O error"));
    return bytes;
}

QString OldKeyvaleFile::oldPassword() const {
    if (!hasHeader()) return {};
    QString stored = field(rawRecord(1), kPasswordAt, kPasswordLength);
    while (stored.endsWith(QLatin1Char(' ')))
        stored.chop(1);
    return trimBlanks(decipherField(stored));
}

OldRecord OldKeyvaleFile::record(int number) const {
    const QByteArray bytes = rawRecord(number);
    OldRecord r;
    r.deleted = bytes[kDeletedAt] == '*';
    r.website = oldFileField(bytes, kWebsiteAt, kLongField);
    r.userID = oldFileField(bytes, kUserIdAt, kLongField);
    r.password = oldFileField(bytes, kPasswordAt, kPasswordLength);
    return r;
}

QString oldKeyvaleFile(const QString& dataFolder) {
    QString path = dataFolder;
    if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
    path += QStringLiteral("keyvale");
    if (!QFileInfo(path).isFile()) return {};
    if (isSameFile(path, QCoreApplication::applicationFilePath())) return {};
    return path;
}

} // namespace kv
