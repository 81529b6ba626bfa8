#pragma once

#include "store/GridDataSource.h"

#include <QColor>
#include <QObject>
#include <QStringList>
#include <QVector>

class QComboBox;
class QStandardItemModel;
class QWidget;

namespace kv {

// A list attached to a grid column: it reads its rows from a data source of its own, shows them in the
// cell's editor, and the value of its list field goes into the cell. The editor still takes a typed value
// that is not in the list.
class GridDropDown : public QObject {
    Q_OBJECT
public:
    explicit GridDropDown(QObject* parent = nullptr);

    void setDataSource(GridDataSource* source) { source_ = source; }

    void removeAllColumns();
    void addColumn(int index);
    void setColumnCaption(int column, const QString& caption);
    void setColumnVisible(int column, bool visible);
    int columnCount() const { return int(columns_.size()); }
    QString columnCaption(int column) const;
    // The column whose value a pick puts into the grid's cell.
    void setListField(int column) { listField_ = column; }
    int listField() const { return listField_; }

    // Colours as 0x00BBGGRR values, as the grid's.
    void setRowColors(qint64 backOdd, qint64 foreOdd, qint64 backEven, qint64 foreEven);

    // Reads the rows again.
    void refresh();
    // The list field's value of every row, in order.
    QStringList items() const;
    bool isOpen() const { return open_; }

    // The editor of a cell of the attached column: an editable combo box over the list.
    QComboBox* createEditor(QWidget* parent);

signals:
    void opened();
    void closed();

private:
    friend class DropDownEditor;
    void setOpen(bool open);

    struct Column {
        QString caption;
        bool visible = true;
    };

    GridDataSource* source_ = nullptr;
    QVector<Column> columns_;
    int listField_ = 0;
    QList<QVector<QVariant>> rows_;
    QColor backOdd_, foreOdd_, backEven_, foreEven_;
    bool open_ = false;
};

} // namespace kv
