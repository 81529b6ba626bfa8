#include "store/DateText.h"
#include "support/Widgets.h"
#include "tools/frmFind.h"
#include "tst_main_driver.h"

#include <QCheckBox>
#include <QProgressDialog>
#include <QTimer>

using namespace kv;
using test::Rec;

namespace {

// Filler rows between the "A" groups and the "Z" groups, enough to cross the grid's cached pages. They match
// none of the searches below.
constexpr int kFillers = 3000;
const QString kFillerGroup = "M filler";

// A record in group `g` with `website`, its other fields given or plain.
Rec rec(const QString& g, const QString& website, const QString& description = {}, const QString& password = "pw",
        const QString& date = "2024-01-02 10:00:00") {
    return Rec(g, website, "joe", password, description, date, "", "");
}

// One search through Find over the records (stored in reverse display order, so that the order the file
// gives them in is not the grid's), started from the grid's first row and first column.
struct Search {
    QString field, text;
    bool anyPart, whole;
    QList<Rec> rows;
    int answer;          // to the question, 0 when none is expected
    QString message;     // what Find says, empty for none
    QString website;     // of the row the grid is left on; empty for the last row
    int column;          // where the grid is left
    QString group = {};  // shown in the group combo, empty for all groups
    bool shown = false;  // the Password and prior columns shown
    bool cancel = false; // Cancel in the progress dialog (only the large grid takes long enough to show it)
};

QString question(const QString& matched) {
    return "A whole match was not found.  However, '" + matched + "' was found.\nWould you like to go to this record?";
}

} // namespace

Q_DECLARE_METATYPE(Search)

class TestFind : public QObject {
    Q_OBJECT

    // The real main window over `rows` (and the fillers when `large`), the grid on its first row and column.
    static std::unique_ptr<test::MainWindowFixture> open(QList<Rec> rows, bool large, bool shown) {
        std::reverse(rows.begin(), rows.end());
        auto w = std::make_unique<test::MainWindowFixture>(rows, QStringList{kFillerGroup, "Empty"}, [shown] {
            gShowPasswordColumn = shown;
            gShowPriorUserIDPassword = shown;
        });
        if (large) {
            w->folder.execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
                              "INSERT INTO tblChildData (GroupName, Website, UserID, Password, Description, "
                              "DateChanged, PriorUserID, PriorPassword) SELECT ?, printf('f%04d.example', i), 'u', "
                              "?, 'filler', '2024-01-02 10:00:00', '', ? FROM n",
                              {kFillers, kFillerGroup, encipherField("pw"), encipherField("")});
            w->form->UpdateComboGroupName();
        }
        return w;
    }

    // Opens Find with Ctrl+F, as the user does, and runs `inside` while it is up (it is modal); Esc then
    // closes whatever is still open, so that a failed check never leaves the test waiting.
    static void withFind(test::MainWindowFixture& w, const std::function<void(frmFind&)>& inside) {
        QApplication::setActiveWindow(w.form.get());
        QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
        bool ran = false;
        QTimer::singleShot(0, w.form.get(), [&] {
            ran = true;
            auto* find = w.form->findChild<frmFind*>();
            QVERIFY(find && find->isVisible());
            QApplication::setActiveWindow(find);
            QVERIFY(QTest::qWaitForWindowActive(find));
            inside(*find);
            if (find->isVisible()) QTest::keyClick(find, Qt::Key_Escape);
        });
        QTest::keyClick(w.form.get(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(ran);
    }

private slots:
    void search_data() {
        QTest::addColumn<Search>("s");
        QTest::addColumn<bool>("large");
        const QString all = "All Fields", web = "Website", none;
        const int yes = int(Answer::Yes), no = int(Answer::No);
        const QString date = "2023-07-08 09:10:11";
        // clang-format off
        const QList<std::pair<const char*, Search>> cases{
            {"beginning: blanks around the text dropped, case ignored",
             {all, "  BANK ", false, false, {rec("A", "First Bank"), rec("Z", "Bank of Kent")}, 0, none, "Bank of Kent", 2}},
            {"any part: blanks in the text searched for, row by row before column by column",
             {all, " bank", true, false, {rec("A", "Banking", "savings at bank"), rec("Z", "my bank")}, 0, none, "Banking", 5}},
            {"hidden Password column searched; the cursor stays in the last shown column before it",
             {all, "bank", false, false, {rec("A", "Web", "Bank Two", "Bank One")}, 0, none, "Web", 3}},
            {"shown Password column",
             {all, "bank", false, false, {rec("A", "Web", "Bank Two", "Bank One")}, 0, none, "Web", 4, {}, true}},
            {"one field: other columns are not searched",
             {"Description", "bank", false, false, {rec("A", "Bank of Kent", "x"), rec("Z", "W", "bank")}, 0, none, "W", 5}},
            {"the date as the grid shows it",
             {"Date Changed", displayedDate(date), false, false, {rec("A", "a"), rec("Z", "z", "", "pw", date)}, 0, none, "z", 6}},
            {"whole, any part: a later occurrence that is a word",
             {web, "bank", true, true, {rec("A", "Banking"), rec("Z", "Banking at my BANK today")}, 0, none,
              "Banking at my BANK today", 2}},
            {"whole, any part: candidate refused, the grid on the last row",
             {web, "bank", true, true, {rec("A", "Web"), rec("A", "eBANKING"), rec("Z", "Bankers")}, no, question("BANK"), {}, 2}},
            {"whole, beginning: the whole cell", {all, "BANK", false, true, {rec("A", "Bank of Kent"), rec("Z", "bank")}, 0, none, "bank", 2}},
            {"whole, beginning: candidate taken, quoting the whole cell",
             {web, "bank", false, true, {rec("A", "Web"), rec("Z", "Bank of Kent")}, yes, question("Bank of Kent"), "Bank of Kent", 2}},
            {"whole, all fields: candidate keeps its column",
             {all, "bank", true, true, {rec("A", "Web", "Bankers"), rec("Z", "Shop", "Banking")}, yes, question("Bank"), "Web", 5}},
            {"not found: the grid on the last row, in its last shown column",
             {all, "bank", false, false, {rec("A", "Web"), rec("Z", "Shop", "My Bank")}, 0, "Text not found!", {}, 6}},
            {"a filtered group: only its rows",
             {all, "bank", false, false, {rec("A", "Bank A"), rec("Z", "Shop"), rec("Z", "Bank Z")}, 0, none, "Bank Z", 2, "Z"}},
            {"an empty grid", {all, "bank", false, false, {rec("A", "Bank")}, 0, "Text not found!", {}, 1, "Empty"}},
        };
        // clang-format on
        for (const bool large : {false, true})
            for (const auto& [name, s] : cases)
                QTest::addRow("%s%s", large ? "large: " : "", name) << s << large;
        QTest::addRow("large: Cancel in the progress dialog leaves the grid where it was")
            << Search{all, "nowhere", false, false, {rec("A", "Web"), rec("Z", "Shop")}, 0, none, "Web",
                      1,   {},        false, true}
            << true;
    }
    void search() {
        QFETCH(Search, s);
        QFETCH(bool, large);
        auto w = open(s.rows, large, s.shown);
        if (!s.group.isEmpty()) {
            const int index = w->combo().findText(s.group);
            w->combo().setCurrentIndex(index);
            emit w->combo().activated(index);
        }
        w->grid().moveFirst();
        w->grid().setCurrentColumn(1);
        if (s.answer) w->desktop.answer(Answer(s.answer));

        // The progress dialog, when one comes up: the pointer is Find's own icon meanwhile.
        bool iconPointer = false, dialogShown = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            auto* dialog = w->form->findChild<QProgressDialog*>("BusyProgress");
            if (!dialog || !dialog->isVisible()) return;
            dialogShown = true;
            iconPointer = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::BitmapCursor;
            if (s.cancel) dialog->cancel();
        });
        watch.start(0);

        withFind(*w, [&](frmFind& find) {
            test::child<QComboBox>(find, "cmbFieldToLookIn")->setCurrentText(s.field);
            test::child<QLineEdit>(find, "txtFindContent")->setText(s.text);
            test::child<QCheckBox>(find, "chkAnyPartOfField")->setChecked(s.anyPart);
            test::child<QCheckBox>(find, "chkWholeFieldOnly")->setChecked(s.whole);
            QTest::mouseClick(test::child<QPushButton>(find, "btnFind"), Qt::LeftButton);

            QCOMPARE(w->desktop.messages(), s.message.isEmpty() ? QStringList() : QStringList{s.message});
            if (!s.message.isEmpty()) {
                QCOMPARE(w->desktop.last().buttons, s.answer ? Buttons::YesNo : Buttons::Ok);
                QCOMPARE(w->desktop.last().icon, s.answer ? Icon::Question : Icon::Information);
                QCOMPARE(w->desktop.beeps, s.answer ? 1 : 0);
            }
            const int rows = w->grid().rowCount();
            if (s.website.isEmpty()) // the last row, or the add-new row of an empty grid
                QCOMPARE(w->grid().currentRow(), std::max(rows - 1, 0));
            else
                QCOMPARE(w->grid().cellText(2), s.website);
            QCOMPARE(w->grid().currentColumn(), s.column);
            QCOMPARE(find.isVisible(), s.cancel || (!s.message.isEmpty() && s.answer != yesAnswer()));
            QVERIFY(!QApplication::overrideCursor());
            QCOMPARE(iconPointer, dialogShown);
            if (s.cancel) QVERIFY(dialogShown);
        });
    }

    // The window from the keyboard. Find needs a search text and one of the list's entries exactly as
    // spelt: blanks typed around the text do not count, but a change in the list takes them as searchable.
    // Leaving the list while its text is no entry is refused. Cancel after a miss puts the grid back, and
    // the next showing picks the entry of the grid's column afresh.
    void keyboardAndListRules() {
        auto w = open({rec("A", "Banking"), rec("A", "First Bank"), rec("Z", "Shop")}, false, false);
        w->grid().moveFirst();
        w->grid().moveRows(2);
        w->grid().setCurrentColumn(1);
        withFind(*w, [&](frmFind& find) {
            auto* combo = test::child<QComboBox>(find, "cmbFieldToLookIn");
            auto* text = test::child<QLineEdit>(find, "txtFindContent");
            auto* btnFind = test::child<QPushButton>(find, "btnFind");
            QCOMPARE(combo->currentText(), QString("Group Name"));
            QCOMPARE(find.focusWidget(), combo);
            QVERIFY(!btnFind->isEnabled());
            QTest::keyClicks(text, "  ");
            QVERIFY(!btnFind->isEnabled());
            QTest::keyClick(combo, Qt::Key_Down); // Group Name -> Website
            QVERIFY(btnFind->isEnabled());

            combo->setFocus();
            combo->setEditText("website");
            QVERIFY(!btnFind->isEnabled());
            QTest::keyClick(combo, Qt::Key_Tab);
            QTRY_COMPARE(w->desktop.messages(), QStringList{"Please select from the list!"});
            QCOMPARE(w->desktop.last().icon, Icon::Information);
            QCOMPARE(find.focusWidget(), combo);

            combo->setEditText("Website");
            text->setText("nowhere");
            QTest::keyClick(text, Qt::Key_Return);
            QCOMPARE(w->desktop.messages().last(), QString("Text not found!"));
            QCOMPARE(w->grid().currentRow(), 2);
            QTest::keyClick(&find, Qt::Key_Escape);
            QVERIFY(!find.isVisible());
        });
        QCOMPARE(w->grid().currentRow(), 2);
        QCOMPARE(w->grid().currentColumn(), 1);

        w->grid().setCurrentColumn(5);
        withFind(*w, [&](frmFind& find) {
            QCOMPARE(test::child<QComboBox>(find, "cmbFieldToLookIn")->currentText(), QString("Description"));
            QCOMPARE(test::child<QLineEdit>(find, "txtFindContent")->text(), QString("nowhere"));
            auto* combo = test::child<QComboBox>(find, "cmbFieldToLookIn");
            test::child<QLineEdit>(find, "txtFindContent")->setText("bank");
            test::child<QCheckBox>(find, "chkAnyPartOfField")->setChecked(true);
            for (int up = 0; up < 3; ++up) // Description -> Password -> User ID -> Website
                QTest::keyClick(combo, Qt::Key_Up);
            QTest::keyClick(combo, Qt::Key_Return);
            QVERIFY(!find.isVisible());
        });
        QCOMPARE(w->grid().cellText(2), QString("Banking"));
        QCOMPARE(w->grid().currentColumn(), 2);
    }

private:
    static int yesAnswer() { return int(Answer::Yes); }
};

QTEST_MAIN(TestFind)
#include "tst_find.moc"
