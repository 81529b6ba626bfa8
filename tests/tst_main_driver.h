#pragma once

// Drives a records grid as a user would (clicks in cells, typing, keys), and the main window over a temporary
// program folder whose database is filled before it is opened. Shared by the grid and main-window tests.

#include "grid/RecordsGrid.h"
#include "grid/RecordsModel.h"
#include "mainwindow/frmMain.h"
#include "startup/frmPassword.h"
#include "access/modKeyvale.h"
#include "store/Cipher.h"
#include "store/Options.h"
#include "store/modDBstuff.h"
#include "support/ScriptedDesktop.h"
#include "support/TempAppFolder.h"
#include "support/TestClock.h"
#include "support/Widgets.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <memory>

namespace kv::test {

struct GridDriver {
    RecordsGrid* driven = nullptr;

    // Every text a screen reader can reach in the table: its children's names, and the cells the table
    // interface hands out for each row and column it counts.
    QStringList accessibleTexts() const {
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&view());
        QStringList texts;
        for (int i = 0; i < table->childCount(); ++i)
            if (QAccessibleInterface* child = table->child(i)) texts << child->text(QAccessible::Name);
        QAccessibleTableInterface* cells = table->tableInterface();
        for (int r = 0; r < cells->rowCount(); ++r)
            for (int c = 0; c < cells->columnCount(); ++c)
                if (QAccessibleInterface* cell = cells->cellAt(r, c)) texts << cell->text(QAccessible::Name);
        return texts;
    }

    QTableView& view() const { return *driven->view(); }
    // A cell's text as the grid has it, in a hidden column too (where the table gives nobody its text).
    QString shown(int row, int column) const {
        return static_cast<const RecordsModel*>(driven->model())->text(row, column);
    }
    QStringList shownColumn(int column) const {
        QStringList out;
        for (int r = 0; r < driven->rowCount(); ++r)
            out << shown(r, column);
        return out;
    }
    void click(int row, int column, Qt::KeyboardModifiers modifiers = {}) const {
        const QModelIndex index = driven->model()->index(row, column);
        view().scrollTo(index);
        QTest::mouseClick(view().viewport(), Qt::LeftButton, modifiers, view().visualRect(index).center());
    }
    // A click on a row selector, with Shift or Ctrl held as given.
    void clickSelector(int row, Qt::KeyboardModifiers modifiers = {}) const {
        QHeaderView* header = view().verticalHeader();
        const QPoint at(header->width() / 2, header->sectionViewportPosition(row) + header->sectionSize(row) / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, modifiers, at);
    }
    // Keys go to the open cell editor, or else to the table.
    QWidget* keyTarget() const {
        QWidget* focus = QApplication::focusWidget();
        return focus && view().isAncestorOf(focus) ? focus : &view();
    }
    // Enter in a cell editor stores the cell once events are processed, as in the running program.
    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = {}) const {
        QTest::keyClick(keyTarget(), k, modifiers);
        QApplication::processEvents();
    }
    // Types into the current cell (the first key opens its editor, replacing what it held).
    void type(const QString& text) const {
        for (const QChar c : text)
            QTest::keyClicks(keyTarget(), QString(c));
    }
    void edit(int row, int column, const QString& text) const {
        click(row, column);
        type(text);
        key(Qt::Key_Return);
    }
};

// One record to put into the database before the window opens.
struct Rec {
    Rec(QString g, QString w, QString u = {}, QString p = {}, QString d = {},
        QString changed = QStringLiteral("2024-01-02 10:00:00"), QString pu = {}, QString pp = {})
        : group(std::move(g)), website(std::move(w)), user(std::move(u)), password(std::move(p)),
          description(std::move(d)), date(std::move(changed)), priorUser(std::move(pu)), priorPassword(std::move(pp)) {}
    QString group, website, user, password, description, date, priorUser, priorPassword;
};

// Stores the records and their groups, with `groups` besides, through `run` (passwords enciphered).
template <class Run> void insertRecords(Run run, const QList<Rec>& records, QStringList groups = {}) {
    for (const Rec& r : records)
        if (!groups.contains(r.group)) groups.append(r.group);
    for (const QString& g : groups)
        run(QStringLiteral("INSERT INTO tblMasterData VALUES (?)"), QVariantList{g});
    for (const Rec& r : records)
        run(QStringLiteral("INSERT INTO tblChildData (GroupName, Website, UserID, Password, Description, DateChanged, "
                           "PriorUserID, PriorPassword) VALUES (?,?,?,?,?,?,?,?)"),
            QVariantList{r.group, r.website, r.user, encipherField(r.password), r.description, r.date, r.priorUser,
                         encipherField(r.priorPassword)});
}

class MainWindowFixture : public GridDriver {
public:
    // `records` are stored (passwords enciphered) with their groups before the database is opened;
    // `before` may change the option variables before the window loads; `prepare` may change the file
    // before anything is stored in it.
    explicit MainWindowFixture(const QList<Rec>& records = {}, const QStringList& extraGroups = {},
                               const std::function<void()>& before = {},
                               const std::function<void(const TempAppFolder&)>& prepare = {})
        : folder(false) {
        if (prepare) prepare(folder);
        insertRecords([this](const QString& sql, const QVariantList& p) { folder.execute(sql, p); }, records,
                      extraGroups);
        gInitializeDB();
        GetOptions();
        if (before) before();
        form = std::make_unique<frmMain>();
        driven = form->grid();
        showActive(*form);
    }

    RecordsGrid& grid() const { return *form->grid(); }
    QComboBox& combo() const { return *form->groupCombo(); }
    template <class W> W& control(const char* name) const {
        auto* w = form->findChild<W*>(QString::fromLatin1(name));
        if (!w) qFatal("no control %s", name);
        return *w;
    }
    QLineEdit& passwordBox() const { return control<QLineEdit>("txtPassword"); }
    QString status() const { return form->statusText(); }
    // A stored record's fields by website, as the file holds them (passwords deciphered).
    QVariantList stored(const QString& website) const {
        const auto rows =
            folder.query(QStringLiteral("SELECT GroupName, Website, UserID, Password, Description, DateChanged, "
                                        "PriorUserID, PriorPassword FROM tblChildData WHERE Website = ?"),
                         {website});
        if (rows.size() != 1) return {};
        QVariantList r = rows.first();
        r[3] = decipherField(r[3].toString());
        r[7] = decipherField(r[7].toString());
        return r;
    }
    int count(const QString& sql, const QVariantList& params = {}) const { return folder.scalar(sql, params).toInt(); }

    ScriptedDesktop desktop;
    TestClock clock;
    TempAppFolder folder;
    std::unique_ptr<frmMain> form;
};

// The log-on windows on screen (one while the program is locked).
inline QList<frmPassword*> logOnWindows() {
    QList<frmPassword*> shown;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<frmPassword*>(w); f && f->isVisible()) shown << f;
    return shown;
}

} // namespace kv::test
