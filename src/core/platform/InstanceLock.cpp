#include "platform/InstanceLock.h"

#include "platform/CheckedSaveFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

#include <unistd.h>

namespace kv {

namespace {

const QByteArray kRaise = QByteArrayLiteral("raise\n");
const QByteArray kRaised = QByteArrayLiteral("raised\n");

QString canonicalFolder(const QString& folder) {
    const QFileInfo info(folder);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

// One socket per data folder, in the user's own runtime folder (no one else can make or reach it there), so
// that users sharing a folder never talk to each other.
QString serverName(const QString& canonical) {
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex().left(20));
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty()) return QStringLiteral("keyvale-%1-%2").arg(::getuid()).arg(hash);
    return runtime + QStringLiteral("/keyvale-") + hash;
}

std::unique_ptr<QLockFile> lockFileFor(const QString& dataFolder) {
    auto file = std::make_unique<QLockFile>(InstanceLock::lockFile(dataFolder));
    // The holder may run for days: only a holder that is no longer running makes a lock stale.
    file->setStaleLockTime(0);
    return file;
}

} // namespace

InstanceLock::InstanceLock() = default;

InstanceLock::~InstanceLock() { release(); }

InstanceLock& InstanceLock::process() {
    static InstanceLock lock;
    return lock;
}

QString InstanceLock::lockFile(const QString& dataFolder) {
    return canonicalFolder(dataFolder) + QStringLiteral("/.keyvale.lock");
}

InstanceLock::Outcome InstanceLock::lock(const QString& dataFolder, int patienceMs) {
    if (!lock_ || canonicalFolder(dataFolder) != folder_) {
        if (!take(dataFolder, 0)) {
            if (askHolderToRaise(dataFolder)) return Outcome::RaisedOther;
            if (!take(dataFolder, patienceMs)) return Outcome::HeldByOther;
        }
    }
    return Outcome::Locked;
}

bool InstanceLock::moveTo(const QString& dataFolder) {
    if (lock_ && canonicalFolder(dataFolder) == folder_) return true;
    return take(dataFolder, 0);
}

void InstanceLock::release() {
    if (server_) {
        server_->close();
        delete server_;
        server_ = nullptr;
    }
    if (lock_) lock_->unlock();
    lock_.reset();
    folder_.clear();
}

bool InstanceLock::heldByOther(const QString& dataFolder) const {
    if (lock_ && canonicalFolder(dataFolder) == folder_) return false;
    auto probe = lockFileFor(dataFolder);
    if (probe->tryLock(0)) return false;
    return probe->error() == QLockFile::LockFailedError;
}

// Takes the folder's lock and, once held, gives up the one held before. A folder where no lock file can
// be made (a read-only medium) is used unlocked, as it always was.
bool InstanceLock::take(const QString& dataFolder, int waitMs) {
    auto file = lockFileFor(dataFolder);
    if (!file->tryLock(waitMs)) {
        if (file->error() == QLockFile::LockFailedError) return false;
        release();
        return true;
    }
    release();
    // Made with the default mode; what it holds (process and host) is no one else's business.
    QFile::setPermissions(lockFile(dataFolder), kOwnerOnlyFile);
    lock_ = std::move(file);
    folder_ = canonicalFolder(dataFolder);
    listen();
    return true;
}

void InstanceLock::listen() {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    const QString name = serverName(folder_);
    // The lock is ours: a socket still there is what a crashed holder left behind.
    if (!server_->listen(name)) {
        QLocalServer::removeServer(name);
        server_->listen(name);
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* caller = server_->nextPendingConnection()) {
            connect(caller, &QLocalSocket::disconnected, caller, &QObject::deleteLater);
            connect(caller, &QLocalSocket::readyRead, this, [this, caller] {
                if (!caller->canReadLine() || caller->readLine() != kRaise) return;
                emit raiseRequested();
                caller->write(kRaised);
                caller->disconnectFromServer();
            });
        }
    });
}

bool InstanceLock::askHolderToRaise(const QString& dataFolder) const {
    QLocalSocket socket;
    socket.connectToServer(serverName(canonicalFolder(dataFolder)));
    if (!socket.waitForConnected(1000)) return false;
    socket.write(kRaise);
    if (!socket.waitForBytesWritten(1000)) return false;
    // A holder that is busy or ending does not answer: the caller then waits for the lock instead.
    while (!socket.canReadLine())
        if (!socket.waitForReadyRead(2000)) return false;
    return socket.readLine() == kRaised;
}

} // namespace kv
