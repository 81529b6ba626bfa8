#pragma once

#include "platform/Error.h"

#include <QHash>
#include <QList>
#include <QVariantList>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace kv {

class OldKeyvaleFile;
class Recordset;
class RecordCodec;
namespace sql {
class Connection;
class Statement;
} // namespace sql

// What one import run did. The rows of a run are written in one transaction: a cancelled run leaves the
// database as it was; an error ends the run, and the rows stored before it are kept.
struct ImportRun {
    int imported = 0;
    // The rows not stored because their text would not come back unchanged: record numbers of a 4.x file,
    // bookmarks of another database's rows.
    QList<int> skipped;
    bool cancelled = false;
    std::optional<Error> error;
};

// Called with the number of rows done so far; answers false to cancel the run.
using ImportProgress = std::function<bool(qint64)>;

class GroupFiler;

// What an import does with one row: stores it, skips it, or finds there are no more rows. A row to store is
// left in `fields`: the record's fields from GroupName to PriorPassword in their fixed order, as a plain
// database keeps them (passwords enciphered). The run numbers it and, in a protected database, seals it.
enum class RowOutcome { Stored, Skipped, End };
using ImportRow = std::function<RowOutcome(qint64 row, QVariantList& fields, GroupFiler& groups)>;

// Runs `importRow` for rows 0, 1, ... until it answers End, in one transaction, as ImportRun describes;
// `progress` is asked before each row. With `keepOnError` false an error stores nothing at all. An
// exception other than kv::Error leaves the run and stores nothing.
ImportRun runImportRows(sql::Connection& db, const ImportProgress& progress, const QStringList& groupsFirst,
                        const ImportRow& importRow, bool keepOnError = true);

// The line of a summary that tells how many records were skipped because their text could not be stored
// unchanged, and which: `unit` names what the numbers count ("record", "line").
QString unstorableText(const QList<int>& skipped, const QString& unit);

// The group name imported rows are filed under: an existing group whose name differs only in letter case
// (A to Z, the rule group names are compared by everywhere) takes them; a group that is missing is
// created without asking.
class GroupFiler {
public:
    explicit GroupFiler(sql::Connection& db);
    ~GroupFiler();
    QString file(const QString& group);

private:
    std::unique_ptr<sql::Statement> find_;
    std::unique_ptr<sql::Statement> add_;
    QHash<QString, QString> known_;
};

// The group every record of a 4.x data file is imported into.
inline const QString kImportedGroup = QStringLiteral("IMPORTED DATA");

// Appends records 2 to n of a 4.x data file to tblChildData under kImportedGroup, dated `dateChanged`.
// A record holding a character the field cipher cannot give back unchanged is skipped.
ImportRun importOldRecords(const OldKeyvaleFile& file, sql::Connection& db, const QString& dateChanged,
                           const ImportProgress& progress = {});

// Appends the rows at `bookmarks` of `source` (the tblChildData of another database, read with
// `sourceCodec`) to the tblChildData of `db`, in that order: each keeps its fields and date; passwords are
// deciphered and enciphered again. A row whose password would not come back unchanged is skipped.
ImportRun importSelectedRows(Recordset& source, const RecordCodec& sourceCodec, const QList<int>& bookmarks,
                             sql::Connection& db, const ImportProgress& progress = {});

} // namespace kv
