#include "mainwindow/SessionLock.h"

#include "mainwindow/IdleTimer.h"
#include "mainwindow/frmMain.h"
#include "platform/SessionWatch.h"
#include "access/modKeyvale.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>

namespace kv {

namespace {

// How soon to look again while a closed window's caller is still winding up, or work without a window
// (a copy before its progress shows) still holds the program.
constexpr int kRetryMs = 50;

// Closes one of our windows as its Exit or Cancel would; false when it stays.
bool closeAsCancelled(QWidget* window) {
    if (auto* progress = qobject_cast<QProgressDialog*>(window))
        progress->cancel();
    else if (auto* dialog = qobject_cast<QDialog*>(window))
        dialog->reject();
    else
        return false;
    return !window->isVisible();
}

// The program's open dialogs, the innermost first: each one's caller goes on only after the dialog above it
// has closed.
void closeSecondaryWindows(const frmMain* window) {
    while (QWidget* modal = QApplication::activeModalWidget())
        if (modal == window || !closeAsCancelled(modal)) break;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != window && w->isVisible() && qobject_cast<QDialog*>(w)) closeAsCancelled(w);
}

void lockOutWhenClosed(const QPointer<frmMain>& window) {
    if (!window || window->isLocked() || !window->idleTimer()) return;
    closeSecondaryWindows(window);
    // The closed windows' callers finish first, back in the main loop; until then the program is busy.
    if (gFormOpen || QApplication::activeModalWidget()) {
        QTimer::singleShot(kRetryMs, window, [window] { lockOutWhenClosed(window); });
        return;
    }
    window->idleTimer()->lockOutNow();
}

} // namespace

void lockOutForSession(frmMain* window) {
    lockOutWhenClosed(window);
}

void lockWithSession(frmMain* window, const QDBusConnection& sessionBus, const QDBusConnection& systemBus) {
    auto* watch = new SessionWatch(sessionBus, systemBus, window);
    QObject::connect(watch, &SessionWatch::lockRequested, window,
                     [target = QPointer<frmMain>(window)] { lockOutForSession(target); });
}

} // namespace kv
