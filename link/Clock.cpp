#include "link/Clock.h"

#include <QEventLoop>
#include <QTimer>

namespace pb {

void EventLoopClock::pause(int ms) {
    if (ms <= 0) return;
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void EventLoopClock::countdown(int ms, const SecondsLeft& secondsLeft) {
    int left = WholeSecondsIn(ms);
    if (left <= 0) return pause(ms);
    secondsLeft(left);
    // The odd part of a second first, so that every later tick falls on a whole second.
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        tick.setInterval(1000);
        if (--left > 0) secondsLeft(left);
    });
    tick.start(ms - (left - 1) * 1000);
    pause(ms);  // a clock that shortens its pauses shortens this one too
}

}  // namespace pb
