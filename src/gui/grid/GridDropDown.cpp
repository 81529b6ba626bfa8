#include "grid/GridDropDown.h"

#include "platform/Units.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QStandardItemModel>
#include <QTableView>

namespace kv {

namespace {
constexpr int kReadPage = 256;
}

// The combo box a cell is edited in; it tells its list when the list is shown and hidden.
class DropDownEditor final : public QComboBox {
public:
    DropDownEditor(GridDropDown* list, QWidget* parent) : QComboBox(parent), list_(list) {}
    ~DropDownEditor() override {
        if (list_ && shown_) list_->setOpen(false);
    }
    void showPopup() override {
        shown_ = true;
        if (list_) list_->setOpen(true);
        QComboBox::showPopup();
    }
    void hidePopup() override {
        QComboBox::hidePopup();
        shown_ = false;
        if (list_) list_->setOpen(false);
    }

private:
    QPointer<GridDropDown> list_;
    bool shown_ = false;
};

GridDropDown::GridDropDown(QObject* parent) : QObject(parent) {}

void GridDropDown::removeAllColumns() {
    columns_.clear();
    rows_.clear();
}

void GridDropDown::addColumn(int index) {
    columns_.insert(qBound(0, index, int(columns_.size())), Column{});
}

void GridDropDown::setColumnCaption(int column, const QString& caption) {
    if (column >= 0 && column < columns_.size()) columns_[column].caption = caption;
}

void GridDropDown::setColumnVisible(int column, bool visible) {
    if (column >= 0 && column < columns_.size()) columns_[column].visible = visible;
}

QString GridDropDown::columnCaption(int column) const {
    return column >= 0 && column < columns_.size() ? columns_[column].caption : QString();
}

void GridDropDown::setRowColors(qint64 backOdd, qint64 foreOdd, qint64 backEven, qint64 foreEven) {
    backOdd_ = colorFromBgr(backOdd);
    foreOdd_ = colorFromBgr(foreOdd);
    backEven_ = colorFromBgr(backEven);
    foreEven_ = colorFromBgr(foreEven);
}

void GridDropDown::refresh() {
    rows_.clear();
    if (!source_ || columns_.isEmpty()) return;
    QVariant after;
    for (;;) {
        RowBuffer buffer(kReadPage, int(columns_.size()));
        source_->readRows(buffer, after, false);
        for (int r = 0; r < buffer.rowCount(); ++r) {
            QVector<QVariant> row(columns_.size());
            for (int c = 0; c < columns_.size(); ++c)
                row[c] = buffer.value(r, c);
            rows_.append(row);
        }
        if (buffer.rowCount() < kReadPage || !buffer.bookmark(buffer.rowCount() - 1).isValid()) break;
        after = buffer.bookmark(buffer.rowCount() - 1);
    }
}

QStringList GridDropDown::items() const {
    QStringList out;
    for (const auto& row : rows_)
        out.append(listField_ >= 0 && listField_ < row.size() ? row[listField_].toString() : QString());
    return out;
}

QComboBox* GridDropDown::createEditor(QWidget* parent) {
    refresh();
    auto* combo = new DropDownEditor(this, parent);
    combo->setObjectName(objectName() + QStringLiteral("Editor"));
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    // No filling in as the user types: a new group name that begins like an existing one must stay as
    // typed, so that saving it asks to create the group instead of filing the record under the other one.
    combo->setCompleter(nullptr);
    combo->setFrame(false);

    auto* list = new QStandardItemModel(int(rows_.size()), int(columns_.size()), combo);
    for (int c = 0; c < columns_.size(); ++c)
        list->setHeaderData(c, Qt::Horizontal, columns_[c].caption);
    for (int r = 0; r < rows_.size(); ++r) {
        const bool odd = r % 2 == 0; // rows count from 1
        for (int c = 0; c < columns_.size(); ++c) {
            auto* item = new QStandardItem(rows_[r][c].toString());
            if (const QColor& back = odd ? backOdd_ : backEven_; back.isValid()) item->setBackground(back);
            if (const QColor& fore = odd ? foreOdd_ : foreEven_; fore.isValid()) item->setForeground(fore);
            list->setItem(r, c, item);
        }
    }
    // A table under the cell shows every column of the list under its caption.
    auto* view = new QTableView(combo);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->verticalHeader()->hide();
    view->horizontalHeader()->setStretchLastSection(true);
    view->setShowGrid(false);
    combo->setModel(list);
    combo->setView(view);
    for (int c = 0; c < columns_.size(); ++c)
        view->setColumnHidden(c, !columns_[c].visible);
    combo->setModelColumn(qBound(0, listField_, qMax(0, int(columns_.size()) - 1)));
    combo->setCurrentIndex(-1);
    return combo;
}

void GridDropDown::setOpen(bool open) {
    if (open == open_) return;
    open_ = open;
    if (open)
        emit opened();
    else
        emit closed();
}

} // namespace kv
