#include "exchange/DataFileCopy.h"

#include "platform/Error.h"
#include "startup/modKeyvale.h"
#include "store/Options.h"
#include "store/Schema.h"
#include "store/modDBstuff.h"

#include <QDir>

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

bool copyClosed(const QString& source, const QString& target, const CopyProgress& progress, bool staysClosed) {
    ClosedForCopy closed;
    if (!copyFileSafely(source, target, progress)) return false;
    if (staysClosed) closed.keepClosed();
    return true;
}

} // namespace

QString backupFile(const QString& folder) { return inFolder(folder, QStringLiteral("keyvale.bak")); }

bool backupDatabase(const QString& folder, const CopyProgress& progress) {
    return copyClosed(databaseFile(gDataFolder), backupFile(folder), progress, false);
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
}

bool restoreDatabase(const QString& backupPath, const CopyProgress& progress) {
    checkBackupFile(backupPath);
    return copyClosed(backupPath, databaseFile(gDataFolder), progress, true);
}

bool copyDatabaseTo(const QString& folder, const CopyProgress& progress) {
    return copyClosed(databaseFile(gDataFolder), databaseFile(folder), progress, true);
}

} // namespace kv
