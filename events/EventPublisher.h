#pragma once
// Publishes a station's live events to an MQTT broker (libmosquitto), from a thread of its
// own over a connection of its own: every unit test that ended, out of the store's events
// queue (records/store/Outbox.h), oldest first, QoS 1, taken off the queue only when the
// broker acknowledged it; the station's state, retained (the broker's last will says
// offline); a heartbeat. Topics and payloads: docs/events.md.
//
// Off every test's path: a test's record queues its event in the same write that ends it;
// this only reads the queue. A broker that refuses, is away or hangs (no acknowledgement
// within ackTimeoutMs, no answer to a connect) only leaves the queue waiting; the session
// is dropped and made anew, and the unacknowledged messages go again in order.

#include <QString>
#include <memory>

#include "events/EventsTarget.h"

namespace pb::events {

enum class StationState { Online, Testing, Idle, Offline };
QString StateName(StationState state);

struct PublisherOptions {
    EventsTarget target;
    QString storePath;  // the station's records file, whose events queue is read
    QString station;
    int heartbeatMs = 10000;
    int retryMs = 500;        // between tries of a broker that is away
    int connectTimeoutMs = 5000;
    int ackTimeoutMs = 10000;  // a broker slower than this is taken for hung
    int keepAliveS = 5;
};

class EventPublisher {
public:
    explicit EventPublisher(PublisherOptions options);
    // Says offline to a broker at hand; waits at most a moment for one that does not answer.
    ~EventPublisher();
    EventPublisher(const EventPublisher&) = delete;
    EventPublisher& operator=(const EventPublisher&) = delete;

    // From any thread: the state the station shows (retained), sent at once.
    void setState(StationState state);
    // From any thread: look at the queue now (a unit test ended).
    void kick();

    // Unit tests in the queue, as last read; whether a broker session is up.
    qint64 waiting() const;
    bool connected() const;
    // Acknowledged messages since start.
    qint64 sent() const;

    // The command line's last act: while the broker acknowledges (each within `quietMs`),
    // waits for the queue to empty; with no broker session, returns at once. What waits
    // goes next time.
    qint64 finish(int quietMs = 2000);

private:
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

}  // namespace pb::events
