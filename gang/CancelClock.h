#pragma once
// A socket thread's clock: real pauses in a nested event loop (shortened by a factor for
// tests), which interrupt() from that thread ends at once.

#include <QEventLoop>
#include <QTimer>
#include <atomic>

#include "link/Clock.h"

namespace pb {

class CancelClock : public EventLoopClock {
public:
    CancelClock(const std::atomic<bool>& cancelled, int divisor) : cancelled_(cancelled), divisor_(divisor) {}

    void pause(int ms) override {
        ms /= divisor_;
        if (ms <= 0 || cancelled_.load()) return;
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(ms);
        QEventLoop* outer = std::exchange(loop_, &loop);
        loop.exec();
        loop_ = outer;
    }
    // In the clock's thread: the pause in hand ends (the outer ones check the flag).
    void interrupt() {
        if (loop_) loop_->quit();
    }

private:
    const std::atomic<bool>& cancelled_;
    int divisor_;
    QEventLoop* loop_ = nullptr;
};

}  // namespace pb
