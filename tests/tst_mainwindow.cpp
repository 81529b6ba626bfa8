// keyvale_gui
#include "mainwindow/RecordsetRows.h"
#include "store/DateText.h"
#include "tst_main_driver.h"

using namespace kv;
using namespace kv::test;

namespace {

const QList<Rec> kThree = {
    {"Work", "b.example", "bob", "pw-b", "second"},
    {"Bank", "z.example", "zed", "pw-z", "third"},
    {"Bank", "a.example", "ann", "pw-a", "first", "2025-07-04 16:05:09"},
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    // In group and website order, passwords deciphered, the change date in the user's short format and the
    // rows in the colours of the options; the status text and password box follow the current row.
    void loadingAndMovingThroughTheRows() {
        MainWindowFixture f(kThree, {}, [] {
            gMakerNotice = "Copyright";
            gMakerName = "Keyvale Makers";
            gVersionText = "v 6.0.1";
            gGridBackColorOdd = 0x0000FF; // red as 0x00BBGGRR
            gGridForeColorOdd = 0x00FF00;
            gGridBackColorEven = 0xFF0000;
        });
        QCOMPARE(f.status(), QString("Keyvale is Ready"));
        QCOMPARE(f.control<QLabel>("StatusPanel2").text(), QString(" Copyright Keyvale Makers - v 6.0.1 "));
        QCOMPARE(f.shownColumn(2), QStringList({"a.example", "z.example", "b.example"}));
        QCOMPARE(f.shown(0, 4), QString("pw-a"));
        QCOMPARE(f.shown(0, 6), displayedDate(QStringLiteral("2025-07-04 16:05:09")));
        QCOMPARE(f.grid().cellValue(6).toString(), QString("2025-07-04 16:05:09"));
        const auto colour = [&](int row, int role) {
            return f.grid().model()->index(row, 2).data(role).value<QBrush>().color();
        };
        QCOMPARE(colour(0, Qt::BackgroundRole), QColor(255, 0, 0));
        QCOMPARE(colour(0, Qt::ForegroundRole), QColor(0, 255, 0));
        QCOMPARE(colour(1, Qt::BackgroundRole), QColor(0, 0, 255));

        QCOMPARE(f.passwordBox().text(), QString("pw-a"));
        f.click(1, 5);
        QCOMPARE(f.status(), QString("Current Row 2 : Bank, z.example, zed"));
        QCOMPARE(f.passwordBox().text(), QString("pw-z"));
        f.key(Qt::Key_Down);
        f.key(Qt::Key_Down);
        QCOMPARE(f.status(), QString("Add Mode"));
        QCOMPARE(f.passwordBox().text(), QString());
        f.form->close();
        QCOMPARE(f.desktop.ended, 1);
        QVERIFY(f.desktop.prompts.isEmpty());
    }

    // The columns show as the options say (each on its own toggle is covered with the toolbar); the date and
    // the priors are never typed. An empty database shows only the add-new row.
    void columnsOfAnEmptyDatabase() {
        MainWindowFixture f({}, {}, [] { gShowPasswordColumn = true; });
        const QStringList captions =
            QString("|Group Name|Website|User ID|Password|Description|Date Changed|Prior User ID|Prior Password")
                .split('|');
        for (int c = 0; c < 9; ++c) {
            QCOMPARE(f.grid().columnCaption(c), captions[c]);
            QCOMPARE(f.view().isColumnHidden(c), c == 0 || c >= 7);
            QCOMPARE(f.grid().isColumnLocked(c), c >= 6);
        }
        QCOMPARE(f.grid().rowCount(), 0);
        QVERIFY(f.grid().isAddNewRow());
        QCOMPARE(f.grid().caption(), QString("Total Records for all Groups: 0"));
    }

    // The grid's read and position requests from a start (null: from an end) in a direction, answered from
    // the shared recordset (bookmarks 1 to 3 in the grid's order).
    void recordsetRequests_data() {
        QTest::addColumn<QVariant>("start");
        QTest::addColumn<int>("rows"); // negative: backwards
        QTest::addColumn<QList<int>>("read");
        QTest::addColumn<QVariant>("position");
        QTest::newRow("null, backwards: from the last") << QVariant() << -1 << QList<int>{3, 2, 1} << QVariant(2);
        QTest::newRow("null, 0: no position") << QVariant() << 0 << QList<int>{1, 2, 3} << QVariant();
        QTest::newRow("after row 1") << QVariant(1) << 2 << QList<int>{2, 3} << QVariant(3);
        QTest::newRow("before row 3") << QVariant(3) << -1 << QList<int>{2, 1} << QVariant(2);
        QTest::newRow("past the end") << QVariant(2) << 5 << QList<int>{3} << QVariant();
    }
    void recordsetRequests() {
        QFETCH(QVariant, start);
        QFETCH(int, rows);
        QFETCH(QList<int>, read);
        QFETCH(QVariant, position);
        MainWindowFixture f(kThree);
        RowBuffer buffer(5, 9);
        readRecordsetRows(*gRsChildData, buffer, start, rows < 0, {4, 8});
        QList<int> got;
        for (int r = 0; r < buffer.rowCount(); ++r)
            got << buffer.bookmark(r).toInt();
        QCOMPARE(got, read);
        QCOMPARE(positionRecordset(*gRsChildData, start, rows), position);
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
