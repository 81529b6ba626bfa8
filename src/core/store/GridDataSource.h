#pragma once

#include <QList>
#include <QVariant>
#include <QVector>
#include <functional>

namespace kv {

// The rows a grid hands to its data source or asks it for. A cell that holds no value (an invalid
// QVariant) is Null: not delivered, or not changed.
class RowBuffer {
public:
    RowBuffer(int rowsWanted, int columnCount, bool bookmarksOnly = false)
        : rowsWanted_(rowsWanted), columns_(columnCount), bookmarksOnly_(bookmarksOnly),
          cells_(bookmarksOnly ? 0 : rowsWanted * columnCount), bookmarks_(rowsWanted) {}

    int rowsWanted() const { return rowsWanted_; }
    int columnCount() const { return columns_; }
    // The grid wants only the rows' bookmarks, not their cells.
    bool bookmarksOnly() const { return bookmarksOnly_; }

    QVariant value(int row, int column) const {
        return inRange(row, column) && !bookmarksOnly_ ? cells_[row * columns_ + column] : QVariant();
    }
    void setValue(int row, int column, const QVariant& value) {
        if (inRange(row, column) && !bookmarksOnly_) cells_[row * columns_ + column] = value;
    }
    QVariant bookmark(int row) const { return row >= 0 && row < rowsWanted_ ? bookmarks_[row] : QVariant(); }
    void setBookmark(int row, const QVariant& bookmark) {
        if (row >= 0 && row < rowsWanted_) bookmarks_[row] = bookmark;
    }
    // The rows the source delivered.
    int rowCount() const { return rowCount_; }
    void setRowCount(int rows) { rowCount_ = qBound(0, rows, rowsWanted_); }

private:
    bool inRange(int row, int column) const {
        return row >= 0 && row < rowsWanted_ && column >= 0 && column < columns_;
    }

    int rowsWanted_;
    int columns_;
    bool bookmarksOnly_;
    QVector<QVariant> cells_;
    QVector<QVariant> bookmarks_;
    int rowCount_ = 0;
};

// What became of a row the grid handed over for storing.
enum class StoreResult {
    Stored,  // in the database now
    Refused, // nothing stored, and the row stays in edit so the user can put it right
    Failed,  // nothing stored; the error has been reported and the row's edit is dropped
};

struct AddResult {
    StoreResult result = StoreResult::Failed;
    QVariant bookmark; // the stored row's bookmark
};

// One row met by GridDataSource::scanRows: its cells as readRows delivers them, read when asked for.
class SourceRow {
public:
    virtual ~SourceRow() = default;
    virtual QVariant value(int column) const = 0;
};

// Where an unbound grid gets its rows and leaves its changes. Bookmarks are the source's own and opaque
// to the grid; a Null bookmark (invalid QVariant) stands for "none".
class GridDataSource {
public:
    virtual ~GridDataSource() = default;

    // Fills `buffer` with up to rowsWanted rows: those after `start` (or before it when reading
    // backwards); from the first row (the last when reading backwards) when `start` is Null.
    virtual void readRows(RowBuffer& buffer, const QVariant& start, bool readBackwards) = 0;
    // The bookmark of the row `rows` rows away from `start`; Null when there is no answer.
    virtual QVariant position(const QVariant& start, int rows) = 0;
    // Row 0 of `buffer` holds a new row (Null cells are empty).
    virtual AddResult addRow(const RowBuffer& buffer) = 0;
    // Row 0 of `buffer` holds the changed cells of the row at `bookmark` (Null: unchanged).
    virtual StoreResult writeRow(const RowBuffer& buffer, const QVariant& bookmark) = 0;
    // True when the row is gone from the source.
    virtual bool deleteRow(const QVariant& bookmark) = 0;
    // Hands every row to `visit` once, with its bookmark, in the order the source reads fastest; `visit`
    // answers false to stop. False when the source has no faster way than readRows, which the grid then
    // pages through instead.
    virtual bool scanRows(const std::function<bool(const QVariant& bookmark, const SourceRow& row)>& visit) {
        Q_UNUSED(visit);
        return false;
    }
};

} // namespace kv
