#include "grid/GridAccessible.h"

#include "grid/GridSelection.h"

#include <QAccessibleObject>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTableView>

namespace kv {

namespace {

// The number the table view gives a cell in its notices: a row of column headers first, and the row
// selectors as column 0 of every row. `row` -1 is the header row, `column` -1 the selectors.
int childNumber(const QTableView& view, int row, int column) {
    return (row + 1) * (view.model()->columnCount() + 1) + column + 1;
}

QRect globalRect(const QWidget& widget, const QRect& local) {
    return local.isNull() ? QRect() : QRect(widget.mapToGlobal(local.topLeft()), local.size());
}

// A cell of the table, a column's header or a row's selector.
class GridCell final : public QAccessibleInterface,
                       public QAccessibleTableCellInterface,
                       public QAccessibleActionInterface {
public:
    GridCell(QTableView* view, QAccessible::Role role, const QModelIndex& index, int section)
        : view_(view), role_(role), index_(index), section_(section) {}

    // Where the cell stands now, in the table view's numbering; -1 when it is gone or hidden.
    int number() const {
        if (!isValid()) return -1;
        switch (role_) {
        case QAccessible::ColumnHeader:
            return childNumber(*view_, -1, section_);
        case QAccessible::RowHeader:
            return childNumber(*view_, section_, -1);
        default:
            return childNumber(*view_, index_.row(), index_.column());
        }
    }

    bool isValid() const override {
        if (!view_ || !view_->model()) return false;
        const QAbstractItemModel& model = *view_->model();
        switch (role_) {
        case QAccessible::ColumnHeader:
            return section_ < model.columnCount() && !view_->isColumnHidden(section_);
        case QAccessible::RowHeader:
            return section_ < model.rowCount();
        default:
            return index_.isValid() && !view_->isColumnHidden(index_.column());
        }
    }
    QObject* object() const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(view_); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessible::Role role() const override { return role_; }
    void setText(QAccessible::Text, const QString&) override {}

    QString text(QAccessible::Text t) const override {
        if (!isValid() || (t != QAccessible::Name && t != QAccessible::Description)) return {};
        const QAbstractItemModel& model = *view_->model();
        if (role_ != QAccessible::Cell) {
            const Qt::Orientation orientation = role_ == QAccessible::ColumnHeader ? Qt::Horizontal : Qt::Vertical;
            return t == QAccessible::Name ? model.headerData(section_, orientation).toString() : QString();
        }
        if (t == QAccessible::Description) return model.data(index_, Qt::AccessibleDescriptionRole).toString();
        const QString name = model.data(index_, Qt::AccessibleTextRole).toString();
        return name.isEmpty() ? model.data(index_, Qt::DisplayRole).toString() : name;
    }

    QRect rect() const override {
        if (!isValid()) return {};
        switch (role_) {
        case QAccessible::ColumnHeader: {
            const QHeaderView& h = *view_->horizontalHeader();
            return globalRect(*h.viewport(), QRect(h.sectionViewportPosition(section_), 0, h.sectionSize(section_),
                                                   h.viewport()->height()));
        }
        case QAccessible::RowHeader: {
            const QHeaderView& h = *view_->verticalHeader();
            return globalRect(*h.viewport(), QRect(0, h.sectionViewportPosition(section_), h.viewport()->width(),
                                                   h.sectionSize(section_)));
        }
        default:
            return globalRect(*view_->viewport(), view_->visualRect(index_));
        }
    }

    QAccessible::State state() const override {
        QAccessible::State st;
        if (!isValid()) {
            st.invalid = true;
            return st;
        }
        const QRect shown = globalRect(*view_->viewport(), view_->viewport()->rect());
        if (!shown.intersects(rect())) st.invisible = true;
        if (role_ != QAccessible::Cell) return st;
        const QItemSelectionModel& selection = *view_->selectionModel();
        st.selected = selection.isSelected(index_);
        st.focused = selection.currentIndex() == QModelIndex(index_);
        if (index_.flags() & Qt::ItemIsSelectable) {
            st.selectable = true;
            st.focusable = true;
            st.extSelectable = view_->selectionMode() == QAbstractItemView::ExtendedSelection;
        }
        return st;
    }

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (role_ != QAccessible::Cell) return nullptr;
        if (t == QAccessible::TableCellInterface) return static_cast<QAccessibleTableCellInterface*>(this);
        if (t == QAccessible::ActionInterface) return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }

    // The cell as a table cell: its place counts shown columns only.
    bool isSelected() const override { return isValid() && view_->selectionModel()->isSelected(index_); }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    int rowIndex() const override { return index_.row(); }
    int columnIndex() const override { return isValid() ? int(shownColumns(*view_).indexOf(index_.column())) : -1; }
    QAccessibleInterface* table() const override { return parent(); }
    QList<QAccessibleInterface*> columnHeaderCells() const override {
        return header(childNumber(*view_, -1, index_.column()));
    }
    QList<QAccessibleInterface*> rowHeaderCells() const override {
        return header(childNumber(*view_, index_.row(), -1));
    }

    // A screen reader's way to select a cell, or to take it out of the selection.
    QStringList actionNames() const override { return {toggleAction()}; }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
    void doAction(const QString& name) override {
        if (name == toggleAction() && isValid()) view_->selectionModel()->select(index_, QItemSelectionModel::Toggle);
    }

private:
    QList<QAccessibleInterface*> header(int number) const {
        if (!isValid()) return {};
        QAccessibleInterface* table = parent();
        QAccessibleInterface* cell = table ? table->child(number) : nullptr;
        return cell ? QList<QAccessibleInterface*>{cell} : QList<QAccessibleInterface*>{};
    }

    QPointer<QTableView> view_;
    QAccessible::Role role_;
    QPersistentModelIndex index_;
    int section_;
};

class GridTable final : public QAccessibleObject, public QAccessibleTableInterface {
public:
    explicit GridTable(QTableView* view) : QAccessibleObject(view) {}
    ~GridTable() override { forgetChildren(); }

    QTableView* view() const { return static_cast<QTableView*>(object()); }

    // QAccessibleInterface
    QAccessible::Role role() const override { return QAccessible::Table; }
    QAccessible::State state() const override {
        QAccessible::State st;
        st.focusable = true;
        st.focused = view()->hasFocus();
        st.invisible = !view()->isVisible();
        return st;
    }
    QString text(QAccessible::Text t) const override {
        // The table bears the name of the grid it belongs to.
        const QWidget* named =
            view()->accessibleName().isEmpty() && view()->parentWidget() ? view()->parentWidget() : view();
        return t == QAccessible::Description ? named->accessibleDescription()
                                             : (t == QAccessible::Name ? named->accessibleName() : QString());
    }
    QRect rect() const override { return view()->isVisible() ? globalRect(*view(), view()->rect()) : QRect(); }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(view()->parentWidget());
    }
    int childCount() const override {
        const QAbstractItemModel* model = view()->model();
        return model ? (model->rowCount() + 1) * (model->columnCount() + 1) : 0;
    }
    QAccessibleInterface* child(int number) const override;
    int indexOfChild(const QAccessibleInterface* child) const override {
        const auto* cell = dynamic_cast<const GridCell*>(child);
        return cell && cell->parent() == static_cast<const QAccessibleInterface*>(this) ? cell->number() : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QModelIndex index = view()->indexAt(view()->viewport()->mapFromGlobal(QPoint(x, y)));
        return index.isValid() ? child(childNumber(*view(), index.row(), index.column())) : nullptr;
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        return t == QAccessible::TableInterface ? static_cast<QAccessibleTableInterface*>(this) : nullptr;
    }

    // QAccessibleTableInterface: rows as the table has them, the shown columns in the order shown.
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    int rowCount() const override { return view()->model() ? view()->model()->rowCount() : 0; }
    int columnCount() const override { return int(shownColumns(*view()).size()); }
    QString columnDescription(int column) const override {
        const int c = logicalColumn(column);
        return c < 0 ? QString() : view()->model()->headerData(c, Qt::Horizontal).toString();
    }
    QString rowDescription(int row) const override {
        return view()->model() ? view()->model()->headerData(row, Qt::Vertical).toString() : QString();
    }
    QAccessibleInterface* cellAt(int row, int column) const override {
        const int c = logicalColumn(column);
        return c < 0 || row < 0 || row >= rowCount() ? nullptr : child(childNumber(*view(), row, c));
    }

    int selectedCellCount() const override;
    QList<QAccessibleInterface*> selectedCells() const override;
    int selectedRowCount() const override { return int(selectedRows().size()); }
    QList<int> selectedRows() const override {
        return rowsOfSelection(view()->selectionModel()->selection(), shownColumns(*view()), rowCount());
    }
    int selectedColumnCount() const override { return int(selectedColumns().size()); }
    QList<int> selectedColumns() const override;
    bool isRowSelected(int row) const override {
        return selectionHoldsRow(view()->selectionModel()->selection(), shownColumns(*view()), row);
    }
    bool isColumnSelected(int column) const override { return selectedColumns().contains(column); }
    bool selectRow(int row) override {
        return selectLine(row, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    bool unselectRow(int row) override {
        return selectLine(row, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    }
    bool selectColumn(int column) override {
        return selectColumnOf(column, QItemSelectionModel::Select | QItemSelectionModel::Columns);
    }
    bool unselectColumn(int column) override {
        return selectColumnOf(column, QItemSelectionModel::Deselect | QItemSelectionModel::Columns);
    }

    // Rows came or went, or the table was read afresh: the cells handed out are asked for again.
    void modelChange(QAccessibleTableModelChangeEvent* event) override {
        if (event->modelChangeType() != QAccessibleTableModelChangeEvent::DataChanged) forgetChildren();
    }

private:
    int logicalColumn(int shown) const {
        const QList<int> columns = shownColumns(*view());
        return shown >= 0 && shown < columns.size() ? columns[shown] : -1;
    }
    bool selectLine(int row, QItemSelectionModel::SelectionFlags command) {
        const QModelIndex index = view()->model() ? view()->model()->index(row, 0) : QModelIndex();
        if (!index.isValid()) return false;
        view()->selectionModel()->select(index, command);
        return true;
    }
    bool selectColumnOf(int column, QItemSelectionModel::SelectionFlags command) {
        const int c = logicalColumn(column);
        if (c < 0 || rowCount() == 0) return false;
        view()->selectionModel()->select(view()->model()->index(0, c), command);
        return true;
    }
    void forgetChildren() const {
        for (const QAccessible::Id id : std::as_const(children_))
            QAccessible::deleteAccessibleInterface(id);
        children_.clear();
    }

    mutable QHash<int, QAccessible::Id> children_;
};

QAccessibleInterface* GridTable::child(int number) const {
    const QAbstractItemModel* model = view()->model();
    if (!model || number < 0 || number >= childCount()) return nullptr;
    if (const auto known = children_.constFind(number); known != children_.constEnd()) {
        auto* cell = static_cast<GridCell*>(QAccessible::accessibleInterface(*known));
        // A cell handed out before rows came or went may stand elsewhere by now; it is made afresh.
        if (cell && cell->number() == number) return cell;
        QAccessible::deleteAccessibleInterface(*known);
        children_.erase(known);
    }
    const int width = model->columnCount() + 1;
    const int row = number / width - 1;
    const int column = number % width - 1;
    // The corner above the row selectors holds nothing; a hidden column is not there.
    if ((row < 0 && column < 0) || (column >= 0 && view()->isColumnHidden(column))) return nullptr;
    GridCell* cell = row < 0      ? new GridCell(view(), QAccessible::ColumnHeader, {}, column)
                     : column < 0 ? new GridCell(view(), QAccessible::RowHeader, {}, row)
                                  : new GridCell(view(), QAccessible::Cell, model->index(row, column), -1);
    children_.insert(number, QAccessible::registerAccessibleInterface(cell));
    return cell;
}

int GridTable::selectedCellCount() const {
    const QList<int> shown = shownColumns(*view());
    int count = 0;
    for (const QItemSelectionRange& range : view()->selectionModel()->selection()) {
        int columns = 0;
        for (const int c : shown)
            columns += c >= range.left() && c <= range.right() ? 1 : 0;
        count += columns * range.height();
    }
    return count;
}

QList<QAccessibleInterface*> GridTable::selectedCells() const {
    const QList<int> shown = shownColumns(*view());
    QList<QAccessibleInterface*> cells;
    for (const QItemSelectionRange& range : view()->selectionModel()->selection())
        for (int r = range.top(); r <= range.bottom(); ++r)
            for (const int c : shown)
                if (c >= range.left() && c <= range.right())
                    if (QAccessibleInterface* cell = child(childNumber(*view(), r, c))) cells.append(cell);
    return cells;
}

QList<int> GridTable::selectedColumns() const {
    // A column is selected when one stretch covers every row of it.
    const QList<int> shown = shownColumns(*view());
    const int rows = rowCount();
    QList<int> columns;
    for (int i = 0; i < shown.size(); ++i)
        for (const QItemSelectionRange& range : view()->selectionModel()->selection())
            if (rows > 0 && range.top() == 0 && range.bottom() >= rows - 1 && shown[i] >= range.left() &&
                shown[i] <= range.right()) {
                columns.append(i);
                break;
            }
    return columns;
}

} // namespace

QAccessibleInterface* createGridAccessible(QTableView* view) {
    return new GridTable(view);
}

bool isGridAccessible(const QAccessibleInterface* iface) {
    return dynamic_cast<const GridTable*>(iface) != nullptr;
}

} // namespace kv
