#pragma once
// The one clock of a unit's run without a window: real pauses in a nested event loop,
// which a cancel ends at once (but in a continuous test's closing, which keeps its pause);
// shortened by a factor for tests. With a live hook a countdown's later seconds go to a
// live line (a terminal shows them; a pipe and JSON keep one line per status).

#include <QEventLoop>
#include <functional>

#include "link/Clock.h"
#include "runner/Cancel.h"

namespace pb {

class RunClock : public EventLoopClock {
public:
    explicit RunClock(const Cancel* cancel = nullptr, int divisor = 1) : cancel_(cancel), divisor_(divisor < 1 ? 1 : divisor) {}

    void pause(int ms) override;
    void countdown(int ms, const SecondsLeft& secondsLeft) override;
    // In the clock's thread: the pause in hand ends (the outer ones check the cancel).
    void interrupt();

    // A continuous test's closing command keeps its pause through a cancel.
    bool holdThroughCancel = false;
    // Told true before a countdown's second figure and false after each: whatever the
    // countdown says then belongs on a live line.
    std::function<void(bool)> live;

private:
    const Cancel* cancel_;
    int divisor_;
    QEventLoop* loop_ = nullptr;
};

}  // namespace pb
