#pragma once

class QAccessibleInterface;
class QTableView;

namespace kv {

// What a screen reader is given of a records table: its shown columns only, in the order they are shown.
// A hidden column (the passwords, while they are hidden) is not there at all: its cells and its header are
// not among the table's children, the table counts only the shown columns, and a cell of a column hidden
// after it was first asked for goes quiet and reports itself gone. The children are numbered as the table
// view numbers them in its own focus and selection notices (a row and a column of headers first), so those
// notices still find their cell.
QAccessibleInterface* createGridAccessible(QTableView* view);
// Whether `iface` is one made by createGridAccessible.
bool isGridAccessible(const QAccessibleInterface* iface);

} // namespace kv
