#pragma once

#include "store/ViewFlags.h"

#include <QKeySequence>
#include <QToolBar>
#include <functional>

class QLineEdit;
class QMenu;

namespace kv {

class GridOperations;

// The main window's toolbar: three toggles that show or hide password material (the password box's
// contents, the Password column, the two prior columns), three moves in the records grid, and the export
// button with its drop-down menu. Each button's action has the button's key as its objectName; the
// drop-down entries carry their keys the same way.
class MainToolbar : public QToolBar {
    Q_OBJECT
public:
    // `setStatusText` writes the status bar's message panel; `exportButton` runs the export of a click on
    // the export button itself, `exportMenu` the export chosen from its menu, by the entry's key.
    MainToolbar(GridOperations& grid, QLineEdit* passwordBox, ViewFlags& flags,
                std::function<void(const QString&)> setStatusText, std::function<void()> exportButton,
                std::function<void(const QString& key)> exportMenu, QWidget* parent = nullptr);

    // Pictures, pressed states, captions and tooltips as the view flags say, and the grid's columns and
    // the password box's mask to match. Called once when the main window has built its grid.
    void InitializeToolbar();

    // The action of a button or of a drop-down entry, by key; null for an unknown key.
    QAction* button(const QString& key) const;
    QMenu* exportDataMenu() const { return exportDataMenu_; }

public slots:
    // A click on a button, dispatched on its key. A toggle has already changed its pressed state.
    void Toolbar_ButtonClick(const QString& key);
    // A choice from the export button's drop-down menu.
    void Toolbar_ButtonMenuClick(const QString& key);

private:
    QAction* addButton(const QString& key, const QString& caption, const QString& toolTip, bool checkable,
                       const QKeySequence& shortcut);
    void setLook(const QString& key, const QString& image, const QString& caption, const QString& toolTip);
    void setMask(bool clear);
    void moveToLastRow();

    GridOperations& grid_;
    QLineEdit* passwordBox_;
    ViewFlags& flags_;
    std::function<void(const QString&)> setStatusText_;
    std::function<void()> exportButton_;
    std::function<void(const QString&)> exportMenu_;
    QMenu* exportDataMenu_ = nullptr;
};

} // namespace kv
