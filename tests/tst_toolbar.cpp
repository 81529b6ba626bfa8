// keyvale_gui
#include "mainwindow/MainToolbar.h"
#include "platform/Error.h"
#include "store/Options.h"
#include "support/FakeGrid.h"
#include "support/ScriptedDesktop.h"

#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

using namespace kv;

namespace {

const QStringList kToggles{"ShowPasswordText", "ShowPasswordColumn", "ShowPriorUserIDPassword"};

template <class... T> void row(const char* name, const T&... values) {
    (QTest::newRow(name) << ... << values);
}

// The view flags in the order of their buttons.
QList<bool*> flagsOf(ViewFlags& f) {
    return {&f.ShowPasswordText, &f.ShowPasswordColumn, &f.ShowPriorUserIDPassword};
}

// Stands in for the records grid's window: it takes the keyboard focus, and a Down key steps on a row (from
// the last one onto the add-new row), as the real grid does.
struct GridView final : QWidget {
    GridView(test::FakeGrid& grid, QWidget* parent) : QWidget(parent), grid(grid) { setFocusPolicy(Qt::StrongFocus); }
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Down) ++downs, grid.moveNext();
    }
    test::FakeGrid& grid;
    int downs = 0;
};

// The toolbar in a window with a password box and the grid's stand-in, as the main window lays it out.
struct Window {
    test::FakeGrid grid{QStringList(9), QList<QStringList>(3, QStringList(9))};
    QWidget host;
    QLineEdit* txtPassword = new QLineEdit(QStringLiteral("secret"), &host);
    GridView* view = new GridView(grid, &host);
    ViewFlags flags;
    QString status = QStringLiteral("Keyvale is Ready");
    int exportClicks = 0;
    QStringList exportChoices;
    std::function<void(const QString&)> onStatus = [this](const QString& text) { status = text; };
    MainToolbar* toolbar = nullptr;

    explicit Window(ViewFlags startFlags = {}) : flags(startFlags) {
        toolbar = new MainToolbar(
            grid, txtPassword, flags, [this](const QString& text) { onStatus(text); }, [this] { ++exportClicks; },
            [this](const QString& key) { exportChoices.append(key); }, &host);
        auto* layout = new QVBoxLayout(&host);
        layout->addWidget(toolbar);
        layout->addWidget(txtPassword);
        layout->addWidget(view);
        host.resize(1000, 300);
        toolbar->InitializeToolbar();
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
    }
    QToolButton* button(const QString& key) const {
        return qobject_cast<QToolButton*>(toolbar->widgetForAction(toolbar->button(key)));
    }
    // A button as the user sees it: caption, tooltip, and whether it is held down.
    QString look(const QString& key) const {
        QToolButton* b = button(key);
        return b->text() + " / " + b->toolTip() + (b->isChecked() ? " [pressed]" : "");
    }
    void click(const QString& key) { QTest::mouseClick(button(key), Qt::LeftButton, {}, QPoint(8, 8)); }
};

// A click on a toggle: which, from what state, with the cursor in what column; how the button looks afterwards,
// the status text, where the cursor is and which columns are hidden.
struct Toggle {
    QString key;
    bool startOn;
    int column;
    QString look, message;
    int columnAfter;
    QSet<int> hidden;
};

} // namespace

Q_DECLARE_METATYPE(Toggle)

class ToolbarTest : public QObject {
    Q_OBJECT
private slots:
    void init() { gShowPasswordText = gShowPasswordColumn = gShowPriorUserIDPassword = false; }

    // The window opens with the buttons, the grid's columns and the password box's mask as the view flags say.
    void initialize_data() {
        QTest::addColumn<bool>("text");
        QTest::addColumn<bool>("column");
        QTest::addColumn<bool>("prior");
        QTest::addColumn<QStringList>("toggles");
        QTest::addColumn<QSet<int>>("hidden");
        row("all off", false, false, false,
            QStringList{"Show Password Textbox / Show the Password Textbox's contents",
                        "Show Password Column / Show Password Column",
                        "Show Prior Columns / Show Prior UserID and Password"},
            QSet<int>{4, 7, 8});
        row("all on", true, true, true,
            QStringList{" Hide Password Textbox / Hide the Password Textbox's contents [pressed]",
                        " Hide Password Column / Hide Password Column [pressed]",
                        "Hide Prior Columns / Hide Prior UserID and Password [pressed]"},
            QSet<int>{});
    }
    void initialize() {
        QFETCH(bool, text);
        QFETCH(bool, column);
        QFETCH(bool, prior);
        QFETCH(QStringList, toggles);
        QFETCH(QSet<int>, hidden);
        test::ScriptedDesktop desk;
        Window w({text, column, prior});

        QStringList shown;
        for (QAction* action : w.toolbar->actions())
            shown << (action->isSeparator() ? "|" : w.look(action->objectName()));
        QCOMPARE(shown, (toggles + QStringList{"|", "First Record / Move to the first record in the grid",
                                               "Last Record / Move to the last record in the grid",
                                               "New Record / Begin a New Record in the Grid", "|",
                                               "Export Data / Export Keyvale Data"}));
        for (const QString& key : kToggles + QStringList{"FirstRecord", "LastRecord", "NewRecord"})
            QVERIFY(!w.button(key)->icon().isNull());
        QCOMPARE(w.grid.hidden, hidden);
        QCOMPARE(w.txtPassword->echoMode(), text ? QLineEdit::Normal : QLineEdit::Password);
        QCOMPARE(w.status, QStringLiteral("Keyvale is Ready"));
        QVERIFY(desk.prompts.isEmpty());
    }

    // A click on a toggle flips its view and its look; hiding the column that holds the cursor moves the
    // cursor to a visible column of the same row. The stored option settings never change.
    void toggle_data() {
        QTest::addColumn<Toggle>("t");
        row("show password text", Toggle{"ShowPasswordText", false, 2,
                                         " Hide Password Textbox / Hide the Password Textbox's contents [pressed]",
                                         "Show Password Textbox Contents", 2, QSet<int>{4, 7, 8}});
        row("hide password text",
            Toggle{"ShowPasswordText", true, 2, "Show Password Textbox / Show the Password Textbox's contents",
                   "Hide Password Textbox Contents", 2, QSet<int>{4, 7, 8}});
        row("show password column",
            Toggle{"ShowPasswordColumn", false, 2, " Hide Password Column / Hide Password Column [pressed]",
                   "Show Password Column", 2, QSet<int>{7, 8}});
        row("hide password column, cursor in it",
            Toggle{"ShowPasswordColumn", true, 4, "Show Password Column / Show Password Column", "Hide Password Column",
                   3, QSet<int>{4, 7, 8}});
        row("show prior columns", Toggle{"ShowPriorUserIDPassword", false, 3,
                                         " Hide Prior Columns /  Hide Prior UserID and Password [pressed]",
                                         "Show Prior UserID and Password", 3, QSet<int>{4}});
        row("hide prior columns, cursor in prior password",
            Toggle{"ShowPriorUserIDPassword", true, 8, "Show Prior Columns / Show Prior UserID and Password",
                   "Hide Prior UserID and Password", 5, QSet<int>{4, 7, 8}});
        row("hide prior columns, cursor elsewhere",
            Toggle{"ShowPriorUserIDPassword", true, 6, "Show Prior Columns / Show Prior UserID and Password",
                   "Hide Prior UserID and Password", 6, QSet<int>{4, 7, 8}});
    }
    void toggle() {
        QFETCH(Toggle, t);
        test::ScriptedDesktop desk;
        ViewFlags start;
        *flagsOf(start)[kToggles.indexOf(t.key)] = t.startOn;
        Window w(start);
        w.grid.row = 1;
        w.grid.column = t.column;

        w.click(t.key);
        QCOMPARE(*flagsOf(w.flags)[kToggles.indexOf(t.key)], !t.startOn);
        QCOMPARE(w.look(t.key), t.look);
        QCOMPARE(w.status, t.message);
        QCOMPARE(w.grid.hidden, t.hidden);
        QCOMPARE(w.grid.column, t.columnAfter);
        QCOMPARE(w.grid.row, 1);
        QCOMPARE(w.txtPassword->echoMode(), w.flags.ShowPasswordText ? QLineEdit::Normal : QLineEdit::Password);
        QCOMPARE(w.txtPassword->text(), QStringLiteral("secret"));
        QVERIFY(!gShowPasswordText && !gShowPasswordColumn && !gShowPriorUserIDPassword);
        QVERIFY(desk.prompts.isEmpty());
    }

    // The moves leave the keyboard focus in the grid; New Record's Down key arrives after the move to the last
    // record and steps onto the add-new row.
    void moves_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("downs");
        row("first record", "FirstRecord", 0, 2, 0);
        row("last record", "LastRecord", 2, 2, 0);
        row("new record", "NewRecord", 3, 1, 1);
    }
    void moves() {
        QFETCH(QString, key);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, downs);
        test::ScriptedDesktop desk;
        Window w;
        w.host.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w.host));
        w.view->setFocus();
        QTRY_VERIFY(w.view->hasFocus());
        w.grid.row = 1;
        w.grid.column = 2;

        w.click(key);
        QCOMPARE(w.grid.row, row);
        QCOMPARE(w.grid.column, column);
        QCOMPARE(w.view->downs, downs);
        QVERIFY(w.view->hasFocus());
        QCOMPARE(w.status, QStringLiteral("Keyvale is Ready"));
    }

    // The export button runs its own export when clicked; only its arrow opens the menu of the seven exports.
    void exportButtonAndMenu() {
        Window w;
        QCOMPARE(w.button("ExportData")->popupMode(), QToolButton::MenuButtonPopup);
        w.click("ExportData");
        QCOMPARE(w.exportClicks, 1);
        QVERIFY(!w.toolbar->exportDataMenu()->isVisible());

        QStringList entries; // each entry runs the export of its own key
        for (QAction* entry : w.button("ExportData")->menu()->actions()) {
            entry->trigger();
            entries << entry->text() + " = " + w.exportChoices.value(entries.size());
        }
        QCOMPARE(entries, QStringList({"HTML File = HTMLall", "HTML - Selected Rows = HTMLselectedRows",
                                       "HTML - Non Selected Rows = HTMLnonSelectedRows", "ASCII File = AsciiAll",
                                       "ASCII - Selected Rows = AsciiSelectedRows",
                                       "ASCII - Non Selected Rows = AsciiNonSelectedRows",
                                       "Go to Export Folder = GotoExportFolder"}));
        QCOMPARE(w.exportClicks, 1);
    }

    // A failing step is reported; what ran before it keeps its effect.
    void clickErrorIsReported() {
        test::ScriptedDesktop desk;
        Window w({false, true, false});
        w.onStatus = [](const QString&) { throw Error(91, QStringLiteral("Object variable not set")); };
        w.grid.column = 4;
        w.click("ShowPasswordColumn");
        QCOMPARE(desk.messages(), QStringList({"Error 91 (Object variable not set) in procedure Toolbar_ButtonClick "
                                               "of Form frmMain"}));
        QCOMPARE(w.grid.column, 3);
    }
};

QTEST_MAIN(ToolbarTest)
#include "tst_toolbar.moc"
