#pragma once

#include <QString>
#include <utility>

class QWidget;
class QLineEdit;

namespace kv {

// Selects the whole text of a box; the text boxes call it when they get the focus.
void SelectAllText(QLineEdit* box);
// Hides what is typed into a box, showing each character as "*".
void MaskWithStars(QLineEdit* box);
// Empties a box that held a password, overwriting its characters.
void wipeBox(QLineEdit* box);
// Takes the close button and the Close command away from a window's title bar, so that it is left only
// through its own buttons.
void RemoveCloseMenu(QWidget* window);
// Paints a window's background from one colour to another, row by row (horizontal false) or column by
// column (horizontal true). The background stays painted until the next call.
void PaintGradient(QWidget* target, float r1, float g1, float b1, float r2, float g2, float b2, bool horizontal);
// Opens the help window at the topic of a context number; numbers from 9998 on open nothing.
void ShowHelpTopic(QWidget* form, qint32 context);
// The main window, once it exists: the log-on window shows it again after a lock-out.
QWidget* mainWindow();
void setMainWindow(QWidget* window);

// The folder picker; answers (path, display name), both empty when cancelled.
std::pair<QString, QString> BrowseForFolder(QWidget* owner, const QString& initialFolder, const QString& title);

} // namespace kv
