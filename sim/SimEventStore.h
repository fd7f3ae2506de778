#pragma once
// The controller's event store: card reads, input changes, alarms and power-ups, kept
// oldest first in a ring of fixed capacity. A read pointer marks the record a host reads
// next; reading never deletes, so every reader sees the whole store again after a rewind.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <optional>

namespace sim {

enum class EventKind { CardGranted = 1, CardDenied = 2, InputOn = 3, InputOff = 4, Alarm = 5, PowerUp = 6 };

struct Event {
    int sequence = 0;  // 1..999999, then 1 again
    QDateTime time;
    EventKind kind = EventKind::PowerUp;
    int point = 0;      // door 1-4, input 1-8 or alarm level 0-6
    QByteArray number;  // card or user number, ten digits ("0000000000" when none)
};

class EventStore {
public:
    static constexpr int kCapacity = 200;

    void add(const QDateTime& time, EventKind kind, int point, const QByteArray& number = {});
    void clear();

    int size() const { return int(events_.size()); }
    const QList<Event>& events() const { return events_; }

    // The read pointer: back to the oldest record, the record under it, one record on,
    // and how many records are at or after it.
    void rewind() { next_ = 0; }
    std::optional<Event> current() const;
    void advance();
    int remaining() const { return size() - next_; }

    // A record as the controller sends it: sequence (6), yyyyMMddHHmmss (14), kind (2),
    // point (1), number (10): 33 characters.
    static QByteArray encode(const Event& e);

private:
    QList<Event> events_;
    int next_ = 0;
    int lastSequence_ = 0;
};

}  // namespace sim
