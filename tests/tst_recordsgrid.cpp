// keyvale_gui
#include "mainwindow/RecordsGrid.h"
#include "mainwindow/RecordsModel.h"
#include "support/ScriptedDesktop.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace kv;
using kv::test::ScriptedDesktop;

namespace {

// Rows in memory with bookmarks of their own (not row numbers), counting what the grid asks for.
class MemorySource final : public GridDataSource {
public:
    explicit MemorySource(int rows, int columns = 3) : columns_(columns) {
        for (int r = 0; r < rows; ++r) {
            QVector<QVariant> cells(columns);
            for (int c = 0; c < columns; ++c)
                cells[c] = QStringLiteral("r%1c%2").arg(r).arg(c);
            data.append({1000 + r, cells});
        }
    }

    void readRows(RowBuffer& buffer, const QVariant& start, bool backwards) override {
        ++reads;
        int at = start.isValid() ? indexOf(start) + (backwards ? -1 : 1) : (backwards ? int(data.size()) - 1 : 0);
        int n = 0;
        for (; n < buffer.rowsWanted() && at >= 0 && at < data.size(); ++n, at += backwards ? -1 : 1) {
            buffer.setBookmark(n, data[at].id);
            if (!buffer.bookmarksOnly()) {
                ++fullRows;
                for (int c = 0; c < columns_; ++c)
                    buffer.setValue(n, c, data[at].cells[c]);
            }
        }
        buffer.setRowCount(n);
    }
    QVariant position(const QVariant& start, int rows) override {
        const int at = (start.isValid() ? indexOf(start) : 0) + rows;
        return at >= 0 && at < data.size() ? QVariant(data[at].id) : QVariant();
    }
    AddResult addRow(const RowBuffer& b) override {
        added.append(cellsOf(b));
        if (result != StoreResult::Stored) return {result, {}};
        QVector<QVariant> cells(columns_);
        for (int c = 0; c < columns_; ++c)
            cells[c] = b.value(0, c).isValid() ? b.value(0, c) : QVariant(QString());
        data.append({nextId, cells});
        return {StoreResult::Stored, nextId++};
    }
    StoreResult writeRow(const RowBuffer& b, const QVariant& bookmark) override {
        written.append(cellsOf(b));
        writtenAt.append(bookmark);
        if (result == StoreResult::Stored)
            for (int c = 0; c < columns_; ++c)
                if (b.value(0, c).isValid()) data[indexOf(bookmark)].cells[c] = b.value(0, c);
        return result;
    }
    bool deleteRow(const QVariant& bookmark) override {
        deleted.append(bookmark);
        if (bookmark == refuseDelete) return false;
        data.removeAt(indexOf(bookmark));
        return true;
    }

    struct Row {
        int id;
        QVector<QVariant> cells;
    };
    QList<Row> data;
    int reads = 0, fullRows = 0;
    StoreResult result = StoreResult::Stored;
    QVariant refuseDelete;
    QList<QStringList> added, written; // "(null)" for a cell not handed over
    QVariantList writtenAt, deleted;
    int nextId = 5000;

private:
    int indexOf(const QVariant& bookmark) const {
        for (int i = 0; i < data.size(); ++i)
            if (data[i].id == bookmark.toInt()) return i;
        return -1;
    }
    QStringList cellsOf(const RowBuffer& b) const {
        QStringList out;
        for (int c = 0; c < columns_; ++c)
            out << (b.value(0, c).isValid() ? b.value(0, c).toString() : "(null)");
        return out;
    }
    int columns_;
};

// A grid of three columns over a memory source, shown in a window of its own.
struct GridFixture {
    explicit GridFixture(int rows = 5) : source(rows) {
        grid = std::make_unique<RecordsGrid>();
        grid->setDataSource(&source);
        for (int c = 0; c < 3; ++c) {
            grid->addColumn(c);
            grid->setColumnCaption(c, QStringLiteral("Col %1").arg(c));
        }
        grid->resize(600, 400);
        grid->show();
        QApplication::setActiveWindow(grid.get());
        if (!QTest::qWaitForWindowActive(grid.get())) qWarning("grid window not active");
        grid->reread();
    }
    QTableView& view() const { return *grid->view(); }
    QAbstractItemModel& model() const { return *grid->model(); }
    QString shown(int row, int column) const { return model().index(row, column).data().toString(); }

    void click(int row, int column) const {
        const QModelIndex index = model().index(row, column);
        view().scrollTo(index);
        QTest::mouseClick(view().viewport(), Qt::LeftButton, {}, view().visualRect(index).center());
    }
    void clickSelector(int row, Qt::KeyboardModifiers modifiers = {}) const {
        QHeaderView* header = view().verticalHeader();
        const QPoint at(header->width() / 2, header->sectionViewportPosition(row) + header->sectionSize(row) / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, modifiers, at);
    }
    QWidget* keyTarget() const {
        QWidget* focus = QApplication::focusWidget();
        return focus && view().isAncestorOf(focus) ? focus : &view();
    }
    // Enter in a cell editor stores the cell once events are processed, as in the running program.
    void key(Qt::Key k) const {
        QTest::keyClick(keyTarget(), k);
        QApplication::processEvents();
    }
    void type(const QString& text) const {
        for (const QChar c : text)
            QTest::keyClicks(keyTarget(), QString(c));
    }
    void edit(int row, int column, const QString& text) const {
        click(row, column);
        type(text);
        key(Qt::Key_Return);
    }

    ScriptedDesktop desktop;
    MemorySource source;
    std::unique_ptr<RecordsGrid> grid;
};

} // namespace

class RecordsGridTest : public QObject {
    Q_OBJECT
private slots:
    void modelKeepsItsContractThroughEditsAddsAndDeletes() {
        GridFixture f(4);
        QAbstractItemModelTester tester(&f.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        f.edit(1, 1, "changed");
        f.key(Qt::Key_Down);
        f.edit(4, 0, "new");
        f.key(Qt::Key_Up);
        QCOMPARE(f.grid->rowCount(), 5);
        f.clickSelector(0);
        f.desktop.answer(Answer::Yes);
        f.grid->deleteSelectedRows();
        QCOMPARE(f.grid->rowCount(), 4);
        f.grid->setColumnVisible(2, false);
        f.grid->addColumn(3);
        f.grid->reread();
    }

    // The grid reads only bookmarks at reset, full rows only for rows shown, and keeps few of them.
    void readsFullRowsOnlyForRowsShownAndKeepsFewPages() {
        GridFixture f(0);
        f.source = MemorySource(20000);
        f.grid->reread();
        QCOMPARE(f.grid->rowCount(), 20000);
        f.source.fullRows = 0;
        QCOMPARE(f.shown(12345, 1), QString("r12345c1"));
        QCOMPARE(f.source.fullRows, RecordsModel::kPageRows);
        f.source.fullRows = 0;
        for (int r = 0; r < 20000; r += RecordsModel::kPageRows)
            QVERIFY(!f.shown(r, 0).isEmpty());
        QCOMPARE(f.source.fullRows, 20000);
        // A row read long ago has left the cache; a row just read has not.
        f.source.fullRows = 0;
        QCOMPARE(f.shown(19999, 2), QString("r19999c2"));
        QCOMPARE(f.source.fullRows, 0);
        QCOMPARE(f.shown(0, 0), QString("r0c0"));
        QCOMPARE(f.source.fullRows, RecordsModel::kPageRows);
        // Scrolling to the end of freshly read rows reads the last rows only.
        f.grid->reread();
        QApplication::processEvents();
        f.source.fullRows = 0;
        f.view().scrollToBottom();
        f.view().viewport()->repaint();
        QVERIFY2(f.source.fullRows > 0 && f.source.fullRows <= 2 * RecordsModel::kPageRows,
                 qPrintable(QString::number(f.source.fullRows)));
    }

    void handsOverOnlyTheChangedCellsWhenTheRowIsLeft() {
        GridFixture f;
        f.edit(1, 0, "first");
        f.key(Qt::Key_Tab);
        f.key(Qt::Key_Tab);
        f.type("third");
        f.key(Qt::Key_Return);
        QVERIFY(f.source.written.isEmpty()); // still the same row
        QCOMPARE(f.shown(1, 0), QString("first"));
        f.key(Qt::Key_Down);
        QCOMPARE(f.source.written, QList<QStringList>({{"first", "(null)", "third"}}));
        QCOMPARE(f.source.writtenAt, QVariantList({1001}));
        QCOMPARE(f.shown(1, 0), QString("first"));
        QCOMPARE(f.grid->currentRow(), 2);
    }

    void aCellTypedBackToItsValueIsNoChange() {
        GridFixture f;
        f.edit(2, 1, "other");
        QCOMPARE(f.model().headerData(2, Qt::Vertical).toString(), QString::fromUtf8("\u270E"));
        f.edit(2, 1, "r2c1");
        QVERIFY(!f.grid->isEditing());
        QVERIFY(f.model().headerData(2, Qt::Vertical).toString() != QString::fromUtf8("\u270E"));
        f.key(Qt::Key_Up);
        QVERIFY(f.source.written.isEmpty());
        QCOMPARE(f.grid->currentRow(), 1);
    }

    void escapeDropsTheCellThenTheRow() {
        GridFixture f;
        f.edit(0, 0, "kept for now");
        f.click(0, 1);
        f.type("being typed");
        f.key(Qt::Key_Escape); // the cell
        QCOMPARE(f.shown(0, 1), QString("r0c1"));
        QCOMPARE(f.shown(0, 0), QString("kept for now"));
        f.key(Qt::Key_Escape); // the row
        QCOMPARE(f.shown(0, 0), QString("r0c0"));
        QVERIFY(!f.grid->isEditing());
        f.key(Qt::Key_Down);
        QVERIFY(f.source.written.isEmpty());
    }

    void enterStoresTheRowOnRequest() {
        GridFixture f;
        f.edit(3, 2, "now");
        f.key(Qt::Key_Return);
        QCOMPARE(f.source.written, QList<QStringList>({{"(null)", "(null)", "now"}}));
        QCOMPARE(f.grid->currentRow(), 3);
    }

    void typingIntoTheAddNewRowBeginsARow() {
        GridFixture f(2);
        int inserts = 0;
        QList<int> addedRows;
        QObject::connect(f.grid.get(), &RecordsGrid::beforeInsert, [&](bool&) { ++inserts; });
        QObject::connect(f.grid.get(), &RecordsGrid::rowAdded, [&](int row) { addedRows << row; });
        QCOMPARE(f.model().rowCount(), 3);
        f.edit(2, 1, "b");
        QCOMPARE(inserts, 1);
        f.click(2, 2);
        f.type("c");
        f.key(Qt::Key_Up); // leaves the editor and the row
        QCOMPARE(inserts, 1);
        QCOMPARE(f.source.added, QList<QStringList>({{"(null)", "b", "c"}}));
        QCOMPARE(f.grid->rowCount(), 3);
        QCOMPARE(f.model().rowCount(), 4);
        QCOMPARE(addedRows, QList<int>{2});
        QCOMPARE(f.shown(2, 1), QString("b"));
        QCOMPARE(f.shown(3, 1), QString());
        f.grid->setCurrentBookmark(5000);
        QCOMPARE(f.grid->currentRow(), 2);
    }

    void aRefusedInsertLeavesNoRowBegun() {
        GridFixture f(2);
        QObject::connect(f.grid.get(), &RecordsGrid::beforeInsert, [&](bool& cancel) {
            cancel = true;
            f.grid->setCurrentColumn(0);
        });
        f.click(2, 2);
        f.type("x");
        QVERIFY(!f.grid->isEditing());
        QCOMPARE(f.grid->currentColumn(), 0);
        QCOMPARE(f.shown(2, 2), QString());
    }

    // What the source answers decides whether the cursor may leave and what the row shows.
    void storeResults_data() {
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("rowAfterMove");
        QTest::addColumn<QString>("shownAfter");
        QTest::addColumn<bool>("stillEditing");
        QTest::newRow("stored") << int(StoreResult::Stored) << 2 << "typed" << false;
        QTest::newRow("refused: stays in edit") << int(StoreResult::Refused) << 1 << "typed" << true;
        QTest::newRow("failed: stored values") << int(StoreResult::Failed) << 2 << "r1c1" << false;
    }
    void storeResults() {
        QFETCH(int, result);
        QFETCH(int, rowAfterMove);
        QFETCH(QString, shownAfter);
        QFETCH(bool, stillEditing);
        GridFixture f;
        f.source.result = StoreResult(result);
        f.edit(1, 1, "typed");
        f.key(Qt::Key_Down);
        QCOMPARE(f.grid->currentRow(), rowAfterMove);
        QCOMPARE(f.shown(1, 1), shownAfter);
        QCOMPARE(f.grid->isEditing(), stillEditing);
        // Clicks elsewhere are held back the same way.
        f.click(3, 0);
        QCOMPARE(f.grid->currentRow(), stillEditing ? 1 : 3);
    }

    void aCancelledUpdateKeepsTheCursorOnTheRow() {
        GridFixture f;
        QObject::connect(f.grid.get(), &RecordsGrid::beforeUpdate, [](bool& cancel) { cancel = true; });
        f.edit(0, 2, "x");
        f.clickSelector(3);
        QCOMPARE(f.grid->currentRow(), 0);
        QVERIFY(f.source.written.isEmpty());
        f.grid->cancelEdit();
        f.clickSelector(3);
        QCOMPARE(f.grid->currentRow(), 3);
    }

    void rowSelectorsSelectWithShiftAndCtrl() {
        GridFixture f(8);
        f.clickSelector(1);
        f.clickSelector(3, Qt::ShiftModifier);
        f.clickSelector(6, Qt::ControlModifier);
        QCOMPARE(f.grid->selectedBookmarks(), QVariantList({1001, 1002, 1003, 1006}));
        // Cells selected in part of a row do not make the row selected.
        f.click(7, 1);
        QCOMPARE(f.grid->selectedBookmarks(), QVariantList());
    }

    void shiftSpaceSelectsRowsFromTheKeyboard() {
        GridFixture f(5);
        f.click(1, 1);
        QTest::keyClick(&f.view(), Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(&f.view(), Qt::Key_Space, Qt::ShiftModifier);
        QCOMPARE(f.grid->selectedBookmarks(), QVariantList({1001, 1002}));
        f.desktop.answer(Answer::Yes);
        f.key(Qt::Key_Delete);
        QCOMPARE(f.desktop.last().text, QString("Delete the 2 selected records?"));
        QCOMPARE(f.grid->rowCount(), 3);
    }

    // While the source stores a row (and may be asking the user something), painting must not move it.
    void noRowsAreReadWhileTheSourceStoresARow() {
        GridFixture f(0);
        f.source = MemorySource(500);
        f.grid->reread();
        int readsDuringAdd = -1;
        QString shownDuringAdd = "not read";
        struct Probe final : GridDataSource {
            MemorySource& inner;
            std::function<void()> during;
            explicit Probe(MemorySource& s) : inner(s) {}
            void readRows(RowBuffer& b, const QVariant& s, bool back) override { inner.readRows(b, s, back); }
            QVariant position(const QVariant& s, int n) override { return inner.position(s, n); }
            AddResult addRow(const RowBuffer& b) override {
                during();
                return inner.addRow(b);
            }
            StoreResult writeRow(const RowBuffer& b, const QVariant& m) override { return inner.writeRow(b, m); }
            bool deleteRow(const QVariant& m) override { return inner.deleteRow(m); }
        } probe(f.source);
        probe.during = [&] {
            const int before = f.source.reads;
            shownDuringAdd = f.shown(250, 0); // a row never shown so far
            readsDuringAdd = f.source.reads - before;
        };
        f.grid->setDataSource(&probe);
        f.grid->moveRows(500);
        f.type("x");
        f.key(Qt::Key_Return);
        f.key(Qt::Key_Return);
        QCOMPARE(readsDuringAdd, 0);
        QCOMPARE(shownDuringAdd, QString());
        QCOMPARE(f.shown(250, 0), QString("r250c0"));
    }

    void deletingSelectedRows_data() {
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<QString>("question");
        QTest::newRow("one") << QList<int>{2} << "Delete the selected record?";
        QTest::newRow("three") << QList<int>{0, 2, 4} << "Delete the 3 selected records?";
    }
    void deletingSelectedRows() {
        QFETCH(QList<int>, rows);
        QFETCH(QString, question);
        GridFixture f(6);
        f.clickSelector(rows.first());
        for (int r : rows.mid(1))
            f.clickSelector(r, Qt::ControlModifier);
        f.desktop.answer(Answer::No);
        f.key(Qt::Key_Delete);
        QCOMPARE(f.desktop.last().text, question);
        QCOMPARE(f.desktop.last().buttons, Buttons::YesNo);
        QCOMPARE(f.desktop.last().icon, Icon::Question);
        QVERIFY(f.source.deleted.isEmpty());
        QCOMPARE(f.grid->rowCount(), 6);

        f.desktop.answer(Answer::Yes);
        f.key(Qt::Key_Delete);
        QCOMPARE(f.grid->rowCount(), 6 - rows.size());
        for (int r : rows)
            QVERIFY(f.source.deleted.contains(1000 + r));
        for (int r = 0; r < f.grid->rowCount(); ++r)
            QCOMPARE(f.shown(r, 0), f.source.data[r].cells[0].toString());
    }

    void aRowTheSourceKeepsStaysInTheGrid() {
        GridFixture f(4);
        f.source.refuseDelete = 1003;
        f.clickSelector(1);
        f.clickSelector(3, Qt::ShiftModifier);
        f.desktop.answer(Answer::Yes);
        f.grid->deleteSelectedRows();
        // From the bottom up: row 3 is refused, so rows 1 and 2 are left alone too.
        QCOMPARE(f.source.deleted, QVariantList({1003}));
        QCOMPARE(f.grid->rowCount(), 4);
    }

    void exportWritesTheShownColumnsOfTheChosenRows_data() {
        QTest::addColumn<int>("which");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("all") << int(ExportRows::All)
                             << QStringList{"Col 2\tCol 0", "r0c2\tr0c0", "r1c2\tr1c0", "r2c2\tr2c0"};
        QTest::newRow("selected") << int(ExportRows::Selected) << QStringList{"Col 2\tCol 0", "r1c2\tr1c0"};
        QTest::newRow("not selected") << int(ExportRows::NotSelected)
                                      << QStringList{"Col 2\tCol 0", "r0c2\tr0c0", "r2c2\tr2c0"};
    }
    void exportWritesTheShownColumnsOfTheChosenRows() {
        QFETCH(int, which);
        QFETCH(QStringList, lines);
        GridFixture f(3);
        f.grid->setColumnVisible(1, false);
        f.view().horizontalHeader()->moveSection(2, 0); // the user dragged column 2 to the front
        f.clickSelector(1);
        QTemporaryDir dir;
        const QString path = dir.filePath("out.txt");
        f.grid->exportRows(ExportFormat::Text, ExportRows(which), path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts), lines);
    }

    void gridOperationsMoveAndReadTheCurrentRow() {
        GridFixture f(5);
        f.grid->setColumnFormat(1, [](const QVariant& v) { return "<" + v.toString() + ">"; });
        f.grid->moveFirst();
        QCOMPARE(f.grid->currentBookmark(), QVariant(1000));
        f.grid->moveRows(3);
        QCOMPARE(f.grid->currentRow(), 3);
        QCOMPARE(f.grid->cellValue(1), QVariant("r3c1"));
        QCOMPARE(f.grid->cellText(1), QString("<r3c1>"));
        f.grid->moveNext();
        QCOMPARE(f.grid->currentRow(), 4);
        f.grid->moveNext();
        QVERIFY(f.grid->isAddNewRow());
        QCOMPARE(f.grid->currentBookmark(), QVariant());
        QCOMPARE(f.grid->currentRow(), f.grid->rowCount());
        f.grid->setCurrentBookmark(1001);
        QCOMPARE(f.grid->currentRow(), 1);
        f.grid->setCurrentColumn(2);
        QCOMPARE(f.grid->currentColumn(), 2);
    }

    void rowChangeIsRaisedForRowsAndColumns() {
        GridFixture f;
        QList<QPair<int, int>> previous;
        QObject::connect(f.grid.get(), &RecordsGrid::rowChanged, [&](int r, int c) { previous << qMakePair(r, c); });
        f.click(2, 1);
        f.key(Qt::Key_Right);
        QCOMPARE(previous, (QList<QPair<int, int>>{{0, 0}, {2, 1}}));
    }

    void captionAndColours() {
        GridFixture f(2);
        f.grid->setCaption("Total Records for all Groups: 2");
        QCOMPARE(f.grid->caption(), QString("Total Records for all Groups: 2"));
        f.grid->setRowColors(0xFF0000, 0x000000, 0x00FFFF, 0x808080);
        QCOMPARE(f.model().index(0, 0).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(0, 0, 255));
        QCOMPARE(f.model().index(1, 0).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(255, 255, 0));
    }
};

QTEST_MAIN(RecordsGridTest)
#include "tst_recordsgrid.moc"
