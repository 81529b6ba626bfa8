// keyvale_gui
// Import Selected Data through the real window: another data folder with records of its own, its master
// password, rows picked on the row selectors, and the main window afterwards.
#include "exchange/frmImportSelect.h"
#include "store/Schema.h"
#include "support/Widgets.h"
#include "tst_main_driver.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

using namespace kv;
using namespace kv::test;

namespace {

const QString kOtherPassword = QStringLiteral("OTHER1PW");
const QString kNoValidPath = QStringLiteral("Please enter a valid path where a Keyvale database resides!");
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

// Another data folder: a database of its own with a master password and records.
struct OtherFolder {
    explicit OtherFolder(const QList<Rec>& records = kOther, const QString& password = kOtherPassword) {
        createDeliveredDatabase(database());
        auto db = sql::Connection::open(database(), kDatabasePassword);
        db->execute("INSERT INTO tblPassword (Password, Question, Answer) VALUES (?, 'Q', 'A')",
                    {encipherField(password)});
        for (const Rec& r : records) {
            db->execute("INSERT OR IGNORE INTO tblMasterData VALUES (?)", {r.group});
            db->execute("INSERT INTO tblChildData (GroupName, Website, UserID, Password, Description, DateChanged, "
                        "PriorUserID, PriorPassword) VALUES (?,?,?,?,?,?,?,?)",
                        {r.group, r.website, r.user, encipherField(r.password), r.description, r.date, r.priorUser,
                         encipherField(r.priorPassword)});
        }
    }
    QString path() const { return dir.path(); }
    QString database() const { return dir.path() + "/keyvale.mdb"; }
    QTemporaryDir dir;
};

// The main window over its own database, and the import window driven while it is open.
struct Fixture : MainWindowFixture {
    Fixture() : MainWindowFixture({Rec("Bank", "www.mine.example", "me", "pw")}, {"Travel"}) {}

    // Opens Edit > Import Selected Data and runs `drive` while the window is up; closes it afterwards when
    // it is still open. Answers whether the window had closed itself.
    bool withWindow(const std::function<void(frmImportSelect&)>& drive) {
        bool closedItself = false;
        bool opened = false;
        QTimer::singleShot(0, [&] {
            auto* w = qobject_cast<frmImportSelect*>(QApplication::activeModalWidget());
            if (!w) return;
            opened = true;
            window = w;
            QApplication::setActiveWindow(w);
            drive(*w);
            closedItself = !w->isVisible();
            if (w->isVisible()) w->reject();
        });
        control<QAction>("mnuEditImportSelectData").trigger();
        QTest::qVerify(opened, "opened", "the import window opens", __FILE__, __LINE__);
        return closedItself;
    }
    template <class W> W& in(const char* name) const { return *child<W>(*window, name); }
    // Types a folder into the path box and leaves it, as a user tabbing on would.
    void typeFolder(const QString& folder) {
        auto& path = in<QLineEdit>("txtKeyvaleImportPath");
        path.setFocus();
        path.setText(folder);
        QTest::keyClick(&path, Qt::Key_Tab);
        QApplication::processEvents();
    }
    void getData(const QString& password) {
        in<QLineEdit>("txtPassword").setText(password);
        QTest::mouseClick(&in<QPushButton>("btnGetData"), Qt::LeftButton);
    }
    GridDriver selection() const { return GridDriver{child<RecordsGrid>(*window, "SSDBGrid")}; }
    QVariant optionImportPath() const {
        return folder.scalar("SELECT OptionValue FROM tblOptions WHERE OptionName = 'ImportSelectPath'");
    }

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
        QTest::addColumn<QStringList>("websites");
        QTest::newRow("one row") << "1" << QStringList{"www.b-mail.example"};
        QTest::newRow("out of sequence with Ctrl")
            << "0 ^3" << QStringList{"www.a-bank.example", "www.d-travel.example"};
        QTest::newRow("in line with Shift")
            << "1 +3" << QStringList{"www.b-mail.example", "www.c-mail.example", "www.d-travel.example"};
    }
    void importsSelectedRows() {
        QFETCH(QString, clicks);
        QFETCH(QStringList, websites);
        OtherFolder other;
        Fixture f;
        f.combo().setCurrentIndex(f.combo().findText("Bank"));
        f.form->SSDBCombo_Click();
        const QString unit = websites.size() == 1 ? " row" : " rows";
        const bool closed = f.withWindow([&](frmImportSelect& w) {
            QCOMPARE(w.windowTitle(), QStringLiteral("Keyvale Import Data Select"));
            QVERIFY(!f.in<QLineEdit>("txtPassword").isEnabled());
            f.typeFolder(other.path());
            QVERIFY(f.in<QLineEdit>("txtPassword").isEnabled());
            QVERIFY(!f.in<QPushButton>("btnGetData").isEnabled());
            QCOMPARE(f.optionImportPath().toString(), other.path());
            QCOMPARE(f.selection().driven->caption(), QStringLiteral("Select Rows To Import"));

            f.getData(kOtherPassword.toLower());
            QVERIFY(f.in<QPushButton>("btnImport").isEnabled());
            QVERIFY(!f.in<QPushButton>("btnGetData").isEnabled() && !f.in<QLineEdit>("txtPassword").isEnabled());
            QVERIFY(f.selection().driven->caption().startsWith("Total Selectable Records: 4 --- Select Rows"));
            QCOMPARE(f.selection().shownColumn(2), (QStringList{"www.a-bank.example", "www.b-mail.example",
                                                                 "www.c-mail.example", "www.d-travel.example"}));
            for (const QString& click : clicks.split(' '))
                f.selection().clickSelector(click.right(1).toInt(), click[0] == '+'   ? Qt::ShiftModifier
                                                                   : click[0] == '^' ? Qt::ControlModifier
                                                                                     : Qt::NoModifier);
            f.desktop.answer(Answer::Yes);
            QTest::mouseClick(&f.in<QPushButton>("btnImport"), Qt::LeftButton);
        });
        QVERIFY(closed);
        QCOMPARE(f.desktop.messages(),
                 (QStringList{"Do you really want to import " + QString::number(websites.size()) + unit + " of data?",
                              "Keyvale successfully imported " + QString::number(websites.size()) + unit +
                                  " of data."}));
        QCOMPARE(f.status(), "Imported " + QString::number(websites.size()) + " rows of Keyvale's data successfully.");

        for (const Rec& r : kOther) {
            const QVariantList stored = f.stored(r.website);
            if (!websites.contains(r.website)) {
                QVERIFY(stored.isEmpty());
                continue;
            }
            // "bank" is filed under the open database's "Bank"; the date is the source's.
            const QString group = r.group == "bank" ? "Bank" : r.group;
            QCOMPARE(stored, (QVariantList{group, r.website, r.user, r.password, r.description, r.date, r.priorUser,
                                           r.priorPassword}));
        }
        QCOMPARE(f.count("SELECT count(*) FROM tblMasterData"), websites.contains("www.b-mail.example") ? 3 : 2);
        // The main window keeps its group and shows the new lists.
        QCOMPARE(f.combo().currentText(), QStringLiteral("Bank"));
        QCOMPARE(f.grid().rowCount(), 1 + websites.contains("www.a-bank.example"));
        QCOMPARE(f.combo().findText("Mail") > 0, websites.contains("www.b-mail.example"));
        QCOMPARE(gImportSelectPath, other.path());
    }

    // Three clicks on Get Data per opening of the window, the successful one counted too.
    void threeClicks_data() {
        QTest::addColumn<QStringList>("passwords");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("rowsShown");
        QTest::newRow("three wrong") << QStringList{"a", "b", "c"} << QStringList{kInvalid, kInvalid, kInvalid, kThreeAttempts}
                                     << 0;
        QTest::newRow("two wrong, then right") << QStringList{"a", "b", kOtherPassword}
                                               << QStringList{kInvalid, kInvalid, kThreeAttempts} << 4;
    }
    void threeClicks() {
        QFETCH(QStringList, passwords);
        QFETCH(QStringList, messages);
        QFETCH(int, rowsShown);
        OtherFolder other;
        Fixture f;
        int shown = -1;
        const bool closed = f.withWindow([&](frmImportSelect&) {
            f.typeFolder(other.path());
            for (const QString& p : passwords) f.getData(p);
            shown = f.selection().driven->rowCount();
        });
        QVERIFY(closed);
        QCOMPARE(f.desktop.messages(), messages);
        QCOMPARE(shown, rowsShown);
        QCOMPARE(f.count("SELECT count(*) FROM tblChildData"), 1);
    }

    // A folder that is no data folder of ours gets its message and changes nothing; the window stays usable.
    void refusedFolders_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("browse");
        QTest::addColumn<QString>("message");
        const QString notOurs = "is not a Keyvale database, or not one Keyvale can open.";
        QTest::newRow("open folder browsed") << "open" << true << "Cannot select the current Keyvale database.";
        QTest::newRow("open folder by a link, browsed") << "open link" << true
                                                        << "Cannot select the current Keyvale database.";
        QTest::newRow("no database, typed") << "empty" << false << kNoValidPath;
        QTest::newRow("no database, browsed") << "empty" << true << kNoValidPath;
        QTest::newRow("not a database") << "text" << false << notOurs;
        QTest::newRow("another key") << "other key" << false << notOurs;
        QTest::newRow("no tables") << "no tables" << true << notOurs;
    }
    void refusedFolders() {
        QFETCH(QString, kind);
        QFETCH(bool, browse);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QString folder = dir.path();
        const QString file = folder + "/keyvale.mdb";
        Fixture f;
        if (kind == "open") folder = f.folder.path(); // ends in "/"
        if (kind == "open link") QVERIFY(QFile::link(f.folder.path(), folder = dir.path() + "/link"));
        if (kind == "text") {
            QFile text(file);
            QVERIFY(text.open(QIODevice::WriteOnly) && text.write(QByteArray(4096, 'x')) > 0);
        }
        if (kind == "other key") sql::Connection::create(file, "another key")->executeScript("CREATE TABLE t (x);");
        if (kind == "no tables") sql::Connection::create(file, kDatabasePassword)->executeScript("CREATE TABLE t (x);");
        f.withWindow([&](frmImportSelect&) {
            if (browse) {
                f.desktop.answerFolder(folder);
                QTest::mouseClick(&f.in<QPushButton>("btnGetKeyvaleImportPath"), Qt::LeftButton);
            } else {
                f.typeFolder(folder);
            }
            QCOMPARE(f.desktop.last().icon, Icon::Information);
            QVERIFY2(f.desktop.last().text.contains(message), qPrintable(f.desktop.last().text));
            QVERIFY(!f.in<QLineEdit>("txtPassword").isEnabled());
            QVERIFY(f.in<QLineEdit>("txtKeyvaleImportPath").isEnabled());
        });
        QCOMPARE(f.desktop.messages().size(), 1);
        QCOMPARE(f.optionImportPath().toString(), QString());
    }

    // An other database without records, and Import with no row selected, each have their message.
    void nothingToImport() {
        OtherFolder empty(QList<Rec>{});
        OtherFolder other;
        Fixture f;
        f.withWindow([&](frmImportSelect&) {
            f.desktop.answerFolder(empty.path());
            QTest::mouseClick(&f.in<QPushButton>("btnGetKeyvaleImportPath"), Qt::LeftButton);
            f.getData(kOtherPassword);
            QCOMPARE(f.desktop.last().text, QStringLiteral("There are no records in the selected Keyvale database."));
            f.desktop.answerFolder(other.path());
            QTest::mouseClick(&f.in<QPushButton>("btnGetKeyvaleImportPath"), Qt::LeftButton);
            f.getData(kOtherPassword);
            QTest::mouseClick(&f.in<QPushButton>("btnImport"), Qt::LeftButton);
            QCOMPARE(f.desktop.last().text,
                     QStringLiteral("Please select at least one row to begin the import process!"));
        });
        // A folder chosen with the browse button is not remembered.
        QCOMPARE(f.optionImportPath().toString(), QString());
        QCOMPARE(f.count("SELECT count(*) FROM tblChildData"), 1);
    }

    // An error in the middle of the run ends it: the rows stored before it are kept, and reported.
    void errorInTheMiddle() {
        OtherFolder other;
        Fixture f;
        f.folder.execute("CREATE TRIGGER refuse BEFORE INSERT ON tblChildData WHEN NEW.Website LIKE 'www.c%' "
                         "BEGIN SELECT RAISE(ABORT, 'disk is full'); END;");
        f.withWindow([&](frmImportSelect&) {
            f.typeFolder(other.path());
            f.getData(kOtherPassword);
            f.selection().clickSelector(0);
            f.selection().clickSelector(3, Qt::ShiftModifier);
            f.desktop.answer(Answer::Yes);
            QTest::mouseClick(&f.in<QPushButton>("btnImport"), Qt::LeftButton);
            QVERIFY(f.desktop.last().text.startsWith("Error "));
            QVERIFY(f.desktop.last().text.endsWith("(disk is full) in procedure btnImport_Click of Form frmImportSelect"));
        });
        QCOMPARE(f.count("SELECT count(*) FROM tblChildData"), 3);
        QVERIFY(!f.stored("www.b-mail.example").isEmpty());
        QCOMPARE(f.grid().rowCount(), 3);
    }
};

QTEST_MAIN(ImportSelectTest)
#include "tst_importselect.moc"
