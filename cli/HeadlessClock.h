#pragma once
// The clock of a unit's run without a window: real pauses in a nested event loop, which
// a cancel ends at once (unless the run asks otherwise); the date and time may be fixed.

#include <QEventLoop>
#include <QTimer>
#include <optional>

#include "cli/Cancel.h"
#include "cli/UnitReporter.h"
#include "link/Clock.h"

namespace cli {

// Real pauses; a cancel ends them at once except in the DI/DO loop, whose closing
// command keeps its pause. The date and time may be fixed by --time. With a reporter a
// countdown ticks every second: its first figure is told as any status, the later ones go
// to the reporter's live line (a terminal shows them, a pipe and JSON keep one line).
class HeadlessClock : public pb::EventLoopClock {
public:
    HeadlessClock(Cancel& cancel, std::optional<QDateTime> fixed, UnitReporter* live = nullptr)
        : cancel_(cancel), fixed_(std::move(fixed)), live_(live) {}

    void pause(int ms) override {
        if (ms <= 0 || (interruptible && cancel_.requested())) return;
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        QMetaObject::Connection c;
        if (interruptible)
            c = QObject::connect(&cancel_, &Cancel::requestedNow, &loop, &QEventLoop::quit);
        timer.start(ms);
        loop.exec();
        QObject::disconnect(c);
    }
    QDateTime now() const override { return fixed_ ? *fixed_ : QDateTime::currentDateTime(); }

    void countdown(int ms, const pb::SecondsLeft& secondsLeft) override {
        if (!live_) return pb::Clock::countdown(ms, secondsLeft);
        bool first = true;
        pb::EventLoopClock::countdown(ms, [&](int left) {
            live_->setStepsLive(!first);
            first = false;
            secondsLeft(left);
            live_->setStepsLive(false);
        });
    }

    bool interruptible = true;

private:
    Cancel& cancel_;
    std::optional<QDateTime> fixed_;
    UnitReporter* live_;
};

}  // namespace cli
