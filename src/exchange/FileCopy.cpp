#include "exchange/FileCopy.h"

#include "platform/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <sys/stat.h>

namespace kv {

namespace {

constexpr qint64 kChunk = 1 << 20;
qint64 failAfter = -1;

Error permissionDenied() {
    return Error(70, QStringLiteral("Permission denied"));
}
Error diskFull() {
    return Error(61, QStringLiteral("Disk full"));
}

Error writeError(const QFileDevice& file) {
    switch (file.error()) {
    case QFileDevice::OpenError:
    case QFileDevice::PermissionsError:
    case QFileDevice::RenameError:
        return permissionDenied();
    case QFileDevice::ResourceError:
        return diskFull();
    default:
        return Error(75, QStringLiteral("Path/File access error"));
    }
}

bool sameNode(const QString& a, const QString& b) {
    struct stat sa {
    }, sb{};
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0 || ::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

} // namespace

bool isSameFile(const QString& a, const QString& b) {
    const QString ca = QFileInfo(a).canonicalFilePath(), cb = QFileInfo(b).canonicalFilePath();
    if (ca.isEmpty() || cb.isEmpty()) return false;
    return ca == cb || sameNode(ca, cb);
}

bool isSameFolder(const QString& a, const QString& b) {
    if (a.trimmed().isEmpty() || b.trimmed().isEmpty()) return false;
    const QFileInfo fa(a.trimmed()), fb(b.trimmed());
    if (!fa.isDir() || !fb.isDir()) return false;
    return isSameFile(fa.absoluteFilePath(), fb.absoluteFilePath());
}

void setCopyFailureAfter(qint64 bytes) {
    failAfter = bytes;
}

bool copyFileSafely(const QString& source, const QString& target, const CopyProgress& progress) {
    if (!QFileInfo(source).isFile()) throw Error(err::FileNotFound, QStringLiteral("File not found"));
    // Writing a file over itself would lose it; it is refused as the file system refuses a locked file.
    if (isSameFile(source, target)) throw permissionDenied();
    if (!QFileInfo(QFileInfo(target).absolutePath()).isDir())
        throw Error(err::PathNotFound, QStringLiteral("Path not found"));
    if (QFileInfo(target).isDir()) throw permissionDenied();

    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) throw permissionDenied();
    QSaveFile out(target);
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly)) throw writeError(out);
    // Owner-only from the first byte: the temporary file holds the same secrets as the target.
    if (!out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        out.cancelWriting();
        throw permissionDenied();
    }

    QByteArray chunk;
    qint64 done = 0;
    while (!in.atEnd()) {
        chunk = in.read(kChunk);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError) {
            out.cancelWriting();
            throw Error(57, QStringLiteral("Device I/O error"));
        }
        if (failAfter >= 0 && done + chunk.size() > failAfter) {
            out.write(chunk.constData(), failAfter - done);
            out.cancelWriting();
            throw diskFull();
        }
        if (out.write(chunk) != chunk.size()) {
            const Error e = writeError(out);
            out.cancelWriting();
            throw e;
        }
        done += chunk.size();
        if (progress && !progress(done)) {
            out.cancelWriting();
            return false;
        }
    }
    // A source that changed size while it was read is no copy of it.
    if (done != in.size()) {
        out.cancelWriting();
        throw Error(57, QStringLiteral("Device I/O error"));
    }
    if (!out.flush()) {
        const Error e = writeError(out);
        out.cancelWriting();
        throw e;
    }
    // commit() syncs the temporary file to disk before it renames it over the target.
    if (!out.commit()) throw writeError(out);
    return true;
}

} // namespace kv
