#include "startup/SingleInstance.h"

#include "platform/Desktop.h"
#include "platform/InstanceLock.h"
#include "platform/WidgetRoutines.h"
#include "access/modKeyvale.h"

#include <QApplication>
#include <QWidget>
#include <algorithm>

namespace kv {

namespace {

bool isOrdinaryWindow(const QWidget* w) {
    const Qt::WindowType type = w->windowType();
    return w->isVisible() && (type == Qt::Window || type == Qt::Dialog || type == Qt::SplashScreen);
}

} // namespace

bool claimDataFolder() {
    InstanceLock& lock = InstanceLock::process();
    switch (lock.lock(gDataFolder)) {
    case InstanceLock::Outcome::Locked: {
        static bool answering = false;
        if (!answering) QObject::connect(&lock, &InstanceLock::raiseRequested, qApp, &bringProgramForward);
        answering = true;
        return true;
    }
    case InstanceLock::Outcome::RaisedOther:
        return false;
    case InstanceLock::Outcome::HeldByOther:
        break;
    }
    desktop().message(QStringLiteral("Keyvale is already running with the data folder ") + gDataFolder,
                      {}, Buttons::Ok, Icon::Information);
    return false;
}

void bringProgramForward() {
    QList<QWidget*> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (isOrdinaryWindow(w)) windows.append(w);
    if (windows.isEmpty()) return;
    // The main window first, so that the windows open over it stay over it.
    std::stable_partition(windows.begin(), windows.end(), [](const QWidget* w) { return w == mainWindow(); });
    for (QWidget* w : windows) {
        if (w->isMinimized()) w->showNormal();
        w->raise();
    }
    QWidget* active = QApplication::activeModalWidget();
    (active ? active : windows.last())->activateWindow();
}

} // namespace kv
