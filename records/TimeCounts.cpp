#include "records/TimeCounts.h"

#include <QDataStream>
#include <QIODevice>
#include <algorithm>

namespace pb::records {
namespace {
// A blob starts with this and the number of pairs, so another blob is not taken for one.
constexpr quint32 kTimeCountsTag = 0x50425443;  // "PBTC"
}  // namespace

TimeCounts CountTimes(const QList<qint64>& times) {
    TimeCountsSum sum;
    for (qint64 ms : times) sum.add(ms, 1);
    return sum.counts();
}

qint64 TotalCount(const TimeCounts& counts) {
    qint64 total = 0;
    for (const TimeCount& c : counts) total += c.count;
    return total;
}

void TimeCountsSum::add(const TimeCounts& counts) {
    for (const TimeCount& c : counts) add(c.ms, c.count);
}

void TimeCountsSum::add(qint64 ms, qint64 count) {
    if (count > 0) byMs_[ms] += count;
}

TimeCounts TimeCountsSum::counts() const {
    TimeCounts out;
    out.reserve(byMs_.size());
    for (auto it = byMs_.constBegin(); it != byMs_.constEnd(); ++it) out << TimeCount{it.key(), it.value()};
    std::sort(out.begin(), out.end(), [](const TimeCount& a, const TimeCount& b) { return a.ms < b.ms; });
    return out;
}

QByteArray EncodeTimeCounts(const TimeCounts& counts) {
    if (counts.isEmpty()) return {};
    QByteArray blob;
    QDataStream out(&blob, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    out << kTimeCountsTag << quint32(counts.size());
    for (const TimeCount& c : counts) out << c.ms << c.count;
    return blob;
}

std::optional<TimeCounts> DecodeTimeCounts(const QByteArray& blob) {
    if (blob.isEmpty()) return TimeCounts{};
    QDataStream in(blob);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 tag = 0, size = 0;
    in >> tag >> size;
    // Each pair is 16 bytes: a size the blob cannot hold is not trusted.
    if (in.status() != QDataStream::Ok || tag != kTimeCountsTag || qint64(size) * 16 != blob.size() - 8)
        return std::nullopt;
    TimeCounts counts;
    counts.reserve(size);
    qint64 last = 0, total = 0;
    for (quint32 i = 0; i < size; ++i) {
        TimeCount c;
        in >> c.ms >> c.count;
        // More times than a count can hold is a damaged blob too.
        if (c.count <= 0 || (i > 0 && c.ms <= last) || __builtin_add_overflow(total, c.count, &total))
            return std::nullopt;
        last = c.ms;
        counts << c;
    }
    if (in.status() != QDataStream::Ok) return std::nullopt;
    return counts;
}

}  // namespace pb::records
