#pragma once

#include <QDBusConnection>
#include <QObject>

namespace kv {

// Watches the desktop session for the moments the program should lock: the screen saver coming on (the
// screen locks) on the session bus, and the login manager preparing for sleep on the system bus. A bus
// that is not there is simply not watched.
class SessionWatch : public QObject {
    Q_OBJECT
public:
    SessionWatch(const QDBusConnection& sessionBus, const QDBusConnection& systemBus, QObject* parent = nullptr);

    // Whether at least one bus is being watched.
    bool watching() const { return watching_; }

signals:
    void lockRequested();

private slots:
    void screenSaverActiveChanged(bool active);
    void prepareForSleep(bool starting);

private:
    bool watching_ = false;
};

} // namespace kv
