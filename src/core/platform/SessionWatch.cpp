#include "platform/SessionWatch.h"

#include <QStringList>

namespace kv {

namespace {

// The screen savers of the common desktops announce themselves under these interfaces, each with the
// same ActiveChanged(bool) signal; its object path differs between them, so any path is taken.
const QStringList kScreenSaverInterfaces{
    QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("org.gnome.ScreenSaver"),
    QStringLiteral("org.mate.ScreenSaver"),        QStringLiteral("org.cinnamon.ScreenSaver"),
    QStringLiteral("org.xfce.ScreenSaver"),
};

} // namespace

SessionWatch::SessionWatch(const QDBusConnection& sessionBus, const QDBusConnection& systemBus, QObject* parent)
    : QObject(parent) {
    if (sessionBus.isConnected())
        for (const QString& interface : kScreenSaverInterfaces)
            watching_ |= QDBusConnection(sessionBus).connect(QString(), QString(), interface,
                                                            QStringLiteral("ActiveChanged"), this,
                                                            SLOT(screenSaverActiveChanged(bool)));
    // Only the login manager itself may send this one: the sender is named.
    if (systemBus.isConnected())
        watching_ |= QDBusConnection(systemBus).connect(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
            SLOT(prepareForSleep(bool)));
}

void SessionWatch::screenSaverActiveChanged(bool active) {
    if (active) emit lockRequested();
}

void SessionWatch::prepareForSleep(bool starting) {
    if (starting) emit lockRequested();
}

} // namespace kv
