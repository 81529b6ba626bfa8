#include "platform/Error.h"
#include "support/FakeGrid.h"
#include "support/ScriptedDesktop.h"
#include "tools/frmFind.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <functional>

using namespace kv;

namespace {

const QStringList kCaptions = {QString(),     "Group Name",   "Website",       "User ID",       "Password",
                               "Description", "Date Changed", "Prior User ID", "Prior Password"};

// One record as the grid shows it. The ID column begins with "Bank" so that searching it would show.
QStringList rec(const QString& website, const QString& description = {}, const QString& password = "pw") {
    return {"Bank-id", "Personal", website, "joe", password, description, "01/02/2024 10:00:00 am", "", ""};
}

template <class... T> void row(const char* name, const T&... values) {
    (QTest::newRow(name) << ... << values);
}

// The records grid as the window sees it: a FakeGrid whose rows carry the bookmarks given (with gaps where rows
// were deleted since the recordset was opened), then 1, 2, 3... It can fail when a cell is read.
class Grid final : public GridOperations {
public:
    Grid(const QList<QStringList>& rows, QList<int> bookmarks) : g(kCaptions, rows), marks(std::move(bookmarks)) {
        while (marks.size() < rows.size())
            marks.append(int(marks.size()) + 1);
    }
    int rowCount() const override { return g.rowCount(); }
    int columnCount() const override { return g.columnCount(); }
    int currentColumn() const override { return g.currentColumn(); }
    void setCurrentColumn(int c) override { g.setCurrentColumn(c); }
    int currentRow() const override { return g.currentRow(); }
    QVariant currentBookmark() const override { return g.row >= 0 && g.row < marks.size() ? marks[g.row] : QVariant(); }
    void setCurrentBookmark(const QVariant& b) override {
        if (marks.contains(b.toInt())) g.row = int(marks.indexOf(b.toInt()));
    }
    void moveFirst() override {
        if (!stuck) g.moveFirst();
    }
    void moveNext() override {
        if (!stuck) g.moveNext();
    }
    void moveRows(int n) override { g.moveRows(n); }
    void focusGrid() override {}
    QString cellText(int c) const override { return onRead ? (onRead(), g.cellText(c)) : g.cellText(c); }
    QVariant cellValue(int c) const override { return g.cellValue(c); }
    bool isColumnVisible(int c) const override { return g.isColumnVisible(c); }
    void setColumnVisible(int c, bool v) override { g.setColumnVisible(c, v); }
    QList<QVariant> selectedBookmarks() const override { return {}; }
    void exportRows(ExportFormat, ExportRows, const QString&, const QString&) override {}

    test::FakeGrid g;
    QList<int> marks;
    std::function<void()> onRead;
    bool stuck = false; // a row the grid cannot store keeps it where it stands
};

// The window, shown while the grid stands on `row` and `column`.
struct Window {
    test::ScriptedDesktop desk;
    Grid grid;
    frmFind form{grid};

    Window(const QList<QStringList>& rows, int row = 0, int column = 0, QList<int> marks = {})
        : grid(rows, std::move(marks)) {
        grid.g.row = row;
        grid.g.column = column;
        form.show();
    }
    template <class W> W* child(const char* name) {
        auto* w = form.findChild<W*>(QString::fromLatin1(name));
        if (!w) qFatal("no control %s", name);
        return w;
    }
    QComboBox* combo() { return child<QComboBox>("cmbFieldToLookIn"); }
    QPushButton* find() { return child<QPushButton>("btnFind"); }
    void type(const QString& text) {
        child<QLineEdit>("txtFindContent")->clear();
        QTest::keyClicks(child<QLineEdit>("txtFindContent"), text);
    }
    void click(const char* button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }
    void activate() {
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
    }
};

// One search: what is asked, in what rows, the answer to a question (0 when none is expected), the message
// expected and where the grid stands afterwards.
struct Search {
    QString field, text;
    bool anyPart, whole;
    QList<QStringList> rows;
    int answer;
    QString message;
    int row, column;
};

} // namespace

Q_DECLARE_METATYPE(Search)

class TestFind : public QObject {
    Q_OBJECT
private slots:
    void search_data() {
        QTest::addColumn<Search>("s");
        const QString all = "All Fields", none;
        const auto question = [](const QString& matched) {
            return "A whole match was not found.  However, '" + matched +
                   "' was found.\nWould you like to go to this record?";
        };
        const int yes = int(Answer::Yes), no = int(Answer::No);
        const QList<QStringList> banks{rec("Web"), rec("Online BANKING"), rec("Bankers")};
        row("beginning: blanks around the text dropped, case ignored",
            Search{all, "  BANK ", false, false, {rec("First Bank"), rec("Bank of Kent")}, 0, none, 1, 2});
        row("any part: blanks in the text are searched for",
            Search{"Website", " bank", true, false, {rec("Banking"), rec("First Bank")}, 0, none, 1, 2});
        row("all fields: row by row before column by column",
            Search{all, "bank", true, false, {rec("Web", "savings at bank"), rec("Bank of Kent")}, 0, none, 0, 5});
        row("all fields: columns in order, hidden ones too, never the ID",
            Search{all, "bank", false, false, {rec("Web", "Bank Two", "Bank One")}, 0, none, 0, 4});
        row("one field: other columns are not searched",
            Search{"Description", "bank", false, false, {rec("Bank of Kent", "x"), rec("W", "bank")}, 0, none, 1, 5});
        row("whole, any part: a later occurrence that is a word amid others",
            Search{"Website", "bank", true, true, {rec("Banking"), rec("Banking at my BANK today")}, 0, none, 1, 2});
        row("whole, any part: candidate taken",
            Search{"Website", "bank", true, true, banks, yes, question("BANK"), 1, 2});
        row("whole, any part: candidate refused",
            Search{"Website", "bank", true, true, banks, no, question("BANK"), 2, 2});
        row("whole, beginning: the whole cell",
            Search{all, "BANK", false, true, {rec("Bank of Kent"), rec("bank")}, 0, none, 1, 2});
        row("whole, beginning: candidate quotes the whole cell", Search{"Website",
                                                                        "bank",
                                                                        false,
                                                                        true,
                                                                        {rec("Web"), rec("Bank of Kent")},
                                                                        yes,
                                                                        question("Bank of Kent"),
                                                                        1,
                                                                        2});
        row("whole, all fields: a word in a later column beats a candidate",
            Search{all, "bank", true, true, {rec("Webbank", "my bank")}, 0, none, 0, 5});
        row("whole, all fields: candidate keeps its column",
            Search{
                all, "bank", true, true, {rec("Web", "Bankers"), rec("Shop", "Banking")}, yes, question("Bank"), 0, 5});
        row("not found: the grid stays on the last row",
            Search{all, "bank", false, false, {rec("Web"), rec("Shop", "First Bank")}, 0, "Text not found!", 1, 8});
        row("empty grid", Search{all, "bank", false, false, {}, 0, "Text not found!", -1, 1});
    }
    void search() {
        QFETCH(Search, s);
        Window w(s.rows, int(s.rows.size()) - 1); // every search starts at the first row, wherever the grid stands
        w.grid.g.hidden = {0, 4, 7, 8};
        w.combo()->setCurrentIndex(w.combo()->findText(s.field));
        w.type(s.text);
        w.child<QCheckBox>("chkAnyPartOfField")->setChecked(s.anyPart);
        w.child<QCheckBox>("chkWholeFieldOnly")->setChecked(s.whole);
        if (s.answer) w.desk.answer(Answer(s.answer));
        w.click("btnFind");

        QCOMPARE(w.desk.messages(), s.message.isEmpty() ? QStringList() : QStringList{s.message});
        if (!s.message.isEmpty()) {
            QCOMPARE(w.desk.last().title, QString());
            QCOMPARE(w.desk.last().buttons, s.answer ? Buttons::YesNo : Buttons::Ok);
            QCOMPARE(w.desk.last().icon, s.answer ? Icon::Question : Icon::Information);
            QCOMPARE(w.desk.beeps, s.answer ? 1 : 0);
        }
        QCOMPARE(w.grid.g.row, s.row);
        QCOMPARE(w.grid.g.column, s.column);
        QCOMPARE(w.form.isVisible(), !s.message.isEmpty() && s.answer != int(Answer::Yes));
        QCOMPARE(w.form.cursor().shape(), Qt::ArrowCursor);
    }

    // When the grid cannot leave its row, the search stops there instead of reading that row over and over
    // and calling the text not found.
    void aGridThatCannotMoveStopsTheSearch() {
        Window w({rec("Web"), rec("First Bank"), rec("Shop")}, 2, 1);
        w.grid.stuck = true;
        w.combo()->setCurrentIndex(0);
        w.type("bank");
        w.click("btnFind");
        QVERIFY(w.desk.messages().isEmpty());
        QCOMPARE(w.grid.g.row, 2);
        QVERIFY(w.form.isVisible());
        QCOMPARE(w.form.cursor().shape(), Qt::ArrowCursor);
    }

    // Access keys, tab order and Enter on the default button; a question would fail the test.
    void keyboardOnly() {
        Window w({rec("Banking"), rec("First Bank")}, 0, 1);
        w.activate();
        QTest::keyClick(w.combo(), Qt::Key_Down); // Group Name -> Website
        QTest::keyClick(&w.form, Qt::Key_S, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), w.child<QLineEdit>("txtFindContent"));
        QTest::keyClicks(QApplication::focusWidget(), "bank");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);       // Find Any Part of a Field
        QTest::keyClick(&w.form, Qt::Key_W, Qt::AltModifier);              // whole only: "Banking" would not do
        QTRY_VERIFY(w.child<QCheckBox>("chkWholeFieldOnly")->isChecked()); // an access key clicks after a moment
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(!w.form.isVisible());
        QCOMPARE(w.grid.g.row, 1);
        QCOMPARE(w.grid.g.column, 2);
    }

    // After a failed search, every way of leaving puts the grid back where it stood.
    void cancel_data() {
        QTest::addColumn<int>("savedRow");
        QTest::addColumn<int>("savedColumn");
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("column");
        // Rows 0..4 carry bookmarks 1, 2, 4, 5, 6: the row with bookmark 3 was deleted.
        row("Cancel, past the deleted row", 3, 3, "button", 3);
        row("Esc", 1, 6, "escape", 6);
        row("closed from the title bar", 0, 2, "close", 2);
        row("saved column 0 leaves the column", 2, 0, "button", 8);
        row("saved on the add-new row", 5, 2, "button", 2);
    }
    void cancel() {
        QFETCH(int, savedRow);
        QFETCH(int, savedColumn);
        QFETCH(QString, how);
        QFETCH(int, column);
        Window w({rec("A"), rec("B"), rec("C"), rec("D"), rec("E")}, savedRow, savedColumn, {1, 2, 4, 5, 6});
        w.combo()->setCurrentIndex(0);
        w.type("nowhere");
        w.click("btnFind");
        QCOMPARE(w.grid.g.row, 4);
        if (how == "escape")
            QTest::keyClick(&w.form, Qt::Key_Escape);
        else if (how == "close")
            w.form.close();
        else
            w.click("btnCancel");
        QVERIFY(!w.form.isVisible());
        QCOMPARE(w.grid.g.row, savedRow);
        QCOMPARE(w.grid.g.column, column);
    }

    // The window keeps what the user left in it, but each showing picks the entry of the grid's column
    // afresh, replacing a text typed over the list even when the entry stays the same.
    void reopening_data() {
        QTest::addColumn<int>("gridColumn");
        QTest::addColumn<QString>("entry");
        row("ID column", 0, "All Fields");
        row("the same column as before", 2, "Website");
        row("last field", 8, "Prior Password");
        row("beyond the fields", 9, "All Fields");
    }
    void reopening() {
        QFETCH(int, gridColumn);
        QFETCH(QString, entry);
        Window w({rec("A")}, 0, 2);
        QCOMPARE(w.form.windowTitle(), QString("Find"));
        QCOMPARE(w.combo()->currentText(), QString("Website"));
        w.type("bank");
        w.child<QCheckBox>("chkWholeFieldOnly")->setChecked(true);
        w.combo()->setEditText("Nowhere"); // left unfinished when the window is cancelled
        QTest::keyClick(&w.form, Qt::Key_Escape);
        QVERIFY(!w.form.isVisible());

        w.grid.g.column = gridColumn;
        w.form.show();
        QCOMPARE(w.combo()->currentText(), entry);
        QCOMPARE(w.combo()->count(), 9);
        QCOMPARE(w.form.focusWidget(), w.combo());
        QCOMPARE(w.child<QLineEdit>("txtFindContent")->text(), QString("bank"));
        QVERIFY(w.child<QCheckBox>("chkWholeFieldOnly")->isChecked());
        QVERIFY(!w.child<QCheckBox>("chkAnyPartOfField")->isChecked());
        QVERIFY(w.find()->isEnabled());
        QVERIFY(w.desk.prompts.isEmpty());
    }

    // Find needs a search text and one of the list's entries exactly as spelt: typing in the text box ignores
    // blanks around the text, a change in the list takes a text of blanks as searchable. Moving on from the list
    // while its text is no entry is refused, except towards Cancel.
    void listText_data() {
        QTest::addColumn<QString>("comboText");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("listLast");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("leave");
        QTest::addColumn<bool>("refused");
        row("entry and text, Tab", "Website", "bank", false, true, "tab", false);
        row("blanks only", "Website", "   ", false, false, "tab", false);
        row("entry in another case", "website", "bank", false, false, "tab", true);
        row("part of an entry, click into the text box", "Web", "bank", false, false, "click", true);
        row("blanks, then an entry chosen", "Website", "  ", true, true, "tab", false);
        row("more typed after an entry, pressing Cancel", "Websitex", "bank", true, false, "cancel", false);
    }
    void listText() {
        QFETCH(QString, comboText);
        QFETCH(QString, text);
        QFETCH(bool, listLast);
        QFETCH(bool, enabled);
        QFETCH(QString, leave);
        QFETCH(bool, refused);
        Window w({rec("Web")});
        w.activate();
        QVERIFY(!w.find()->isEnabled());
        if (!listLast) w.combo()->setEditText(comboText);
        w.type(text);
        if (listLast) w.combo()->setEditText(comboText);
        QCOMPARE(w.find()->isEnabled(), enabled);

        QCOMPARE(QApplication::focusWidget(), w.combo());
        if (leave == "tab")
            QTest::keyClick(w.combo(), Qt::Key_Tab);
        else if (leave == "click")
            QTest::mouseClick(w.child<QLineEdit>("txtFindContent"), Qt::LeftButton);
        else
            QTest::mousePress(w.child<QPushButton>("btnCancel"), Qt::LeftButton); // the click is not over yet
        QCoreApplication::processEvents();
        if (leave == "cancel") QTest::mouseRelease(w.child<QPushButton>("btnCancel"), Qt::LeftButton);
        if (refused) {
            QCOMPARE(w.desk.messages(), QStringList{"Please select from the list!"});
            QCOMPARE(w.desk.last().icon, Icon::Information);
            QCOMPARE(w.desk.last().buttons, Buttons::Ok);
            QCOMPARE(QApplication::focusWidget(), w.combo());
        } else {
            QVERIFY(w.desk.prompts.isEmpty());
            QVERIFY(QApplication::focusWidget() != w.combo() || !w.form.isVisible());
        }
    }

    void errorWhileSearching() {
        Window w({rec("A"), rec("B")});
        bool busy = false;
        w.grid.onRead = [&] {
            busy = w.form.cursor().shape() == Qt::BitmapCursor;
            throw Error(err::NoCurrentRecord, "No current record.");
        };
        w.type("bank");
        w.click("btnFind");
        QVERIFY(busy);
        QCOMPARE(w.desk.messages(),
                 QStringList{"Error 3021 (No current record.) in procedure btnFind of Form frmFind"});
        QCOMPARE(w.desk.last().icon, Icon::None);
        QVERIFY(w.form.isVisible());
        QCOMPARE(w.form.cursor().shape(), Qt::ArrowCursor);
    }
};

QTEST_MAIN(TestFind)
#include "tst_find.moc"
