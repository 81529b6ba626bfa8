#pragma once

#include "platform/Clock.h"

namespace kv::test {

// A clock the test moves by hand; every read of the tick count also moves it on by `autoStep`
// milliseconds, so that code waiting on the clock finishes at once.
class TestClock final : public Clock {
public:
    TestClock() { setClock(this); }
    ~TestClock() override { setClock(nullptr); }
    QDateTime now() const override { return now_; }
    qint64 tickCount() const override { return ticks_ += autoStep; }
    void advance(qint64 ms) {
        ticks_ += ms;
        now_ = now_.addMSecs(ms);
    }
    void setNow(const QDateTime& t) { now_ = t; }
    qint64 autoStep = 500;

private:
    mutable qint64 ticks_ = 0;
    QDateTime now_ = QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53));
};

} // namespace kv::test
