#include "tst_main_driver.h"

using namespace kv;
using namespace kv::test;

namespace {

const QList<Rec> kRecords = {
    {"Bank", "a.example", "ann", "pw-a", "first", "2024-01-02 10:00:00", "old-ann", "old-pw-a"},
    {"Bank", "z.example", "zed", "pw-z", "second"},
    {"Work", "b.example", "bob", "pw-b", "third"},
};

const QString kNow = QStringLiteral("2026-03-14 09:26:53"); // the test clock's time

// Options for a test: the Password column shown or not, confirmation on or off.
std::function<void()> options(bool showPasswordColumn, bool confirm) {
    return [=] {
        gShowPasswordColumn = showPasswordColumn;
        gConfirmUpdate = confirm;
    };
}

void updatePassword(const MainWindowFixture& f, const QString& password) {
    f.passwordBox().setText(password);
    QTest::mouseClick(&f.control<QPushButton>("btnUpdatePassword"), Qt::LeftButton);
}

QString unstorable(const QString& characters) {
    return "The password contains characters that Keyvale can not store: " + characters;
}

} // namespace

class EditingTest : public QObject {
    Q_OBJECT
private slots:
    // A new row is stored with its password enciphered; while the Password column is hidden the password
    // is asked for instead.
    void addingARow_data() {
        QTest::addColumn<bool>("column");    // the Password column shown: the password is typed in the grid
        QTest::addColumn<QVariant>("typed"); // null: the box cancelled
        QTest::addColumn<QString>("stored");
        QTest::newRow("in the grid") << true << QVariant("s3cret pass") << "s3cret pass";
        QTest::newRow("asked: blanks around it are kept") << false << QVariant("  pa ss ") << "  pa ss ";
        QTest::newRow("asked: blanks only") << false << QVariant("   ") << "";
        QTest::newRow("asked: cancelled") << false << QVariant() << "";
        QTest::newRow("asked: unstorable, then put right")
            << false << QVariant(QString::fromUtf8("\u03c0-pass")) << "pi-pass";
    }
    void addingARow() {
        QFETCH(bool, column);
        QFETCH(QVariant, typed);
        QFETCH(QString, stored);
        MainWindowFixture f(kRecords, {}, options(column, true));
        f.click(3, 1);
        QStringList cells = {"Bank", "new.example", "neo"};
        if (column) cells << stored;
        for (const QString& cell : cells) {
            f.type(cell);
            f.key(Qt::Key_Tab);
        }
        f.type("note");
        f.key(Qt::Key_Return);
        if (!column) f.desktop.answerInput(typed.isValid() ? std::optional(typed.toString()) : std::nullopt);
        f.key(Qt::Key_Return); // store the row
        if (!column) {
            QCOMPARE(f.desktop.prompts.first().text, QString("Enter Password:"));
            QCOMPARE(f.desktop.prompts.first().title, QString("Password"));
            QVERIFY(f.desktop.prompts.first().masked); // the column is hidden so that passwords are not shown
        }
        if (stored == "pi-pass") {
            QCOMPARE(f.desktop.messages(), QStringList{unstorable(QString::fromUtf8("\u03c0"))});
            QCOMPARE(f.count("SELECT COUNT(*) FROM tblChildData"), 3);
            QVERIFY(f.grid().isEditing());
            f.desktop.answerInput(stored);
            f.key(Qt::Key_Return);
        } else {
            QVERIFY(f.desktop.messages().isEmpty()); // a new row is never confirmed
        }
        QCOMPARE(f.status(), QString("Saved Record"));
        QCOMPARE(f.stored("new.example"), QVariantList({"Bank", "new.example", "neo", stored, "note", kNow, "", ""}));
        QCOMPARE(f.folder.scalar("SELECT Password FROM tblChildData WHERE Website = 'new.example'").toString(),
                 encipherField(stored));
        QCOMPARE(f.grid().caption(), QString("Total Records for all Groups: 4"));
    }

    // A refused store keeps the cursor on its row, whatever key or click tried to leave it, and a group name
    // of blanks is no group name. A new row begins with its group name: typing elsewhere first is refused.
    void aRefusedRowKeepsTheCursor() {
        MainWindowFixture f(kRecords, {}, options(true, false));
        f.click(3, 2);
        f.type("x");
        QCOMPARE(f.grid().currentColumn(), 1);
        QVERIFY(!f.grid().isEditing());
        f.click(0, 4);
        f.type("x"); // opens the cell's editor; its text is still being typed when the cursor is moved
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        editor->setText(QString::fromUtf8("ł"));
        f.key(Qt::Key_Down);
        QCOMPARE(f.desktop.messages(), (QStringList{"Please enter a Group Name!", unstorable(QString::fromUtf8("ł"))}));
        QCOMPARE(f.grid().currentRow(), 0);
        f.key(Qt::Key_Escape);
        f.key(Qt::Key_Escape);
        f.click(1, 1);
        f.type(" ");
        f.key(Qt::Key_Return);
        f.key(Qt::Key_Return);
        QCOMPARE(f.desktop.messages().last(), QString("Please enter a Group Name!"));
        QCOMPARE(f.status(), QString("Group Name must be entered"));
        QCOMPARE(f.stored("z.example")[0].toString(), QString("Bank"));
    }

    // The password button refuses a password the field cipher would not give back unchanged; a save keeps as
    // prior the password the row had when it became current, however often the row is saved.
    void updatingThePassword() {
        MainWindowFixture f(kRecords, {}, options(false, false));
        f.click(1, 2);
        updatePassword(f, QString::fromUtf8("caf\u00e9\u2713es"));
        QCOMPARE(f.desktop.messages(), QStringList{unstorable(QString::fromUtf8("\u2713"))});
        QCOMPARE(f.desktop.last().icon, Icon::Information);
        QVERIFY(f.grid().isEditing());
        QCOMPARE(f.stored("z.example").mid(3, 3), QVariantList({"pw-z", "second", "2024-01-02 10:00:00"}));

        for (const char* password : {"first-new", "second-new"}) {
            updatePassword(f, password);
            QCOMPARE(f.stored("z.example").mid(3), QVariantList({password, "second", kNow, "", "pw-z"}));
        }
        QCOMPARE(f.folder.scalar("SELECT PriorPassword FROM tblChildData WHERE Website = 'z.example'").toString(),
                 encipherField("pw-z"));
        // A new current row is a new snapshot.
        f.key(Qt::Key_Up);
        f.key(Qt::Key_Down);
        updatePassword(f, "third-new");
        QCOMPARE(f.stored("z.example")[7].toString(), QString("second-new"));
    }

    // A save writes the change date and, for a changed user ID or password, the value it replaced.
    void confirmation_data() {
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<int>("answer");
        QTest::newRow("off") << false << int(Answer::Yes);
        QTest::newRow("on, yes") << true << int(Answer::Yes);
        QTest::newRow("on, no") << true << int(Answer::No);
        QTest::newRow("on, after a new row was abandoned") << true << int(Answer::No);
    }
    void confirmation() {
        QFETCH(bool, confirm);
        QFETCH(int, answer);
        const bool saved = answer == int(Answer::Yes);
        MainWindowFixture f(kRecords, {}, options(true, confirm));
        if (QByteArray(QTest::currentDataTag()).contains("abandoned")) {
            f.click(f.grid().rowCount(), 1);
            f.type("Mail");
            f.key(Qt::Key_Return);
            f.key(Qt::Key_Escape);
            QVERIFY(!f.grid().isEditing());
        }
        f.edit(0, 5, "edited");
        f.edit(0, 3, "anna");
        if (confirm) f.desktop.answer(Answer(answer));
        f.key(Qt::Key_Return);
        QCOMPARE(f.desktop.messages(), confirm ? QStringList{"Save changes?"} : QStringList());
        if (confirm) QCOMPARE(f.desktop.last().buttons, Buttons::YesNo);
        QCOMPARE(f.status(), QString(saved ? "Saved Changes" : "Cancelled Changes"));
        QCOMPARE(f.stored("a.example").mid(2),
                 saved ? QVariantList({"anna", "pw-a", "edited", kNow, "ann", "old-pw-a"})
                       : QVariantList({"ann", "pw-a", "first", "2024-01-02 10:00:00", "old-ann", "old-pw-a"}));
        // Refused, the row shows what is stored again.
        QCOMPARE(f.grid().cellText(5), QString(saved ? "edited" : "first"));
        QCOMPARE(f.grid().cellText(3), QString(saved ? "anna" : "ann"));
        QVERIFY(!f.grid().isEditing());
    }

    // Fields are written by name: a record table whose columns stand in another order, or with a column of its
    // own among them, gets every value in its own column, and its own column is left alone.
    void tablesWithOtherColumnOrders_data() {
        QTest::addColumn<QString>("columns");
        const QString id = "ChildAutoID INTEGER PRIMARY KEY AUTOINCREMENT";
        const QString group = "GroupName TEXT NOT NULL REFERENCES tblMasterData (GroupName) ON UPDATE CASCADE";
        QTest::newRow("reversed") << "PriorPassword TEXT, PriorUserID TEXT, DateChanged TEXT, Description TEXT, "
                                     "Password TEXT, UserID TEXT, Website TEXT, " +
                                         group + ", " + id + ", Notes TEXT DEFAULT 'own'";
        QTest::newRow("a column of its own in the middle")
            << id + ", " + group +
                   ", Website TEXT, UserID TEXT, Notes VARCHAR(20) DEFAULT 'own', Password TEXT, "
                   "Description TEXT, DateChanged TEXT, PriorUserID TEXT, PriorPassword TEXT";
    }
    void tablesWithOtherColumnOrders() {
        QFETCH(QString, columns);
        MainWindowFixture f(kRecords, {}, options(false, false),
                            [&columns](const TempAppFolder& folder) { folder.remakeRecordTable(columns); });
        QVERIFY(f.desktop.messages().isEmpty());
        QCOMPARE(f.grid().columnCount(), 9);
        QCOMPARE(f.shownColumn(5), QStringList({"first", "second", "third"}));
        f.edit(0, 3, "ann2");
        f.click(0, 5);
        f.type("changed");
        f.key(Qt::Key_Return);
        updatePassword(f, "pw-new");
        f.click(3, 1);
        for (const char* cell : {"Work", "new.example", "neo"}) {
            f.type(cell);
            f.key(Qt::Key_Tab);
        }
        f.type("note");
        f.desktop.answerInput(QStringLiteral("typed"));
        f.key(Qt::Key_Return);
        f.key(Qt::Key_Return);
        QVERIFY(f.desktop.messages().isEmpty());
        QCOMPARE(f.stored("a.example"),
                 QVariantList({"Bank", "a.example", "ann2", "pw-new", "changed", kNow, "ann", "pw-a"}));
        QCOMPARE(f.stored("new.example"), QVariantList({"Work", "new.example", "neo", "typed", "note", kNow, "", ""}));
        QCOMPARE(f.stored("z.example"),
                 QVariantList({"Bank", "z.example", "zed", "pw-z", "second", "2024-01-02 10:00:00", "", ""}));
        QCOMPARE(f.folder.query("SELECT DISTINCT Notes FROM tblChildData"), QList<QVariantList>{{"own"}});
    }

    void aWriteTheDatabaseRefusesIsReportedAndNotShownAsStored() {
        MainWindowFixture f(kRecords, {}, options(true, false));
        f.folder.execute(
            "CREATE TRIGGER refuse BEFORE UPDATE ON tblChildData BEGIN SELECT RAISE(ABORT, 'refused'); END");
        f.edit(0, 5, "lost");
        f.key(Qt::Key_Return);
        QCOMPARE(f.desktop.messages(),
                 QStringList{"Error 3146 (refused) in procedure SSDBGrid_UnboundWriteData of Form frmMain"});
        QCOMPARE(f.grid().cellText(5), QString("first"));
        QVERIFY(f.status() != "Saved Changes");
        // The recordset is not left holding the refused change.
        f.folder.execute("DROP TRIGGER refuse");
        f.edit(1, 5, "kept");
        f.key(Qt::Key_Return);
        QCOMPARE(f.stored("a.example")[4].toString(), QString("first"));
        QCOMPARE(f.stored("z.example")[4].toString(), QString("kept"));
    }

    // A double click on a website opens it in the browser when it looks like an address, never as a command.
    void websites_data() {
        QTest::addColumn<QString>("website");
        QTest::addColumn<QString>("opened"); // empty: not opened
        QTest::addColumn<QString>("status");
        QTest::newRow("www.") << "www.x.com" << "http://www.x.com" << "Website: www.x.com selected.";
        QTest::newRow("bare host") << "x.com" << "" << "Not a valid URL structure!";
    }
    void websites() {
        QFETCH(QString, website);
        QFETCH(QString, opened);
        QFETCH(QString, status);
        MainWindowFixture f({{"Bank", website, "u", "p"}});
        const QPoint at = f.view().visualRect(f.grid().model()->index(0, 2)).center();
        QTest::mouseClick(f.view().viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(f.view().viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(f.desktop.openedUrls, opened.isEmpty() ? QStringList() : QStringList{opened});
        QVERIFY(f.desktop.started.isEmpty());
        QCOMPARE(f.status(), status);
    }

    // The label's access key enters the box, which shows the password selected while it has the focus;
    // Enter there stores it.
    void passwordBox() {
        MainWindowFixture f(kRecords, {}, options(false, false));
        QLineEdit& box = f.passwordBox();
        QTest::keyClick(f.form.get(), Qt::Key_P, Qt::AltModifier);
        QVERIFY(box.hasFocus());
        QCOMPARE(box.echoMode(), QLineEdit::Normal);
        QCOMPARE(box.selectedText(), QString("pw-a"));
        f.view().setFocus();
        QCOMPARE(box.echoMode(), QLineEdit::Password);
        box.setFocus();
        QTest::keyClicks(&box, "typed-pw");
        QTest::keyClick(&box, Qt::Key_Return);
        QCOMPARE(f.stored("a.example")[3].toString(), QString("typed-pw"));
    }
};

QTEST_MAIN(EditingTest)
#include "tst_editing.moc"
