#include "support/FakeGrid.h"

namespace kv::test {

FakeGrid::FakeGrid(QStringList c, QList<QStringList> r) : captions(std::move(c)), rows(std::move(r)) {
    row = rows.isEmpty() ? -1 : 0;
}

QVariant FakeGrid::currentBookmark() const {
    return row >= 0 && row < rows.size() ? QVariant(row + 1) : QVariant();
}

void FakeGrid::setCurrentBookmark(const QVariant& bookmark) {
    const int b = bookmark.toInt();
    if (b >= 1 && b <= rows.size()) row = b - 1;
}

void FakeGrid::moveNext() {
    if (row < rows.size()) ++row;
}

void FakeGrid::moveRows(int n) { row = std::clamp(row + n, 0, int(rows.size())); }

QString FakeGrid::cellText(int c) const {
    if (row < 0 || row >= rows.size() || c < 0 || c >= rows[row].size()) return {};
    return rows[row][c];
}

void FakeGrid::setColumnVisible(int c, bool visible) {
    visibilityLog.append((visible ? QStringLiteral("+") : QStringLiteral("-")) + QString::number(c));
    if (visible)
        hidden.remove(c);
    else
        hidden.insert(c);
}

QList<QVariant> FakeGrid::selectedBookmarks() const {
    QList<int> sorted(selected.begin(), selected.end());
    std::sort(sorted.begin(), sorted.end());
    QList<QVariant> out;
    for (int r : sorted) out.append(r + 1);
    return out;
}

bool FakeGrid::scanRows(const std::function<bool(int, const GridRowTexts&)>& visit,
                        const std::function<bool(qint64)>& progress) {
    struct Texts final : GridRowTexts {
        const QStringList& cells;
        explicit Texts(const QStringList& c) : cells(c) {}
        QString text(int column) const override { return cells.value(column); }
    };
    for (int r = 0; r < rows.size(); ++r) {
        if (!visit(r, Texts(rows[r]))) break;
        if (progress && !progress(r + 1)) return false;
    }
    return true;
}

bool FakeGrid::exportRows(ExportFormat format, ExportRows which, const QString& path, const QString& templatePath,
                          const std::function<bool(qint64)>& progress) {
    QList<int> columns;
    QStringList shownCaptions;
    for (int c = 0; c < captions.size(); ++c)
        if (isColumnVisible(c)) {
            columns.append(c);
            shownCaptions.append(captions[c]);
        }
    exportedColumns.append(columns);
    QList<QStringList> out;
    for (int r = 0; r < rows.size(); ++r) {
        const bool isSelected = selected.contains(r);
        if ((which == ExportRows::Selected && !isSelected) || (which == ExportRows::NotSelected && isSelected))
            continue;
        QStringList cells;
        for (int c : columns) cells.append(rows[r].value(c));
        out.append(cells);
    }
    if (progress && !progress(rows.size())) return false;
    writeExport(format, path, templatePath, shownCaptions, out);
    return true;
}

} // namespace kv::test
