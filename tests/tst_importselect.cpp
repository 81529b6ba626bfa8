// Import Selected Data through the real window: another data folder with records of its own, its master
// password, rows picked on the row selectors, and the main window afterwards.
#include "tools/frmImportSelect.h"
#include "store/Schema.h"
#include "tst_main_driver.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

using namespace kv;
using namespace kv::test;

namespace {

const QString kInvalid = QStringLiteral("Invalid Password!");
const QString kThreeAttempts = QStringLiteral("Three attempts were made to gain access to another Keyvale "
                                              "database!\nThe Select Import form will close now!");

// The other database's records, in the grid's order (group, then web site).
const QList<Rec> kOther = {
    Rec("bank", "www.a-bank.example", "ann", "pa", "cheque", "2020-05-06 07:08:09", "ann0", "pa0"),
    Rec("Mail", "www.b-mail.example", "bob", "", "", "2021-01-01 00:00:00"),
    Rec("Mail", "www.c-mail.example", "cat", "pc"),
    Rec("Travel", "www.d-travel.example", "dan", "pd"),
};

// Another data folder: a database of its own with the master password "OTHER1PW" and the records, its
// record table made with `columns` when given.
struct OtherFolder {
    explicit OtherFolder(const QString& columns = {}) {
        createDeliveredDatabase(dir.path() + "/keyvale.mdb");
        if (!columns.isEmpty()) remakeRecordTable(dir.path() + "/keyvale.mdb", columns);
        auto db = sql::Connection::open(dir.path() + "/keyvale.mdb", kDatabasePassword);
        db->execute("INSERT INTO tblPassword (Password) VALUES (?)", {encipherField("OTHER1PW")});
        insertRecords([&db](const QString& sql, const QVariantList& p) { db->execute(sql, p); }, kOther);
    }
    QTemporaryDir dir;
};

// The main window over its own database, and the import window driven while it is open.
struct Fixture : MainWindowFixture {
    Fixture() : MainWindowFixture({Rec("Bank", "www.mine.example", "me", "pw")}, {"Travel"}) {}

    // Opens Edit > Import Selected Data and runs `drive` while the window is up; closes it afterwards when
    // it is still open. Answers whether the window had closed itself.
    bool withWindow(const std::function<void()>& drive) {
        bool opened = false, closedItself = false;
        QTimer::singleShot(0, [&] {
            window = qobject_cast<frmImportSelect*>(QApplication::activeModalWidget());
            if (!(opened = window)) return;
            QApplication::setActiveWindow(window);
            drive();
            closedItself = !window->isVisible();
            window->reject();
        });
        control<QAction>("mnuEditImportSelectData").trigger();
        QTest::qVerify(opened, "opened", "the import window opens", __FILE__, __LINE__);
        return closedItself;
    }
    template <class W> W& in(const char* name) const { return *child<W>(*window, name); }
    // Types a folder into the path box and leaves it, as a user tabbing on would.
    void typeFolder(const QString& folder) {
        in<QLineEdit>("txtKeyvaleImportPath").setFocus();
        in<QLineEdit>("txtKeyvaleImportPath").setText(folder);
        QTest::keyClick(&in<QLineEdit>("txtKeyvaleImportPath"), Qt::Key_Tab);
        QApplication::processEvents();
    }
    void click(const char* button) { QTest::mouseClick(&in<QPushButton>(button), Qt::LeftButton); }
    void getData(const QString& password) {
        in<QLineEdit>("txtPassword").setText(password);
        click("btnGetData");
    }
    GridDriver selection() const { return GridDriver{child<RecordsGrid>(*window, "SSDBGrid")}; }

    QPointer<frmImportSelect> window;
};

} // namespace

class ImportSelectTest : public QObject {
    Q_OBJECT
private slots:
    // Folder, password, rows, import: each step opens the next; the rows chosen on the row selectors
    // arrive with their values, under existing groups by the case rule or new groups made without asking,
    // and the main window shows them in the group it showed.
    void importsSelectedRows_data() {
        QTest::addColumn<QString>("clicks"); // row selectors: "2" plain, "+3" with Shift, "^0" with Ctrl
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<QString>("columns"); // the other database's record table, when not as delivered
        QTest::newRow("one row") << "1" << QList<int>{1} << QString();
        QTest::newRow("out of sequence with Ctrl") << "0 ^3" << QList<int>{0, 3} << QString();
        QTest::newRow("in line with Shift") << "1 +3" << QList<int>{1, 2, 3} << QString();
        QTest::newRow("fields in another order, one of its own among them")
            << "0 +3" << QList<int>{0, 1, 2, 3}
            << "PriorPassword TEXT, PriorUserID TEXT, DateChanged TEXT, Notes TEXT DEFAULT 'x', Description TEXT, "
               "Password TEXT, UserID TEXT, Website TEXT, GroupName TEXT, ChildAutoID INTEGER PRIMARY KEY";
    }
    void importsSelectedRows() {
        QFETCH(QString, clicks);
        QFETCH(QList<int>, rows);
        QFETCH(QString, columns);
        OtherFolder other(columns);
        Fixture f;
        f.combo().setCurrentIndex(f.combo().findText("Bank"));
        f.form->SSDBCombo_Click();
        const QString n = QString::number(rows.size()) + (rows.size() == 1 ? " row" : " rows");
        QVERIFY(f.withWindow([&] {
            QVERIFY(!f.in<QLineEdit>("txtPassword").isEnabled());
            f.typeFolder(other.dir.path());
            QVERIFY(f.in<QLineEdit>("txtPassword").isEnabled() && !f.in<QPushButton>("btnGetData").isEnabled());
            QCOMPARE(f.selection().driven->caption(), QStringLiteral("Select Rows To Import"));
            f.getData("other1pw");
            QVERIFY(!f.in<QPushButton>("btnGetData").isEnabled() && !f.in<QLineEdit>("txtPassword").isEnabled());
            QVERIFY(f.selection().driven->caption().startsWith("Total Selectable Records: 4 --- Select Rows"));
            for (const QString& c : clicks.split(' '))
                f.selection().clickSelector(c.right(1).toInt(), c[0] == '+'   ? Qt::ShiftModifier
                                                                : c[0] == '^' ? Qt::ControlModifier
                                                                              : Qt::NoModifier);
            f.desktop.answer(Answer::Yes);
            f.click("btnImport");
        }));
        QCOMPARE(f.desktop.messages(), (QStringList{"Do you really want to import " + n + " of data?",
                                                    "Keyvale successfully imported " + n + " of data."}));
        QCOMPARE(f.status(), "Imported " + QString::number(rows.size()) + " rows of Keyvale's data successfully.");
        for (int i = 0; i < kOther.size(); ++i) {
            const Rec& r = kOther[i];
            // "bank" is filed under the open database's "Bank"; the date is the source's.
            const QVariantList expected{r.group == "bank" ? "Bank" : r.group,
                                        r.website,
                                        r.user,
                                        r.password,
                                        r.description,
                                        r.date,
                                        r.priorUser,
                                        r.priorPassword};
            QCOMPARE(f.stored(r.website), rows.contains(i) ? expected : QVariantList());
        }
        // The main window keeps its group and lists the new one.
        QCOMPARE(f.combo().currentText(), QStringLiteral("Bank"));
        QCOMPARE(f.grid().rowCount(), 1 + rows.contains(0));
        QCOMPARE(f.combo().findText("Mail") > 0, rows.contains(1));
        QCOMPARE(f.folder.option("ImportSelectPath"), other.dir.path());
    }

    // Three clicks on Get Data per opening of the window, the successful one counted too.
    void threeClicks_data() {
        QTest::addColumn<QStringList>("passwords");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("rowsShown");
        QTest::newRow("three wrong") << QStringList{"a", "b", "c"}
                                     << QStringList{kInvalid, kInvalid, kInvalid, kThreeAttempts} << 0;
        QTest::newRow("two wrong, then right")
            << QStringList{"a", "b", "OTHER1PW"} << QStringList{kInvalid, kInvalid, kThreeAttempts} << 4;
    }
    void threeClicks() {
        QFETCH(QStringList, passwords);
        QFETCH(QStringList, messages);
        QFETCH(int, rowsShown);
        OtherFolder other;
        Fixture f;
        int shown = -1;
        QVERIFY(f.withWindow([&] {
            f.typeFolder(other.dir.path());
            for (const QString& p : passwords)
                f.getData(p);
            shown = f.selection().driven->rowCount();
        }));
        QCOMPARE(f.desktop.messages(), messages);
        QCOMPARE(shown, rowsShown);
        QCOMPARE(f.count("SELECT count(*) FROM tblChildData"), 1);
    }

    // A folder that is no data folder of ours gets its message; the window stays usable and nothing is kept.
    void refusedFolders_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        const QString notOurs = "is not a Keyvale database, or not one Keyvale can open.";
        QTest::newRow("the open folder by a link, browsed") << "open"
                                                            << "Cannot select the current Keyvale database.";
        QTest::newRow("no database") << "empty"
                                     << "Please enter a valid path where a Keyvale database resides!";
        QTest::newRow("not a database") << "text" << notOurs;
        QTest::newRow("another key") << "other key" << notOurs;
        QTest::newRow("no tables") << "no tables" << notOurs;
        QTest::newRow("a record field missing") << "no field"
                                                << notOurs + "\nThe table tblChildData of the database '%db' has no "
                                                             "field Description";
        QTest::newRow("never set up") << "not set up"
                                      << "The Keyvale database in '%dir' has no master password yet: it was never "
                                         "set up, and nothing can be imported from it.";
    }
    void refusedFolders() {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString file = dir.path() + "/keyvale.mdb";
        Fixture f;
        if (kind == "open") QVERIFY(QFile::link(f.folder.path(), dir.path() + "/link"));
        if (kind == "text") QVERIFY(writeFile(file, QByteArray(4096, 'x')));
        if (kind.startsWith("other") || kind.startsWith("no t"))
            sql::Connection::create(file, kind == "no tables" ? kDatabasePassword : "another")
                ->executeScript("CREATE TABLE t (x);");
        if (kind == "no field" || kind == "not set up") createDeliveredDatabase(file);
        if (kind == "no field")
            remakeRecordTable(file, "ChildAutoID INTEGER PRIMARY KEY, GroupName TEXT, Website TEXT, UserID TEXT, "
                                    "Password TEXT, DateChanged TEXT, PriorUserID TEXT, PriorPassword TEXT");
        message.replace("%db", file).replace("%dir", dir.path());
        f.withWindow([&] {
            if (kind == "open") {
                f.desktop.answerFolder(dir.path() + "/link/");
                f.click("btnGetKeyvaleImportPath");
            } else {
                f.typeFolder(dir.path());
            }
            QVERIFY2(f.desktop.last().text.contains(message), qPrintable(f.desktop.last().text));
            QVERIFY(!f.in<QLineEdit>("txtPassword").isEnabled() && f.in<QLineEdit>("txtKeyvaleImportPath").isEnabled());
        });
        QCOMPARE(f.desktop.messages().size(), 1);
        QCOMPARE(f.desktop.last().icon, Icon::Information);
        QCOMPARE(gImportSelectPath, QString());
    }

    // Rows shown belong to the database they came from: leaving the path box on the same folder keeps them,
    // another folder drops them until its own password is given, so no row is taken for another's.
    void anotherFolderDropsTheRows() {
        OtherFolder first, second;
        Fixture f;
        f.withWindow([&] {
            f.typeFolder(first.dir.path());
            f.getData("OTHER1PW");
            f.typeFolder(first.dir.path() + "/");
            QCOMPARE(f.selection().driven->rowCount(), 4);
            f.desktop.answerFolder(second.dir.path());
            f.click("btnGetKeyvaleImportPath");
            QCOMPARE(f.selection().driven->rowCount(), 0);
            QVERIFY(!f.in<QPushButton>("btnImport").isEnabled() && f.in<QPushButton>("btnGetData").isEnabled());
        });
        QCOMPARE(f.desktop.messages(), QStringList());
    }

    // The other database's passwords, deciphered in the grid, reach a screen reader only while the main
    // window shows its Password columns.
    void hiddenPasswordsStayHidden_data() {
        QTest::addColumn<bool>("shown");
        QTest::newRow("columns hidden") << false;
        QTest::newRow("columns shown") << true;
    }
    void hiddenPasswordsStayHidden() {
        QFETCH(bool, shown);
        OtherFolder other;
        Fixture f;
        f.form->viewFlags().ShowPasswordColumn = f.form->viewFlags().ShowPriorUserIDPassword = shown;
        const QStringList passwords{"pa", "pc", "pd", "pa0"};
        QStringList reached;
        f.withWindow([&] {
            f.typeFolder(other.dir.path());
            f.getData("OTHER1PW");
            const QStringList texts = f.selection().accessibleTexts();
            QVERIFY(texts.contains("www.d-travel.example"));
            for (const QString& p : passwords)
                if (texts.contains(p)) reached << p;
        });
        QCOMPARE(reached, shown ? passwords : QStringList());
    }

    // A password that deciphers to a character the field cipher cannot give back (a damaged or altered file)
    // would be stored as another password: its row is skipped and named, the others imported.
    void unstorablePasswordsAreSkippedAndNamed() {
        OtherFolder other;
        {
            auto db = sql::Connection::open(other.dir.path() + "/keyvale.mdb", kDatabasePassword);
            // These stored characters decipher to a text that ends in NUL.
            db->execute("UPDATE tblChildData SET Password = ? WHERE Website = 'www.c-mail.example'",
                        {QString("aaaa") + QChar(0)});
            QVERIFY(decipherField(QString("aaaa") + QChar(0)).endsWith(QChar(0)));
        }
        Fixture f;
        f.withWindow([&] {
            f.typeFolder(other.dir.path());
            f.getData("OTHER1PW");
            f.selection().clickSelector(1);
            f.selection().clickSelector(3, Qt::ShiftModifier);
            f.desktop.answer(Answer::Yes);
            f.click("btnImport");
        });
        QCOMPARE(f.desktop.messages(),
                 (QStringList{"Do you really want to import 3 rows of data?",
                              "Keyvale successfully imported 2 rows of data.\n1 row was not imported, because Keyvale "
                              "can not store their passwords unchanged: Mail / www.c-mail.example."}));
        QCOMPARE(f.status(), QString("Imported 2 rows of Keyvale's data successfully."));
        QCOMPARE(f.stored("www.c-mail.example"), QVariantList());
        QCOMPARE(f.stored("www.d-travel.example")[3].toString(), QString("pd"));
    }

    // An error in the middle of the run ends it: the rows stored before it are kept, and the error reported.
    void errorInTheMiddle() {
        OtherFolder other;
        Fixture f;
        f.folder.execute("CREATE TRIGGER refuse BEFORE INSERT ON tblChildData WHEN NEW.Website LIKE 'www.c%' "
                         "BEGIN SELECT RAISE(ABORT, 'disk is full'); END;");
        f.withWindow([&] {
            f.typeFolder(other.dir.path());
            f.getData("OTHER1PW");
            f.selection().clickSelector(0);
            f.selection().clickSelector(3, Qt::ShiftModifier);
            f.desktop.answer(Answer::Yes);
            f.click("btnImport");
        });
        QVERIFY(f.desktop.last().text.startsWith("Error "));
        QVERIFY(f.desktop.last().text.endsWith("(disk is full) in procedure btnImport_Click of Form frmImportSelect"));
        QCOMPARE(f.count("SELECT count(*) FROM tblChildData"), 3);
        QCOMPARE(f.grid().rowCount(), 3);
    }
};

QTEST_MAIN(ImportSelectTest)
#include "tst_importselect.moc"
