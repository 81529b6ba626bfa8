// Choosing rows in the records grid at scale, as the keyboard and the row selectors do it: Ctrl+A over
// every row, a Shift+click on the last row selector after a click on the first, and Shift+Space over a
// column of cells selected from the first row to the last. Each is timed up to the repainted grid, with the
// program telling a screen reader what changed.

#include "BenchSupport.h"

#include "grid/RecordsGrid.h"
#include "mainwindow/frmMain.h"

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QMouseEvent>
#include <QTableView>
#include <QTest>
#include <memory>

namespace kv::bench {
namespace {

void repaint(QTableView* view) {
    QApplication::processEvents();
    view->viewport()->repaint();
    view->verticalHeader()->viewport()->repaint();
}

void clickSelector(QTableView* view, int row, Qt::KeyboardModifiers modifiers) {
    QHeaderView* header = view->verticalHeader();
    view->scrollTo(view->model()->index(row, 1));
    const QPoint at(header->width() / 2, header->sectionViewportPosition(row) + header->sectionSize(row) / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, modifiers, at);
}

void clickCell(QTableView* view, int row, int column, Qt::KeyboardModifiers modifiers) {
    const QModelIndex index = view->model()->index(row, column);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, view->visualRect(index).center());
}

// Times `command`, then checks that the grid reports `expected` selected rows.
bool timed(const char* measure, int records, RecordsGrid& grid, int expected, const std::function<void()>& command) {
    QElapsedTimer timer;
    timer.start();
    command();
    repaint(grid.view());
    report(measure, records, timer.nsecsElapsed() / 1e9, "s");
    const qsizetype selected = grid.selectedBookmarks().size();
    if (selected == expected) return true;
    std::fprintf(stderr, "%s: %lld rows selected, not %d\n", measure, static_cast<long long>(selected), expected);
    return false;
}

int measureSelection(const QString& folder, int records) {
    // As for a user with a screen reader: the table then tells it about every change of the selection.
    QAccessible::setActive(true);
    OpenedDatabase opened(folder);
    auto form = std::make_unique<frmMain>();
    form->show();
    RecordsGrid& grid = *form->grid();
    QTableView* view = grid.view();
    view->setFocus();
    repaint(view);
    const int last = records - 1;
    bool ok = true;

    ok &= timed("select_all_rows", records, grid, records,
                [&] { QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier); });

    clickSelector(view, 0, Qt::NoModifier);
    repaint(view);
    ok &= timed("shift_click_rows", records, grid, records, [&] { clickSelector(view, last, Qt::ShiftModifier); });

    clickCell(view, 0, 2, Qt::NoModifier);
    clickCell(view, last, 2, Qt::ShiftModifier);
    repaint(view);
    ok &=
        timed("shift_space", records, grid, records, [&] { QTest::keyClick(view, Qt::Key_Space, Qt::ShiftModifier); });

    return ok ? 0 : 1;
}

} // namespace

KV_BENCH_SUITE("selection", {10000, 100000}, measureSelection);

} // namespace kv::bench
