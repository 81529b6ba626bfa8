#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLockFile;

namespace kv {

// One running Keyvale per data folder. The lock is a lock file in the data folder; a lock left by an
// instance that crashed is taken over. Beside the lock the holder listens on a local socket, so that a
// second start on the same folder can ask it to come forward instead of opening the file a second time.
class InstanceLock : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        Locked,      // this instance holds the folder now (or the folder cannot carry a lock at all)
        RaisedOther, // another instance holds it and has come forward
        HeldByOther, // another instance holds it and did not answer
    };

    InstanceLock();
    ~InstanceLock() override;

    // The lock of this process.
    static InstanceLock& process();

    // Takes the folder's lock, giving up one held on another folder. When another instance holds it, asks
    // that one to come forward; when it does not answer (it may be ending, as at a restart), waits up to
    // `patienceMs` for the lock to come free.
    Outcome lock(const QString& dataFolder, int patienceMs = 5000);
    // Follows the data folder to where it now is: takes the new folder's lock, then lets go of the old
    // one. False, keeping the old lock, when another instance holds the new folder.
    bool moveTo(const QString& dataFolder);
    // Lets go of the lock (the program ends, or restarts).
    void release();

    // The folder whose lock this instance holds ("" when none), as a canonical path.
    QString folder() const { return folder_; }
    // Whether another running instance holds the folder (backup, restore, move and imports check it).
    bool heldByOther(const QString& dataFolder) const;

    static QString lockFile(const QString& dataFolder);

signals:
    // A second start on this folder asks this instance to come forward.
    void raiseRequested();

private:
    bool take(const QString& dataFolder, int waitMs);
    bool askHolderToRaise(const QString& dataFolder) const;
    void listen();

    std::unique_ptr<QLockFile> lock_;
    QString folder_;
    QLocalServer* server_ = nullptr;
};

} // namespace kv
