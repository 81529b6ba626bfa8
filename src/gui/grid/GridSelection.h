#pragma once

#include <QItemSelection>
#include <QList>
#include <utility>
#include <vector>

class QAbstractItemModel;
class QTableView;

namespace kv {

// Selections in a records table are kept as stretches of rows, never as one entry per row or cell, so that
// choosing or reading a hundred thousand rows costs no more than going through them once.

// The columns a table shows, in the order it shows them.
QList<int> shownColumns(const QTableView& view);

// The rows below `rowLimit`, in order and each once, that the selection holds whole: a stretch that covers
// every shown column selects its rows, as a click on a row selector does; cells alone select no row.
QList<int> rowsOfSelection(const QItemSelection& selection, const QList<int>& shownColumns, int rowLimit);
// Whether the selection holds `row` whole, in the same sense.
bool selectionHoldsRow(const QItemSelection& selection, const QList<int>& shownColumns, int row);

// Every column of the rows from first to last of each span, the spans overlapping or not, as the fewest
// stretches they make together.
QItemSelection wholeRows(std::vector<std::pair<int, int>> spans, const QAbstractItemModel& model);

} // namespace kv
