// The main window at scale: how long it takes to show its first page, to scroll to the last record and to
// switch to one group, and the process's peak memory.

#include "BenchSupport.h"

#include "grid/RecordsGrid.h"
#include "mainwindow/frmMain.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTableView>
#include <memory>

namespace kv::bench {
namespace {

// Shows the rows on screen now, reading whatever they need.
void paint(frmMain& form) {
    QApplication::processEvents();
    form.grid()->view()->viewport()->repaint();
}

int measureMainWindow(const QString& folder, int records) {
    QElapsedTimer timer;
    timer.start();
    OpenedDatabase opened(folder);
    auto form = std::make_unique<frmMain>();
    form->show();
    paint(*form);
    report("open_first_page", records, timer.nsecsElapsed() / 1e9, "s");
    if (form->grid()->rowCount() != records) {
        std::fprintf(stderr, "the grid shows %d rows, not %d\n", form->grid()->rowCount(), records);
        return 1;
    }

    QTableView* view = form->grid()->view();
    view->setFocus();
    timer.restart();
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
    QApplication::sendEvent(view, &end);
    paint(*form);
    report("scroll_to_end", records, timer.nsecsElapsed() / 1e9, "s");

    QComboBox* combo = form->groupCombo();
    const int index = combo->findText(groupName(kGroups / 2));
    timer.restart();
    combo->setCurrentIndex(index);
    emit combo->activated(index);
    paint(*form);
    report("group_switch", records, timer.nsecsElapsed() / 1e9, "s");

    timer.restart();
    combo->setCurrentIndex(0);
    emit combo->activated(0);
    paint(*form);
    report("group_switch_all", records, timer.nsecsElapsed() / 1e9, "s");

    report("peak_rss", records, peakRssMegabytes(), "MB");
    return 0;
}

} // namespace

KV_BENCH_SUITE("mainwindow", {1000, 10000, 100000}, measureMainWindow);

} // namespace kv::bench
