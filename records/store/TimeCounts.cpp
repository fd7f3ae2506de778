#include "records/store/TimeCounts.h"

#include <QtEndian>
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

// The blob is what QDataStream writes of the tag, the size and each pair (big-endian),
// written and read here in place: a store's distributions are decoded by the hundred
// thousand, and a stream's device costs more than the numbers.
QByteArray EncodeTimeCounts(const TimeCounts& counts) {
    if (counts.isEmpty()) return {};
    QByteArray blob(8 + counts.size() * 16, Qt::Uninitialized);
    char* at = blob.data();
    qToBigEndian<quint32>(kTimeCountsTag, at);
    qToBigEndian<quint32>(quint32(counts.size()), at + 4);
    at += 8;
    for (const TimeCount& c : counts) {
        qToBigEndian<qint64>(c.ms, at);
        qToBigEndian<qint64>(c.count, at + 8);
        at += 16;
    }
    return blob;
}

std::optional<TimeCounts> DecodeTimeCounts(const QByteArray& blob) {
    if (blob.isEmpty()) return TimeCounts{};
    if (blob.size() < 8) return std::nullopt;
    const char* at = blob.constData();
    const quint32 tag = qFromBigEndian<quint32>(at), size = qFromBigEndian<quint32>(at + 4);
    // Each pair is 16 bytes: a size the blob cannot hold is not trusted.
    if (tag != kTimeCountsTag || qint64(size) * 16 != blob.size() - 8) return std::nullopt;
    at += 8;
    TimeCounts counts;
    counts.reserve(size);
    qint64 last = 0, total = 0;
    for (quint32 i = 0; i < size; ++i, at += 16) {
        const TimeCount c{qFromBigEndian<qint64>(at), qFromBigEndian<qint64>(at + 8)};
        // More times than a count can hold is a damaged blob too.
        if (c.count <= 0 || (i > 0 && c.ms <= last) || __builtin_add_overflow(total, c.count, &total))
            return std::nullopt;
        last = c.ms;
        counts << c;
    }
    return counts;
}

}  // namespace pb::records
