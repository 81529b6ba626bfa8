#include "grid/RecordsModel.h"
#include "tst_main_driver.h"

#include <QAbstractItemModelTester>

using namespace kv;
using namespace kv::test;

namespace {

// Three columns of rows in memory under bookmarks of their own (1000 + row), counting the rows read whole.
class MemorySource final : public GridDataSource {
public:
    explicit MemorySource(int rows) {
        for (int r = 0; r < rows; ++r)
            data.insert(1000 + r, {QString("r%1c0").arg(r), QString("r%1c1").arg(r), QString("r%1c2").arg(r)});
    }

    void readRows(RowBuffer& buffer, const QVariant& start, bool backwards) override {
        const QList<int> ids = data.keys();
        const int step = backwards ? -1 : 1;
        int at = start.isValid() ? ids.indexOf(start.toInt()) + step : (backwards ? ids.size() - 1 : 0);
        int n = 0;
        for (; n < buffer.rowsWanted() && at >= 0 && at < ids.size(); ++n, at += step) {
            buffer.setBookmark(n, ids[at]);
            if (buffer.bookmarksOnly()) continue;
            ++fullRows;
            for (int c = 0; c < 3; ++c) buffer.setValue(n, c, data[ids[at]][c]);
        }
        buffer.setRowCount(n);
    }
    QVariant position(const QVariant& start, int rows) override {
        const QList<int> ids = data.keys();
        const int at = (start.isValid() ? ids.indexOf(start.toInt()) : 0) + rows;
        return at >= 0 && at < ids.size() ? QVariant(ids[at]) : QVariant();
    }
    AddResult addRow(const RowBuffer& b) override {
        if (duringAdd) duringAdd();
        data.insert(nextId, {b.value(0, 0).toString(), b.value(0, 1).toString(), b.value(0, 2).toString()});
        return {StoreResult::Stored, nextId++};
    }
    // Records the cells handed over (null: not handed over) and the row's bookmark.
    StoreResult writeRow(const RowBuffer& b, const QVariant& bookmark) override {
        written.append({b.value(0, 0), b.value(0, 1), b.value(0, 2), bookmark});
        for (int c = 0; c < 3 && result == StoreResult::Stored; ++c)
            if (b.value(0, c).isValid()) data[bookmark.toInt()][c] = b.value(0, c).toString();
        return result;
    }
    bool deleteRow(const QVariant& bookmark) override { return data.remove(bookmark.toInt()) == 1; }

    QMap<int, QStringList> data;
    int fullRows = 0, nextId = 5000;
    StoreResult result = StoreResult::Stored;
    std::function<void()> duringAdd;
    QList<QVariantList> written;
};

// A grid of three columns over a memory source, shown in a window of its own; its model is checked
// against the item model rules through every change a test makes.
struct GridFixture : GridDriver {
    explicit GridFixture(int rows = 5) : source(rows) {
        driven = &grid;
        tester.emplace(grid.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        grid.setDataSource(&source);
        for (int c = 0; c < 3; ++c) {
            grid.addColumn(c);
            grid.setColumnCaption(c, QStringLiteral("Col %1").arg(c));
        }
        grid.resize(600, 400);
        showActive(grid);
        grid.reread();
    }

    ScriptedDesktop desktop;
    MemorySource source;
    RecordsGrid grid;
    std::optional<QAbstractItemModelTester> tester;
};

} // namespace

class RecordsGridTest : public QObject {
    Q_OBJECT
private slots:
    // Only bookmarks are read at reset, full rows only for rows shown, and few pages of them are kept.
    void readsFullRowsOnlyForRowsShownAndKeepsFewPages() {
        GridFixture f(20000);
        QCOMPARE(f.grid.rowCount(), 20000);
        f.source.fullRows = 0;
        QCOMPARE(f.shown(12345, 1), QString("r12345c1"));
        QCOMPARE(f.source.fullRows, RecordsModel::kPageRows);
        for (int r = 0; r < 20000; r += RecordsModel::kPageRows)
            QVERIFY(!f.shown(r, 0).isEmpty());
        // The page just read is still there; the first has left the cache.
        f.source.fullRows = 0;
        QCOMPARE(f.shown(19999, 2), QString("r19999c2"));
        QCOMPARE(f.source.fullRows, 0);
        QCOMPARE(f.shown(0, 0), QString("r0c0"));
        QCOMPARE(f.source.fullRows, RecordsModel::kPageRows);
    }

    // A changed row's changed cells are handed over together when the row is left; the window's check
    // before the update, then the source's answer, decide whether the cursor may leave.
    void storingAChangedRow_data() {
        QTest::addColumn<int>("result"); // -1: cancelled before the update
        QTest::newRow("row left") << int(StoreResult::Stored);
        QTest::newRow("cancelled: held in edit") << -1;
        QTest::newRow("refused: held in edit") << int(StoreResult::Refused);
    }
    void storingAChangedRow() {
        QFETCH(int, result);
        const bool held = result == -1 || result == int(StoreResult::Refused);
        GridFixture f;
        if (result < 0)
            QObject::connect(&f.grid, &RecordsGrid::beforeUpdate, [](bool& cancel) { cancel = true; });
        else
            f.source.result = StoreResult(result);
        f.edit(1, 0, "first");
        f.edit(1, 2, "third");
        QVERIFY(f.source.written.isEmpty()); // still the same row
        f.key(Qt::Key_Down);
        QCOMPARE(f.source.written,
                 result < 0 ? QList<QVariantList>() : QList<QVariantList>({{"first", QVariant(), "third", 1001}}));
        QCOMPARE(f.grid.currentRow(), held ? 1 : 2);
        QCOMPARE(f.shown(1, 0), QString("first"));
        QCOMPARE(f.grid.isEditing(), held);
        // Clicks on a cell or a row selector are held back the same way.
        f.click(3, 0);
        QCOMPARE(f.grid.currentRow(), held ? 1 : 3);
        f.clickSelector(4);
        QCOMPARE(f.grid.currentRow(), held ? 1 : 4);
    }

    // A cell typed back to its value is no change; Escape drops the cell, then the row.
    void undoneChangesWriteNothing() {
        GridFixture f;
        f.edit(2, 1, "other");
        f.edit(2, 1, "r2c1");
        QVERIFY(!f.grid.isEditing());

        f.edit(0, 0, "kept for now");
        f.click(0, 1);
        f.type("being typed");
        f.key(Qt::Key_Escape);
        QCOMPARE(f.shown(0, 1), QString("r0c1"));
        QCOMPARE(f.shown(0, 0), QString("kept for now"));
        f.key(Qt::Key_Escape);
        QCOMPARE(f.shown(0, 0), QString("r0c0"));
        QVERIFY(!f.grid.isEditing());
        f.key(Qt::Key_Down);
        QVERIFY(f.source.written.isEmpty());
    }

    // Whole rows are chosen by their selectors (Shift for a range, Ctrl to add or take one), by Ctrl+A, or by
    // Shift+Space over selected cells; cells alone choose no row unless they span every shown column. Delete
    // asks first.
    void deletingSelectedRows_data() {
        // Steps: a selector's row ("3"), with Shift ("+3") or Ctrl ("^3"); a cell ("c1.2"), with Shift or Ctrl
        // ("+c4.2", "^c4.2"); keys; "hide2" hides column 2.
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QVariantList>("bookmarks");
        QTest::addColumn<QString>("question");
        QTest::newRow("Shift and Ctrl") << QStringList{"1", "+3", "^5"} << QVariantList{1001, 1002, 1003, 1005}
                                        << "Delete the 4 selected records?";
        QTest::newRow("Shift upwards, Ctrl takes one out")
            << QStringList{"4", "+1", "^2"} << QVariantList{1001, 1003, 1004} << "Delete the 3 selected records?";
        QTest::newRow("Ctrl+A") << QStringList{"c2.1", "Ctrl+A"} << QVariantList{1000, 1001, 1002, 1003, 1004, 1005}
                                << "Delete the 6 selected records?";
        QTest::newRow("Shift+Space") << QStringList{"c1.1", "Shift+Down", "Shift+Space"} << QVariantList{1001, 1002}
                                     << "Delete the 2 selected records?";
        QTest::newRow("Shift+Space over cells apart and overlapping")
            << QStringList{"c1.1", "+c3.1", "^c2.2", "^c5.0", "Shift+Space"} << QVariantList{1001, 1002, 1003, 1005}
            << "Delete the 4 selected records?";
        QTest::newRow("cells only") << QStringList{"c1.1", "Shift+Down"} << QVariantList{} << "";
        QTest::newRow("cells across every shown column")
            << QStringList{"hide2", "c1.0", "+c2.1"} << QVariantList{1001, 1002} << "Delete the 2 selected records?";
    }
    void deletingSelectedRows() {
        QFETCH(QStringList, steps);
        QFETCH(QVariantList, bookmarks);
        QFETCH(QString, question);
        GridFixture f(6);
        for (QString step : steps) {
            if (step == "hide2") {
                f.grid.setColumnVisible(2, false);
            } else if (step == "Ctrl+A") {
                f.key(Qt::Key_A, Qt::ControlModifier);
            } else if (step.startsWith("Shift+")) {
                f.key(step.endsWith("Down") ? Qt::Key_Down : Qt::Key_Space, Qt::ShiftModifier);
            } else {
                const Qt::KeyboardModifiers held = step[0] == '+'   ? Qt::ShiftModifier
                                                   : step[0] == '^' ? Qt::ControlModifier
                                                                    : Qt::NoModifier;
                if (held != Qt::NoModifier) step.remove(0, 1);
                if (step.startsWith('c'))
                    f.click(step.mid(1).section('.', 0, 0).toInt(), step.section('.', 1).toInt(), held);
                else
                    f.clickSelector(step.toInt(), held);
            }
        }
        QCOMPARE(f.grid.selectedBookmarks(), bookmarks);
        f.desktop.answer(Answer::No);
        f.key(Qt::Key_Delete);
        QCOMPARE(f.desktop.prompts.isEmpty(), question.isEmpty());
        if (!question.isEmpty()) {
            QCOMPARE(f.desktop.last().text, question);
            QCOMPARE(f.desktop.last().buttons, Buttons::YesNo);
            QCOMPARE(f.desktop.last().icon, Icon::Question);
        }
        QCOMPARE(f.source.data.size(), 6);

        f.desktop.answer(Answer::Yes);
        f.key(Qt::Key_Delete);
        QCOMPARE(f.source.data.size(), 6 - bookmarks.size());
        for (const QVariant& b : bookmarks)
            QVERIFY(!f.source.data.contains(b.toInt()));
        QCOMPARE(f.grid.rowCount(), f.source.data.size());
        for (int r = 0; r < f.grid.rowCount(); ++r)
            QCOMPARE(f.shown(r, 0), f.source.data.values()[r][0]);
    }

    // A hidden column is not there for a screen reader: no cell, header or text of it, and the table counts
    // the shown columns only, in the order shown. A cell read before its column was hidden goes quiet.
    void hiddenColumnsAreNotThereForScreenReaders() {
        GridFixture f(3);
        QAccessibleTableInterface* table = QAccessible::queryAccessibleInterface(&f.view())->tableInterface();
        QAccessibleInterface* readBefore = table->cellAt(1, 1);
        QCOMPARE(readBefore->text(QAccessible::Name), QString("r1c1"));
        f.grid.setColumnVisible(1, false);
        QVERIFY(!readBefore->isValid());
        QCOMPARE(readBefore->text(QAccessible::Name), QString());
        const QStringList texts = f.accessibleTexts();
        QCOMPARE(texts.filter("c1"), QStringList());
        QVERIFY(!texts.contains("Col 1"));
        QVERIFY(texts.contains("r2c2") && texts.contains("Col 2"));
        QCOMPARE(table->columnCount(), 2);
        QCOMPARE(f.view().model()->index(1, 1).data(), QVariant());
        // Cells that span the shown columns are a selected row to a screen reader, as to the grid.
        f.click(2, 0);
        f.click(2, 2, Qt::ShiftModifier);
        QCOMPARE(table->selectedRows(), QList<int>{2});
        QVERIFY(table->isRowSelected(2) && !table->isRowSelected(1));

        f.grid.setColumnVisible(1, true);
        QVERIFY(f.accessibleTexts().contains("r1c1"));
        f.view().horizontalHeader()->moveSection(2, 0);
        QCOMPARE(table->cellAt(0, 0)->text(QAccessible::Name), QString("r0c2"));
        QCOMPARE(table->cellAt(0, 0)->tableCellInterface()->columnIndex(), 0);
    }

    // While the source stores a row (and may be asking the user something), painting must not move it.
    void noRowsAreReadWhileTheSourceStoresARow() {
        GridFixture f(500);
        int reads = -1;
        f.source.duringAdd = [&] {
            f.source.fullRows = 0;
            f.shown(250, 0); // a row never shown so far
            reads = f.source.fullRows;
        };
        f.grid.moveRows(500);
        f.type("x");
        f.key(Qt::Key_Return);
        f.key(Qt::Key_Return);
        QCOMPARE(reads, 0);
        QCOMPARE(f.shown(250, 0), QString("r250c0"));
    }

    // Down from a new row stores it and stands on the next new row, with the editor open or closed.
    void downStoresANewRow() {
        GridFixture f(2);
        int moves = 0;
        QObject::connect(&f.grid, &RecordsGrid::rowChanged, [&moves] { ++moves; });
        for (const bool editorOpen : {false, true}) {
            const int rows = f.grid.rowCount();
            f.grid.moveRows(rows);
            moves = 0;
            f.type("new");
            if (!editorOpen) f.key(Qt::Key_Return);
            f.key(Qt::Key_Down);
            QCOMPARE(f.grid.rowCount(), rows + 1);
            QCOMPARE(f.source.data.last().first(), QString("new"));
            QVERIFY(f.grid.isAddNewRow());
            QVERIFY(!f.grid.isEditing());
            QCOMPARE(moves, 1);
        }
    }

    // The moves find and the toolbar make: past the last row is the add-new row, which has no bookmark.
    void movesReachTheAddNewRowAfterTheLast() {
        GridFixture f(5);
        f.grid.setColumnFormat(1, [](const QVariant& v) { return "<" + v.toString() + ">"; });
        f.grid.moveRows(4);
        QCOMPARE(f.grid.cellText(1), QString("<r4c1>"));
        f.grid.moveNext();
        QVERIFY(f.grid.isAddNewRow());
        QCOMPARE(f.grid.currentBookmark(), QVariant());
        f.grid.setCurrentBookmark(1001);
        QCOMPARE(f.grid.currentRow(), 1);
        // Never into a hidden column, where typing would change a value nobody sees.
        f.grid.setCurrentColumn(2);
        f.grid.setColumnVisible(1, false);
        f.grid.setCurrentColumn(1);
        QCOMPARE(f.grid.currentColumn(), 2);
    }
};

QTEST_MAIN(RecordsGridTest)
#include "tst_recordsgrid.moc"
