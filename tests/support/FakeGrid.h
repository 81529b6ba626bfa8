#pragma once

#include "grid/GridOperations.h"

#include <QList>
#include <QSet>
#include <QStringList>

namespace kv::test {

// A records grid without a window, for testing the windows that work on one (find, export, toolbar):
// a table of displayed texts with captions, column visibility, a cursor and a row selection. Bookmarks
// are 1-based row numbers; exportRows writes through the real export writer.
class FakeGrid final : public GridOperations {
public:
    FakeGrid(QStringList captions, QList<QStringList> rows);

    int rowCount() const override { return int(rows.size()); }
    int columnCount() const override { return int(captions.size()); }
    int currentColumn() const override { return column; }
    void setCurrentColumn(int c) override { column = c; }
    int currentRow() const override { return row; }
    QVariant currentBookmark() const override;
    void setCurrentBookmark(const QVariant& bookmark) override;
    void moveFirst() override { row = rows.isEmpty() ? -1 : 0; }
    void moveNext() override;
    void moveRows(int n) override;
    void focusGrid() override { ++focusRequests; }
    QString cellText(int c) const override;
    QVariant cellValue(int c) const override { return cellText(c); }
    bool isColumnVisible(int c) const override { return !hidden.contains(c); }
    void setColumnVisible(int c, bool visible) override;
    QList<QVariant> selectedBookmarks() const override;
    bool scanRows(const std::function<bool(int, const GridRowTexts&)>& visit,
                  const std::function<bool(qint64)>& progress) override;
    // Asks `progress` once, before writing.
    bool exportRows(ExportFormat format, ExportRows which, const QString& path, const QString& templatePath,
                    const std::function<bool(qint64)>& progress) override;

    QStringList captions;
    QList<QStringList> rows;
    QSet<int> hidden;
    QSet<int> selected; // row indexes
    int row = -1;
    int column = 0;
    int focusRequests = 0;
    // Every visibility change, as "+c" or "-c", in order.
    QStringList visibilityLog;
    // The columns that were visible when each export ran.
    QList<QList<int>> exportedColumns;
};

} // namespace kv::test
