#pragma once

#include "store/GridDataSource.h"
#include "grid/GridOperations.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

class QLabel;
class QTableView;
class QAbstractItemModel;

namespace kv {

class GridDropDown;
class RecordsModel;

// A grid of records served by a data source (it keeps no rows of its own beyond the few on screen): the
// columns of a record, an add-new row at the bottom, one buffered row edit that is stored when the cursor
// leaves the row or on request, multi-row selection by the row selectors (Shift and Ctrl), alternating
// odd and even row colours and a caption above. Used by the main window and by the import selection.
//
// Keys: typing in a cell replaces its text and F2 edits it; Escape drops the cell being typed, a second
// Escape the row's other changes; Enter stores the row; Shift+Space selects the rows of the selected cells;
// Delete deletes the selected rows after asking. A double click on a cell raises cellClicked.
class RecordsGrid : public QWidget, public GridOperations {
    Q_OBJECT
public:
    explicit RecordsGrid(QWidget* parent = nullptr);
    ~RecordsGrid() override;

    void setDataSource(GridDataSource* source);
    // Whether the grid offers the add-new row, and whether Delete deletes rows.
    void setAllowAddNew(bool allow);
    void setAllowDelete(bool allow) { allowDelete_ = allow; }

    // Columns
    void removeAllColumns();
    void addColumn(int index);
    void setColumnCaption(int column, const QString& caption);
    QString columnCaption(int column) const;
    void setColumnWidth(int column, int twips);
    int columnWidth(int column) const; // twips
    void setColumnLocked(int column, bool locked);
    bool isColumnLocked(int column) const;
    // The list a column's value is picked from; its list field's value goes into the cell.
    void setColumnDropDown(int column, GridDropDown* dropDown);
    GridDropDown* columnDropDown(int column) const;
    // How a column shows its values (a date in the user's format, for instance); plain text when unset.
    void setColumnFormat(int column, std::function<QString(const QVariant&)> format);

    // Appearance
    void setCaption(const QString& caption);
    QString caption() const;
    // Colours as 0x00BBGGRR values: background and text of odd rows, then of even rows.
    void setRowColors(qint64 backOdd, qint64 foreOdd, qint64 backEven, qint64 foreEven);

    // Rows
    // Drops every row and the pending edit and reads the rows again; the first row becomes current.
    void reread();
    // Stores the pending row edit. True when no edit is pending afterwards (stored, nothing to store, or
    // dropped after a failure); false when the row is still in edit (refused or cancelled).
    bool commitRow();
    // Drops the cell being typed and the row's pending changes: the row shows its stored values again.
    void cancelEdit();
    bool isEditing() const;
    bool isAddNewRow() const; // the current row is the add-new row
    // Sets a cell of the current row as if the user had typed it.
    void setCellValue(int column, const QVariant& value);
    // Asks (Yes/No) and deletes the selected rows.
    void deleteSelectedRows();

    // Locks the grid: it holds no rows (not even the add-new row), no cells and no caption, so nothing of
    // the records can be read from it, on screen or by a screen reader. The text being typed joins the row's
    // edit, which waits aside with the place of the cursor.
    void lockRows();
    // Reads the rows again and puts the caption, the edit and the cursor back. The cursor comes back to its
    // record without a move: no row change is raised.
    void unlockRows();
    bool rowsLocked() const { return locked_.has_value(); }

    QTableView* view() const { return view_; }
    QAbstractItemModel* model() const;

    // GridOperations
    int rowCount() const override;
    int columnCount() const override;
    int currentColumn() const override;
    void setCurrentColumn(int column) override;
    int currentRow() const override;
    QVariant currentBookmark() const override;
    void setCurrentBookmark(const QVariant& bookmark) override;
    void moveFirst() override;
    void moveNext() override;
    void moveRows(int n) override;
    void focusGrid() override;
    QString cellText(int column) const override;
    QVariant cellValue(int column) const override;
    bool isColumnVisible(int column) const override;
    void setColumnVisible(int column, bool visible) override;
    QList<QVariant> selectedBookmarks() const override;
    bool scanRows(const std::function<bool(int row, const GridRowTexts& texts)>& visit,
                  const std::function<bool(qint64)>& progress = {}) override;
    bool exportRows(ExportFormat format, ExportRows rows, const QString& path, const QString& templatePath = {},
                    const std::function<bool(qint64)>& progress = {}) override;

signals:
    // A new row is about to be begun (the user started typing in the add-new row).
    void beforeInsert(bool& cancel);
    // The pending row is about to be stored.
    void beforeUpdate(bool& cancel);
    // The current cell moved; `previousRow` is -1 when there was none.
    void rowChanged(int previousRow, int previousColumn);
    void cellClicked();
    // The columns have been rebuilt: the place to attach drop-downs.
    void columnSetup();
    void mouseMoved();
    // The rows were read afresh; bookmarks held from before are void.
    void rowsReset();
    // A new row was stored and is now the data row `row`.
    void rowAdded(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class RecordsModel;
    friend class GridView;
    friend class GridDelegate;

    // Called by the view and the model.
    bool storeCell(int row, int column, const QVariant& value);
    bool beginNewRow();
    bool leaveRow(int targetRow);
    bool commitPending(bool keepCursor);
    void currentMoved(int row, int column, int previousRow, int previousColumn);
    void closeOpenEditor(bool keep);
    int activeRow() const;
    QList<int> selectedRows() const; // data rows, in order
    void goTo(int row, int column);

    RecordsModel* model_;
    QTableView* view_;
    QLabel* caption_;
    GridDataSource* source_ = nullptr;
    bool allowDelete_ = true;
    bool committing_ = false;
    bool quietMove_ = false;
    bool columnsChanged_ = true;
    int wantedColumn_ = 0;
    QPointer<QWidget> openEditor_;

    // Where the grid stood when it was locked.
    struct LockedPlace {
        QString caption;
        QVariant bookmark; // Null on the add-new row, or when the rows were read afresh meanwhile
        bool addNewRow = false;
        int column = 0;
    };
    std::optional<LockedPlace> locked_;
};

} // namespace kv
