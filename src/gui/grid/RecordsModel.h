#pragma once

#include "store/GridDataSource.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QPointer>
#include <functional>
#include <optional>
#include <vector>

namespace kv {

class GridDropDown;
class RecordsGrid;

// One column of a records grid.
struct GridColumn {
    QString caption;
    int widthTwips = 1200;
    bool visible = true;
    bool locked = false;
    QPointer<GridDropDown> dropDown;                // the list a value is picked from, if any
    std::function<QString(const QVariant&)> format; // the displayed text of a value; plain text when unset
};

// The table behind a RecordsGrid. It holds the bookmarks of all rows (cheap to read), the cells of only a
// few pages of rows (read from the data source when first painted, at most kMaxPages of them), and the one
// row being edited: its changed cells apart from the stored ones, so that dropping the edit shows the
// stored values again. The last row is the add-new row when adding is allowed.
class RecordsModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kPageRows = 64;
    static constexpr int kMaxPages = 8;

    explicit RecordsModel(RecordsGrid* grid);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // A row is stored when the cursor leaves it or on request, not cell by cell.
    bool submit() override { return true; }
    void revert() override {}

    // Columns
    void removeAllColumns();
    void insertGridColumn(int index);
    const GridColumn& column(int c) const { return columns_[c]; }
    // Changes a column and tells the views.
    void changeColumn(int c, const std::function<void(GridColumn&)>& change);

    // Rows
    void setSource(GridDataSource* source) { source_ = source; }
    GridDataSource* source() const { return source_; }
    void setAllowAddNew(bool allow);
    bool allowAddNew() const { return allowAddNew_; }
    // Drops every row and the edit and reads the bookmarks afresh.
    void reread();
    // While the rows are held back the table has no row at all, not even the add-new row, and keeps no cell;
    // the row being edited waits aside. releaseRows() reads the rows again and gives the edit back to its row.
    void holdRows();
    void releaseRows();
    bool rowsHeld() const { return held_; }
    int dataRows() const { return int(bookmarks_.size()); }
    bool isAddNewRow(int row) const { return allowAddNew_ && !held_ && row == dataRows(); }
    QVariant bookmarkAt(int row) const;
    int rowOfBookmark(const QVariant& bookmark) const; // -1 when the grid has no such row
    // The data row of every bookmark, indexed by the bookmark's number (-1: no row), when the bookmarks are
    // numbers close enough together for that; empty otherwise.
    std::vector<int> rowsByBookmark() const;
    // A cell as the grid shows it: the edited value where there is one, else the stored value.
    QVariant value(int row, int column) const;
    QString text(int row, int column) const;

    // The buffered edit
    bool hasEdit() const { return editRow_ >= 0; }
    int editRow() const { return editRow_; }
    bool isAdding() const { return adding_; }
    bool isDirty() const;
    void beginAdd();
    // Sets an edited cell; a value equal to the stored one is no change.
    void setEditValue(int row, int column, const QVariant& value);
    // The edited cells as the data source takes them: row 0, Null for the cells not changed.
    RowBuffer editBuffer() const;
    void dropEdit();
    // The new row is stored under `bookmark`: it goes in as the last data row, above an empty add-new row.
    void addStoredRow(const QVariant& bookmark);
    // Forgets the cached cells of a row so that they are read again.
    void refreshRow(int row);
    void removeDataRow(int row);

    // Appearance
    void setMarkerRow(int row);
    void setRowColors(const QColor& backOdd, const QColor& foreOdd, const QColor& backEven, const QColor& foreEven);

    // Calls the data source with reads from painting held off, so that a prompt shown by the source
    // cannot make the grid move the source underneath it.
    template <typename Call> auto withSource(Call&& call) {
        struct Hold {
            bool& flag;
            bool was;
            ~Hold() { flag = was; }
        } hold{sourceBusy_, sourceBusy_};
        sourceBusy_ = true;
        return call(*source_);
    }

private:
    struct Page {
        QVector<QVariant> cells; // kPageRows x columns
        quint64 used = 0;
    };

    QVariant storedValue(int row, int column) const;
    const Page* page(int pageIndex) const;
    void clearPages() { pages_.clear(); }
    // Drops the rows from `kept` on, which the source could not give.
    void dropRowsFrom(int kept);
    void emitRowChanged(int row);

    RecordsGrid* grid_;
    GridDataSource* source_ = nullptr;
    QVector<GridColumn> columns_;
    QVector<QVariant> bookmarks_;
    bool allowAddNew_ = true;

    mutable QHash<int, Page> pages_;
    mutable quint64 useClock_ = 0;
    bool sourceBusy_ = false;

    int editRow_ = -1;
    bool adding_ = false;
    QVector<QVariant> edited_; // by column; invalid = not changed

    // The edit kept aside while the rows are held back, by the bookmark of its row (Null: the new row).
    bool held_ = false;
    struct HeldEdit {
        QVariant bookmark;
        bool adding = false;
        QVector<QVariant> edited;
    };
    std::optional<HeldEdit> heldEdit_;

    int markerRow_ = -1;
    QColor backOdd_, foreOdd_, backEven_, foreEven_;
};

} // namespace kv
