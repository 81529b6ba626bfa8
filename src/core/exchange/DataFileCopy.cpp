#include "exchange/DataFileCopy.h"

#include "platform/Error.h"
#include "access/Protection.h"
#include "access/modKeyvale.h"
#include "store/Options.h"
#include "store/Schema.h"
#include "store/modDBstuff.h"

#include <QDir>
#include <QFileInfo>

namespace kv {

namespace {

QString inFolder(const QString& folder, const QString& name) {
    QString path = folder;
    AddBackslash(path);
    return path + name;
}

// Closes the connection for a copy and opens it again on the data folder when it goes out of scope,
// unless kept closed.
class ClosedForCopy {
public:
    ClosedForCopy() { gCloseDatabase(); }
    ~ClosedForCopy() {
        if (!keepClosed_) gInitializeDB();
    }
    ClosedForCopy(const ClosedForCopy&) = delete;
    ClosedForCopy& operator=(const ClosedForCopy&) = delete;
    void keepClosed() { keepClosed_ = true; }

private:
    bool keepClosed_ = false;
};

// Keeps the database file still while it is read for a backup: while a transaction holds its read lock no
// change can be written to the file, and every change is already in the file, since each is committed when it is made.
// So the window keeps its connection and recordsets, and nothing has to be opened again (which costs more than the copy
// itself for a large file).
class HeldForCopy {
public:
    HeldForCopy() : transaction_(connection()) {
        connection().executeScript(QStringLiteral("SELECT count(*) FROM sqlite_master;"));
    }

private:
    static sql::Connection& connection() {
        if (!gDBConnection || !gDBConnection->isOpen())
            throw Error(3704, QStringLiteral("Operation is not allowed when the object is closed."));
        return *gDBConnection;
    }
    sql::Transaction transaction_;
};

// Copies with the connection closed, which stays closed when the copy succeeded.
bool copyClosed(const QString& source, const QString& target, const CopyProgress& progress) {
    ClosedForCopy closed;
    if (!copyFileSafely(source, target, progress)) return false;
    closed.keepClosed();
    return true;
}

} // namespace

QString backupFile(const QString& folder) {
    return inFolder(folder, QStringLiteral("keyvale.bak"));
}

bool backupDatabase(const QString& folder, const CopyProgress& progress) {
    const HeldForCopy held;
    // The file is checked while it is held, so the copy is of the pages checked. A damaged file is not
    // copied: it would replace a good backup with a bad one.
    try {
        checkDatabaseIntact(*gDBConnection);
    } catch (const Error& e) {
        const QString target = backupFile(folder);
        throw Error(e.number(), e.description() + QStringLiteral(".  Nothing was backed up") +
                                    (QFileInfo::exists(target)
                                         ? QStringLiteral("; the earlier backup '%1' was kept as it was").arg(target)
                                         : QString()));
    }
    return copyFileSafely(databaseFile(gDataFolder), backupFile(folder), progress);
}

bool storeBackupLocation(const QString& folder) {
    Recordset& rs = opened(gRsOptions);
    rs.moveFirst();
    if (!rs.find(QStringLiteral("OptionName"), QStringLiteral("BackupLocation"))) return false;
    rs.setField(QStringLiteral("OptionValue"), folder);
    rs.update();
    gBackupLocation = folder;
    return true;
}

void checkBackupFile(const QString& path) {
    const auto connection = sql::Connection::open(path, kDatabasePassword);
    checkDeliveredTables(*connection);
    checkDatabaseIntact(*connection);
    // A protected backup is restored with its keys, or not at all.
    if (isProtectedDatabase(*connection)) checkKeyWraps(*connection);
}

QString backupRefusal(const QString& path, const Error& e) {
    QString text;
    if (e.number() == err::DatabaseDamaged)
        text = e.description() + QStringLiteral("\n");
    else
        text = QStringLiteral("The file '") + path + QStringLiteral("' is not a Keyvale backup!\n") +
               (e.number() == err::ItemNotFound ? e.description() + QStringLiteral("\n") : QString());
    return text + QStringLiteral("Restore did not complete!");
}

bool restoreDatabase(const QString& backupPath, const CopyProgress& progress) {
    checkBackupFile(backupPath);
    return copyClosed(backupPath, databaseFile(gDataFolder), progress);
}

bool copyDatabaseTo(const QString& fromFolder, const QString& toFolder, const CopyProgress& progress) {
    const QString source = databaseFile(fromFolder), target = databaseFile(toFolder);
    if (!gDBConnection || !gDBConnection->isOpen()) return copyFileSafely(source, target, progress);
    return copyClosed(source, target, progress);
}

} // namespace kv
