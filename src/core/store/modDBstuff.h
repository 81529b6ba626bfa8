#pragma once

#include "store/RecordCodec.h"
#include "store/RecordFields.h"
#include "store/Recordset.h"
#include "store/Sqlite.h"

#include <memory>

namespace kv {

// The fixed password that keys every database file of the program.
inline const QByteArray kDatabasePassword = QByteArrayLiteral("plumvatro");

// The one connection and the three shared recordsets, alive from start-up to exit.
inline std::shared_ptr<sql::Connection> gDBConnection;
inline std::unique_ptr<Recordset> gRsMasterData;
inline std::unique_ptr<Recordset> gRsChildData;
inline std::unique_ptr<Recordset> gRsOptions;
inline qint16 gMasterFieldCount = 0;

// The statements of the shared recordsets. They name their fields, so that field i is the same field in
// every database file, whatever order its table keeps its columns in.
inline const QString kSelectMasterData = QStringLiteral("Select GroupName from tblMasterData order by GroupName");
inline const QString kSelectChildData =
    QStringLiteral("Select %1 from tblChilDdata order by GroupName, Website").arg(kRecordFieldList);
inline const QString kSelectOptions = QStringLiteral("Select * from tblOptions");

// The database file in a data folder (the folder may or may not end in a separator).
QString databaseFile(const QString& folder);

// Opens gDBConnection on the data folder's database and the three shared recordsets, in that order. The
// file must hold every table and field the program uses, and be writable. Any failure is reported with the
// standard error message and ends the procedure: what was opened before it stays open, nothing after it is
// opened, and the answer is false.
bool gInitializeDB();
// The same steps for a caller that reports failures itself: throws kv::Error at the first failing step
// (the file lacking a table or field included; a read-only file only with `mustBeWritable`).
// Without `withRecords` the records' recordset (which reads every record's key) is left closed.
void openDatabase(const QString& dataFolder, bool withRecords = true, bool mustBeWritable = false);
// Closes the connection; the shared recordsets lose it with it.
void gCloseDatabase();

// The error of a procedure that reaches for a shared recordset start-up could not open.
Error noObject();
// The shared recordset, or that error when it was never opened.
Recordset& opened(const std::unique_ptr<Recordset>& recordset);

// Opens a recordset on the shared connection.
std::unique_ptr<Recordset> openRecordset(const QString& statement, const QVariantList& params = {});

} // namespace kv
