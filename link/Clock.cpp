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

}  // namespace pb
