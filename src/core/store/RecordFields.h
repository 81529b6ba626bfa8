#pragma once

#include <QString>

namespace kv {

// The fields of a credential record in their fixed order, which is also the column order of every grid
// that shows records.
enum RecordColumn : int {
    kChildAutoIdColumn = 0,
    kGroupNameColumn,
    kWebsiteColumn,
    kUserIdColumn,
    kPasswordColumn,
    kDescriptionColumn,
    kDateChangedColumn,
    kPriorUserIdColumn,
    kPriorPasswordColumn,
};

// The record's fields named in that order. Recordsets over the records select exactly these, so that a
// field's position is its column whatever order the table keeps its columns in, and a column the program
// does not know is never read or written.
inline const QString kRecordFieldList = QStringLiteral(
    "ChildAutoID, GroupName, Website, UserID, Password, Description, DateChanged, PriorUserID, PriorPassword");

} // namespace kv
