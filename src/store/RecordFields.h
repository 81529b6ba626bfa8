#pragma once

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

} // namespace kv
