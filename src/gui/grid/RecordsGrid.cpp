#include "grid/RecordsGrid.h"

#include "grid/GridAccessible.h"
#include "grid/GridDropDown.h"
#include "grid/GridSelection.h"
#include "grid/RecordsModel.h"
#include "platform/Desktop.h"
#include "platform/Units.h"

#include <QAccessible>
#include <QComboBox>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace kv {

// The table itself: it stores the pending row before the cursor leaves it, whatever moves the cursor
// (keys, clicks in cells or on the row selectors), and stays on the row when that is refused.
class GridView final : public QTableView {
public:
    explicit GridView(RecordsGrid* grid) : QTableView(grid), grid_(grid) {
        // A screen reader that asked while the table was still being built got the plain table's interface,
        // which reads hidden columns out; it is dropped, so that the next question gets ours.
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(this);
        if (iface && !isGridAccessible(iface)) QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
    }

    bool isEditing() const { return state() == EditingState; }

    void finishEditing(QWidget* editor, bool keep) {
        if (keep) commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override {
        // Down from a new row being typed stores it and goes on to the next new row.
        const QModelIndex current = currentIndex();
        if (action == MoveDown && current.isValid() && grid_->model_->isAdding() &&
            grid_->model_->isAddNewRow(current.row())) {
            if (!grid_->commitPending(false)) return current;
            const QModelIndex next = model()->index(grid_->model_->dataRows(), current.column());
            // The stored row pushed the cursor down with it: that is a move to another row all the same.
            if (currentIndex() == next) grid_->currentMoved(next.row(), next.column(), current.row(), current.column());
            return next;
        }
        const QModelIndex target = QTableView::moveCursor(action, modifiers);
        if (target.isValid() && target.row() != currentIndex().row() && !grid_->leaveRow(target.row()))
            return currentIndex();
        return target;
    }

    void mousePressEvent(QMouseEvent* event) override {
        const QModelIndex index = indexAt(event->position().toPoint());
        if (index.isValid() && index.row() != currentIndex().row() && !grid_->leaveRow(index.row())) {
            event->accept();
            return;
        }
        QTableView::mousePressEvent(event);
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        emit grid_->mouseMoved();
        QTableView::mouseMoveEvent(event);
    }

    // The table's own notice to screen readers lists every selected cell only to name the first one, which
    // takes seconds for a hundred thousand rows; the first cell of the first stretch is that same cell.
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override {
        if (QAccessible::isActive()) {
            notifySelection(selected, QAccessible::SelectionAdd);
            notifySelection(deselected, QAccessible::SelectionRemove);
        }
        QAbstractItemView::selectionChanged(selected, deselected);
    }

    void keyPressEvent(QKeyEvent* event) override {
        // Shift+Space selects the rows of the selected cells whole, as a click on their selectors does.
        if (state() != EditingState && event->key() == Qt::Key_Space && event->modifiers() == Qt::ShiftModifier) {
            std::vector<std::pair<int, int>> spans;
            for (const QItemSelectionRange& range : selectionModel()->selection())
                spans.emplace_back(range.top(), range.bottom());
            if (currentIndex().isValid()) spans.emplace_back(currentIndex().row(), currentIndex().row());
            selectionModel()->select(wholeRows(std::move(spans), *model()), QItemSelectionModel::ClearAndSelect);
            event->accept();
            return;
        }
        if (state() != EditingState && event->modifiers() == Qt::NoModifier) {
            switch (event->key()) {
            case Qt::Key_Escape:
                grid_->cancelEdit();
                event->accept();
                return;
            case Qt::Key_Delete:
                grid_->deleteSelectedRows();
                event->accept();
                return;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                grid_->commitRow();
                event->accept();
                return;
            default:
                break;
            }
        }
        QTableView::keyPressEvent(event);
    }

    // Typing edits the cell; it never jumps to another row.
    void keyboardSearch(const QString&) override {}

    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override {
        // Typing into the add-new row begins a new row, which the window may refuse.
        const bool wouldEdit = trigger == AllEditTriggers || (editTriggers() & trigger);
        const bool typed = trigger != AnyKeyPressed || (event && !static_cast<QKeyEvent*>(event)->text().isEmpty());
        if (index.isValid() && wouldEdit && typed && state() != EditingState && (index.flags() & Qt::ItemIsEditable) &&
            grid_->model_->isAddNewRow(index.row()) && !grid_->model_->isAdding() && !grid_->beginNewRow())
            return false;
        return QTableView::edit(index, trigger, event);
    }

    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override {
        QTableView::currentChanged(current, previous);
        grid_->currentMoved(current.row(), current.column(), previous.row(), previous.column());
    }

private:
    void notifySelection(const QItemSelection& selection, QAccessible::Event type) {
        for (const QItemSelectionRange& range : selection)
            for (int c = range.left(); c <= range.right(); ++c)
                if (!isColumnHidden(c)) {
                    QAccessibleEvent event(this, type);
                    // Numbered as the table numbers its cells: a row of headers first, each row's selector first.
                    event.setChild((range.top() + 1) * (model()->columnCount() + 1) + c + 1);
                    QAccessible::updateAccessibility(&event);
                    return;
                }
    }

    RecordsGrid* grid_;
};

// Cells are edited in a line, or in the column's drop-down list when it has one.
class GridDelegate final : public QStyledItemDelegate {
public:
    explicit GridDelegate(RecordsGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = nullptr;
        if (GridDropDown* list = grid_->columnDropDown(index.column())) {
            QComboBox* combo = list->createEditor(parent);
            // A pick from the list goes into the cell at once (not so once the editor is being closed).
            connect(combo, &QComboBox::activated, this, [this, combo] {
                if (grid_->openEditor_ == combo && static_cast<GridView*>(grid_->view())->isEditing())
                    const_cast<GridDelegate*>(this)->commitData(combo);
            });
            editor = combo;
        } else {
            editor = QStyledItemDelegate::createEditor(parent, option, index);
        }
        grid_->openEditor_ = editor;
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            combo->setEditText(index.data(Qt::EditRole).toString());
            if (combo->lineEdit()) combo->lineEdit()->selectAll();
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            model->setData(index, combo->currentText());
            return;
        }
        QStyledItemDelegate::setModelData(editor, model, index);
    }

protected:
    // An editor already closed (by Tab or Enter) may still lose the focus afterwards: nothing to store then.
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::FocusOut && object != grid_->openEditor_) return false;
        return QStyledItemDelegate::eventFilter(object, event);
    }

public:
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override {
        if (grid_->openEditor_ == editor) grid_->openEditor_ = nullptr;
        QStyledItemDelegate::destroyEditor(editor, index);
    }

private:
    RecordsGrid* grid_;
};

namespace {

GridView* gridView(QTableView* view) {
    return static_cast<GridView*>(view);
}

QAccessibleInterface* gridAccessibleFactory(const QString& className, QObject* object) {
    if (className != QLatin1String("QTableView")) return nullptr;
    auto* view = dynamic_cast<GridView*>(object);
    return view ? createGridAccessible(view) : nullptr;
}

} // namespace

RecordsGrid::RecordsGrid(QWidget* parent) : QWidget(parent), model_(new RecordsModel(this)) {
    static const bool accessibleTables = (QAccessible::installFactory(gridAccessibleFactory), true);
    Q_UNUSED(accessibleTables);
    caption_ = new QLabel(this);
    caption_->setObjectName(QStringLiteral("gridCaption"));
    caption_->setAlignment(Qt::AlignCenter);
    caption_->setTextFormat(Qt::PlainText); // it names the group as the user wrote it
    caption_->setWordWrap(true);             // a long caption shows whole
    caption_->setFrameShape(QFrame::StyledPanel);
    QFont bold = caption_->font();
    bold.setBold(true);
    caption_->setFont(bold);

    view_ = new GridView(this);
    view_->setObjectName(QStringLiteral("gridTable"));
    view_->setModel(model_);
    view_->setItemDelegate(new GridDelegate(this));
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setSelectionBehavior(QAbstractItemView::SelectItems);
    // Typing replaces a cell's text, F2 edits it; a double click is the cell-click event.
    view_->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed);
    view_->setTabKeyNavigation(true);
    view_->setWordWrap(false);
    view_->setMouseTracking(true);
    view_->horizontalHeader()->setSectionsMovable(true);
    view_->horizontalHeader()->setHighlightSections(false);
    // Rows of one height let the table scroll through any number of them without measuring each.
    QHeaderView* rows = view_->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(view_->fontMetrics().height() + 6);
    rows->setDefaultAlignment(Qt::AlignCenter);
    rows->setFixedWidth(view_->fontMetrics().horizontalAdvance(QStringLiteral("MM")) + 8);
    rows->viewport()->installEventFilter(this);
    setFocusProxy(view_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(caption_);
    layout->addWidget(view_, 1);

    connect(view_, &QAbstractItemView::doubleClicked, this, [this] { emit cellClicked(); });
    // The table forgets hidden columns and widths when its rows are reset; put them back.
    auto applyColumns = [this] {
        for (int c = 0; c < model_->columnCount(); ++c) {
            view_->setColumnHidden(c, !model_->column(c).visible);
            view_->setColumnWidth(c, twipsToPixels(model_->column(c).widthTwips, this));
        }
    };
    connect(model_, &QAbstractItemModel::modelReset, this, applyColumns);
    // A column the user widens keeps its width when the rows are read again.
    connect(view_->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int c, int, int size) {
        if (size > 0 && c < model_->columnCount() && model_->column(c).visible &&
            size != twipsToPixels(model_->column(c).widthTwips, this))
            model_->changeColumn(c, [&](GridColumn& col) { col.widthTwips = pixelsToTwips(size, this); });
    });
    connect(model_, &QAbstractItemModel::columnsInserted, this, applyColumns);
}

RecordsGrid::~RecordsGrid() {
    // The table goes before the model it shows (the model was made first, so it would go first).
    delete view_;
}

QAbstractItemModel* RecordsGrid::model() const {
    return model_;
}

void RecordsGrid::setDataSource(GridDataSource* source) {
    source_ = source;
    model_->setSource(source);
}

void RecordsGrid::setAllowAddNew(bool allow) {
    model_->setAllowAddNew(allow);
}

// ---- Columns

void RecordsGrid::removeAllColumns() {
    closeOpenEditor(false);
    model_->removeAllColumns();
    columnsChanged_ = true;
}

void RecordsGrid::addColumn(int index) {
    closeOpenEditor(false);
    model_->insertGridColumn(index);
    columnsChanged_ = true;
}

void RecordsGrid::setColumnCaption(int column, const QString& caption) {
    model_->changeColumn(column, [&](GridColumn& c) { c.caption = caption; });
}

QString RecordsGrid::columnCaption(int column) const {
    return column >= 0 && column < model_->columnCount() ? model_->column(column).caption : QString();
}

void RecordsGrid::setColumnWidth(int column, int twips) {
    model_->changeColumn(column, [&](GridColumn& c) { c.widthTwips = twips; });
    if (column >= 0 && column < model_->columnCount()) view_->setColumnWidth(column, twipsToPixels(twips, this));
}

int RecordsGrid::columnWidth(int column) const {
    return column >= 0 && column < model_->columnCount() ? model_->column(column).widthTwips : 0;
}

void RecordsGrid::setColumnLocked(int column, bool locked) {
    model_->changeColumn(column, [&](GridColumn& c) { c.locked = locked; });
}

bool RecordsGrid::isColumnLocked(int column) const {
    return column >= 0 && column < model_->columnCount() && model_->column(column).locked;
}

void RecordsGrid::setColumnDropDown(int column, GridDropDown* dropDown) {
    model_->changeColumn(column, [&](GridColumn& c) { c.dropDown = dropDown; });
}

GridDropDown* RecordsGrid::columnDropDown(int column) const {
    return column >= 0 && column < model_->columnCount() ? model_->column(column).dropDown.data() : nullptr;
}

void RecordsGrid::setColumnFormat(int column, std::function<QString(const QVariant&)> format) {
    model_->changeColumn(column, [&](GridColumn& c) { c.format = std::move(format); });
}

bool RecordsGrid::isColumnVisible(int column) const {
    return column >= 0 && column < model_->columnCount() && model_->column(column).visible;
}

void RecordsGrid::focusGrid() { view_->setFocus(); }

void RecordsGrid::setColumnVisible(int column, bool visible) {
    if (column < 0 || column >= model_->columnCount()) return;
    model_->changeColumn(column, [&](GridColumn& c) { c.visible = visible; });
    view_->setColumnHidden(column, !visible);
}

int RecordsGrid::columnCount() const {
    return model_->columnCount();
}

// ---- Appearance

void RecordsGrid::setCaption(const QString& caption) {
    caption_->setText(caption);
}

QString RecordsGrid::caption() const {
    return caption_->text();
}

void RecordsGrid::setRowColors(qint64 backOdd, qint64 foreOdd, qint64 backEven, qint64 foreEven) {
    model_->setRowColors(colorFromBgr(backOdd), colorFromBgr(foreOdd), colorFromBgr(backEven), colorFromBgr(foreEven));
}

// ---- Rows

void RecordsGrid::reread() {
    closeOpenEditor(false);
    // Bookmarks held from before are void: a locked grid comes back at its first row.
    if (locked_) *locked_ = LockedPlace{locked_->caption, {}, false, locked_->column};
    if (columnsChanged_) {
        columnsChanged_ = false;
        emit columnSetup();
    }
    model_->reread();
    emit rowsReset();
    if (model_->rowCount() == 0) return;
    int column = wantedColumn_;
    if (column < 0 || column >= model_->columnCount() || !model_->column(column).visible) {
        column = 0;
        while (column < model_->columnCount() - 1 && !model_->column(column).visible)
            ++column;
    }
    goTo(0, column);
}

bool RecordsGrid::commitRow() {
    return commitPending(true);
}

void RecordsGrid::lockRows() {
    if (locked_) return;
    closeOpenEditor(true);
    locked_ = LockedPlace{caption_->text(), currentBookmark(), isAddNewRow(), currentColumn()};
    caption_->clear();
    model_->holdRows();
}

void RecordsGrid::unlockRows() {
    if (!locked_) return;
    const LockedPlace place = *std::exchange(locked_, std::nullopt);
    model_->releaseRows();
    caption_->setText(place.caption);
    int row = place.addNewRow ? model_->dataRows() : model_->rowOfBookmark(place.bookmark);
    if (row < 0) row = 0;
    quietMove_ = true;
    goTo(row, place.column);
    quietMove_ = false;
}

bool RecordsGrid::commitPending(bool keepCursor) {
    if (committing_) return false;
    closeOpenEditor(true);
    if (!model_->hasEdit()) return true;
    if (!model_->isDirty() || !source_) {
        model_->dropEdit();
        return true;
    }

    committing_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{committing_};

    bool cancel = false;
    emit beforeUpdate(cancel);
    if (cancel) return !model_->hasEdit();
    if (!model_->hasEdit() || !model_->isDirty()) {
        model_->dropEdit();
        return true;
    }

    const int row = model_->editRow();
    const RowBuffer buffer = model_->editBuffer();
    if (model_->isAdding()) {
        const AddResult added = model_->withSource([&](GridDataSource& s) { return s.addRow(buffer); });
        switch (added.result) {
        case StoreResult::Stored:
            model_->addStoredRow(added.bookmark);
            if (keepCursor && view_->currentIndex().row() == row + 1) {
                // Stored on request: the cursor stays on the record, which is not a move to another row.
                quietMove_ = true;
                goTo(row, view_->currentIndex().column());
                quietMove_ = false;
            }
            model_->setMarkerRow(view_->currentIndex().row());
            emit rowAdded(row);
            return true;
        case StoreResult::Refused:
            return false;
        case StoreResult::Failed:
            model_->dropEdit();
            return true;
        }
        return true;
    }
    const QVariant bookmark = model_->bookmarkAt(row);
    const StoreResult written = model_->withSource([&](GridDataSource& s) { return s.writeRow(buffer, bookmark); });
    if (written == StoreResult::Refused) return false;
    // Stored or not, the row now shows what the source holds.
    model_->refreshRow(row);
    model_->dropEdit();
    return true;
}

void RecordsGrid::cancelEdit() {
    closeOpenEditor(false);
    if (model_->hasEdit()) model_->dropEdit();
}

bool RecordsGrid::isEditing() const {
    return model_->hasEdit() || openEditor_;
}

bool RecordsGrid::isAddNewRow() const {
    return model_->isAddNewRow(activeRow());
}

void RecordsGrid::setCellValue(int column, const QVariant& value) {
    const int row = activeRow();
    if (row < 0 || column < 0 || column >= model_->columnCount() || model_->column(column).locked) return;
    storeCell(row, column, value);
}

void RecordsGrid::deleteSelectedRows() {
    if (!allowDelete_ || !source_) return;
    const QList<int> rows = selectedRows();
    if (rows.isEmpty()) return;
    const QString question = rows.size() == 1 ? QStringLiteral("Delete the selected record?")
                                              : QStringLiteral("Delete the %1 selected records?").arg(rows.size());
    if (desktop().message(question, {}, Buttons::YesNo, Icon::Question) != Answer::Yes) return;

    // Changes to a row that is being deleted go with it; changes to another row are stored first.
    if (model_->hasEdit()) {
        if (rows.contains(model_->editRow()))
            cancelEdit();
        else if (!commitRow())
            return;
    }
    const int previousRow = view_->currentIndex().row();
    const int previousColumn = view_->currentIndex().column();
    // From the bottom up, so that the rows still to go keep their numbers.
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
        const QVariant bookmark = model_->bookmarkAt(*it);
        const bool deleted = model_->withSource([&](GridDataSource& s) { return s.deleteRow(bookmark); });
        if (!deleted) break;
        model_->removeDataRow(*it);
    }
    view_->selectionModel()->clearSelection();
    const QModelIndex current = view_->currentIndex();
    model_->setMarkerRow(current.row());
    // The cursor may stand on another record now, even at the same row number.
    emit rowChanged(previousRow, previousColumn);
}

// ---- GridOperations

int RecordsGrid::rowCount() const {
    return model_->dataRows();
}

int RecordsGrid::currentColumn() const {
    const QModelIndex current = view_->currentIndex();
    return current.isValid() ? current.column() : wantedColumn_;
}

void RecordsGrid::setCurrentColumn(int column) {
    // The cursor never stands in a hidden column: what was typed there would change a value nobody sees.
    if (column < 0 || column >= model_->columnCount() || !model_->column(column).visible) return;
    wantedColumn_ = column;
    const int row = activeRow();
    if (row >= 0) goTo(row, column);
}

int RecordsGrid::currentRow() const {
    return activeRow();
}

QVariant RecordsGrid::currentBookmark() const {
    return model_->bookmarkAt(activeRow());
}

void RecordsGrid::setCurrentBookmark(const QVariant& bookmark) {
    const int row = model_->rowOfBookmark(bookmark);
    if (row < 0 || !leaveRow(row)) return;
    goTo(row, currentColumn());
}

void RecordsGrid::moveFirst() {
    if (model_->rowCount() == 0 || !leaveRow(0)) return;
    goTo(0, currentColumn());
}

void RecordsGrid::moveNext() {
    moveRows(1);
}

void RecordsGrid::moveRows(int n) {
    if (model_->rowCount() == 0) return;
    const int row = std::clamp(qMax(0, activeRow()) + n, 0, model_->rowCount() - 1);
    if (!leaveRow(row)) return;
    goTo(row, currentColumn());
}

QString RecordsGrid::cellText(int column) const {
    return model_->text(activeRow(), column);
}

QVariant RecordsGrid::cellValue(int column) const {
    return model_->value(activeRow(), column);
}

QList<int> RecordsGrid::selectedRows() const {
    return rowsOfSelection(view_->selectionModel()->selection(), shownColumns(*view_), model_->dataRows());
}

QList<QVariant> RecordsGrid::selectedBookmarks() const {
    const QList<int> rows = selectedRows();
    QList<QVariant> bookmarks;
    bookmarks.reserve(rows.size());
    for (int r : rows)
        bookmarks.append(model_->bookmarkAt(r));
    return bookmarks;
}

bool RecordsGrid::scanRows(const std::function<bool(int row, const GridRowTexts& texts)>& visit,
                           const std::function<bool(qint64)>& progress) {
    constexpr qint64 kProgressEvery = 1024;
    qint64 done = 0;
    bool cancelled = false;
    const auto counted = [&] {
        if (progress && ++done % kProgressEvery == 0 && !progress(done)) cancelled = true;
        return !cancelled;
    };

    // A row as the table shows it, edits included, read through the table's own pages.
    class ShownRow final : public GridRowTexts {
    public:
        ShownRow(const RecordsModel& model, int row) : model_(model), row_(row) {}
        QString text(int column) const override { return model_.text(row_, column); }

    private:
        const RecordsModel& model_;
        int row_;
    };

    const int rows = model_->dataRows();
    const std::vector<int> rowOf = model_->rowsByBookmark();
    if (source_ && !rowOf.empty()) {
        // A column's format can cost more than reading the cell (a date in the user's form); many rows share
        // a value, so the texts made are kept for the scan, a bounded number of them.
        constexpr qsizetype kRememberedTexts = 4096;
        std::vector<QHash<QString, QString>> formatted(std::size_t(model_->columnCount()));
        class SourceTexts final : public GridRowTexts {
        public:
            SourceTexts(const RecordsModel& model, const SourceRow& row, std::vector<QHash<QString, QString>>& formatted)
                : model_(model), row_(row), formatted_(formatted) {}
            QString text(int column) const override {
                if (column < 0 || column >= model_.columnCount()) return {};
                const QVariant value = row_.value(column);
                const auto& format = model_.column(column).format;
                if (!format) return value.toString();
                QHash<QString, QString>& known = formatted_[std::size_t(column)];
                const QString key = value.toString();
                if (const auto it = known.constFind(key); it != known.constEnd()) return *it;
                if (known.size() >= kRememberedTexts) known.clear();
                return *known.insert(key, format(value));
            }

        private:
            const RecordsModel& model_;
            const SourceRow& row_;
            std::vector<QHash<QString, QString>>& formatted_;
        };

        // The row being edited shows more than the source holds; it is visited from the table afterwards, as is
        // any row the source did not deliver.
        std::vector<bool> seen(std::size_t(rows), false);
        if (model_->hasEdit() && model_->editRow() < rows) seen[std::size_t(model_->editRow())] = true;
        bool stopped = false;
        const bool scanned = source_->scanRows([&](const QVariant& bookmark, const SourceRow& sourceRow) {
            const int b = bookmark.toInt();
            const int row = b >= 0 && b < int(rowOf.size()) ? rowOf[std::size_t(b)] : -1;
            if (row < 0 || seen[std::size_t(row)]) return true;
            seen[std::size_t(row)] = true;
            if (!visit(row, SourceTexts(*model_, sourceRow, formatted))) {
                stopped = true;
                return false;
            }
            return counted();
        });
        if (scanned) {
            for (int row = 0; row < rows && !stopped && !cancelled; ++row)
                if (!seen[std::size_t(row)] && (!visit(row, ShownRow(*model_, row)) || !counted())) break;
            return !cancelled;
        }
    }
    // A source without a faster way: every row in order, through the table's pages.
    for (int row = 0; row < rows; ++row)
        if (!visit(row, ShownRow(*model_, row)) || !counted()) break;
    return !cancelled;
}

bool RecordsGrid::exportRows(ExportFormat format, ExportRows which, const QString& path, const QString& templatePath,
                             const std::function<bool(qint64)>& progress) {
    QList<int> columns;
    QStringList captions;
    const QHeaderView* header = view_->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int c = header->logicalIndex(visual);
        if (c < 0 || !model_->column(c).visible) continue;
        columns.append(c);
        captions.append(model_->column(c).caption);
    }
    // Each exported row's place in the file: rows in grid order, the ones not chosen left out.
    const int rows = model_->dataRows();
    std::vector<int> place(std::size_t(rows), which == ExportRows::Selected ? -1 : 0);
    if (which != ExportRows::All)
        for (int r : selectedRows())
            place[std::size_t(r)] = which == ExportRows::Selected ? 0 : -1;
    for (int r = 0, next = 0; r < rows; ++r)
        if (place[std::size_t(r)] >= 0) place[std::size_t(r)] = next++;

    ExportFile file(format, path, templatePath, captions);
    const bool scanned = scanRows(
        [&](int row, const GridRowTexts& texts) {
            if (place[std::size_t(row)] < 0) return true;
            QStringList cells;
            cells.reserve(columns.size());
            for (int c : columns)
                cells.append(texts.text(c));
            file.addRow(place[std::size_t(row)], cells);
            return true;
        },
        progress);
    // Writing out is the short last stretch: the count stays full, Cancel still works.
    return scanned && file.finish(progress ? std::function<bool(qint64)>([&](qint64) { return progress(rows); })
                                           : std::function<bool(qint64)>());
}

// ---- Inner workings

bool RecordsGrid::storeCell(int row, int column, const QVariant& value) {
    if (model_->hasEdit() && model_->editRow() != row && !leaveRow(row)) return false;
    if (model_->isAddNewRow(row) && !model_->isAdding() && !beginNewRow()) return false;
    model_->setEditValue(row, column, value);
    return true;
}

bool RecordsGrid::beginNewRow() {
    bool cancel = false;
    emit beforeInsert(cancel);
    if (cancel) return false;
    model_->beginAdd();
    return true;
}

bool RecordsGrid::leaveRow(int targetRow) {
    // Text still in a cell's editor belongs to the row being left: take it in before deciding, so that a
    // refused store keeps the cursor on that row rather than letting the change follow it elsewhere.
    if (openEditor_ && view_->currentIndex().row() != targetRow) closeOpenEditor(true);
    if (!model_->hasEdit() || model_->editRow() == targetRow) return true;
    return commitPending(false);
}

void RecordsGrid::currentMoved(int row, int column, int previousRow, int previousColumn) {
    // A move that did not ask first (a click the view handled itself): store the row it left now.
    if (row >= 0 && !committing_ && model_->hasEdit() && model_->editRow() != row) commitPending(false);
    if (column >= 0) wantedColumn_ = column;
    model_->setMarkerRow(row);
    if (!quietMove_) emit rowChanged(previousRow, previousColumn);
}

void RecordsGrid::closeOpenEditor(bool keep) {
    if (QWidget* editor = openEditor_) gridView(view_)->finishEditing(editor, keep);
}

int RecordsGrid::activeRow() const {
    // While a row is being stored, "current" is that row, whatever the cursor did.
    if (committing_ && model_->hasEdit()) return model_->editRow();
    return view_->currentIndex().row();
}

void RecordsGrid::goTo(int row, int column) {
    const QModelIndex index = model_->index(row, column);
    if (!index.isValid()) return;
    view_->setCurrentIndex(index);
    view_->scrollTo(index);
}

bool RecordsGrid::eventFilter(QObject* watched, QEvent* event) {
    // A click on a row selector moves to that row: the pending row is stored first, or the click refused.
    // The type first: while the table is being taken down, its header may already be gone.
    if (event->type() == QEvent::MouseButtonPress && watched == view_->verticalHeader()->viewport()) {
        const auto* press = static_cast<QMouseEvent*>(event);
        const int row = view_->verticalHeader()->logicalIndexAt(press->position().toPoint());
        if (row >= 0 && row != view_->currentIndex().row() && !leaveRow(row)) return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace kv
