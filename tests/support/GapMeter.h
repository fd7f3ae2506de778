#pragma once
// Measures how long the event loop went without serving a 10 ms timer: the longest gap
// is how long a window would have stopped repainting.

#include <QElapsedTimer>
#include <QList>
#include <QTimer>

#include "link/Clock.h"

namespace pbtest {

class GapMeter {
public:
    GapMeter() {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        since_.start();
        timer_.start(10);
    }
    qint64 longestGapMs() {
        tick();
        return longest_;
    }
    int ticks() const { return ticks_; }

private:
    void tick() {
        longest_ = qMax(longest_, since_.restart());
        ++ticks_;
    }
    QTimer timer_;
    QElapsedTimer since_;
    qint64 longest_ = 0;
    int ticks_ = 0;
};

// Waits in the event loop like the window's clock, but shortened by a factor, and notes
// every pause asked for.
class ShortenedEventLoopClock : public pb::EventLoopClock {
public:
    explicit ShortenedEventLoopClock(int factor) : factor_(factor) {}
    void pause(int ms) override {
        asked.append(ms);
        pb::EventLoopClock::pause(ms / factor_);
    }
    QList<int> asked;

private:
    int factor_;
};

}  // namespace pbtest
