// Import CSV File and the CSV entries of the export menu, driven through the main window as a user would.
#include "tools/frmImportCsv.h"
#include "mainwindow/ExportFlow.h"
#include "store/RecordFields.h"
#include "tst_main_driver.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QPointer>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>

using namespace kv;
using namespace kv::test;

namespace {

struct Fixture : MainWindowFixture {
    Fixture()
        : MainWindowFixture({Rec("Bank", "www.mine.example", "me", "pw"), Rec("Mail", "m.example", "me", "pm")}) {}

    // Opens Edit > Import CSV File and runs `drive` while the window is up; answers whether the window
    // closed itself.
    bool withWindow(const std::function<void()>& drive) {
        bool opened = false, closedItself = false;
        QTimer::singleShot(0, [&] {
            window = qobject_cast<frmImportCsv*>(QApplication::activeModalWidget());
            if (!(opened = window)) return;
            QApplication::setActiveWindow(window);
            drive();
            closedItself = !window->isVisible();
            window->reject();
        });
        control<QAction>("mnuEditImportCsv").trigger();
        QTest::qVerify(opened, "opened", "the import window opens", __FILE__, __LINE__);
        return closedItself;
    }
    template <class W> W& in(const char* name) const { return *child<W>(*window, name); }
    void click(const char* button) { QTest::mouseClick(&in<QPushButton>(button), Qt::LeftButton); }
    // Picks the file through the browse button, or types its name and presses Enter.
    void choose(const QByteArray& bytes, bool typed = false) {
        const QString path = folder.file("passwords.csv");
        QVERIFY(writeFile(path, bytes));
        if (typed) {
            in<QLineEdit>("txtCsvFile").setFocus();
            QTest::keyClicks(&in<QLineEdit>("txtCsvFile"), path);
            QTest::keyClick(&in<QLineEdit>("txtCsvFile"), Qt::Key_Return);
            return;
        }
        desktop.answerFolder(path);
        click("btnBrowseCsvFile");
    }
    QStringList previewRow(int row) const {
        QStringList out;
        auto& table = in<QTableWidget>("tblPreview");
        for (int c = 0; c < table.columnCount(); ++c)
            out << (table.item(row, c) ? table.item(row, c)->text() : QString());
        return out;
    }

    QPointer<frmImportCsv> window;
};

} // namespace

class ImportCsvTest : public QObject {
    Q_OBJECT
private slots:
    // The layout is named (or the user chooses the columns), the first records are shown as they will be
    // stored, and Import stores them all, tells what it did and shows them in the main window.
    void importsThroughWindow_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("passwordColumn"); // chosen by the user; -1: as recognised
        QTest::addColumn<bool>("addDuplicates");
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QStringList>("preview");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<int>("records");
        row("browser", QByteArray("name,url,username,password,note\r\nm,m.example,me,x,\r\nn,,nan,y,hi\r\n"), -1, false,
            QStringLiteral("Recognised layout: Browser."), QStringList{"Imported", "m.example", "me", "********", ""},
            QStringLiteral("Keyvale successfully imported 2 records."), 4);
        row("other header, duplicates added", QByteArray("Ordner;Adresse;Konto;Kennwort\nmail;m.example;me;k1\n"), 3,
            true, QStringLiteral("The columns were not all recognised: choose them below."),
            QStringList{"Imported", "", "", "", ""},
            QStringLiteral("Keyvale successfully imported 1 record.\n1 record was already in Keyvale (same group, web "
                           "site and user ID) and added again."),
            3);
    }
    void importsThroughWindow() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, passwordColumn);
        QFETCH(bool, addDuplicates);
        QFETCH(QString, layout);
        QFETCH(QStringList, preview);
        QFETCH(QString, summary);
        QFETCH(int, records);
        Fixture f;
        QVERIFY(f.withWindow([&] {
            QVERIFY(!f.in<QPushButton>("bttnImport").isEnabled());
            // Enter in the file box shows the file and stores nothing yet.
            f.choose(bytes, passwordColumn < 0);
            QVERIFY(f.window->isVisible());
            QCOMPARE(f.count("SELECT count(*) FROM tblChildData"), 2);
            QCOMPARE(f.in<QLabel>("lblLayout").text(), layout);
            QCOMPARE(f.previewRow(0), preview);
            if (passwordColumn >= 0) {
                // Without a password column the import is refused, and the box waits for a choice.
                f.click("bttnImport");
                QCOMPARE(f.desktop.last().text, QStringLiteral("Please choose the column that holds the passwords."));
                QCOMPARE(f.desktop.last().icon, Icon::Information);
                // The user maps the remaining columns with the keyboard.
                auto& password = f.in<QComboBox>("cmbPasswordColumn");
                QCOMPARE(QApplication::focusWidget(), &password);
                password.setCurrentIndex(passwordColumn + 1);
                f.in<QComboBox>("cmbUserIDColumn").setCurrentIndex(3);
                f.in<QComboBox>("cmbGroupColumn").setCurrentIndex(1);
                f.in<QComboBox>("cmbWebsiteColumn").setCurrentIndex(2);
                QCOMPARE(f.previewRow(0), (QStringList{"mail", "m.example", "me", "********", ""}));
            }
            f.in<QRadioButton>(addDuplicates ? "optAddDuplicates" : "optSkipDuplicates").setChecked(true);
            f.click("bttnImport");
        }));
        QCOMPARE(f.desktop.last().text, summary);
        QCOMPARE(f.count("SELECT count(*) FROM tblChildData"), records);
        QCOMPARE(f.count("SELECT count(*) FROM tblMasterData WHERE GroupName = 'mail' COLLATE BINARY"), 0);
        QCOMPARE(f.status(), QStringLiteral("Imported %1 from passwords.csv.")
                                 .arg(records == 4 ? QStringLiteral("2 records") : QStringLiteral("1 record")));
        QCOMPARE(f.grid().rowCount(), records);
    }

    // A file that is not CSV is refused at once, and nothing can be imported from it.
    void refusesFileThatIsNotCsv() {
        Fixture f;
        QVERIFY(!f.withWindow([&] {
            f.choose(QByteArray("\x89PNG\r\n\x1a\n\x00\x00", 10));
            QCOMPARE(f.desktop.last().text, QStringLiteral("This is not a CSV file: it holds binary data."));
            QVERIFY(!f.in<QPushButton>("bttnImport").isEnabled());
            QCOMPARE(f.in<QTableWidget>("tblPreview").rowCount(), 0);
        }));
        QCOMPARE(f.count("SELECT count(*) FROM tblChildData"), 2);
    }

    // The export menu's CSV entries: the passwords only when the option is on and the user accepts the risk;
    // the grid's columns as they were; the file owner-only.
    void exportsCsvFromMenu_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("option");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QByteArray>("body");
        row("all, passwords accepted", QStringLiteral("CSVall"), true, true,
            QByteArray(
                "Bank,www.mine.example,me,pw,,2024-01-02 10:00:00\r\nMail,m.example,me,pm,,2024-01-02 10:00:00\r\n"));
        row("all, passwords refused", QStringLiteral("CSVall"), true, false,
            QByteArray(
                "Bank,www.mine.example,me,,,2024-01-02 10:00:00\r\nMail,m.example,me,,,2024-01-02 10:00:00\r\n"));
        row("selected, option off", QStringLiteral("CSVselectedRows"), false, false,
            QByteArray("Mail,m.example,me,,,2024-01-02 10:00:00\r\n"));
        row("not selected", QStringLiteral("CSVnonSelectedRows"), true, true,
            QByteArray("Bank,www.mine.example,me,pw,,2024-01-02 10:00:00\r\n"));
    }
    void exportsCsvFromMenu() {
        QFETCH(QString, key);
        QFETCH(bool, option);
        QFETCH(bool, accept);
        QFETCH(QByteArray, body);
        Fixture f;
        gExportPassword = option;
        f.clickSelector(1);
        const bool passwordShown = f.grid().isColumnVisible(kPasswordColumn);
        if (option) f.desktop.answer(accept ? Answer::Yes : Answer::No);
        f.form->findChild<QAction*>(key)->trigger();
        QVERIFY(f.desktop.queueEmpty());
        const QString file = ExportFlow::exportFolder() + "/Export" + key + ".csv";
        QCOMPARE(fileBytes(file), "Group,Web Site,User ID,Password,Description,Date Changed\r\n" + body);
        QCOMPARE(QFile::permissions(file) & 0x7077, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QCOMPARE(f.grid().isColumnVisible(kPasswordColumn), passwordShown);
    }
};

QTEST_MAIN(ImportCsvTest)
#include "tst_importcsv.moc"
