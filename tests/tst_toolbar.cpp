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

#include <memory>

using namespace kv;

namespace {

const QStringList kCaptions{"",
                            "Group Name",
                            "Website",
                            "User ID",
                            "Password",
                            "Description",
                            "Date Changed",
                            "Prior User ID",
                            "Prior Password"};

QList<QStringList> sampleRows() {
    return {{"1", "Mail", "mail.example", "ann", "pw1", "work", "01/02/2024 10:00:00 AM", "", ""},
            {"2", "Bank", "bank.example", "bob", "pw2", "", "01/03/2024 11:00:00 AM", "bobby", "old"},
            {"3", "Mail", "post.example", "cy", "pw3", "home", "01/04/2024 12:00:00 PM", "", ""}};
}

// Stands in for the records grid's window: it has the keyboard focus, and a Down key on the last row
// steps onto the add-new row, as the real grid does.
class GridView final : public QWidget {
public:
    explicit GridView(test::FakeGrid& grid) : grid_(grid) { setFocusPolicy(Qt::StrongFocus); }
    int downs = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() != Qt::Key_Down) return;
        ++downs;
        grid_.moveNext();
    }

private:
    test::FakeGrid& grid_;
};

// The toolbar in a window with a password box and the grid's stand-in, as the main window lays it out.
struct Window {
    test::FakeGrid grid{kCaptions, sampleRows()};
    QWidget host;
    QLineEdit* txtPassword = new QLineEdit(&host);
    GridView* view = new GridView(grid);
    ViewFlags flags;
    QString status = QStringLiteral("Keyvale is Ready");
    int exportClicks = 0;
    QStringList exportChoices;
    std::function<void(const QString&)> onStatus = [this](const QString& text) { status = text; };
    MainToolbar* toolbar = nullptr;

    explicit Window(ViewFlags startFlags = {}) : flags(startFlags) {
        txtPassword->setObjectName(QStringLiteral("txtPassword"));
        txtPassword->setText(QStringLiteral("secret"));
        toolbar = new MainToolbar(
            grid, txtPassword, flags, [this](const QString& text) { onStatus(text); }, [this] { ++exportClicks; },
            [this](const QString& key) { exportChoices.append(key); }, &host);
        auto* layout = new QVBoxLayout(&host);
        layout->addWidget(toolbar);
        layout->addWidget(txtPassword);
        view->setParent(&host);
        layout->addWidget(view);
        host.resize(1000, 300);
    }
    void show() {
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
    }
    QToolButton* button(const QString& key) const {
        return qobject_cast<QToolButton*>(toolbar->widgetForAction(toolbar->button(key)));
    }
    void click(const QString& key) {
        QToolButton* b = button(key);
        QVERIFY(b);
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(8, b->height() / 2));
    }
    QList<int> hiddenColumns() const {
        QList<int> out(grid.hidden.begin(), grid.hidden.end());
        std::sort(out.begin(), out.end());
        return out;
    }
};

} // namespace

class ToolbarTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        gShowPasswordText = false;
        gShowPasswordColumn = false;
        gShowPriorUserIDPassword = false;
    }

    // Before the window initialises it, the toolbar shows its buttons in order with their first texts.
    void buttonsInOrder() {
        Window w;
        QStringList shown;
        for (QAction* action : w.toolbar->actions()) {
            if (action->isSeparator()) {
                shown << QStringLiteral("|");
                continue;
            }
            auto* b = qobject_cast<QToolButton*>(w.toolbar->widgetForAction(action));
            QVERIFY(b);
            shown << QStringLiteral("%1: %2 / %3%4")
                         .arg(action->objectName(), b->text(), b->toolTip(),
                              b->isCheckable() ? QStringLiteral(" [toggle]") : QString());
        }
        QCOMPARE(shown, QStringList({
                            "ShowPasswordText: Show Password Text / Show Password in the Password Text box [toggle]",
                            "ShowPasswordColumn: Show Password Column / Show Password Column [toggle]",
                            "ShowPriorUserIDPassword: Show Prior Columns / Show Prior User Name and Password [toggle]",
                            "|",
                            "FirstRecord: First Record / Move to the first record in the grid",
                            "LastRecord: Last Record / Move to the last record in the grid",
                            "NewRecord: New Record / Begin a New Record in the Grid",
                            "|",
                            "ExportData: Export Data / Export Keyvale Data",
                        }));
        QCOMPARE(w.button("ExportData")->popupMode(), QToolButton::MenuButtonPopup);
        QCOMPARE(w.button("ExportData")->menu(), w.toolbar->exportDataMenu());
    }

    // The window opens with the views as the view flags say.
    void initialize_data() {
        QTest::addColumn<bool>("text");
        QTest::addColumn<bool>("column");
        QTest::addColumn<bool>("prior");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QStringList>("toolTips");
        QTest::addColumn<QList<int>>("hidden");
        QTest::newRow("all off") << false << false << false
                                 << QStringList{"Show Password Textbox", "Show Password Column", "Show Prior Columns"}
                                 << QStringList{"Show the Password Textbox's contents", "Show Password Column",
                                                "Show Prior UserID and Password"}
                                 << QList<int>{4, 7, 8};
        QTest::newRow("all on") << true << true << true
                                << QStringList{" Hide Password Textbox", " Hide Password Column", "Hide Prior Columns"}
                                << QStringList{"Hide the Password Textbox's contents", "Hide Password Column",
                                               "Hide Prior UserID and Password"}
                                << QList<int>{};
        QTest::newRow("text only") << true << false << false
                                   << QStringList{" Hide Password Textbox", "Show Password Column",
                                                  "Show Prior Columns"}
                                   << QStringList{"Hide the Password Textbox's contents", "Show Password Column",
                                                  "Show Prior UserID and Password"}
                                   << QList<int>{4, 7, 8};
        QTest::newRow("columns only") << false << true << true
                                      << QStringList{"Show Password Textbox", " Hide Password Column",
                                                     "Hide Prior Columns"}
                                      << QStringList{"Show the Password Textbox's contents", "Hide Password Column",
                                                     "Hide Prior UserID and Password"}
                                      << QList<int>{};
    }
    void initialize() {
        QFETCH(bool, text);
        QFETCH(bool, column);
        QFETCH(bool, prior);
        QFETCH(QStringList, captions);
        QFETCH(QStringList, toolTips);
        QFETCH(QList<int>, hidden);
        test::ScriptedDesktop desk;
        Window w({text, column, prior});
        w.show();
        w.toolbar->InitializeToolbar();

        const QStringList keys{"ShowPasswordText", "ShowPasswordColumn", "ShowPriorUserIDPassword"};
        const QList<bool> pressed{text, column, prior};
        for (int i = 0; i < keys.size(); ++i) {
            QToolButton* b = w.button(keys[i]);
            QCOMPARE(b->text(), captions[i]);
            QCOMPARE(b->toolTip(), toolTips[i]);
            QCOMPARE(b->isChecked(), pressed[i]);
            QVERIFY(!b->icon().isNull());
        }
        for (const char* key : {"FirstRecord", "LastRecord", "NewRecord"})
            QVERIFY(!w.button(key)->icon().isNull());
        QCOMPARE(w.hiddenColumns(), hidden);
        QCOMPARE(w.txtPassword->echoMode(), text ? QLineEdit::Normal : QLineEdit::Password);
        QCOMPARE(w.status, QStringLiteral("Keyvale is Ready"));
        QVERIFY(desk.prompts.isEmpty());
    }

    // A click on a toggle flips its view and its texts; hiding the column that holds the cursor moves the
    // cursor to a visible column of the same row. The stored option settings never change.
    void toggle_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("startOn");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("toolTip");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("columnAfter");
        QTest::addColumn<QList<int>>("hidden");
        QTest::newRow("show password text") << "ShowPasswordText" << false << 2 << " Hide Password Textbox"
                                            << "Hide the Password Textbox's contents"
                                            << "Show Password Textbox Contents" << 2 << QList<int>{4, 7, 8};
        QTest::newRow("hide password text") << "ShowPasswordText" << true << 2 << "Show Password Textbox"
                                            << "Show the Password Textbox's contents"
                                            << "Hide Password Textbox Contents" << 2 << QList<int>{4, 7, 8};
        QTest::newRow("show password column") << "ShowPasswordColumn" << false << 2 << " Hide Password Column"
                                              << "Hide Password Column"
                                              << "Show Password Column" << 2 << QList<int>{7, 8};
        QTest::newRow("hide password column, cursor in it")
            << "ShowPasswordColumn" << true << 4 << "Show Password Column"
            << "Show Password Column"
            << "Hide Password Column" << 3 << QList<int>{4, 7, 8};
        QTest::newRow("hide password column, cursor elsewhere")
            << "ShowPasswordColumn" << true << 5 << "Show Password Column"
            << "Show Password Column"
            << "Hide Password Column" << 5 << QList<int>{4, 7, 8};
        QTest::newRow("show prior columns") << "ShowPriorUserIDPassword" << false << 3 << " Hide Prior Columns"
                                            << " Hide Prior UserID and Password"
                                            << "Show Prior UserID and Password" << 3 << QList<int>{4};
        QTest::newRow("hide prior columns, cursor in prior user id")
            << "ShowPriorUserIDPassword" << true << 7 << "Show Prior Columns"
            << "Show Prior UserID and Password"
            << "Hide Prior UserID and Password" << 5 << QList<int>{4, 7, 8};
        QTest::newRow("hide prior columns, cursor in prior password")
            << "ShowPriorUserIDPassword" << true << 8 << "Show Prior Columns"
            << "Show Prior UserID and Password"
            << "Hide Prior UserID and Password" << 5 << QList<int>{4, 7, 8};
        QTest::newRow("hide prior columns, cursor elsewhere")
            << "ShowPriorUserIDPassword" << true << 4 << "Show Prior Columns"
            << "Show Prior UserID and Password"
            << "Hide Prior UserID and Password" << 4 << QList<int>{4, 7, 8};
    }
    void toggle() {
        QFETCH(QString, key);
        QFETCH(bool, startOn);
        QFETCH(int, column);
        QFETCH(QString, caption);
        QFETCH(QString, toolTip);
        QFETCH(QString, message);
        QFETCH(int, columnAfter);
        QFETCH(QList<int>, hidden);
        test::ScriptedDesktop desk;
        ViewFlags start;
        bool* startFlag = key == "ShowPasswordText"     ? &start.ShowPasswordText
                          : key == "ShowPasswordColumn" ? &start.ShowPasswordColumn
                                                        : &start.ShowPriorUserIDPassword;
        *startFlag = startOn;
        Window w(start);
        w.show();
        w.toolbar->InitializeToolbar();
        const QString loadCaption = w.button(key)->text();
        const QString loadToolTip = w.button(key)->toolTip();
        w.grid.row = 1;
        w.grid.column = column;

        w.click(key);
        const ViewFlags& f = w.flags;
        const bool flag = key == "ShowPasswordText"     ? f.ShowPasswordText
                          : key == "ShowPasswordColumn" ? f.ShowPasswordColumn
                                                        : f.ShowPriorUserIDPassword;
        QCOMPARE(flag, !startOn);
        QCOMPARE(w.button(key)->isChecked(), !startOn);
        QCOMPARE(w.button(key)->text(), caption);
        QCOMPARE(w.button(key)->toolTip(), toolTip);
        QCOMPARE(w.status, message);
        QCOMPARE(w.hiddenColumns(), hidden);
        QCOMPARE(w.grid.column, columnAfter);
        QCOMPARE(w.grid.row, 1);
        QCOMPARE(w.txtPassword->echoMode(), f.ShowPasswordText ? QLineEdit::Normal : QLineEdit::Password);
        QCOMPARE(w.txtPassword->text(), QStringLiteral("secret"));
        QVERIFY(!gShowPasswordText && !gShowPasswordColumn && !gShowPriorUserIDPassword);
        QVERIFY(desk.prompts.isEmpty());

        // A second click brings the view back; the texts are the click's own, which differ from the load's
        // only by the blanks the window has always shown.
        w.click(key);
        QCOMPARE(w.button(key)->isChecked(), startOn);
        QCOMPARE(w.button(key)->text().trimmed(), loadCaption.trimmed());
        QCOMPARE(w.button(key)->toolTip().trimmed(), loadToolTip.trimmed());
    }

    void moves_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("downs");
        QTest::newRow("first record") << "FirstRecord" << 0 << 2 << 0;
        QTest::newRow("last record") << "LastRecord" << 2 << 2 << 0;
        // The Down key arrives after the move to the last record: it steps onto the add-new row.
        QTest::newRow("new record") << "NewRecord" << 3 << 1 << 1;
    }
    void moves() {
        QFETCH(QString, key);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, downs);
        test::ScriptedDesktop desk;
        Window w;
        w.toolbar->InitializeToolbar();
        w.show();
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

    // The export button runs its own export when clicked; its menu offers the seven exports by key.
    void exportButtonAndMenu() {
        Window w;
        w.toolbar->InitializeToolbar();
        w.show();
        w.click("ExportData");
        QCOMPARE(w.exportClicks, 1);
        QVERIFY(w.exportChoices.isEmpty());
        QVERIFY(!w.toolbar->exportDataMenu()->isVisible());

        QStringList entries;
        for (QAction* entry : w.toolbar->exportDataMenu()->actions()) {
            entries << entry->text() + " = " + entry->objectName();
            entry->trigger();
        }
        QCOMPARE(entries, QStringList({"HTML File = HTMLall", "HTML - Selected Rows = HTMLselectedRows",
                                       "HTML - Non Selected Rows = HTMLnonSelectedRows", "ASCII File = AsciiAll",
                                       "ASCII - Selected Rows = AsciiSelectedRows",
                                       "ASCII - Non Selected Rows = AsciiNonSelectedRows",
                                       "Go to Export Folder = GotoExportFolder"}));
        QCOMPARE(w.exportChoices, QStringList({"HTMLall", "HTMLselectedRows", "HTMLnonSelectedRows", "AsciiAll",
                                               "AsciiSelectedRows", "AsciiNonSelectedRows", "GotoExportFolder"}));
        QCOMPARE(w.exportClicks, 1);
    }

    // A failing step is reported; what ran before it keeps its effect.
    void clickErrorIsReported() {
        test::ScriptedDesktop desk;
        Window w({false, true, false});
        w.toolbar->InitializeToolbar();
        w.show();
        w.onStatus = [](const QString&) {
            throw Error(91, QStringLiteral("Object variable or With block variable "
                                           "not set"));
        };
        w.grid.column = 4;
        w.click("ShowPasswordColumn");
        QCOMPARE(desk.messages(), QStringList({"Error 91 (Object variable or With block variable not set) in "
                                               "procedure Toolbar_ButtonClick of Form frmMain"}));
        QCOMPARE(desk.last().icon, Icon::None);
        QVERIFY(!w.flags.ShowPasswordColumn);
        QCOMPARE(w.hiddenColumns(), QList<int>({4, 7, 8}));
        QCOMPARE(w.grid.column, 3);
    }
};

QTEST_MAIN(ToolbarTest)
#include "tst_toolbar.moc"
