#pragma once

#include "platform/Error.h"

#include <QFileDevice>
#include <QSaveFile>
#include <QString>

namespace kv {

// Everything the program creates is for its user alone.
inline constexpr QFileDevice::Permissions kOwnerOnlyFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
inline constexpr QFileDevice::Permissions kOwnerOnlyFolder =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

// The error the program reports for a file operation that failed with the system's error code: 61 "Disk
// full" (no space or quota left), 70 "Permission denied", 57 "Device I/O error", or 75 "Path/File access
// error".
Error fileError(int errorCode);

// Writes all the bytes to an open file descriptor, going on after a short write; throws fileError.
void writeAll(int fd, const char* data, qint64 size);

// A whole file put in place of another in one step, owner-only from its first byte. The bytes go into a
// temporary file beside the target; every write and the flush to disk are checked before the temporary
// file is renamed over the target. Until commit() succeeds the target is as it was, and a writer dropped
// before then (a failure or a cancel) takes its temporary file with it. Failures throw kv::Error: 76 when
// the target's folder is missing, 70 when the target is a folder, otherwise fileError's numbers.
class CheckedSaveFile {
public:
    explicit CheckedSaveFile(const QString& target);
    CheckedSaveFile(const CheckedSaveFile&) = delete;
    CheckedSaveFile& operator=(const CheckedSaveFile&) = delete;

    void write(const char* data, qint64 size);
    void write(const QByteArray& bytes) { write(bytes.constData(), bytes.size()); }
    // Flushes the bytes to disk and renames the file over the target.
    void commit();

private:
    QSaveFile file_;
    qint64 written_ = 0;
};

// For tests: every file written through CheckedSaveFile fails as if the disk filled after this many of its
// bytes; -1 turns it off.
void setWriteFailureAfter(qint64 bytes);

} // namespace kv
