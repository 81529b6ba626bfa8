#pragma once

#include "store/GridDataSource.h"

namespace kv {

// Serves the group drop-down from gRsMasterData: one column per field, nothing deciphered. The list is
// only read; rows are added to it by creating groups, not through the drop-down.
class GroupListSource final : public GridDataSource {
public:
    void readRows(RowBuffer& buffer, const QVariant& start, bool readBackwards) override;
    QVariant position(const QVariant& start, int rows) override;
    AddResult addRow(const RowBuffer&) override { return {StoreResult::Refused, {}}; }
    StoreResult writeRow(const RowBuffer&, const QVariant&) override { return StoreResult::Refused; }
    bool deleteRow(const QVariant&) override { return false; }
};

} // namespace kv
