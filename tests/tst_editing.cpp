// keyvale_gui
#include "tools/frmGeneratePassword.h"
#include "tst_main_driver.h"

#include <QLocale>
#include <QTimer>

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

} // namespace

class EditingTest : public QObject {
    Q_OBJECT
private slots:
    void addingARowStoresItWithItsPasswordEnciphered() {
        MainWindowFixture f(kRecords, {}, options(true, true));
        f.click(3, 1);
        QCOMPARE(f.status(), QString("Add Mode"));
        f.type("Bank");
        f.key(Qt::Key_Tab);
        f.type("new.example");
        f.key(Qt::Key_Tab);
        f.type("neo");
        f.key(Qt::Key_Tab);
        f.type("s3cret pass");
        f.key(Qt::Key_Tab);
        f.type("note");
        f.key(Qt::Key_Return);
        f.key(Qt::Key_Return); // store the row
        QCOMPARE(f.status(), QString("Saved Record"));
        QVERIFY(f.desktop.prompts.isEmpty()); // a new row is never confirmed
        QCOMPARE(f.passwordBox().text(), QString("s3cret pass"));
        QCOMPARE(f.stored("new.example"),
                 QVariantList({"Bank", "new.example", "neo", "s3cret pass", "note", kNow, "", ""}));
        const QString raw =
            f.folder.scalar("SELECT Password FROM tblChildData WHERE Website = 'new.example'").toString();
        QCOMPARE(raw, encipherField("s3cret pass"));
        QVERIFY(raw != "s3cret pass");
        QCOMPARE(f.grid().caption(), QString("Total Records for all Groups: 4"));
        // The stored row shows its change date the user's way, and a fresh add-new row waits below.
        QCOMPARE(f.grid().cellText(6), QLocale().toString(f.clock.now(), QLocale::ShortFormat));
        QCOMPARE(f.grid().rowCount(), 4);
        QCOMPARE(f.grid().model()->rowCount(), 5);
    }

    void aNewRowMustBeginWithItsGroupName() {
        MainWindowFixture f(kRecords, {}, options(true, false));
        f.click(3, 2);
        f.type("x");
        QCOMPARE(f.desktop.messages(), QStringList{"Please enter a Group Name!"});
        QCOMPARE(f.desktop.last().icon, Icon::Information);
        QCOMPARE(f.grid().currentColumn(), 1);
        QVERIFY(!f.grid().isEditing());
    }

    void aRowWithoutGroupNameIsNotStored() {
        MainWindowFixture f(kRecords, {}, options(true, false));
        f.click(3, 1);
        f.type("B");
        f.key(Qt::Key_Backspace); // the completion
        f.key(Qt::Key_Backspace);
        f.key(Qt::Key_Tab);
        f.type("nogroup.example");
        f.key(Qt::Key_Return);
        f.key(Qt::Key_Return);
        QCOMPARE(f.desktop.messages(), QStringList{"Please enter a Group Name!"});
        QCOMPARE(f.status(), QString("Group Name must be entered"));
        QCOMPARE(f.grid().currentColumn(), 1);
        QVERIFY(f.grid().isEditing());
        QCOMPARE(f.count("SELECT COUNT(*) FROM tblChildData"), 3);
        // The user stays in the row until it is put right or dropped.
        f.key(Qt::Key_Up);
        QCOMPARE(f.grid().currentRow(), 3);
    }

    // With the Password column hidden the new row's password is asked for.
    void passwordAskedForWhenItsColumnIsHidden_data() {
        QTest::addColumn<QVariant>("answer"); // null: cancelled
        QTest::addColumn<QString>("stored");
        QTest::newRow("typed") << QVariant("pw") << "pw";
        QTest::newRow("blanks around it are kept") << QVariant("  pa ss ") << "  pa ss ";
        QTest::newRow("blanks only: empty") << QVariant("   ") << "";
        QTest::newRow("cancelled: empty") << QVariant() << "";
    }
    void passwordAskedForWhenItsColumnIsHidden() {
        QFETCH(QVariant, answer);
        QFETCH(QString, stored);
        MainWindowFixture f(kRecords, {}, options(false, false));
        f.click(3, 1);
        f.type("Work");
        f.key(Qt::Key_Tab);
        f.type("hidden.example");
        f.desktop.answerInput(answer.isValid() ? std::optional<QString>(answer.toString()) : std::nullopt);
        f.key(Qt::Key_Up);
        QCOMPARE(f.desktop.last().kind, Prompt::Kind::Input);
        QCOMPARE(f.desktop.last().text, QString("Enter Password:"));
        QCOMPARE(f.desktop.last().title, QString("Password"));
        QCOMPARE(f.folder.scalar("SELECT Password FROM tblChildData WHERE Website = 'hidden.example'").toString(),
                 encipherField(stored));
    }

    // What a save writes besides the changed cells: the prior values of the row as it was when it
    // became current, and the change date.
    void priorValuesAndChangeDate_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QStringList>("typed"); // typed in turn, each followed by Enter
        QTest::addColumn<QVariantList>("stored");
        QTest::newRow("user ID changed") << 3 << QStringList{"anna"}
                                         << QVariantList{"anna", "pw-a", "first", kNow, "ann", "old-pw-a"};
        QTest::newRow("user ID changed and back: nothing written")
            << 3 << QStringList{"anna", "ann"}
            << QVariantList{"ann", "pw-a", "first", "2024-01-02 10:00:00", "old-ann", "old-pw-a"};
        QTest::newRow("description only: priors untouched")
            << 5 << QStringList{"changed"} << QVariantList{"ann", "pw-a", "changed", kNow, "old-ann", "old-pw-a"};
        QTest::newRow("password in the grid")
            << 4 << QStringList{"new-pw"} << QVariantList{"ann", "new-pw", "first", kNow, "old-ann", "pw-a"};
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

    void savingThePasswordTwiceInTheRowKeepsTheSamePrior() {
        MainWindowFixture f(kRecords, {}, options(false, false));
        f.click(1, 2);
        QCOMPARE(f.passwordBox().text(), QString("pw-z"));
        for (const char* password : {"first-new", "second-new"}) {
            f.passwordBox().setText(password);
            QTest::mouseClick(&f.control<QPushButton>("btnUpdatePassword"), Qt::LeftButton);
            QCOMPARE(f.status(), QString("Saved Changes"));
            QCOMPARE(f.stored("z.example")[3].toString(), QString(password));
            QCOMPARE(f.stored("z.example")[7].toString(), QString("pw-z"));
        }
        const QString raw =
            f.folder.scalar("SELECT PriorPassword FROM tblChildData WHERE Website = 'z.example'").toString();
        QCOMPARE(raw, encipherField("pw-z"));
        // A new current row is a new snapshot.
        f.key(Qt::Key_Up);
        f.key(Qt::Key_Down);
        f.passwordBox().setText("third-new");
        QTest::mouseClick(&f.control<QPushButton>("btnUpdatePassword"), Qt::LeftButton);
        QCOMPARE(f.stored("z.example")[7].toString(), QString("second-new"));
    }

    void aRowChangedAfterAGroupSwitchHasItsOwnPriors() {
        // The first row of another group stands at the same row number; its priors are its own.
        MainWindowFixture f(kRecords, {}, options(false, false));
        auto& combo = f.combo();
        combo.setCurrentIndex(combo.findText("Work"));
        emit combo.activated(combo.currentIndex());
        f.edit(0, 3, "robert");
        f.key(Qt::Key_Return);
        QCOMPARE(f.stored("b.example")[6].toString(), QString("bob"));
    }

    void confirmation_data() {
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("description");
        QTest::newRow("off") << false << -1 << "Saved Changes"
                             << "edited";
        QTest::newRow("on, yes") << true << int(Answer::Yes) << "Saved Changes"
                                 << "edited";
        QTest::newRow("on, no") << true << int(Answer::No) << "Cancelled Changes"
                                << "second";
    }
    void confirmation() {
        QFETCH(bool, confirm);
        QFETCH(int, answer);
        QFETCH(QString, status);
        QFETCH(QString, description);
        MainWindowFixture f(kRecords, {}, options(true, confirm));
        f.edit(1, 5, "edited");
        f.edit(1, 3, "zack");
        if (answer >= 0) f.desktop.answer(Answer(answer));
        f.key(Qt::Key_Return);
        if (confirm) {
            QCOMPARE(f.desktop.last().text, QString("Save changes?"));
            QCOMPARE(f.desktop.last().buttons, Buttons::YesNo);
            QCOMPARE(f.desktop.last().icon, Icon::Question);
        } else {
            QVERIFY(f.desktop.prompts.isEmpty());
        }
        QCOMPARE(f.status(), status);
        QCOMPARE(f.stored("z.example")[4].toString(), description);
        // Refused, the row shows what is stored again.
        QCOMPARE(f.grid().cellText(5), description);
        QCOMPARE(f.grid().cellText(3), QString(answer == int(Answer::No) ? "zed" : "zack"));
        QVERIFY(!f.grid().isEditing());
    }

    void refusingAPasswordChangeFromTheBoxPutsTheGridBack() {
        MainWindowFixture f(kRecords, {}, options(true, true));
        f.click(0, 2);
        f.passwordBox().setText("unwanted");
        f.desktop.answer(Answer::No);
        QTest::mouseClick(&f.control<QPushButton>("btnUpdatePassword"), Qt::LeftButton);
        QCOMPARE(f.status(), QString("Cancelled Changes"));
        QCOMPARE(f.grid().currentColumn(), 4);
        QCOMPARE(f.grid().cellText(4), QString("pw-a"));
        QCOMPARE(f.stored("a.example")[3].toString(), QString("pw-a"));
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
        f.passwordBox().setText(password);
        QTest::mouseClick(&f.control<QPushButton>("btnUpdatePassword"), Qt::LeftButton);
        QCOMPARE(f.desktop.messages(),
                 QStringList{"The password contains characters that Keyvale can not store: " + characters});
        QCOMPARE(f.desktop.last().icon, Icon::Information);
        QCOMPARE(f.stored("z.example")[3].toString(), QString("pw-z"));
        QCOMPARE(f.stored("z.example")[5].toString(), QString("2024-01-02 10:00:00"));
        QVERIFY(f.grid().isEditing());
        QCOMPARE(f.status(), before);
        f.key(Qt::Key_Escape);
        QCOMPARE(f.grid().cellText(4), QString("pw-z"));
    }

    void anUnstorablePasswordTypedIntoTheBoxForANewRowIsRefused() {
        MainWindowFixture f(kRecords, {}, options(false, false));
        f.click(3, 1);
        f.type("Work");
        f.key(Qt::Key_Return);
        f.desktop.answerInput(QString::fromUtf8("\u03c0-pass"));
        f.key(Qt::Key_Return);
        QCOMPARE(f.desktop.messages(),
                 QStringList{QString::fromUtf8("The password contains characters that Keyvale can not store: \u03c0")});
        QCOMPARE(f.count("SELECT COUNT(*) FROM tblChildData"), 3);
        QVERIFY(f.grid().isEditing());
        // Put right, the row is stored as a new one.
        f.desktop.answerInput(QString("pi-pass"));
        f.key(Qt::Key_Return);
        QCOMPARE(f.status(), QString("Saved Record"));
        QCOMPARE(f.count("SELECT COUNT(*) FROM tblChildData WHERE Password = ?", {encipherField("pi-pass")}), 1);
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
        QCOMPARE(f.grid().rowCount(), 1);
        QCOMPARE(f.grid().caption(), QString("Total Records for all Groups: 1"));
        QCOMPARE(f.status(), QString("Current Row 1 : Bank, z.example, zed"));
    }

    void aDeleteTheDatabaseRefusesKeepsTheRow() {
        MainWindowFixture f(kRecords, {}, options(true, false));
        f.folder.execute("CREATE TRIGGER keep BEFORE DELETE ON tblChildData BEGIN SELECT RAISE(ABORT, 'kept'); END");
        f.clickSelector(1);
        f.desktop.answer(Answer::Yes);
        f.key(Qt::Key_Delete);
        QCOMPARE(f.desktop.messages().last(),
                 QString("Error 3146 (kept) in procedure SSDBGrid_UnboundDeleteRow of Form frmMain"));
        QCOMPARE(f.grid().rowCount(), 3);
        QCOMPARE(f.grid().caption(), QString("Total Records for all Groups: 3"));
    }

    void websites_data() {
        QTest::addColumn<QString>("website");
        QTest::addColumn<QString>("opened"); // empty: not opened
        QTest::addColumn<QString>("status");
        QTest::newRow("www.") << "www.example.com"
                              << "http://www.example.com"
                              << "Website: www.example.com selected.";
        QTest::newRow("http://") << "http://example.com"
                                 << "http://example.com"
                                 << "Website: http://example.com selected.";
        QTest::newRow("https://") << "https://example.com/a"
                                  << "https://example.com/a"
                                  << "Website: https://example.com/a selected.";
        QTest::newRow("bare host") << "example.com"
                                   << ""
                                   << "Not a valid URL structure!";
        QTest::newRow("capitals") << "HTTPS://EXAMPLE.COM"
                                  << ""
                                  << "Not a valid URL structure!";
        QTest::newRow("command-like text") << "www.x.com; rm -rf ~"
                                           << "http://www.x.com; rm -rf ~"
                                           << "Website: www.x.com; rm -rf ~ selected.";
    }
    void websites() {
        QFETCH(QString, website);
        QFETCH(QString, opened);
        QFETCH(QString, status);
        MainWindowFixture f({{"Bank", website, "u", "p"}});
        f.doubleClick(0, 2);
        QCOMPARE(f.desktop.openedUrls, opened.isEmpty() ? QStringList() : QStringList{opened});
        QVERIFY(f.desktop.started.isEmpty());
        QCOMPARE(f.status(), status);
        // Any other column does nothing here.
        f.desktop.openedUrls.clear();
        f.doubleClick(0, 3);
        QVERIFY(f.desktop.openedUrls.isEmpty());
    }

    void passwordBox_data() {
        QTest::addColumn<bool>("showText");
        QTest::newRow("masked") << false;
        QTest::newRow("shown") << true;
    }
    void passwordBox() {
        QFETCH(bool, showText);
        MainWindowFixture f(kRecords, {}, [&] {
            gShowPasswordText = showText;
            gConfirmUpdate = false;
        });
        QLineEdit& box = f.passwordBox();
        auto& update = f.control<QPushButton>("btnUpdatePassword");
        QCOMPARE(box.echoMode(), showText ? QLineEdit::Normal : QLineEdit::Password);
        QTest::keyClick(f.form.get(), Qt::Key_P, Qt::AltModifier); // the label's access key
        QVERIFY(box.hasFocus());
        QCOMPARE(box.echoMode(), QLineEdit::Normal);
        QCOMPARE(box.selectedText(), QString("pw-a"));
        QVERIFY(update.isDefault());
        f.view().setFocus();
        QCOMPARE(box.echoMode(), showText ? QLineEdit::Normal : QLineEdit::Password);
        QVERIFY(!update.isDefault());
        // Enter in the box stores the password.
        box.setFocus();
        QTest::keyClicks(&box, "typed-pw");
        QTest::keyClick(&box, Qt::Key_Return);
        QCOMPARE(f.stored("a.example")[3].toString(), QString("typed-pw"));
    }

    void theGeneratorOpensModally() {
        MainWindowFixture f(kRecords);
        QString shown;
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            shown = modal ? modal->metaObject()->className() : QString();
            if (modal) modal->close();
        });
        QTest::mouseClick(&f.control<QPushButton>("btnPasswordGenerator"), Qt::LeftButton);
        QCOMPARE(shown, QString("kv::frmGeneratePassword"));
    }
};

QTEST_MAIN(EditingTest)
#include "tst_editing.moc"
