#include "platform/CheckedSaveFile.h"

#include <QFileInfo>
#include <cerrno>
#include <unistd.h>

namespace kv {

namespace {

qint64 failAfter = -1;

Error diskFull() {
    return Error(61, QStringLiteral("Disk full"));
}
Error permissionDenied() {
    return Error(70, QStringLiteral("Permission denied"));
}

// Making the temporary file or renaming it failed: a full disk says so; anything else is the folder
// refusing it.
Error placingFailure() {
    const int code = errno;
    return code == ENOSPC || code == EDQUOT ? diskFull() : permissionDenied();
}

} // namespace

Error fileError(int errorCode) {
    switch (errorCode) {
    case ENOSPC:
    case EDQUOT:
        return diskFull();
    case EACCES:
    case EPERM:
    case EROFS:
        return permissionDenied();
    case EIO:
        return Error(57, QStringLiteral("Device I/O error"));
    default:
        return Error(75, QStringLiteral("Path/File access error"));
    }
}

// Written to the descriptor directly, not through a buffered device: the system's own error code tells a
// full disk from other failures, and a short write (the disk filling in the middle of it) is gone on with
// until the system says why it stopped.
void writeAll(int fd, const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, std::size_t(size));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw fileError(n < 0 ? errno : ENOSPC);
        data += n;
        size -= n;
    }
}

CheckedSaveFile::CheckedSaveFile(const QString& target) : file_(target) {
    const QFileInfo info(target);
    if (!QFileInfo(info.absolutePath()).isDir()) throw Error(err::PathNotFound, QStringLiteral("Path not found"));
    if (info.isDir()) throw permissionDenied();
    file_.setDirectWriteFallback(false);
    if (!file_.open(QIODevice::WriteOnly)) throw placingFailure();
    // Owner-only before the first byte: the temporary file holds what the target will.
    if (!file_.setPermissions(kOwnerOnlyFile)) throw permissionDenied();
}

void CheckedSaveFile::write(const char* data, qint64 size) {
    if (failAfter >= 0 && written_ + size > failAfter) {
        writeAll(file_.handle(), data, failAfter - written_);
        throw diskFull();
    }
    writeAll(file_.handle(), data, size);
    written_ += size;
}

void CheckedSaveFile::commit() {
    // Some file systems tell of a full disk only when the data reach it. A file system that cannot sync
    // (EINVAL) has nothing more to tell.
    if (::fsync(file_.handle()) != 0 && errno != EINVAL) throw fileError(errno);
    if (!file_.commit()) throw placingFailure();
}

void setWriteFailureAfter(qint64 bytes) {
    failAfter = bytes;
}

} // namespace kv
