#include "platform/Clock.h"

#include <QElapsedTimer>

namespace kv {

namespace {

class SystemClock final : public Clock {
public:
    SystemClock() { timer_.start(); }
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    qint64 tickCount() const override { return timer_.elapsed(); }

private:
    QElapsedTimer timer_;
};

Clock* installed = nullptr;

} // namespace

Clock& clock() {
    static SystemClock system;
    return installed ? *installed : system;
}

void setClock(Clock* c) { installed = c; }

} // namespace kv
