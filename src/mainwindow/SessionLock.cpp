// keyvale_gui
#include "mainwindow/SessionLock.h"

#include "mainwindow/IdleTimer.h"
#include "mainwindow/frmMain.h"
#include "platform/SessionWatch.h"
#include "startup/modKeyvale.h"

#include <QPointer>
#include <QTimer>

namespace kv {

namespace {

constexpr int kDialogPollMs = 500;

void lockOutWhenFree(const QPointer<frmMain>& window) {
    if (!window || !window->isVisible() || !window->idleTimer()) return;
    if (gFormOpen) {
        QTimer::singleShot(kDialogPollMs, window, [window] { lockOutWhenFree(window); });
        return;
    }
    window->idleTimer()->lockOutNow();
}

} // namespace

void lockWithSession(frmMain* window, const QDBusConnection& sessionBus, const QDBusConnection& systemBus) {
    auto* watch = new SessionWatch(sessionBus, systemBus, window);
    QObject::connect(watch, &SessionWatch::lockRequested, window,
                     [target = QPointer<frmMain>(window)] { lockOutWhenFree(target); });
}

} // namespace kv
