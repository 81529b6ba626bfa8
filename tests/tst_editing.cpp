// keyvale_gui
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
        QCOMPARE(f.status(), QString("Add Mode"));
        QStringList cells = {"Bank", "new.example", "neo"};
        if (column) cells << typed.toString();
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
        QCOMPARE(f.passwordBox().text(), stored);
        QCOMPARE(f.stored("new.example"), QVariantList({"Bank", "new.example", "neo", stored, "note", kNow, "", ""}));
        const QString raw =
            f.folder.scalar("SELECT Password FROM tblChildData WHERE Website = 'new.example'").toString();
        QCOMPARE(raw, encipherField(stored));
        QVERIFY(stored.isEmpty() || raw != stored);
        QCOMPARE(f.grid().caption(), QString("Total Records for all Groups: 4"));
    }

    // A new row begins with its group name: typing elsewhere first is refused, and so is storing it blank.
    void aNewRowNeedsItsGroupName() {
        MainWindowFixture f(kRecords, {}, options(true, false));
        f.click(3, 2);
        f.type("x");
        QCOMPARE(f.desktop.messages(), QStringList{"Please enter a Group Name!"});
        QCOMPARE(f.grid().currentColumn(), 1);
        QVERIFY(!f.grid().isEditing());

        f.type("B");
        f.key(Qt::Key_Backspace);
        f.key(Qt::Key_Tab);
        f.type("nogroup.example");
        f.key(Qt::Key_Return);
        f.key(Qt::Key_Return);
        QCOMPARE(f.desktop.messages().size(), 2);
        QCOMPARE(f.status(), QString("Group Name must be entered"));
        QCOMPARE(f.grid().currentColumn(), 1);
        QVERIFY(f.grid().isEditing());
        QCOMPARE(f.count("SELECT COUNT(*) FROM tblChildData"), 3);
        // The user stays in the row until it is put right or dropped.
        f.key(Qt::Key_Up);
        QCOMPARE(f.grid().currentRow(), 3);
    }

    // A save writes the prior values of the row as it was when it became current, and the change date.
    void priorValuesAndChangeDate_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QStringList>("typed"); // typed in turn, each followed by Enter
        QTest::addColumn<QVariantList>("stored");
        QTest::newRow("user ID") << 3 << QStringList{"anna"}
                                 << QVariantList{"anna", "pw-a", "first", kNow, "ann", "old-pw-a"};
        QTest::newRow("user ID changed and back: nothing written")
            << 3 << QStringList{"anna", "ann"}
            << QVariantList{"ann", "pw-a", "first", "2024-01-02 10:00:00", "old-ann", "old-pw-a"};
        QTest::newRow("description only: priors untouched")
            << 5 << QStringList{"changed"} << QVariantList{"ann", "pw-a", "changed", kNow, "old-ann", "old-pw-a"};
        QTest::newRow("password") << 4 << QStringList{"new-pw"}
                                  << QVariantList{"ann", "new-pw", "first", kNow, "old-ann", "pw-a"};
    }
    void priorValuesAndChangeDate() {
        QFETCH(int, column);
        QFETCH(QStringList, typed);
        QFETCH(QVariantList, stored);
        MainWindowFixture f(kRecords, {}, options(true, false));
        for (const QString& text : typed)
            f.edit(0, column, text);
        f.key(Qt::Key_Down);
        QCOMPARE(f.stored("a.example").mid(2), stored);
    }

    // A password the field cipher would not give back unchanged is refused before anything is stored.
    void unstorablePasswordsAreRefused_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("characters");
        QTest::newRow("outside the code page")
            << QString::fromUtf8("caf\u00e9\u2713\u4e2d") << QString::fromUtf8("\u2713\u4e2d");
        QTest::newRow("code 255") << QString::fromUtf8("\u00ffes") << QString::fromUtf8("\u00ff");
    }
    void unstorablePasswordsAreRefused() {
        QFETCH(QString, password);
        QFETCH(QString, characters);
        MainWindowFixture f(kRecords, {}, options(true, false));
        f.click(1, 2);
        const QString before = f.status();
        updatePassword(f, password);
        QCOMPARE(f.desktop.messages(), QStringList{unstorable(characters)});
        QCOMPARE(f.desktop.last().icon, Icon::Information);
        QCOMPARE(f.stored("z.example").mid(3, 3), QVariantList({"pw-z", "second", "2024-01-02 10:00:00"}));
        QVERIFY(f.grid().isEditing());
        QCOMPARE(f.status(), before);
    }

    void savingThePasswordTwiceInTheRowKeepsTheSamePrior() {
        MainWindowFixture f(kRecords, {}, options(false, false));
        f.click(1, 2);
        QCOMPARE(f.passwordBox().text(), QString("pw-z"));
        for (const char* password : {"first-new", "second-new"}) {
            updatePassword(f, password);
            QCOMPARE(f.status(), QString("Saved Changes"));
            QCOMPARE(f.stored("z.example")[3].toString(), QString(password));
            QCOMPARE(f.stored("z.example")[7].toString(), QString("pw-z"));
        }
        QCOMPARE(f.folder.scalar("SELECT PriorPassword FROM tblChildData WHERE Website = 'z.example'").toString(),
                 encipherField("pw-z"));
        // A new current row is a new snapshot.
        f.key(Qt::Key_Up);
        f.key(Qt::Key_Down);
        updatePassword(f, "third-new");
        QCOMPARE(f.stored("z.example")[7].toString(), QString("second-new"));
    }

    void confirmation_data() {
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("description");
        QTest::newRow("off") << false << -1 << QString("Saved Changes") << QString("edited");
        QTest::newRow("on, yes") << true << int(Answer::Yes) << QString("Saved Changes") << QString("edited");
        QTest::newRow("on, no") << true << int(Answer::No) << QString("Cancelled Changes") << QString("second");
        QTest::newRow("on, after a new row was abandoned")
            << true << int(Answer::No) << QString("Cancelled Changes") << QString("second");
    }
    void confirmation() {
        QFETCH(bool, confirm);
        QFETCH(int, answer);
        QFETCH(QString, status);
        QFETCH(QString, description);
        MainWindowFixture f(kRecords, {}, options(true, confirm));
        if (QByteArray(QTest::currentDataTag()).contains("abandoned")) {
            f.click(f.grid().rowCount(), 1);
            f.type("Mail");
            f.key(Qt::Key_Return);
            f.key(Qt::Key_Escape);
            QVERIFY(!f.grid().isEditing());
        }
        f.edit(1, 5, "edited");
        f.edit(1, 3, "zack");
        if (answer >= 0) f.desktop.answer(Answer(answer));
        f.key(Qt::Key_Return);
        QCOMPARE(f.desktop.messages(), confirm ? QStringList{"Save changes?"} : QStringList());
        if (confirm) QCOMPARE(f.desktop.last().buttons, Buttons::YesNo);
        QCOMPARE(f.status(), status);
        QCOMPARE(f.stored("z.example")[4].toString(), description);
        // Refused, the row shows what is stored again.
        QCOMPARE(f.grid().cellText(5), description);
        QCOMPARE(f.grid().cellText(3), QString(answer == int(Answer::No) ? "zed" : "zack"));
        QVERIFY(!f.grid().isEditing());
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
        QVERIFY(!f.grid().isEditing());
        QVERIFY(f.status() != "Saved Changes");
        // The recordset is not left holding the refused change.
        f.folder.execute("DROP TRIGGER refuse");
        f.edit(1, 5, "kept");
        f.key(Qt::Key_Return);
        QCOMPARE(f.stored("a.example")[4].toString(), QString("first"));
        QCOMPARE(f.stored("z.example")[4].toString(), QString("kept"));
    }

    void deletingRows() {
        MainWindowFixture f(kRecords, {}, options(true, false));
        f.clickSelector(0);
        f.clickSelector(2, Qt::ControlModifier);
        f.desktop.answer(Answer::Yes);
        f.key(Qt::Key_Delete);
        QCOMPARE(f.desktop.last().text, QString("Delete the 2 selected records?"));
        QCOMPARE(f.count("SELECT COUNT(*) FROM tblChildData"), 1);
        QCOMPARE(f.stored("z.example")[1].toString(), QString("z.example"));
        QCOMPARE(f.grid().caption(), QString("Total Records for all Groups: 1"));
        QCOMPARE(f.status(), QString("Current Row 1 : Bank, z.example, zed"));
    }

    // A double click on a website opens it in the browser when it looks like an address, never as a command.
    void websites_data() {
        QTest::addColumn<QString>("website");
        QTest::addColumn<QString>("opened"); // empty: not opened
        QTest::addColumn<QString>("status");
        const auto row = [](const char* name, const char* website, const char* opened, const char* status) {
            QTest::newRow(name) << QString(website) << QString(opened) << QString(status);
        };
        row("www.", "www.x.com", "http://www.x.com", "Website: www.x.com selected.");
        row("bare host", "x.com", "", "Not a valid URL structure!");
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
        QVERIFY(f.desktop.started.isEmpty()); // never run as a command
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
