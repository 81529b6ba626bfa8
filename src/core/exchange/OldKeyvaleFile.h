#pragma once

#include "platform/TextRoutines.h"

#include <QString>

class QIODevice;

namespace kv {

// One stored log-on of the fixed-record data file of the 4.x versions, deciphered and trimmed.
struct OldRecord {
    bool deleted = false;
    QString website;
    QString userID;
    QString password;
};

// Reads the 4.x data file: records of 119 bytes, read by number (the first is the header, which holds
// the old master password). Only whole reads inside the file are made: a last record that is only partly
// in the file has its missing bytes taken as blanks. The file is only read.
class OldKeyvaleFile {
public:
    static constexpr qint64 kRecordLength = 119;

    // `device` is open for reading and outlives this reader.
    explicit OldKeyvaleFile(QIODevice& device);

    // Records in the file, the header included: its length divided by 119, rounded to the nearest whole
    // number (halves to even).
    int recordCount() const { return count_; }
    // Whether the file holds its header record whole; without it there is no old password to check.
    bool hasHeader() const { return size_ >= kRecordLength; }
    // The old master password of the header record.
    QString oldPassword() const;
    // Record `number` (2 to recordCount()). Throws kv::Error when the file cannot be read.
    OldRecord record(int number) const;

private:
    QByteArray rawRecord(int number) const;

    QIODevice& device_;
    qint64 size_ = 0;
    int count_ = 0;
};

// The 4.x data file of a data folder ("keyvale"), when there is one that may be read: never the running
// program's own executable, which on this platform bears the same name and may stand in the same folder.
// Empty when there is none.
QString oldKeyvaleFile(const QString& dataFolder);

} // namespace kv
