#pragma once

#include "cli/Secrets.h"

#include <QString>
#include <memory>

namespace kv {
class InstanceLock;
}

namespace kv::cli {

// The exit codes of every command.
enum Exit : int {
    kExitOk = 0,
    kExitFailed = 1,        // a file could not be read or written, or the database failed
    kExitUsage = 2,         // the command line is wrong
    kExitWrongPassword = 3, // the master password was refused
    kExitNotFound = 4,      // no such record, group, folder or database
    kExitRefused = 5,       // the data or the situation does not allow it (nothing was changed)
};

// Ends a command: one line for standard error and the exit code.
struct CommandFailure {
    int code;
    QString line;
};

// A command's way into the data folder: the folders found as the window finds them, the folder's lock
// for commands that write, the database opened and checked, and the log-on.
class Session {
public:
    Session(const QString& namedFolder, Secrets& secrets);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Finds the settings file and the data folder; refuses a folder that holds no Keyvale data.
    void locate();
    // Takes the data folder's lock for the rest of the command; refuses while a window holds it.
    void lockForWriting();
    // Opens the database and checks that it is the program's.
    void open();
    // Asks for the master password: three tries on a terminal, one from standard input.
    void logOn();

    // Closes the database, for a command that copies the file; the lock stays.
    void close();

    QString dataFolder() const;
    // The master password as it was typed at log-on, for a command that must give it again; wiped when
    // the session ends.
    const QString& typedMasterPassword() const { return typedMasterPassword_; }
    // The data folder's lock while a writing command runs (none for a reading one).
    InstanceLock* lock() const { return lock_.get(); }

private:
    QString namedFolder_;
    Secrets& secrets_;
    std::unique_ptr<InstanceLock> lock_;
    QString typedMasterPassword_;
};

} // namespace kv::cli
