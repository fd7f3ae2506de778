#pragma once
// A run's frames as they come, within a bound: the first half of the room keeps the
// first frames, the second half the latest ones; frames pushed out between are counted.

#include <QByteArray>
#include <deque>

#include "records/store/RecordTypes.h"

namespace pb::records {

inline constexpr qint64 kTrafficCapBytes = 4 * 1024 * 1024;

class CappedTraffic {
public:
    explicit CappedTraffic(qint64 capBytes = kTrafficCapBytes) : cap_(capBytes) {}
    void add(const TrafficFrame& frame);
    void clear();
    KeptTraffic kept() const;
    qint64 frameCount() const { return qint64(head_.size() + tail_.size()); }

    // The bytes one frame takes in the stored form (before compression).
    static qint64 Cost(const TrafficFrame& frame);

private:
    qint64 cap_;
    QList<TrafficFrame> head_;
    qint64 headBytes_ = 0;
    std::deque<TrafficFrame> tail_;
    qint64 tailBytes_ = 0;
    qint64 dropped_ = 0;
};

// The stored form: a versioned stream of the frames, compressed with qCompress.
QByteArray EncodeTraffic(const KeptTraffic& traffic);
// Empty when `blob` is not a traffic blob.
std::optional<KeptTraffic> DecodeTraffic(const QByteArray& blob);

}  // namespace pb::records
