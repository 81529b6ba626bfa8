#include "exchange/FileCopy.h"

#include "platform/CheckedSaveFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <sys/stat.h>

namespace kv {

namespace {

constexpr qint64 kChunk = 1 << 20;

Error permissionDenied() {
    return fileError(EACCES);
}
Error readFailure() {
    return fileError(EIO);
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

bool copyFileSafely(const QString& source, const QString& target, const CopyProgress& progress) {
    if (!QFileInfo(source).isFile()) throw Error(err::FileNotFound, QStringLiteral("File not found"));
    // Writing a file over itself would lose it; it is refused as the file system refuses a locked file.
    if (isSameFile(source, target)) throw permissionDenied();

    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) throw permissionDenied();
    CheckedSaveFile out(target);
    QByteArray chunk;
    qint64 done = 0;
    while (!in.atEnd()) {
        chunk = in.read(kChunk);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError) throw readFailure();
        out.write(chunk);
        done += chunk.size();
        if (progress && !progress(done)) return false;
    }
    // A source that changed size while it was read is no copy of it.
    if (done != in.size()) throw readFailure();
    out.commit();
    return true;
}

} // namespace kv
