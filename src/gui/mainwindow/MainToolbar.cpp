#include "mainwindow/MainToolbar.h"

#include "grid/GridOperations.h"
#include "platform/Artwork.h"
#include "platform/Error.h"
#include "store/RecordFields.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QToolButton>

namespace kv {

namespace {

const QString kShowPasswordText = QStringLiteral("ShowPasswordText");
const QString kShowPasswordColumn = QStringLiteral("ShowPasswordColumn");
const QString kShowPriorUserIDPassword = QStringLiteral("ShowPriorUserIDPassword");
const QString kFirstRecord = QStringLiteral("FirstRecord");
const QString kLastRecord = QStringLiteral("LastRecord");
const QString kNewRecord = QStringLiteral("NewRecord");
const QString kExportData = QStringLiteral("ExportData");
const QString kShowPasswordImage = QStringLiteral("ShowPassword");
const QString kHidePasswordImage = QStringLiteral("HidePassword");

const QString kClickWhere = QStringLiteral("Toolbar_ButtonClick of Form frmMain");
const QString kInitializeWhere = QStringLiteral("InitializeToolbar of Form frmMain");

struct MenuEntry {
    const char* caption;
    const char* key;
};
constexpr MenuEntry kExportEntries[] = {
    {"HTML File", "HTMLall"},
    {"HTML - Selected Rows", "HTMLselectedRows"},
    {"HTML - Non Selected Rows", "HTMLnonSelectedRows"},
    {"ASCII File", "AsciiAll"},
    {"ASCII - Selected Rows", "AsciiSelectedRows"},
    {"ASCII - Non Selected Rows", "AsciiNonSelectedRows"},
    {"CSV File", "CSVall"},
    {"CSV - Selected Rows", "CSVselectedRows"},
    {"CSV - Non Selected Rows", "CSVnonSelectedRows"},
    {"Go to Export Folder", "GotoExportFolder"},
};

} // namespace

MainToolbar::MainToolbar(GridOperations& grid, QLineEdit* passwordBox, ViewFlags& flags,
                         std::function<void(const QString&)> setStatusText, std::function<void()> exportButton,
                         std::function<void(const QString& key)> exportMenu, QWidget* parent)
    : QToolBar(parent), grid_(grid), passwordBox_(passwordBox), flags_(flags), setStatusText_(std::move(setStatusText)),
      exportButton_(std::move(exportButton)), exportMenu_(std::move(exportMenu)) {
    setObjectName(QStringLiteral("Toolbar"));
    setWindowTitle(QStringLiteral("Toolbar"));
    setMovable(false);
    setFloatable(false);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    // Without this the window's context menu could hide the toolbar for good.
    toggleViewAction()->setEnabled(false);

    // The buttons take no focus: each has a key, so the window works without a mouse.
    addButton(kShowPasswordText, QStringLiteral("Show Password Text"),
              QStringLiteral("Show Password in the Password Text box"), true, QKeySequence(Qt::CTRL | Qt::Key_1));
    addButton(kShowPasswordColumn, QStringLiteral("Show Password Column"), QStringLiteral("Show Password Column"),
              true, QKeySequence(Qt::CTRL | Qt::Key_2));
    addButton(kShowPriorUserIDPassword, QStringLiteral("Show Prior Columns"),
              QStringLiteral("Show Prior User Name and Password"), true, QKeySequence(Qt::CTRL | Qt::Key_3));
    addSeparator();
    addButton(kFirstRecord, QStringLiteral("First Record"), QStringLiteral("Move to the first record in the grid"),
              false, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Home));
    addButton(kLastRecord, QStringLiteral("Last Record"), QStringLiteral("Move to the last record in the grid"),
              false, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_End));
    addButton(kNewRecord, QStringLiteral("New Record"), QStringLiteral("Begin a New Record in the Grid"),
              false, QKeySequence(Qt::CTRL | Qt::Key_N));
    addSeparator();
    QAction* exportData = addButton(kExportData, QStringLiteral("Export Data"), QStringLiteral("Export Keyvale Data"),
                                    false, QKeySequence(Qt::CTRL | Qt::Key_E));

    exportDataMenu_ = new QMenu(this);
    exportDataMenu_->setObjectName(QStringLiteral("ExportDataMenu"));
    for (const MenuEntry& entry : kExportEntries) {
        const QString key = QString::fromLatin1(entry.key);
        QAction* item = exportDataMenu_->addAction(QString::fromLatin1(entry.caption));
        item->setObjectName(key);
        connect(item, &QAction::triggered, this, [this, key] { Toolbar_ButtonMenuClick(key); });
    }
    // The button itself runs its own export; only the arrow opens the menu.
    if (auto* exportButtonWidget = qobject_cast<QToolButton*>(widgetForAction(exportData))) {
        exportButtonWidget->setMenu(exportDataMenu_);
        exportButtonWidget->setPopupMode(QToolButton::MenuButtonPopup);
    }
}

QAction* MainToolbar::addButton(const QString& key, const QString& caption, const QString& toolTip, bool checkable,
                               const QKeySequence& shortcut) {
    auto* action = new QAction(this);
    action->setObjectName(key);
    action->setCheckable(checkable);
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    setLook(key, {}, caption, toolTip);
    if (QWidget* widget = widgetForAction(action)) widget->setObjectName(key);
    connect(action, &QAction::triggered, this, [this, key] { Toolbar_ButtonClick(key); });
    return action;
}

QAction* MainToolbar::button(const QString& key) const {
    for (QAction* action : actions())
        if (action->objectName() == key) return action;
    for (QAction* action : exportDataMenu_->actions())
        if (action->objectName() == key) return action;
    return nullptr;
}

void MainToolbar::setLook(const QString& key, const QString& image, const QString& caption, const QString& toolTip) {
    QAction* action = button(key);
    if (!image.isEmpty()) action->setIcon(toolbarIcon(image));
    action->setText(caption);
    // The button shows the icon text; set it too, or the leading blank of a caption would be trimmed.
    action->setIconText(caption);
    // The tip names the button's key, which is how a keyboard user learns it.
    action->setToolTip(toolTip + QStringLiteral(" (") + action->shortcut().toString(QKeySequence::NativeText) +
                       QStringLiteral(")"));
}

void MainToolbar::setMask(bool clear) {
    if (passwordBox_) passwordBox_->setEchoMode(clear ? QLineEdit::Normal : QLineEdit::Password);
}

void MainToolbar::InitializeToolbar() {
    try {
        button(kFirstRecord)->setIcon(toolbarIcon(kFirstRecord));
        button(kLastRecord)->setIcon(toolbarIcon(kLastRecord));
        button(kNewRecord)->setIcon(toolbarIcon(kNewRecord));

        if (flags_.ShowPasswordText) {
            button(kShowPasswordText)->setChecked(true);
            setLook(kShowPasswordText, kShowPasswordImage, QStringLiteral(" Hide Password Textbox"),
                    QStringLiteral("Hide the Password Textbox's contents"));
            setMask(true);
        } else {
            setLook(kShowPasswordText, kHidePasswordImage, QStringLiteral("Show Password Textbox"),
                    QStringLiteral("Show the Password Textbox's contents"));
            setMask(false);
        }

        if (flags_.ShowPasswordColumn) {
            button(kShowPasswordColumn)->setChecked(true);
            setLook(kShowPasswordColumn, kShowPasswordImage, QStringLiteral(" Hide Password Column"),
                    QStringLiteral("Hide Password Column"));
            grid_.setColumnVisible(kPasswordColumn, true);
        } else {
            setLook(kShowPasswordColumn, kHidePasswordImage, QStringLiteral("Show Password Column"),
                    QStringLiteral("Show Password Column"));
            grid_.setColumnVisible(kPasswordColumn, false);
        }

        if (flags_.ShowPriorUserIDPassword) {
            button(kShowPriorUserIDPassword)->setChecked(true);
            setLook(kShowPriorUserIDPassword, kShowPasswordImage, QStringLiteral("Hide Prior Columns"),
                    QStringLiteral("Hide Prior UserID and Password"));
            grid_.setColumnVisible(kPriorUserIdColumn, true);
            grid_.setColumnVisible(kPriorPasswordColumn, true);
        } else {
            setLook(kShowPriorUserIDPassword, kHidePasswordImage, QStringLiteral("Show Prior Columns"),
                    QStringLiteral("Show Prior UserID and Password"));
            grid_.setColumnVisible(kPriorUserIdColumn, false);
            grid_.setColumnVisible(kPriorPasswordColumn, false);
        }
    } catch (const std::exception& e) {
        reportError(e, kInitializeWhere);
    }
}

void MainToolbar::moveToLastRow() {
    // Counted from the first row: bookmarks keep their numbers after deletes, so the row count is not
    // always the last row's bookmark.
    grid_.moveFirst();
    if (grid_.rowCount() > 1) grid_.moveRows(grid_.rowCount() - 1);
}

void MainToolbar::Toolbar_ButtonClick(const QString& key) {
    try {
        if (key == kShowPasswordText) {
            if (button(key)->isChecked()) {
                flags_.ShowPasswordText = true;
                setMask(true);
                setLook(key, kShowPasswordImage, QStringLiteral(" Hide Password Textbox"),
                        QStringLiteral("Hide the Password Textbox's contents"));
                setStatusText_(QStringLiteral("Show Password Textbox Contents"));
            } else {
                flags_.ShowPasswordText = false;
                setMask(false);
                setLook(key, kHidePasswordImage, QStringLiteral("Show Password Textbox"),
                        QStringLiteral("Show the Password Textbox's contents"));
                setStatusText_(QStringLiteral("Hide Password Textbox Contents"));
            }
        } else if (key == kShowPasswordColumn) {
            if (button(key)->isChecked()) {
                flags_.ShowPasswordColumn = true;
                grid_.setColumnVisible(kPasswordColumn, true);
                setLook(key, kShowPasswordImage, QStringLiteral(" Hide Password Column"),
                        QStringLiteral("Hide Password Column"));
                setStatusText_(QStringLiteral("Show Password Column"));
            } else {
                flags_.ShowPasswordColumn = false;
                grid_.setColumnVisible(kPasswordColumn, false);
                setLook(key, kHidePasswordImage, QStringLiteral("Show Password Column"),
                        QStringLiteral("Show Password Column"));
                // The cursor must not stay in a hidden column.
                if (grid_.currentColumn() == kPasswordColumn) grid_.setCurrentColumn(kUserIdColumn);
                setStatusText_(QStringLiteral("Hide Password Column"));
            }
        } else if (key == kShowPriorUserIDPassword) {
            if (button(key)->isChecked()) {
                flags_.ShowPriorUserIDPassword = true;
                grid_.setColumnVisible(kPriorUserIdColumn, true);
                grid_.setColumnVisible(kPriorPasswordColumn, true);
                setLook(key, kShowPasswordImage, QStringLiteral(" Hide Prior Columns"),
                        QStringLiteral(" Hide Prior UserID and Password"));
                setStatusText_(QStringLiteral("Show Prior UserID and Password"));
            } else {
                flags_.ShowPriorUserIDPassword = false;
                grid_.setColumnVisible(kPriorUserIdColumn, false);
                grid_.setColumnVisible(kPriorPasswordColumn, false);
                setLook(key, kHidePasswordImage, QStringLiteral("Show Prior Columns"),
                        QStringLiteral("Show Prior UserID and Password"));
                const int column = grid_.currentColumn();
                if (column == kPriorUserIdColumn || column == kPriorPasswordColumn)
                    grid_.setCurrentColumn(kDescriptionColumn);
                setStatusText_(QStringLiteral("Hide Prior UserID and Password"));
            }
        } else if (key == kFirstRecord) {
            grid_.moveFirst();
        } else if (key == kLastRecord) {
            moveToLastRow();
        } else if (key == kNewRecord) {
            moveToLastRow();
            // The key goes to the grid, which steps onto its add-new row.
            grid_.focusGrid();
            if (const QPointer<QWidget> target = QApplication::focusWidget()) {
                QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
                QCoreApplication::sendEvent(target, &press);
                QKeyEvent release(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
                if (target) QCoreApplication::sendEvent(target, &release);
            }
            grid_.setCurrentColumn(kGroupNameColumn);
        } else if (key == kExportData) {
            exportButton_();
        }
    } catch (const std::exception& e) {
        reportError(e, kClickWhere);
    }
}

void MainToolbar::Toolbar_ButtonMenuClick(const QString& key) {
    exportMenu_(key);
}

} // namespace kv
