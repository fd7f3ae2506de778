#pragma once
// Shows that the event loop served events while the tool waited, by what happened
// rather than by how long anything took: at the start of every reply wait and every
// pause an event is posted, and the wait counts as served when that event was handled
// before the wait ended. A wait that blocks (a sleep, a blocking read) serves nothing.

#include <QList>
#include <QObject>
#include <QTimer>
#include <memory>

#include "link/Clock.h"
#include "link/Link.h"

namespace pbtest {

// Watches the reply waits of one link through its traffic, and counts the ticks of a
// 10 ms timer: a timer that ticked while a test ran was served during its waits.
class WaitWitness {
public:
    explicit WaitWitness(pb::Link& link) {
        QObject::connect(&link, &pb::Link::traffic, &context_,
                         [this](const pb::TrafficRecord& r) { seen(r); });
        QObject::connect(&timer_, &QTimer::timeout, &context_, [this] { ++ticks_; });
        timer_.start(10);
    }
    // Reply waits that ended, and those of them that served a posted event.
    int waits() const { return waits_; }
    int servedWaits() const { return served_; }
    int ticks() const { return ticks_; }

private:
    void seen(const pb::TrafficRecord& r) {
        if (r.direction == pb::TrafficRecord::Direction::Sent) {
            waiting_ = std::make_shared<bool>(false);
            QMetaObject::invokeMethod(
                &context_, [flag = waiting_] { *flag = true; }, Qt::QueuedConnection);
            return;
        }
        if (!waiting_) return;  // refused before anything was sent: no wait
        ++waits_;
        if (*waiting_) ++served_;
        waiting_.reset();
    }

    QObject context_;
    QTimer timer_;
    std::shared_ptr<bool> waiting_;
    int waits_ = 0;
    int served_ = 0;
    int ticks_ = 0;
};

// Waits in the event loop like the window's clock, shortened by a factor (1: real
// time), notes every pause asked for, and whether each one served a posted event.
class ShortenedEventLoopClock : public pb::EventLoopClock {
public:
    explicit ShortenedEventLoopClock(int factor) : factor_(factor) {}
    void pause(int ms) override {
        asked.append(ms);
        const int shortened = ms / factor_;
        auto served = std::make_shared<bool>(false);
        QMetaObject::invokeMethod(
            &context_, [served] { *served = true; }, Qt::QueuedConnection);
        pb::EventLoopClock::pause(shortened);
        if (shortened <= 0) return;  // no wait at all
        ++pauses_;
        if (*served) ++servedPauses_;
    }
    QList<int> asked;
    int pauses() const { return pauses_; }
    int servedPauses() const { return servedPauses_; }

private:
    int factor_;
    QObject context_;
    int pauses_ = 0;
    int servedPauses_ = 0;
};

}  // namespace pbtest
