#include "sim/SimEventStore.h"

namespace sim {
namespace {

constexpr int kLastSequence = 999999;
constexpr int kNumberDigits = 10;

}  // namespace

void EventStore::add(const QDateTime& time, EventKind kind, int point, const QByteArray& number) {
    lastSequence_ = lastSequence_ >= kLastSequence ? 1 : lastSequence_ + 1;
    QByteArray digits = number.right(kNumberDigits).rightJustified(kNumberDigits, '0');
    events_.append(Event{lastSequence_, time, kind, point, digits});
    // A full ring drops its oldest record; the read pointer keeps its record.
    if (events_.size() > kCapacity) {
        events_.removeFirst();
        if (next_ > 0) --next_;
    }
}

void EventStore::clear() {
    events_.clear();
    next_ = 0;
}

std::optional<Event> EventStore::current() const {
    if (next_ >= size()) return std::nullopt;
    return events_[next_];
}

void EventStore::advance() {
    if (next_ < size()) ++next_;
}

QByteArray EventStore::encode(const Event& e) {
    return QByteArray::number(e.sequence).rightJustified(6, '0') +
           e.time.toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1() +
           QByteArray::number(int(e.kind)).rightJustified(2, '0') +
           QByteArray::number(e.point % 10) + e.number;
}

}  // namespace sim
