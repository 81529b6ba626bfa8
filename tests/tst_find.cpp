#include "platform/Error.h"
#include "support/FakeGrid.h"
#include "support/ScriptedDesktop.h"
#include "support/Widgets.h"
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

// The records grid as the window sees it. Bookmark 3 was deleted since the recordset was opened, so the rows
// carry bookmarks 1, 2, 4, 5... A grid that is stuck keeps a row it cannot store; reading a cell may fail.
class Grid final : public GridOperations {
public:
    explicit Grid(const QList<QStringList>& rows) : g(kCaptions, rows) {}
    int rowCount() const override { return g.rowCount(); }
    int columnCount() const override { return g.columnCount(); }
    int currentColumn() const override { return g.currentColumn(); }
    void setCurrentColumn(int c) override { g.setCurrentColumn(c); }
    int currentRow() const override { return g.currentRow(); }
    QVariant currentBookmark() const override {
        return g.row >= 0 && g.row < g.rowCount() ? QVariant(g.row + (g.row < 2 ? 1 : 2)) : QVariant();
    }
    void setCurrentBookmark(const QVariant& b) override { g.row = b.toInt() - (b.toInt() < 3 ? 1 : 2); }
    void moveFirst() override {
        if (!stuck) g.moveFirst();
    }
    void moveNext() override { g.moveNext(); }
    void moveRows(int n) override { g.moveRows(n); }
    void focusGrid() override {}
    QString cellText(int c) const override { return onRead ? (onRead(), g.cellText(c)) : g.cellText(c); }
    QVariant cellValue(int c) const override { return g.cellValue(c); }
    bool isColumnVisible(int c) const override { return g.isColumnVisible(c); }
    void setColumnVisible(int c, bool v) override { g.setColumnVisible(c, v); }
    QList<QVariant> selectedBookmarks() const override { return {}; }
    void exportRows(ExportFormat, ExportRows, const QString&, const QString&) override {}

    test::FakeGrid g;
    std::function<void()> onRead;
    bool stuck = false;
};

// The window, shown while the grid stands on `row` and `column`.
struct Window {
    test::ScriptedDesktop desk;
    Grid grid;
    frmFind form{grid};

    explicit Window(const QList<QStringList>& rows, int row = 0, int column = 0) : grid(rows) {
        grid.g.row = row;
        grid.g.column = column;
        form.show();
    }
    template <class W> W* child(const char* name) { return test::child<W>(form, name); }
    QComboBox* combo() { return child<QComboBox>("cmbFieldToLookIn"); }
    QLineEdit* text() { return child<QLineEdit>("txtFindContent"); }
    QPushButton* find() { return child<QPushButton>("btnFind"); }
    void type(const QString& t) { QTest::keyClicks(text(), t); }
    // Queued work (the list's check when it loses the focus) runs before the next step, as in the event loop.
    void click(const char* button) {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
        QCoreApplication::processEvents();
    }
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
    bool stuck = false, fails = false;
};

} // namespace

Q_DECLARE_METATYPE(Search)

class TestFind : public QObject {
    Q_OBJECT
private slots:
    void search_data() {
        QTest::addColumn<Search>("s");
        const QString all = "All Fields", web = "Website", none;
        const auto ask = [](const QString& matched) {
            return "A whole match was not found.  However, '" + matched +
                   "' was found.\nWould you like to go to this record?";
        };
        const QString failed = "Error 3021 (No current record.) in procedure btnFind of Form frmFind";
        const int yes = int(Answer::Yes), no = int(Answer::No);
        row("beginning: blanks around the text dropped, case ignored",
            Search{all, "  BANK ", false, false, {rec("First Bank"), rec("Bank of Kent")}, 0, none, 1, 2});
        row("any part, all fields: blanks in the text searched for, row by row before column by column",
            Search{all, " bank", true, false, {rec("Banking", "savings at bank"), rec("my bank")}, 0, none, 0, 5});
        row("all fields: columns in order, hidden ones too, never the ID",
            Search{all, "bank", false, false, {rec("Web", "Bank Two", "Bank One")}, 0, none, 0, 4});
        row("one field: other columns are not searched",
            Search{"Description", "bank", false, false, {rec("Bank of Kent", "x"), rec("W", "bank")}, 0, none, 1, 5});
        row("whole, any part: a later occurrence that is a word amid others",
            Search{web, "bank", true, true, {rec("Banking"), rec("Banking at my BANK today")}, 0, none, 1, 2});
        row("whole, any part: candidate refused",
            Search{web, "bank", true, true, {rec("Web"), rec("eBANKING"), rec("Bankers")}, no, ask("BANK"), 2, 2});
        row("whole, beginning: the whole cell",
            Search{all, "BANK", false, true, {rec("Bank of Kent"), rec("bank")}, 0, none, 1, 2});
        row("whole, beginning: candidate taken, quoting the whole cell",
            Search{web, "bank", false, true, {rec("Web"), rec("Bank of Kent")}, yes, ask("Bank of Kent"), 1, 2});
        row("whole, all fields: a word in a later column beats a candidate",
            Search{all, "bank", true, true, {rec("Webbank", "my bank")}, 0, none, 0, 5});
        row("whole, all fields: candidate keeps its column",
            Search{all, "bank", true, true, {rec("Web", "Bankers"), rec("Shop", "Banking")}, yes, ask("Bank"), 0, 5});
        row("not found: the grid stays on the last row",
            Search{all, "bank", false, false, {rec("Web"), rec("Shop", "First Bank")}, 0, "Text not found!", 1, 8});
        row("empty grid", Search{all, "bank", false, false, {}, 0, "Text not found!", -1, 1});
        // The grid has told the user why it cannot leave its row; the search must not call the text not found.
        row("the grid cannot leave its row",
            Search{all, "bank", false, false, {rec("Web"), rec("First Bank"), rec("Shop")}, 0, none, 2, 0, true});
        row("reading a cell fails",
            Search{all, "bank", false, false, {rec("A"), rec("B")}, 0, failed, 0, 1, false, true});
    }
    void search() {
        QFETCH(Search, s);
        Window w(s.rows, int(s.rows.size()) - 1); // every search starts at the first row, wherever the grid stands
        w.grid.g.hidden = {0, 4, 7, 8};
        w.grid.stuck = s.stuck;
        bool busy = false; // while it searches, the pointer is the window's icon
        w.grid.onRead = [&] {
            busy = w.form.cursor().shape() == Qt::BitmapCursor;
            if (s.fails) throw Error(err::NoCurrentRecord, "No current record.");
        };
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
            QCOMPARE(w.desk.last().icon, s.answer ? Icon::Question : s.fails ? Icon::None : Icon::Information);
            QCOMPARE(w.desk.beeps, s.answer ? 1 : 0);
        }
        QCOMPARE(w.grid.g.row, s.row);
        QCOMPARE(w.grid.g.column, s.column);
        QCOMPARE(w.form.isVisible(), s.stuck || (!s.message.isEmpty() && s.answer != int(Answer::Yes)));
        QCOMPARE(busy, !s.rows.isEmpty() && !s.stuck);
        QCOMPARE(w.form.cursor().shape(), Qt::ArrowCursor);
    }

    // After a failed search, leaving puts the grid back where it stood (by bookmark, past the deleted one).
    // The window keeps what the user left in it, but the next showing picks the entry of the grid's column
    // afresh, replacing a text typed over the list even when the entry stays the same.
    void leaveAndReopen_data() {
        QTest::addColumn<int>("savedRow");
        QTest::addColumn<int>("savedColumn");
        QTest::addColumn<bool>("escape");
        QTest::addColumn<int>("column"); // where the grid is left
        QTest::addColumn<int>("reopenColumn");
        QTest::addColumn<QString>("entry");
        row("Cancel past the deleted row, same entry again", 3, 3, false, 3, 0, "All Fields");
        row("Esc, last field", 1, 6, true, 6, 8, "Prior Password");
        row("saved column 0 leaves the column, beyond the fields", 2, 0, false, 8, 9, "All Fields");
        row("saved on the add-new row", 5, 2, false, 2, 2, "Website");
    }
    void leaveAndReopen() {
        QFETCH(int, savedRow);
        QFETCH(int, savedColumn);
        QFETCH(bool, escape);
        QFETCH(int, column);
        QFETCH(int, reopenColumn);
        QFETCH(QString, entry);
        Window w({rec("A"), rec("B"), rec("C"), rec("D"), rec("E")}, savedRow, savedColumn);
        w.activate();
        w.combo()->setCurrentIndex(0);
        w.type("nowhere");
        w.child<QCheckBox>("chkWholeFieldOnly")->setChecked(true);
        w.click("btnFind");
        w.combo()->setFocus();
        w.combo()->setEditText("Nowhere"); // left unfinished: going is not refused
        auto* cancel = w.child<QPushButton>("btnCancel");
        if (escape) {
            QTest::keyClick(w.combo(), Qt::Key_Escape);
        } else {
            QTest::mousePress(cancel, Qt::LeftButton);
            QCoreApplication::processEvents(); // the click is not over yet
            QTest::mouseRelease(cancel, Qt::LeftButton);
        }
        QVERIFY(!w.form.isVisible());
        QCOMPARE(w.grid.g.row, savedRow);
        QCOMPARE(w.grid.g.column, column);

        w.grid.g.column = reopenColumn;
        w.form.show();
        QCOMPARE(w.combo()->currentText(), entry);
        QCOMPARE(w.combo()->count(), 9);
        QCOMPARE(w.form.focusWidget(), w.combo());
        QCOMPARE(w.text()->text(), QString("nowhere"));
        QVERIFY(w.find()->isEnabled());
        QCOMPARE(w.desk.messages(), QStringList{"Text not found!"});
    }

    // The window worked from the keyboard. Find needs a search text and one of the list's entries exactly as
    // spelt: blanks typed around the text do not count, but a change in the list takes them as searchable.
    // Leaving the list while its text is no entry is refused.
    void keyboardAndListRules() {
        Window w({rec("Banking"), rec("First Bank")}, 0, 1);
        w.activate();
        QVERIFY(!w.find()->isEnabled());
        w.type("  ");
        QVERIFY(!w.find()->isEnabled());
        QTest::keyClick(w.combo(), Qt::Key_Down); // Group Name -> Website
        QVERIFY(w.find()->isEnabled());

        w.combo()->setEditText("website");
        QVERIFY(!w.find()->isEnabled());
        QTest::keyClick(w.combo(), Qt::Key_Tab);
        QTRY_COMPARE(w.desk.messages(), QStringList{"Please select from the list!"});
        QCOMPARE(w.desk.last().icon, Icon::Information);
        QCOMPARE(QApplication::focusWidget(), w.combo());
        w.combo()->setEditText("Web");
        QTest::mouseClick(w.text(), Qt::LeftButton);
        QTRY_COMPARE(w.desk.messages().size(), 2);
        QCOMPARE(QApplication::focusWidget(), w.combo());

        w.combo()->setEditText("Website");
        QTest::keyClick(w.combo(), Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), "bank");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);       // Find Any Part of a Field
        QTest::keyClick(&w.form, Qt::Key_W, Qt::AltModifier);              // whole only: "Banking" would not do
        QTRY_VERIFY(w.child<QCheckBox>("chkWholeFieldOnly")->isChecked()); // an access key clicks after a moment
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(!w.form.isVisible());
        QCOMPARE(w.grid.g.row, 1);
        QCOMPARE(w.grid.g.column, 2);
        QCOMPARE(w.desk.messages().size(), 2);
    }
};

QTEST_MAIN(TestFind)
#include "tst_find.moc"
