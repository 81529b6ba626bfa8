#include "grid/RecordsModel.h"

#include "grid/RecordsGrid.h"

#include <QBrush>
#include <utility>

namespace kv {

namespace {

// Rows of bookmarks asked for at a time when the grid re-reads its rows.
constexpr int kBookmarkPage = 8192;

// Row selector marks: the current row, the row with unsaved changes, the add-new row.
const QString kCurrentMark = QStringLiteral("\u25B8");
const QString kEditMark = QStringLiteral("\u270E");
const QString kAddNewMark = QStringLiteral("*");

bool sameText(const QVariant& a, const QVariant& b) {
    return a.toString() == b.toString();
}

} // namespace

RecordsModel::RecordsModel(RecordsGrid* grid) : QAbstractTableModel(grid), grid_(grid) {}

int RecordsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || held_ ? 0 : dataRows() + (allowAddNew_ ? 1 : 0);
}

int RecordsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(columns_.size());
}

QVariant RecordsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const int row = index.row();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        // A hidden column (the passwords, say) gives its text to nobody: not to a screen reader either.
        if (!columns_[index.column()].visible) return {};
        return text(row, index.column());
    case Qt::EditRole:
        return value(row, index.column()).toString();
    case Qt::BackgroundRole: {
        // Rows count from 1, so the first row is an odd one.
        const QColor& c = row % 2 == 0 ? backOdd_ : backEven_;
        return c.isValid() ? QVariant(QBrush(c)) : QVariant();
    }
    case Qt::ForegroundRole: {
        const QColor& c = row % 2 == 0 ? foreOdd_ : foreEven_;
        return c.isValid() ? QVariant(QBrush(c)) : QVariant();
    }
    default:
        return {};
    }
}

bool RecordsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    if (!(flags(index) & Qt::ItemIsEditable)) return false;
    return grid_->storeCell(index.row(), index.column(), value);
}

Qt::ItemFlags RecordsModel::flags(const QModelIndex& index) const {
    if (!index.isValid() || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!columns_[index.column()].locked) f |= Qt::ItemIsEditable;
    return f;
}

QVariant RecordsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < columns_.size() ? QVariant(columns_[section].caption) : QVariant();
    if (section < 0 || section >= rowCount()) return {};
    if (section == editRow_) return kEditMark;
    if (section == markerRow_) return kCurrentMark;
    if (isAddNewRow(section)) return kAddNewMark;
    return QString();
}

void RecordsModel::removeAllColumns() {
    beginResetModel();
    columns_.clear();
    clearPages();
    editRow_ = -1;
    adding_ = false;
    edited_.clear();
    endResetModel();
}

void RecordsModel::insertGridColumn(int index) {
    index = qBound(0, index, int(columns_.size()));
    beginInsertColumns({}, index, index);
    columns_.insert(index, GridColumn{});
    // Cached pages and the edit are laid out by column; both are read again.
    clearPages();
    if (editRow_ >= 0) edited_.insert(index, QVariant());
    endInsertColumns();
}

void RecordsModel::changeColumn(int c, const std::function<void(GridColumn&)>& change) {
    if (c < 0 || c >= columns_.size()) return;
    change(columns_[c]);
    emit headerDataChanged(Qt::Horizontal, c, c);
    if (rowCount() > 0) emit dataChanged(index(0, c), index(rowCount() - 1, c));
}

void RecordsModel::setAllowAddNew(bool allow) {
    if (allow == allowAddNew_) return;
    beginResetModel();
    allowAddNew_ = allow;
    if (adding_) dropEdit();
    endResetModel();
}

void RecordsModel::reread() {
    beginResetModel();
    bookmarks_.clear();
    clearPages();
    editRow_ = -1;
    adding_ = false;
    edited_.clear();
    markerRow_ = -1;
    if (source_ && !held_) {
        // Only the bookmarks: the cells of a row are read when it is first shown.
        QVariant after;
        for (;;) {
            RowBuffer buffer(kBookmarkPage, int(columns_.size()), true);
            withSource([&](GridDataSource& s) { s.readRows(buffer, after, false); });
            for (int r = 0; r < buffer.rowCount(); ++r)
                bookmarks_.append(buffer.bookmark(r));
            if (buffer.rowCount() < kBookmarkPage || !buffer.bookmark(buffer.rowCount() - 1).isValid()) break;
            after = buffer.bookmark(buffer.rowCount() - 1);
        }
    }
    endResetModel();
}

void RecordsModel::holdRows() {
    if (held_) return;
    beginResetModel();
    if (editRow_ >= 0) heldEdit_ = HeldEdit{adding_ ? QVariant() : bookmarkAt(editRow_), adding_, edited_};
    held_ = true;
    bookmarks_ = {};
    clearPages();
    editRow_ = -1;
    adding_ = false;
    edited_.clear();
    markerRow_ = -1;
    endResetModel();
}

void RecordsModel::releaseRows() {
    if (!held_) return;
    held_ = false;
    reread();
    const std::optional<HeldEdit> edit = std::exchange(heldEdit_, std::nullopt);
    // The columns are as they were unless someone rebuilt them meanwhile; then the edit has nowhere to go.
    if (!edit || edit->edited.size() != columns_.size()) return;
    const int row = edit->adding ? (allowAddNew_ ? dataRows() : -1) : rowOfBookmark(edit->bookmark);
    if (row < 0) return;
    editRow_ = row;
    adding_ = edit->adding;
    edited_ = edit->edited;
    emitRowChanged(row);
}

QVariant RecordsModel::bookmarkAt(int row) const {
    return row >= 0 && row < bookmarks_.size() ? bookmarks_[row] : QVariant();
}

int RecordsModel::rowOfBookmark(const QVariant& bookmark) const {
    if (!bookmark.isValid()) return -1;
    return int(bookmarks_.indexOf(bookmark));
}

std::vector<int> RecordsModel::rowsByBookmark() const {
    int highest = -1;
    for (const QVariant& bookmark : bookmarks_) {
        if (bookmark.typeId() != QMetaType::Int || bookmark.toInt() < 0) return {};
        highest = std::max(highest, bookmark.toInt());
    }
    if (highest > 4 * dataRows() + 1024) return {};
    std::vector<int> rows(std::size_t(highest + 1), -1);
    for (int r = 0; r < dataRows(); ++r)
        rows[std::size_t(bookmarks_[r].toInt())] = r;
    return rows;
}

const RecordsModel::Page* RecordsModel::page(int pageIndex) const {
    if (auto it = pages_.find(pageIndex); it != pages_.end()) {
        it->used = ++useClock_;
        return &*it;
    }
    // While the source is busy storing a row (and maybe asking the user something), it is not moved.
    if (!source_ || sourceBusy_) return nullptr;
    if (pages_.size() >= kMaxPages) {
        auto oldest = pages_.begin();
        for (auto it = pages_.begin(); it != pages_.end(); ++it)
            if (it->used < oldest->used) oldest = it;
        pages_.erase(oldest);
    }
    const int first = pageIndex * kPageRows;
    const int rows = qMin(kPageRows, dataRows() - first);
    const int columns = int(columns_.size());
    RowBuffer buffer(rows, columns);
    auto* self = const_cast<RecordsModel*>(this);
    self->withSource(
        [&](GridDataSource& s) { s.readRows(buffer, first == 0 ? QVariant() : bookmarks_[first - 1], false); });
    Page p;
    p.cells.resize(kPageRows * columns);
    for (int r = 0; r < buffer.rowCount(); ++r)
        for (int c = 0; c < columns; ++c)
            p.cells[r * columns + c] = buffer.value(r, c);
    // Rows the source could not read (it has said why) are not shown as empty records. The source reads
    // onwards from the last row it gave, so none after them can be shown either. Not while the view is
    // asking for data: once it is through.
    if (buffer.rowCount() < rows)
        QMetaObject::invokeMethod(
            self, [self, kept = first + buffer.rowCount()] { self->dropRowsFrom(kept); }, Qt::QueuedConnection);
    p.used = ++useClock_;
    return &*pages_.insert(pageIndex, std::move(p));
}

void RecordsModel::dropRowsFrom(int kept) {
    if (kept < 0 || kept >= dataRows() || (hasEdit() && editRow_ >= kept)) return;
    beginRemoveRows({}, kept, dataRows() - 1);
    bookmarks_.resize(kept);
    clearPages();
    if (markerRow_ >= kept) markerRow_ = -1;
    endRemoveRows();
}

QVariant RecordsModel::storedValue(int row, int column) const {
    if (row < 0 || row >= dataRows() || column < 0 || column >= columns_.size()) return {};
    const Page* p = page(row / kPageRows);
    return p ? p->cells[(row % kPageRows) * columns_.size() + column] : QVariant();
}

QVariant RecordsModel::value(int row, int column) const {
    if (row == editRow_ && column >= 0 && column < edited_.size() && edited_[column].isValid()) return edited_[column];
    return storedValue(row, column);
}

QString RecordsModel::text(int row, int column) const {
    if (column < 0 || column >= columns_.size()) return {};
    const QVariant v = value(row, column);
    const auto& format = columns_[column].format;
    return format ? format(v) : v.toString();
}

bool RecordsModel::isDirty() const {
    if (editRow_ < 0) return false;
    for (const QVariant& v : edited_)
        if (v.isValid()) return true;
    return false;
}

void RecordsModel::beginAdd() {
    if (!allowAddNew_) return;
    editRow_ = dataRows();
    adding_ = true;
    edited_ = QVector<QVariant>(columns_.size());
    emit headerDataChanged(Qt::Vertical, editRow_, editRow_);
}

void RecordsModel::setEditValue(int row, int column, const QVariant& v) {
    if (column < 0 || column >= columns_.size()) return;
    if (editRow_ != row) {
        editRow_ = row;
        adding_ = isAddNewRow(row);
        edited_ = QVector<QVariant>(columns_.size());
        emit headerDataChanged(Qt::Vertical, row, row);
    }
    // Typing a cell back to what is stored is no change at all.
    const bool unchanged = adding_ ? false : sameText(storedValue(row, column), v);
    edited_[column] = unchanged ? QVariant() : QVariant(v.toString());
    emit dataChanged(index(row, column), index(row, column));
    // A stored row with nothing changed is not in edit.
    if (!adding_ && !isDirty()) dropEdit();
}

RowBuffer RecordsModel::editBuffer() const {
    RowBuffer buffer(1, int(columns_.size()));
    for (int c = 0; c < edited_.size(); ++c)
        buffer.setValue(0, c, edited_[c]);
    buffer.setRowCount(1);
    return buffer;
}

void RecordsModel::dropEdit() {
    const int row = editRow_;
    editRow_ = -1;
    adding_ = false;
    edited_.clear();
    if (row >= 0 && row < rowCount()) emitRowChanged(row);
}

void RecordsModel::addStoredRow(const QVariant& bookmark) {
    // The add-new row empties, and the stored row goes in above it.
    dropEdit();
    const int row = dataRows();
    beginInsertRows({}, row, row);
    bookmarks_.append(bookmark);
    pages_.remove(row / kPageRows);
    endInsertRows();
}

void RecordsModel::refreshRow(int row) {
    pages_.remove(row / kPageRows);
    if (row >= 0 && row < rowCount()) emitRowChanged(row);
}

void RecordsModel::removeDataRow(int row) {
    if (row < 0 || row >= dataRows()) return;
    beginRemoveRows({}, row, row);
    bookmarks_.remove(row);
    // Rows below have moved up: their pages no longer line up.
    for (auto it = pages_.begin(); it != pages_.end();)
        it = it.key() >= row / kPageRows ? pages_.erase(it) : std::next(it);
    if (editRow_ > row) --editRow_;
    if (markerRow_ > row) --markerRow_;
    endRemoveRows();
}

void RecordsModel::setMarkerRow(int row) {
    const int old = markerRow_;
    markerRow_ = row;
    if (old >= 0 && old < rowCount()) emit headerDataChanged(Qt::Vertical, old, old);
    if (row >= 0 && row < rowCount()) emit headerDataChanged(Qt::Vertical, row, row);
}

void RecordsModel::setRowColors(const QColor& backOdd, const QColor& foreOdd, const QColor& backEven,
                                const QColor& foreEven) {
    backOdd_ = backOdd;
    foreOdd_ = foreOdd;
    backEven_ = backEven;
    foreEven_ = foreEven;
    if (rowCount() > 0 && columnCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

void RecordsModel::emitRowChanged(int row) {
    if (columnCount() > 0) emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    emit headerDataChanged(Qt::Vertical, row, row);
}

} // namespace kv
