#pragma once

#include "store/RecordFields.h"

#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>

namespace kv {

class Recordset;
namespace sql {
class Connection;
}

// A credential record's fields by RecordColumn, passwords in clear, the date as stored.
using RecordCells = std::array<QString, 9>;

// The refusal of a value the field cipher cannot give back unchanged ("The password contains characters
// that Keyvale can not store: …"); empty when the value can be stored. `what` names the value.
QString unstorableRefusal(const QString& value, const QString& what);

// Whether a group name is one of the groups (letters compared without regard to case), searching
// `masterData` (a recordset over tblMasterData) from its first row.
bool groupNameFound(Recordset& masterData, const QString& name);
// Adds a group name to `masterData`. Throws kv::Error (a name that is there already is refused).
void addGroupName(Recordset& masterData, const QString& name);

// Writes a new record into `records` (a recordset over tblChildData): the group, website, user ID and
// description as given, the password and prior password enciphered, the date now; the database numbers
// it. Throws kv::Error, leaving the new row for the caller to cancel.
void storeNewRecord(Recordset& records, const RecordCells& cells);

// A change to a stored record: the fields that change (the record number and the date are never taken
// from here), and the user ID and password the record had before the change, which become its prior
// values when the change replaces them.
struct RecordChange {
    std::array<std::optional<QString>, 9> fields;
    QString userIdBefore;
    QString passwordBefore;
};
// Writes the change into the current row of `records` and dates it. Throws kv::Error, leaving the edit
// for the caller to cancel.
void storeRecordChange(Recordset& records, const RecordChange& change);

// Which records to read: all, or those of one group and/or one website (letters compared without regard
// to case).
struct RecordFilter {
    std::optional<QString> group;
    std::optional<QString> website;
};
// The records the filter lets through, deciphered, in the order the grid shows them: by group name, then
// website. `visit` answers false to stop.
void forEachRecord(sql::Connection& connection, const RecordFilter& filter,
                   const std::function<bool(const RecordCells&)>& visit);

// The group names in order.
QStringList groupNames(sql::Connection& connection);

} // namespace kv
