#pragma once

#include "exchange/ExportWriter.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <functional>

namespace kv {

// One row met by GridOperations::scanRows: its cells' texts as the grid shows them.
class GridRowTexts {
public:
    virtual ~GridRowTexts() = default;
    virtual QString text(int column) const = 0;
};

// What the windows around a records grid (find, export, toolbar) ask of it. Rows are counted from 0 in
// display order; bookmarks are the serving recordset's 1-based positions. "Current row" is the grid's
// cursor row; the add-new row is not counted in rows().
class GridOperations {
public:
    virtual ~GridOperations() = default;

    virtual int rowCount() const = 0;    // rows of data (the add-new row excluded)
    virtual int columnCount() const = 0; // every column, hidden ones included
    virtual int currentColumn() const = 0;
    virtual void setCurrentColumn(int column) = 0;
    virtual int currentRow() const = 0;  // -1 when there is none; rowCount() on the add-new row
    virtual QVariant currentBookmark() const = 0; // null when there is no current data row
    virtual void setCurrentBookmark(const QVariant& bookmark) = 0;
    virtual void moveFirst() = 0;        // makes the first row current
    virtual void moveNext() = 0;         // one row on
    virtual void moveRows(int n) = 0;    // n rows on from the current row
    virtual void focusGrid() = 0;        // gives the grid the keyboard focus
    // The current row's cell: the text the grid shows (hidden columns too), and the value behind it.
    virtual QString cellText(int column) const = 0;
    virtual QVariant cellValue(int column) const = 0;
    virtual bool isColumnVisible(int column) const = 0;
    virtual void setColumnVisible(int column, bool visible) = 0;
    virtual QList<QVariant> selectedBookmarks() const = 0;
    // Hands every data row to `visit` once, with its row number, in whatever order the rows are read
    // fastest, without moving the cursor; `visit` answers false to stop. `progress(done)` is told now and
    // then how many rows have gone by, and cancels the scan by answering false. False when cancelled.
    virtual bool scanRows(const std::function<bool(int row, const GridRowTexts& texts)>& visit,
                          const std::function<bool(qint64)>& progress = {}) = 0;
    // Writes the chosen rows' visible columns, in display order, to `path`: HTML laid into the template,
    // or text. Throws kv::Error 53 for a missing template and 76 for a missing folder; the file at `path`
    // is replaced whole or not at all. `progress` as for scanRows; false when cancelled (no file written).
    virtual bool exportRows(ExportFormat format, ExportRows rows, const QString& path, const QString& templatePath = {},
                            const std::function<bool(qint64)>& progress = {}) = 0;
};

} // namespace kv
