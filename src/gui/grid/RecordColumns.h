#pragma once

namespace kv {

class RecordsGrid;
class Recordset;
struct ViewFlags;

// Builds a records grid's columns over the fields of `records`, one column per field in field order: the
// record number hidden, captions and widths by field name, the date and prior values locked, the password
// and prior columns shown as the view says. The main grid and the import selection grid are built alike.
void setUpRecordColumns(RecordsGrid& grid, const Recordset& records, const ViewFlags& view);

} // namespace kv
