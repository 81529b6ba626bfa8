#include "mainwindow/MainToolbar.h"
#include "store/Options.h"
#include "support/FakeGrid.h"
#include "support/ScriptedDesktop.h"
#include "support/Widgets.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

using namespace kv;
using kv::test::row;

namespace {

const QStringList kToggles{"ShowPasswordText", "ShowPasswordColumn", "ShowPriorUserIDPassword"};

// The view flags in the order of their buttons.
QList<bool*> flagsOf(ViewFlags& f) {
    return {&f.ShowPasswordText, &f.ShowPasswordColumn, &f.ShowPriorUserIDPassword};
}

// The toolbar in a window with a password box, as the main window lays it out.
struct Window {
    test::FakeGrid grid{QStringList(9), QList<QStringList>(3, QStringList(9))};
    QWidget host;
    QLineEdit* txtPassword = new QLineEdit(QStringLiteral("secret"), &host);
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
        toolbar->InitializeToolbar();
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
    }
    QToolButton* button(const QString& key) const {
        return qobject_cast<QToolButton*>(toolbar->widgetForAction(toolbar->button(key)));
    }
    // A button as the user sees it: caption, tooltip (naming its key), and whether it is held down.
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

    // The window opens with the toggles, the grid's columns and the password box's mask as the view flags say.
    void initialize_data() {
        QTest::addColumn<bool>("on");
        QTest::addColumn<QStringList>("looks");
        QTest::addColumn<QSet<int>>("hidden");
        row("all off", false,
            QStringList{"Show Password Textbox / Show the Password Textbox's contents (Ctrl+1)",
                        "Show Password Column / Show Password Column (Ctrl+2)",
                        "Show Prior Columns / Show Prior UserID and Password (Ctrl+3)"},
            QSet<int>{4, 7, 8});
        row("all on", true,
            QStringList{" Hide Password Textbox / Hide the Password Textbox's contents (Ctrl+1) [pressed]",
                        " Hide Password Column / Hide Password Column (Ctrl+2) [pressed]",
                        "Hide Prior Columns / Hide Prior UserID and Password (Ctrl+3) [pressed]"},
            QSet<int>{});
    }
    void initialize() {
        QFETCH(bool, on);
        QFETCH(QStringList, looks);
        QFETCH(QSet<int>, hidden);
        test::ScriptedDesktop desk;
        Window w({on, on, on});

        QStringList shown;
        for (const QString& key : kToggles)
            shown << w.look(key);
        QCOMPARE(shown, looks);
        QCOMPARE(w.grid.hidden, hidden);
        QCOMPARE(w.txtPassword->echoMode(), on ? QLineEdit::Normal : QLineEdit::Password);
        QVERIFY(desk.prompts.isEmpty());
    }

    // A click on a toggle flips its view and its look; hiding the column that holds the cursor moves the
    // cursor to a visible column of the same row. The stored option settings never change.
    void toggle_data() {
        QTest::addColumn<Toggle>("t");
        row("show password text", Toggle{"ShowPasswordText", false, 2,
                                         " Hide Password Textbox / Hide the Password Textbox's contents (Ctrl+1) [pressed]",
                                         "Show Password Textbox Contents", 2, QSet<int>{4, 7, 8}});
        row("hide password text",
            Toggle{"ShowPasswordText", true, 2, "Show Password Textbox / Show the Password Textbox's contents (Ctrl+1)",
                   "Hide Password Textbox Contents", 2, QSet<int>{4, 7, 8}});
        row("show password column",
            Toggle{"ShowPasswordColumn", false, 2, " Hide Password Column / Hide Password Column (Ctrl+2) [pressed]",
                   "Show Password Column", 2, QSet<int>{7, 8}});
        row("hide password column, cursor in it",
            Toggle{"ShowPasswordColumn", true, 4, "Show Password Column / Show Password Column (Ctrl+2)", "Hide Password Column",
                   3, QSet<int>{4, 7, 8}});
        row("show prior columns", Toggle{"ShowPriorUserIDPassword", false, 3,
                                         " Hide Prior Columns /  Hide Prior UserID and Password (Ctrl+3) [pressed]",
                                         "Show Prior UserID and Password", 3, QSet<int>{4}});
        row("hide prior columns, cursor in prior password",
            Toggle{"ShowPriorUserIDPassword", true, 8, "Show Prior Columns / Show Prior UserID and Password (Ctrl+3)",
                   "Hide Prior UserID and Password", 5, QSet<int>{4, 7, 8}});
        row("hide prior columns, cursor elsewhere",
            Toggle{"ShowPriorUserIDPassword", true, 6, "Show Prior Columns / Show Prior UserID and Password (Ctrl+3)",
                   "Hide Prior UserID and Password", 6, QSet<int>{4, 7, 8}});
    }
    void toggle() {
        QFETCH(Toggle, t);
        test::ScriptedDesktop desk;
        ViewFlags start;
        *flagsOf(start)[kToggles.indexOf(t.key)] = t.startOn;
        Window w(start);
        w.grid.column = t.column;

        w.click(t.key);
        QCOMPARE(*flagsOf(w.flags)[kToggles.indexOf(t.key)], !t.startOn);
        QCOMPARE(w.look(t.key), t.look);
        QCOMPARE(w.status, t.message);
        QCOMPARE(w.grid.hidden, t.hidden);
        QCOMPARE(w.grid.column, t.columnAfter);
        QCOMPARE(w.txtPassword->echoMode(), w.flags.ShowPasswordText ? QLineEdit::Normal : QLineEdit::Password);
        QVERIFY(!gShowPasswordText && !gShowPasswordColumn && !gShowPriorUserIDPassword);
        QVERIFY(desk.prompts.isEmpty());
    }

    // The export button runs its own export when clicked, not the menu; each menu entry runs the export of
    // its own key.
    void exportButtonAndMenu() {
        Window w;
        w.click("ExportData");
        QCOMPARE(w.exportClicks, 1);
        QStringList entries;
        for (QAction* entry : w.button("ExportData")->menu()->actions()) {
            entry->trigger();
            entries << entry->text() + " = " + w.exportChoices.value(entries.size());
        }
        QCOMPARE(entries, QStringList({"HTML File = HTMLall", "HTML - Selected Rows = HTMLselectedRows",
                                       "HTML - Non Selected Rows = HTMLnonSelectedRows", "ASCII File = AsciiAll",
                                       "ASCII - Selected Rows = AsciiSelectedRows",
                                       "ASCII - Non Selected Rows = AsciiNonSelectedRows", "CSV File = CSVall",
                                       "CSV - Selected Rows = CSVselectedRows",
                                       "CSV - Non Selected Rows = CSVnonSelectedRows",
                                       "Go to Export Folder = GotoExportFolder"}));
        QCOMPARE(w.exportClicks, 1);
    }

};

QTEST_MAIN(ToolbarTest)
#include "tst_toolbar.moc"
