#include "store/modDBstuff.h"

#include "platform/AppPaths.h"
#include "store/Schema.h"

namespace kv {

QString databaseFile(const QString& folder) {
    QString path = folder;
    if (!path.endsWith(QLatin1Char('/')) && !path.endsWith(QLatin1Char('\\'))) path += QLatin1Char('/');
    return path + QStringLiteral("keyvale.mdb");
}

void openDatabase(const QString& dataFolder, bool withRecords, bool mustBeWritable) {
    gDBConnection.reset();
    gDBConnection = sql::Connection::open(databaseFile(dataFolder), kDatabasePassword);
    // A file that lacks a field, or cannot take a change when changes are meant, is refused before anything
    // is shown from it.
    checkDeliveredTables(*gDBConnection);
    // A protected file's secret fields stay closed until log-on gives its key.
    gRecordCodec = codecForDatabase(*gDBConnection, gRecordCodec.key());
    if (mustBeWritable) checkDatabaseWritable(*gDBConnection);
    gRsMasterData = std::make_unique<Recordset>(gDBConnection, kSelectMasterData);
    gMasterFieldCount = qint16(gRsMasterData->fieldCount());
    if (withRecords) gRsChildData = std::make_unique<Recordset>(gDBConnection, kSelectChildData);
    gRsOptions = std::make_unique<Recordset>(gDBConnection, kSelectOptions);
}

bool gInitializeDB() {
    try {
        // The window saves every change as it is made: a file it cannot write is refused at start.
        openDatabase(gDataFolder, true, true);
        return true;
    } catch (const Error& e) {
        reportError(e, QStringLiteral("gInitializeDB of module modDBstuff"));
        return false;
    }
}

void gCloseDatabase() {
    try {
        if (!gDBConnection || !gDBConnection->isOpen())
            throw Error(3704, QStringLiteral("Operation is not allowed when the object is closed."));
        gDBConnection->close();
    } catch (const Error& e) {
        reportError(e, QStringLiteral("gCloseDatabase of Module modDBstuff"));
    }
}

Error noObject() {
    return Error(91, QStringLiteral("Object variable or With block variable not set"));
}

Recordset& opened(const std::unique_ptr<Recordset>& recordset) {
    if (!recordset) throw noObject();
    return *recordset;
}

std::unique_ptr<Recordset> openRecordset(const QString& statement, const QVariantList& params) {
    if (!gDBConnection) throw Error(3704, QStringLiteral("Operation is not allowed when the object is closed."));
    return std::make_unique<Recordset>(gDBConnection, statement, params);
}

} // namespace kv
