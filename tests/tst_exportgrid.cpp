#include "exchange/ExportWriter.h"
#include "mainwindow/ExportFlow.h"
#include "mainwindow/MainToolbar.h"
#include "tst_main_driver.h"

#include <QAction>
#include <QDir>
#include <QItemSelectionModel>
#include <QProgressDialog>
#include <QTimer>

using namespace kv;
using test::Rec;

namespace {

// Enough rows to cross the grid's cached pages several times.
constexpr int kFillers = 2500;

} // namespace

class ExportGridTest : public QObject {
    Q_OBJECT
private slots:
    // An export of the real grid holds exactly what the grid shows, in its order and with its columns where
    // the user put them: byte for byte what writing those rows in order gives, whatever order the file keeps
    // them in (here the reverse). Cancel in the progress dialog leaves the earlier export as it was, with
    // nothing beside it.
    void exports_data() {
        QTest::addColumn<QString>("key"); // a menu entry; empty for the button, passwords accepted
        QTest::addColumn<bool>("cancel");
        for (const char* key : {"HTMLall", "HTMLselectedRows", "HTMLnonSelectedRows", "AsciiAll", "AsciiSelectedRows",
                                "AsciiNonSelectedRows"})
            QTest::newRow(key) << QString(key) << false;
        QTest::newRow("button, with passwords") << QString() << false;
        QTest::newRow("button, cancelled") << QString() << true;
        QTest::newRow("AsciiSelectedRows, cancelled") << "AsciiSelectedRows" << true;
    }
    void exports() {
        QFETCH(QString, key);
        QFETCH(bool, cancel);
        QList<Rec> records{
            Rec("A", "a.example", "ann", "Pw!x&<y>", "first <b>bold</b>", "2023-07-08 09:10:11"),
            Rec("B", "b.example", "bob", "Zürich €", "tab\there\nand line", "2024-02-03 04:05:06", "old", "older"),
            Rec("Z", "z.example", "zed", "", "", "2024-02-03 04:05:06"),
        };
        std::reverse(records.begin(), records.end());
        test::MainWindowFixture w(records, {"M filler"});
        w.folder.execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
                         "INSERT INTO tblChildData (GroupName, Website, UserID, Password, Description, DateChanged, "
                         "PriorUserID, PriorPassword) SELECT 'M filler', printf('f%05d.example', ?2 - i), 'u' || i, "
                         "?3, 'note ' || i, '2024-01-02 10:00:00', '', '' FROM n",
                         {kFillers, kFillers, encipherField("secret")});
        w.form->UpdateComboGroupName();
        QCOMPARE(w.grid().rowCount(), kFillers + 3);
        const QList<int> selected{1, 700, kFillers + 2};
        for (const int row : selected)
            w.view().selectionModel()->select(w.view().model()->index(row, 1),
                                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(w.grid().selectedBookmarks().size(), selected.size());
        w.view().horizontalHeader()->moveSection(2, 0); // the user dragged the Website column to the front
        gExportPassword = key.isEmpty();
        if (key.isEmpty()) w.desktop.answer(Answer::Yes);

        // What writing the chosen rows in grid order gives.
        const bool html = key.isEmpty() || key.startsWith("HTML");
        const QList<int> columns = key.isEmpty() ? QList<int>{2, 1, 3, 4, 5, 6} : QList<int>{2, 1, 3, 5, 6};
        QStringList captions;
        for (int c : columns)
            captions << w.grid().columnCaption(c);
        QList<QStringList> rows;
        const bool notSelected = key.contains("nonSelected", Qt::CaseInsensitive);
        const bool onlySelected = !notSelected && key.contains("SelectedRows", Qt::CaseInsensitive);
        for (int r = 0; r < w.grid().rowCount(); ++r) {
            if ((onlySelected && !selected.contains(r)) || (notSelected && selected.contains(r))) continue;
            QStringList cells;
            for (int c : columns)
                cells << w.shown(r, c);
            rows << cells;
        }
        QTemporaryDir expectedDir;
        const QString expected = expectedDir.filePath("expected");
        writeExport(html ? ExportFormat::Html : ExportFormat::Text, expected, w.folder.file("KeyvaleTemplate.htm"),
                    captions, rows);

        const QString file =
            ExportFlow::exportFolder() + "/Export" + (key.isEmpty() ? "HTMLall" : key) + (html ? ".htm" : ".txt");
        QVERIFY(QDir().mkpath(ExportFlow::exportFolder()));
        {
            QFile earlier(file);
            QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier export") > 0);
        }
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            auto* dialog = QApplication::activeModalWidget();
            if (cancel && dialog && dialog->objectName() == "BusyProgress")
                static_cast<QProgressDialog*>(dialog)->cancel();
        });
        watch.start(0);
        if (key.isEmpty())
            w.control<QAction>("ExportData").trigger();
        else
            w.form->toolbar()->Toolbar_ButtonMenuClick(key);

        QCOMPARE(test::fileBytes(file), cancel ? QByteArray("earlier export") : test::fileBytes(expected));
        QCOMPARE(QDir(ExportFlow::exportFolder()).entryList(QDir::Files | QDir::Hidden).size(), 1);
        QCOMPARE(w.desktop.messages().size(), key.isEmpty() ? 1 : 0); // the password warning only
        QVERIFY(!w.grid().isColumnVisible(4));
        QVERIFY(!QApplication::overrideCursor());
    }
};

QTEST_MAIN(ExportGridTest)
#include "tst_exportgrid.moc"
