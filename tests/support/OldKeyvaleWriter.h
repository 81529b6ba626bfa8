#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace kv::test {

// One log-on of a 4.x data file, as the old program wrote it.
struct OldLogOn {
    QString website, userID, password;
    bool deleted = false;
};

// The bytes of a 4.x data file: a header record whose password field holds `oldPassword` enciphered with
// the field key and padded with blanks, then one 119-byte record per log-on, each field padded with blanks
// and then enciphered whole with the old-file key.
QByteArray oldKeyvaleBytes(const QString& oldPassword, const QList<OldLogOn>& logOns);
// Writes them to `path`; false when the file cannot be written.
bool writeOldKeyvaleFile(const QString& path, const QString& oldPassword, const QList<OldLogOn>& logOns);

} // namespace kv::test
