#include "grid/RecordColumns.h"

#include "grid/RecordsGrid.h"
#include "store/ViewFlags.h"
#include "platform/Units.h"
#include "store/DateText.h"
#include "store/Recordset.h"

#include <QTableView>
#include <algorithm>

namespace kv {

namespace {
// Room a cell keeps on either side of its text, in pixels.
constexpr int kCellPadding = 6;
} // namespace

void setUpRecordColumns(RecordsGrid& grid, const Recordset& records, const ViewFlags& view) {
    grid.removeAllColumns();
    const int fields = records.fieldCount();
    for (int i = 0; i < fields; ++i) {
        grid.addColumn(i);
        const QString name = records.fieldName(i);
        auto column = [&](int width, const QString& caption, bool locked) {
            grid.setColumnWidth(i, width);
            grid.setColumnCaption(i, caption);
            if (locked) grid.setColumnLocked(i, true);
        };
        auto is = [&](const char* field) { return name.compare(QLatin1String(field), Qt::CaseInsensitive) == 0; };
        if (is("ChildAutoID")) {
            grid.setColumnVisible(i, false);
        } else if (is("GroupName")) {
            column(1600, QStringLiteral("Group Name"), false);
        } else if (is("Website")) {
            column(2000, QStringLiteral("Website"), false);
        } else if (is("UserID")) {
            column(1300, QStringLiteral("User ID"), false);
        } else if (is("Password")) {
            column(1200, QStringLiteral("Password"), false);
            grid.setColumnVisible(i, view.ShowPasswordColumn);
        } else if (is("Description")) {
            column(2800, QStringLiteral("Description"), false);
        } else if (is("DateChanged")) {
            // The widths were laid out for a smaller font than today's desktops use: the date and time
            // must still show whole.
            const int dateWidth =
                grid.view()->fontMetrics().horizontalAdvance(displayedDate(QStringLiteral("2026-12-28 23:58:58")));
            column(std::max(1900, pixelsToTwips(dateWidth + 2 * kCellPadding, &grid)), QStringLiteral("Date Changed"),
                   true);
            grid.setColumnFormat(i, displayedDate);
        } else if (is("PriorUserID")) {
            column(1600, QStringLiteral("Prior User ID"), true);
            grid.setColumnVisible(i, view.ShowPriorUserIDPassword);
        } else if (is("PriorPassword")) {
            column(1600, QStringLiteral("Prior Password"), true);
            grid.setColumnVisible(i, view.ShowPriorUserIDPassword);
        }
    }
}

} // namespace kv
