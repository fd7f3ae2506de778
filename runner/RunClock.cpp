#include "runner/RunClock.h"

#include <QTimer>
#include <utility>

namespace pb {

void RunClock::pause(int ms) {
    ms /= divisor_;
    const bool cancellable = cancel_ && !holdThroughCancel;
    if (ms <= 0 || (cancellable && cancel_->requested())) return;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QMetaObject::Connection onCancel;
    if (cancellable) onCancel = QObject::connect(cancel_, &Cancel::requestedNow, &loop, &QEventLoop::quit);
    timer.start(ms);
    QEventLoop* outer = std::exchange(loop_, &loop);
    loop.exec();
    loop_ = outer;
    QObject::disconnect(onCancel);
}

void RunClock::countdown(int ms, const SecondsLeft& secondsLeft) {
    if (!live) return EventLoopClock::countdown(ms, secondsLeft);
    bool first = true;
    EventLoopClock::countdown(ms, [&](int left) {
        live(!first);
        first = false;
        secondsLeft(left);
        live(false);
    });
}

void RunClock::interrupt() {
    if (loop_) loop_->quit();
}

}  // namespace pb
