#pragma once

#include <QDateTime>

namespace kv {

// The program's source of time, so that waits, the idle timer and change dates can be tested without
// waiting.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // Milliseconds from an arbitrary start, never going back.
    virtual qint64 tickCount() const = 0;
};

Clock& clock();
// Installs another clock (tests); nullptr puts the system clock back.
void setClock(Clock* clock);

} // namespace kv
