#pragma once
// The one place fixed pauses go through. In the window a pause keeps events flowing;
// in tests a recording clock notes the pause and returns at once.

#include <QDateTime>
#include <QList>
#include <functional>

namespace pb {

// Told the whole seconds a countdown still has to wait.
using SecondsLeft = std::function<void(int secondsLeft)>;

// The whole seconds in ms, rounded up: what a countdown shows first.
constexpr int WholeSecondsIn(int ms) { return ms <= 0 ? 0 : (ms + 999) / 1000; }

class Clock {
public:
    virtual ~Clock() = default;
    // Waits ms milliseconds.
    virtual void pause(int ms) = 0;
    // The PC's local date and time.
    virtual QDateTime now() const = 0;
    // Waits ms like pause(), telling secondsLeft the whole seconds still to wait: at
    // once, then each time one more has passed (a status line's countdown). A clock
    // that cannot tick tells the first figure only.
    virtual void countdown(int ms, const SecondsLeft& secondsLeft) {
        if (ms > 0) secondsLeft(WholeSecondsIn(ms));
        pause(ms);
    }
};

// Waits in a nested event loop: timers, painting and clicks go on meanwhile.
class EventLoopClock : public Clock {
public:
    void pause(int ms) override;
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    // A timer ticks once a second while pause() waits.
    void countdown(int ms, const SecondsLeft& secondsLeft) override;
};

// Records every pause instead of waiting; the time is fixed unless set, or, when asked,
// moves on by each pause as a real clock would.
class RecordingClock : public Clock {
public:
    void pause(int ms) override {
        pauses_.append(ms);
        if (advances_ && ms > 0) now_ = now_.addMSecs(ms);
    }
    QDateTime now() const override { return now_; }
    // One pause; every second of it told, as the window's clock would tell them.
    void countdown(int ms, const SecondsLeft& secondsLeft) override {
        for (int left = WholeSecondsIn(ms); left > 0; --left) secondsLeft(left);
        pause(ms);
    }
    void setNow(const QDateTime& t) { now_ = t; }
    // Each pause moves the time on by its length.
    void setAdvancesOnPause(bool on) { advances_ = on; }
    const QList<int>& pauses() const { return pauses_; }
    void clear() { pauses_.clear(); }

private:
    QList<int> pauses_;
    QDateTime now_ = QDateTime::currentDateTime();
    bool advances_ = false;
};

}  // namespace pb
