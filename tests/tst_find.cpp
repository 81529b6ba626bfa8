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
#include <memory>

using namespace kv;
using kv::test::FakeGrid;
using kv::test::ScriptedDesktop;

namespace {

const QStringList kCaptions = {QString(),     "Group Name",   "Website",       "User ID",       "Password",
                               "Description", "Date Changed", "Prior User ID", "Prior Password"};

// One record as the grid shows it. The ID column begins with "Bank" so that searching it would show.
QStringList rec(const QString& website, const QString& description = {}, const QString& password = "pw") {
    return {"Bank-id", "Personal", website, "joe", password, description, "01/02/2024 10:00:00 am", "", ""};
}

// A FakeGrid seen through bookmarks with gaps (rows were deleted since the recordset was opened); it also
// counts the moves made on it and can fail when a cell is read.
class GappedGrid final : public GridOperations {
public:
    GappedGrid(FakeGrid& inner, QList<int> bookmarks) : g(inner), marks(std::move(bookmarks)) {}

    int rowCount() const override { return g.rowCount(); }
    int columnCount() const override { return g.columnCount(); }
    int currentColumn() const override { return g.currentColumn(); }
    void setCurrentColumn(int c) override {
        ++moves;
        g.setCurrentColumn(c);
    }
    int currentRow() const override { return g.currentRow(); }
    QVariant currentBookmark() const override {
        return g.row >= 0 && g.row < marks.size() ? QVariant(marks[g.row]) : QVariant();
    }
    void setCurrentBookmark(const QVariant& b) override {
        ++moves;
        if (marks.contains(b.toInt())) g.row = int(marks.indexOf(b.toInt()));
    }
    void moveFirst() override {
        ++moves;
        g.moveFirst();
    }
    void moveNext() override {
        ++moves;
        g.moveNext();
    }
    void moveRows(int n) override {
        ++moves;
        g.moveRows(n);
    }
    QString cellText(int c) const override {
        if (onRead) onRead();
        return g.cellText(c);
    }
    QVariant cellValue(int c) const override { return g.cellValue(c); }
    bool isColumnVisible(int c) const override { return g.isColumnVisible(c); }
    void setColumnVisible(int c, bool v) override { g.setColumnVisible(c, v); }
    QList<QVariant> selectedBookmarks() const override { return {}; }
    void exportRows(ExportFormat, ExportRows, const QString&, const QString&) override {}

    FakeGrid& g;
    QList<int> marks;
    int moves = 0;
    std::function<void()> onRead;
};

template <class W> W* child(QWidget& form, const char* name) {
    auto* w = form.findChild<W*>(QString::fromLatin1(name));
    if (!w) qFatal("no control %s", name);
    return w;
}

void pickField(QWidget& form, const QString& entry) {
    auto* combo = child<QComboBox>(form, "cmbFieldToLookIn");
    combo->setCurrentIndex(combo->findText(entry));
}

void typeSearch(QWidget& form, const QString& text) {
    auto* box = child<QLineEdit>(form, "txtFindContent");
    box->clear();
    QTest::keyClicks(box, text);
}

void tick(QWidget& form, const char* name, bool on) {
    auto* box = child<QCheckBox>(form, name);
    if (box->isChecked() != on) QTest::mouseClick(box, Qt::LeftButton);
}

void clickFind(QWidget& form) {
    QTest::mouseClick(child<QPushButton>(form, "btnFind"), Qt::LeftButton);
}

void makeActive(QWidget& form) {
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
}

} // namespace

class TestFind : public QObject {
    Q_OBJECT
private slots:
    void search_data();
    void search();
    void keyboardOnly();
    void cancel_data();
    void cancel();
    void listFollowsCurrentColumn_data();
    void listFollowsCurrentColumn();
    void keepsItsStateBetweenShowings();
    void findEnabling_data();
    void findEnabling();
    void blanksOnlyDisableFindUntilTheListIsUsed();
    void leavingTheList_data();
    void leavingTheList();
    void errorWhileSearching();
};

void TestFind::search_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("anyPart");
    QTest::addColumn<bool>("whole");
    QTest::addColumn<QList<QStringList>>("rows");
    QTest::addColumn<int>("answer"); // 0 no question expected, else the button pressed
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("closed");

    const QString all = "All Fields";
    const auto question = [](const QString& matched) {
        return "A whole match was not found.  However, '" + matched +
               "' was found.\nWould you like to go to this record?";
    };
    const int yes = int(Answer::Yes), no = int(Answer::No);
    const QList<QStringList> banks = {rec("First Bank"), rec("Bank of Kent")};

    QTest::newRow("beginning: a cell that begins with the text")
        << all << "bank" << false << false << banks << 0 << QString() << 1 << 2 << true;
    QTest::newRow("any part: a cell that contains it")
        << all << "bank" << true << false << banks << 0 << QString() << 0 << 2 << true;
    QTest::newRow("beginning: blanks around the text are dropped")
        << all << "  BANK " << false << false << banks << 0 << QString() << 1 << 2 << true;
    QTest::newRow("any part: blanks in the text are searched for")
        << "Website"
        << " bank" << true << false << QList<QStringList>{rec("Banking"), rec("First Bank")} << 0 << QString() << 1 << 2
        << true;
    QTest::newRow("all fields: row by row before column by column")
        << all << "bank" << true << false << QList<QStringList>{rec("Web", "savings at bank"), rec("Bank of Kent")} << 0
        << QString() << 0 << 5 << true;
    QTest::newRow("all fields: columns in order")
        << all << "bank" << false << false << QList<QStringList>{rec("Web", "Bank Two", "Bank One")} << 0 << QString()
        << 0 << 4 << true;
    QTest::newRow("hidden column searched")
        << "Password"
        << "secret" << false << false << QList<QStringList>{rec("Web"), rec("Web", "", "Secret9")} << 0 << QString()
        << 1 << 4 << true;
    QTest::newRow("one field: other columns are not searched")
        << "Description"
        << "bank" << false << false << QList<QStringList>{rec("Bank of Kent", "x"), rec("W", "bank")} << 0 << QString()
        << 1 << 5 << true;
    QTest::newRow("whole, one field: a word at the end")
        << "Website"
        << "bank" << true << true << QList<QStringList>{rec("Banking"), rec("First Bank")} << 0 << QString() << 1 << 2
        << true;
    QTest::newRow("whole, one field: the whole cell")
        << "Website"
        << "bank" << true << true << QList<QStringList>{rec("Banking"), rec("BANK")} << 0 << QString() << 1 << 2
        << true;
    QTest::newRow("whole, one field: a later occurrence that is a word")
        << "Website"
        << "bank" << true << true << QList<QStringList>{rec("Banking Bank")} << 0 << QString() << 0 << 2 << true;
    QTest::newRow("whole, one field: candidate taken")
        << "Website"
        << "bank" << true << true << QList<QStringList>{rec("Web"), rec("Online BANKING"), rec("Bankers")} << yes
        << question("BANK") << 1 << 2 << true;
    QTest::newRow("whole, one field: candidate refused")
        << "Website"
        << "bank" << true << true << QList<QStringList>{rec("Web"), rec("Online BANKING"), rec("Bankers")} << no
        << question("BANK") << 2 << 2 << false;
    QTest::newRow("beginning, whole: the whole cell")
        << all << "BANK" << false << true << QList<QStringList>{rec("Bank of Kent"), rec("bank")} << 0 << QString() << 1
        << 2 << true;
    QTest::newRow("beginning, whole: candidate quotes the whole cell")
        << "Website"
        << "bank" << false << true << QList<QStringList>{rec("Web"), rec("Bank of Kent")} << yes
        << question("Bank of Kent") << 1 << 2 << true;
    QTest::newRow("all fields, any part, whole: the word test applies")
        << all << "bank" << true << true << QList<QStringList>{rec("Webbank", "my bank")} << 0 << QString() << 0 << 5
        << true;
    QTest::newRow("all fields, whole: candidate keeps its column")
        << all << "bank" << true << true << QList<QStringList>{rec("Web", "Bankers"), rec("Shop", "Banking")} << yes
        << question("Bank") << 0 << 5 << true;
    QTest::newRow("not found: the grid stays on the last row")
        << all << "bank" << false << false << QList<QStringList>{rec("Web"), rec("Shop", "First Bank")} << 0
        << "Text not found!" << 1 << 8 << false;
    QTest::newRow("empty grid") << all << "bank" << false << false << QList<QStringList>{} << 0 << "Text not found!"
                                << -1 << 1 << false;
}

void TestFind::search() {
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(bool, anyPart);
    QFETCH(bool, whole);
    QFETCH(QList<QStringList>, rows);
    QFETCH(int, answer);
    QFETCH(QString, message);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(bool, closed);

    ScriptedDesktop desk;
    FakeGrid grid(kCaptions, rows);
    grid.hidden = {0, 4, 7, 8};
    grid.row = int(rows.size()) - 1; // every search starts at the first row, wherever the grid stands
    frmFind form(grid);
    form.show();
    pickField(form, field);
    typeSearch(form, text);
    tick(form, "chkAnyPartOfField", anyPart);
    tick(form, "chkWholeFieldOnly", whole);
    if (answer) desk.answer(Answer(answer));
    clickFind(form);

    QCOMPARE(desk.messages(), message.isEmpty() ? QStringList() : QStringList{message});
    if (!message.isEmpty()) {
        const bool asked = answer != 0;
        QCOMPARE(desk.last().title, QString());
        QCOMPARE(desk.last().buttons, asked ? Buttons::YesNo : Buttons::Ok);
        QCOMPARE(desk.last().icon, asked ? Icon::Question : Icon::Information);
        QCOMPARE(desk.beeps, asked ? 1 : 0);
    }
    QCOMPARE(grid.row, row);
    QCOMPARE(grid.column, column);
    QCOMPARE(form.isVisible(), !closed);
    QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
}

void TestFind::keyboardOnly() {
    ScriptedDesktop desk;
    FakeGrid grid(kCaptions, {rec("Banking"), rec("First Bank")});
    grid.column = 1;
    frmFind form(grid);
    form.show();
    makeActive(form);
    auto* combo = child<QComboBox>(form, "cmbFieldToLookIn");
    QCOMPARE(QApplication::focusWidget(), combo);
    QTest::keyClick(combo, Qt::Key_Down); // Group Name -> Website
    QCOMPARE(combo->currentText(), QString("Website"));
    QTest::keyClick(&form, Qt::Key_S, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(form, "txtFindContent"));
    QTest::keyClicks(QApplication::focusWidget(), "bank");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space); // Find Any Part of a Field
    QTest::keyClick(&form, Qt::Key_W, Qt::AltModifier);
    QTRY_VERIFY(child<QCheckBox>(form, "chkWholeFieldOnly")->isChecked());
    QVERIFY(child<QCheckBox>(form, "chkAnyPartOfField")->isChecked());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(!form.isVisible());
    QCOMPARE(grid.row, 1);
    QCOMPARE(grid.column, 2);
    QVERIFY(desk.prompts.isEmpty());
}

void TestFind::cancel_data() {
    QTest::addColumn<int>("savedRow");
    QTest::addColumn<int>("savedColumn");
    QTest::addColumn<bool>("searchFirst");
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");

    // Rows 0..4 carry bookmarks 1, 2, 4, 5, 6: the row with bookmark 3 was deleted.
    QTest::newRow("after a failed search, Cancel") << 3 << 3 << true << "button" << 3 << 3;
    QTest::newRow("after a failed search, Esc") << 1 << 6 << true << "escape" << 1 << 6;
    // Some window managers keep a close button on the title bar regardless; it works as Cancel.
    QTest::newRow("after a failed search, closed") << 0 << 2 << true << "close" << 0 << 2;
    QTest::newRow("saved column 0 leaves the column") << 2 << 0 << true << "button" << 2 << 8;
    QTest::newRow("saved on the add-new row") << 5 << 2 << true << "button" << 5 << 2;
    QTest::newRow("without a search") << 3 << 3 << false << "button" << 3 << 3;
}

void TestFind::cancel() {
    QFETCH(int, savedRow);
    QFETCH(int, savedColumn);
    QFETCH(bool, searchFirst);
    QFETCH(QString, how);
    QFETCH(int, row);
    QFETCH(int, column);

    ScriptedDesktop desk;
    FakeGrid fake(kCaptions, {rec("A"), rec("B"), rec("C"), rec("D"), rec("E")});
    GappedGrid grid(fake, {1, 2, 4, 5, 6});
    fake.row = savedRow;
    fake.column = savedColumn;
    frmFind form(grid);
    form.show();
    if (searchFirst) {
        pickField(form, "All Fields");
        typeSearch(form, "nowhere");
        clickFind(form);
        QCOMPARE(desk.messages(), QStringList{"Text not found!"});
        QCOMPARE(fake.row, 4);
    }
    grid.moves = 0;
    if (how == "escape")
        QTest::keyClick(&form, Qt::Key_Escape);
    else if (how == "close")
        form.close();
    else
        QTest::mouseClick(child<QPushButton>(form, "btnCancel"), Qt::LeftButton);
    QVERIFY(!form.isVisible());
    QCOMPARE(fake.row, row);
    QCOMPARE(fake.column, column);
    if (!searchFirst) QCOMPARE(grid.moves, 0);
}

void TestFind::listFollowsCurrentColumn_data() {
    QTest::addColumn<int>("gridColumn");
    QTest::addColumn<QString>("entry");
    QTest::newRow("ID column") << 0 << "All Fields";
    QTest::newRow("first field") << 1 << "Group Name";
    QTest::newRow("hidden password") << 4 << "Password";
    QTest::newRow("last field") << 8 << "Prior Password";
    QTest::newRow("beyond the fields") << 9 << "All Fields";
    QTest::newRow("no column") << -1 << "All Fields";
}

void TestFind::listFollowsCurrentColumn() {
    QFETCH(int, gridColumn);
    QFETCH(QString, entry);
    ScriptedDesktop desk;
    FakeGrid grid(kCaptions, {rec("A")});
    grid.column = gridColumn;
    frmFind form(grid);
    form.show();
    auto* combo = child<QComboBox>(form, "cmbFieldToLookIn");
    QCOMPARE(combo->count(), 9);
    QCOMPARE(combo->currentText(), entry);
    QCOMPARE(form.windowTitle(), QString("Find"));
    QVERIFY(!(form.windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(desk.prompts.isEmpty());
}

void TestFind::keepsItsStateBetweenShowings() {
    ScriptedDesktop desk;
    FakeGrid grid(kCaptions, {rec("A")});
    grid.column = 2;
    frmFind form(grid);
    form.show();
    auto* combo = child<QComboBox>(form, "cmbFieldToLookIn");
    typeSearch(form, "bank");
    tick(form, "chkWholeFieldOnly", true);
    combo->setEditText("Nowhere"); // left unfinished when the window is cancelled
    QTest::keyClick(&form, Qt::Key_Escape);
    QVERIFY(!form.isVisible());

    grid.column = 5;
    form.show();
    QCOMPARE(combo->currentText(), QString("Description"));
    QCOMPARE(combo->count(), 9);
    QCOMPARE(form.focusWidget(), combo);
    QCOMPARE(child<QLineEdit>(form, "txtFindContent")->text(), QString("bank"));
    QVERIFY(child<QCheckBox>(form, "chkWholeFieldOnly")->isChecked());
    QVERIFY(!child<QCheckBox>(form, "chkAnyPartOfField")->isChecked());
    QVERIFY(child<QPushButton>(form, "btnFind")->isEnabled());
}

void TestFind::findEnabling_data() {
    QTest::addColumn<QString>("comboText");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("entry and text") << "Website"
                                    << "bank" << true;
    QTest::newRow("text with blanks around it") << "All Fields"
                                                << " bank " << true;
    QTest::newRow("blanks only") << "Website"
                                 << "   " << false;
    QTest::newRow("empty text") << "Website"
                                << "" << false;
    QTest::newRow("entry in another case") << "website"
                                           << "bank" << false;
    QTest::newRow("part of an entry") << "Web"
                                      << "bank" << false;
}

void TestFind::findEnabling() {
    QFETCH(QString, comboText);
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    ScriptedDesktop desk;
    FakeGrid grid(kCaptions, {rec("A")});
    frmFind form(grid);
    form.show();
    auto* find = child<QPushButton>(form, "btnFind");
    QVERIFY(!find->isEnabled());
    child<QComboBox>(form, "cmbFieldToLookIn")->setEditText(comboText);
    typeSearch(form, text);
    QCOMPARE(find->isEnabled(), enabled);
}

void TestFind::blanksOnlyDisableFindUntilTheListIsUsed() {
    ScriptedDesktop desk;
    FakeGrid grid(kCaptions, {rec("Web")});
    frmFind form(grid);
    form.show();
    auto* find = child<QPushButton>(form, "btnFind");
    auto* combo = child<QComboBox>(form, "cmbFieldToLookIn");
    typeSearch(form, "  ");
    QVERIFY(!find->isEnabled());
    pickField(form, "Website");
    QVERIFY(find->isEnabled());
    QTest::keyClicks(combo, "x"); // "Websitex" is no entry
    QVERIFY(!find->isEnabled());
    QTest::keyClick(combo, Qt::Key_Backspace);
    QVERIFY(find->isEnabled());
}

void TestFind::leavingTheList_data() {
    QTest::addColumn<QString>("comboText");
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("refused");
    QTest::newRow("Tab from an entry") << "User ID"
                                       << "tab" << false;
    QTest::newRow("Tab from another text") << "Nowhere"
                                           << "tab" << true;
    QTest::newRow("Shift+Tab from another text") << "user id"
                                                 << "backtab" << true;
    QTest::newRow("click into the text box") << "Nowhere"
                                             << "click" << true;
    QTest::newRow("Cancel with the mouse") << "Nowhere"
                                           << "cancel" << false;
}

void TestFind::leavingTheList() {
    QFETCH(QString, comboText);
    QFETCH(QString, how);
    QFETCH(bool, refused);
    ScriptedDesktop desk;
    FakeGrid grid(kCaptions, {rec("Web")});
    frmFind form(grid);
    form.show();
    makeActive(form);
    auto* combo = child<QComboBox>(form, "cmbFieldToLookIn");
    combo->setEditText(comboText);
    if (how == "tab")
        QTest::keyClick(combo, Qt::Key_Tab);
    else if (how == "backtab")
        QTest::keyClick(combo, Qt::Key_Backtab, Qt::ShiftModifier);
    else if (how == "click")
        QTest::mouseClick(child<QLineEdit>(form, "txtFindContent"), Qt::LeftButton);
    else
        QTest::mouseClick(child<QPushButton>(form, "btnCancel"), Qt::LeftButton);
    QCoreApplication::processEvents();

    if (refused) {
        QCOMPARE(desk.messages(), QStringList{"Please select from the list!"});
        QCOMPARE(desk.last().icon, Icon::Information);
        QCOMPARE(desk.last().buttons, Buttons::Ok);
        QCOMPARE(QApplication::focusWidget(), combo);
    } else {
        QVERIFY(desk.prompts.isEmpty());
        QVERIFY(QApplication::focusWidget() != combo || !form.isVisible());
    }
}

void TestFind::errorWhileSearching() {
    ScriptedDesktop desk;
    FakeGrid fake(kCaptions, {rec("A"), rec("B")});
    GappedGrid grid(fake, {1, 2});
    frmFind form(grid);
    form.show();
    bool busy = false;
    grid.onRead = [&] {
        busy = form.cursor().shape() == Qt::WaitCursor;
        throw Error(err::NoCurrentRecord, "No current record.");
    };
    typeSearch(form, "bank");
    clickFind(form);
    QVERIFY(busy);
    QCOMPARE(desk.messages(), QStringList{"Error 3021 (No current record.) in procedure btnFind of Form frmFind"});
    QCOMPARE(desk.last().icon, Icon::None);
    QVERIFY(form.isVisible());
    QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
}

QTEST_MAIN(TestFind)
#include "tst_find.moc"
