#pragma once
// The one place fixed pauses go through. In the window a pause keeps events flowing;
// in tests a recording clock notes the pause and returns at once.

#include <QDateTime>
#include <QList>

namespace pb {

class Clock {
public:
    virtual ~Clock() = default;
    // Waits ms milliseconds.
    virtual void pause(int ms) = 0;
    // The PC's local date and time.
    virtual QDateTime now() const = 0;
};

// Waits in a nested event loop: timers, painting and clicks go on meanwhile.
class EventLoopClock : public Clock {
public:
    void pause(int ms) override;
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// Records every pause instead of waiting; the time is fixed unless set.
class RecordingClock : public Clock {
public:
    void pause(int ms) override { pauses_.append(ms); }
    QDateTime now() const override { return now_; }
    void setNow(const QDateTime& t) { now_ = t; }
    const QList<int>& pauses() const { return pauses_; }
    void clear() { pauses_.clear(); }

private:
    QList<int> pauses_;
    QDateTime now_ = QDateTime::currentDateTime();
};

}  // namespace pb
