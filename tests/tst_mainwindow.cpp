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

    // Rows the file cannot give are not shown as empty records: the first failure is said once, with the
    // database's own words, however often the grid asks again.
    void damagedRecordsAreSaidOnce() {
        MainWindowFixture f(kThree, {}, [] {
            // The file is damaged after it was opened: the records are read when the grid first shows them.
            damagePage(gDBConnection->path(), "tblChildData", 64);
        });
        const QString said = "Error 3049 (database disk image is malformed) in procedure SSDBGrid_UnboundReadData "
                             "of Form frmMain";
        QCOMPARE(f.desktop.messages(), QStringList{said});
        QTRY_COMPARE(f.grid().rowCount(), 0);
        f.grid().reread();
        f.key(Qt::Key_PageDown);
        QCOMPARE(f.desktop.messages(), QStringList{said});
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
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
