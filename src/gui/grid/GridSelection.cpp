#include "grid/GridSelection.h"

#include <QHeaderView>
#include <QTableView>
#include <algorithm>

namespace kv {

namespace {

// Joins spans (first, last) that overlap or touch; the result is in order.
std::vector<std::pair<int, int>> joined(std::vector<std::pair<int, int>> spans) {
    std::sort(spans.begin(), spans.end());
    std::vector<std::pair<int, int>> out;
    for (const auto& [first, last] : spans) {
        if (last < first) continue;
        if (!out.empty() && first <= out.back().second + 1)
            out.back().second = std::max(out.back().second, last);
        else
            out.emplace_back(first, last);
    }
    return out;
}

// Whether a stretch covers every shown column, as a row selector's click selects them.
bool spansShownColumns(const QItemSelectionRange& range, const QList<int>& shownColumns) {
    if (!range.isValid() || shownColumns.isEmpty()) return false;
    const auto [leftmost, rightmost] = std::minmax_element(shownColumns.begin(), shownColumns.end());
    return range.left() <= *leftmost && range.right() >= *rightmost;
}

} // namespace

QList<int> shownColumns(const QTableView& view) {
    QList<int> columns;
    const QHeaderView& header = *view.horizontalHeader();
    for (int visual = 0; visual < header.count(); ++visual)
        if (const int c = header.logicalIndex(visual); c >= 0 && !view.isColumnHidden(c)) columns.append(c);
    return columns;
}

QList<int> rowsOfSelection(const QItemSelection& selection, const QList<int>& shownColumns, int rowLimit) {
    std::vector<std::pair<int, int>> spans;
    for (const QItemSelectionRange& range : selection)
        if (spansShownColumns(range, shownColumns))
            spans.emplace_back(range.top(), std::min(range.bottom(), rowLimit - 1));
    QList<int> rows;
    for (const auto& [first, last] : joined(std::move(spans)))
        for (int r = first; r <= last; ++r)
            rows.append(r);
    return rows;
}

bool selectionHoldsRow(const QItemSelection& selection, const QList<int>& shownColumns, int row) {
    return std::any_of(selection.begin(), selection.end(), [&](const QItemSelectionRange& range) {
        return range.top() <= row && row <= range.bottom() && spansShownColumns(range, shownColumns);
    });
}

QItemSelection wholeRows(std::vector<std::pair<int, int>> spans, const QAbstractItemModel& model) {
    QItemSelection rows;
    const int lastColumn = model.columnCount() - 1;
    for (const auto& [first, last] : joined(std::move(spans)))
        rows.append(QItemSelectionRange(model.index(first, 0), model.index(last, lastColumn)));
    return rows;
}

} // namespace kv
