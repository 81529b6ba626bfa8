// keyvale_gui
#include "mainwindow/GridDropDown.h"
#include "mainwindow/RecordsetRows.h"
#include "startup/WidgetRoutines.h"
#include "tst_main_driver.h"

#include <QLocale>

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
    void controlsAndCaptions_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("rename") << "btnRenameGroupName"
                                << "&Rename Group Name";
        QTest::newRow("delete") << "btnDeleteGroupName"
                                << "&Delete Group Name";
        QTest::newRow("update") << "btnUpdatePassword"
                                << "&Update Password";
        QTest::newRow("generator") << "btnPasswordGenerator"
                                   << "Password &Generator";
    }
    void controlsAndCaptions() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        MainWindowFixture f;
        auto* button = f.form->findChild<QPushButton*>(name);
        QVERIFY(button);
        QCOMPARE(button->text(), text);
        auto& label = f.control<QLabel>("lblPassword");
        QCOMPARE(label.text(), QString("&Password:"));
        QCOMPARE(label.buddy(), &f.passwordBox());
        QCOMPARE(f.form->objectName(), QString("frmMain"));
        QCOMPARE(f.grid().objectName(), QString("SSDBGrid"));
        QVERIFY(f.form->findChild<QComboBox*>("SSDBCombo"));
        QVERIFY(f.form->findChild<GridDropDown*>("SSDBDropDown"));
    }

    void loadingSetsTheSharedStateAndStatusBar() {
        MainWindowFixture f(kThree, {}, [] {
            gMakerNotice = "Copyright";
            gMakerName = "Keyvale Makers";
            gVersionText = "v 6.0.1";
        });
        QVERIFY(gMainInitialised);
        QCOMPARE(mainWindow(), f.form.get());
        QCOMPARE(f.status(), QString("Keyvale is Ready"));
        QCOMPARE(f.control<QLabel>("StatusPanel2").text(), QString(" Copyright Keyvale Makers - v 6.0.1 "));
        const QDateTime now = f.clock.now();
        QCOMPARE(f.control<QLabel>("sDate").text(), QLocale().toString(now.date(), QLocale::ShortFormat));
        QCOMPARE(f.control<QLabel>("sTime").text(), QLocale().toString(now.time(), QLocale::ShortFormat));
        QCOMPARE(f.grid().caption(), QString("Total Records for all Groups: 3"));
        QCOMPARE(f.combo().currentText(), QString("***All Groups"));
        QVERIFY(!f.control<QPushButton>("btnRenameGroupName").isEnabled());
        QVERIFY(!f.control<QPushButton>("btnDeleteGroupName").isEnabled());
        // The first row's password, masked until the box is entered.
        QCOMPARE(f.passwordBox().text(), QString("pw-a"));
        QCOMPARE(f.passwordBox().echoMode(), QLineEdit::Password);
    }

    void gridShowsRecordsInGroupAndWebsiteOrder() {
        MainWindowFixture f(kThree);
        QCOMPARE(f.grid().rowCount(), 3);
        QStringList sites;
        for (int r = 0; r < 3; ++r)
            sites << f.grid().model()->index(r, 2).data().toString();
        QCOMPARE(sites, QStringList({"a.example", "z.example", "b.example"}));
        // Passwords deciphered; the change date in the user's short format.
        QCOMPARE(f.grid().model()->index(0, 4).data().toString(), QString("pw-a"));
        const QDateTime changed(QDate(2025, 7, 4), QTime(16, 5, 9));
        QCOMPARE(f.grid().model()->index(0, 6).data().toString(), QLocale().toString(changed, QLocale::ShortFormat));
        QCOMPARE(f.grid().cellValue(6).toString(), QString("2025-07-04 16:05:09"));
    }

    void columns_data() {
        QTest::addColumn<bool>("showPassword");
        QTest::addColumn<bool>("showPrior");
        QTest::newRow("both hidden") << false << false;
        QTest::newRow("password shown") << true << false;
        QTest::newRow("priors shown") << false << true;
    }
    void columns() {
        QFETCH(bool, showPassword);
        QFETCH(bool, showPrior);
        MainWindowFixture f({}, {}, [&] {
            gShowPasswordColumn = showPassword;
            gShowPriorUserIDPassword = showPrior;
        });
        const RecordsGrid& g = f.grid();
        QCOMPARE(g.columnCount(), 9);
        const QStringList captions = {"",
                                      "Group Name",
                                      "Website",
                                      "User ID",
                                      "Password",
                                      "Description",
                                      "Date Changed",
                                      "Prior User ID",
                                      "Prior Password"};
        const QList<int> widths = {0, 1600, 2000, 1300, 1200, 2800, 1900, 1600, 1600};
        const QList<bool> shown = {false, true, true, true, showPassword, true, true, showPrior, showPrior};
        for (int c = 0; c < 9; ++c) {
            QCOMPARE(g.columnCaption(c), captions[c]);
            QCOMPARE(g.isColumnVisible(c), shown[c]);
            QCOMPARE(g.view()->isColumnHidden(c), !shown[c]);
            if (c > 0) QVERIFY2(qAbs(g.columnWidth(c) - widths[c]) <= 15, qPrintable(QString::number(c)));
            QCOMPARE(g.isColumnLocked(c), c >= 6);
        }
        QCOMPARE(g.columnDropDown(1), f.form->groupDropDown());
    }

    void rowColoursComeFromTheOptions() {
        MainWindowFixture f(kThree, {}, [] {
            gGridBackColorOdd = 0x0000FF; // red as 0x00BBGGRR
            gGridForeColorOdd = 0x00FF00;
            gGridBackColorEven = 0xFF0000;
            gGridForeColorEven = 0x808080;
        });
        auto colour = [&](int row, int role) {
            return f.grid().model()->index(row, 2).data(role).value<QBrush>().color();
        };
        QCOMPARE(colour(0, Qt::BackgroundRole), QColor(255, 0, 0));
        QCOMPARE(colour(0, Qt::ForegroundRole), QColor(0, 255, 0));
        QCOMPARE(colour(1, Qt::BackgroundRole), QColor(0, 0, 255));
        QCOMPARE(colour(1, Qt::ForegroundRole), QColor(128, 128, 128));
        QCOMPARE(colour(2, Qt::BackgroundRole), QColor(255, 0, 0));
    }

    void statusTextFollowsTheCurrentRow() {
        MainWindowFixture f(kThree);
        f.click(1, 5);
        QCOMPARE(f.status(), QString("Current Row 2 : Bank, z.example, zed"));
        QCOMPARE(f.passwordBox().text(), QString("pw-z"));
        f.key(Qt::Key_Down);
        QCOMPARE(f.status(), QString("Current Row 3 : Work, b.example, bob"));
        f.key(Qt::Key_Down);
        QCOMPARE(f.status(), QString("Add Mode"));
        QCOMPARE(f.passwordBox().text(), QString());
    }

    void anEmptyDatabaseShowsOnlyTheAddNewRow() {
        MainWindowFixture f;
        QCOMPARE(f.grid().rowCount(), 0);
        QCOMPARE(f.grid().model()->rowCount(), 1);
        QVERIFY(f.grid().isAddNewRow());
        QCOMPARE(f.grid().caption(), QString("Total Records for all Groups: 0"));
        f.click(0, 3);
        QCOMPARE(f.status(), QString("Add Mode"));
    }

    void closingTheWindowEndsTheProgram() {
        MainWindowFixture f(kThree);
        f.form->close();
        QCOMPARE(f.desktop.ended, 1);
        QVERIFY(f.desktop.prompts.isEmpty());
    }

    void theWindowLaysItsControlsOut() {
        MainWindowFixture f(kThree);
        f.form->resize(1200, 700);
        QApplication::processEvents();
        const QRect combo = f.combo().geometry();
        const QRect grid = f.grid().geometry();
        QVERIFY(grid.top() > combo.bottom());
        QVERIFY(grid.bottom() < f.form->centralWidget()->height());
        QVERIFY(grid.width() > 1100);
        // Controls in the row do not overlap.
        const char* row[] = {"SSDBCombo",   "btnRenameGroupName", "btnDeleteGroupName",
                             "txtPassword", "btnUpdatePassword",  "btnPasswordGenerator"};
        for (int i = 1; i < 6; ++i)
            QVERIFY(f.form->findChild<QWidget*>(row[i])->geometry().left() >
                    f.form->findChild<QWidget*>(row[i - 1])->geometry().right());
        // Very small: the grid keeps a usable size.
        f.form->resize(200, 60);
        QApplication::processEvents();
        QVERIFY(f.grid().height() > 0);
    }

    // The read and position requests as the records grid makes them, answered from the shared recordset.
    void readRequests_data() {
        QTest::addColumn<QVariant>("start");
        QTest::addColumn<bool>("backwards");
        QTest::addColumn<int>("wanted");
        QTest::addColumn<QList<int>>("bookmarks");
        QTest::newRow("null start forwards") << QVariant() << false << 2 << QList<int>{1, 2};
        QTest::newRow("null start backwards begins at the last") << QVariant() << true << 2 << QList<int>{3, 2};
        QTest::newRow("after the last row nothing") << QVariant(3) << false << 5 << QList<int>{};
        QTest::newRow("after row 1") << QVariant(1) << false << 5 << QList<int>{2, 3};
        QTest::newRow("before row 3") << QVariant(3) << true << 5 << QList<int>{2, 1};
    }
    void readRequests() {
        QFETCH(QVariant, start);
        QFETCH(bool, backwards);
        QFETCH(int, wanted);
        QFETCH(QList<int>, bookmarks);
        MainWindowFixture f(kThree);
        RowBuffer buffer(wanted, 9);
        readRecordsetRows(*gRsChildData, buffer, start, backwards, {4, 8});
        QList<int> got;
        for (int r = 0; r < buffer.rowCount(); ++r)
            got << buffer.bookmark(r).toInt();
        QCOMPARE(got, bookmarks);
        if (!got.isEmpty() && got.first() == 1) QCOMPARE(buffer.value(0, 4).toString(), QString("pw-a"));
    }

    void positionRequests_data() {
        QTest::addColumn<QVariant>("start");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QVariant>("answer");
        QTest::newRow("null and 0: no answer") << QVariant() << 0 << QVariant();
        QTest::newRow("null and +1: the second row") << QVariant() << 1 << QVariant(2);
        QTest::newRow("null and -1: before the last") << QVariant() << -1 << QVariant(2);
        QTest::newRow("from 1 by 2") << QVariant(1) << 2 << QVariant(3);
        QTest::newRow("past the end") << QVariant(2) << 5 << QVariant();
    }
    void positionRequests() {
        QFETCH(QVariant, start);
        QFETCH(int, rows);
        QFETCH(QVariant, answer);
        MainWindowFixture f(kThree);
        QCOMPARE(positionRecordset(*gRsChildData, start, rows), answer);
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
