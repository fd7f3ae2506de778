#pragma once
// Times in ms counted by the ms: a distribution in as many entries as it has distinct
// times, so that a million replies or unit tests are summed, not sorted, and their
// percentiles and bins are still exact.

#include <QByteArray>
#include <QList>
#include <QHash>
#include <optional>

namespace pb::records {

struct TimeCount {
    qint64 ms = 0;
    qint64 count = 0;
    bool operator==(const TimeCount&) const = default;
};
// From the shortest, each ms once, every count above 0.
using TimeCounts = QList<TimeCount>;

// The times of `times`, in any order, counted.
TimeCounts CountTimes(const QList<qint64>& times);
qint64 TotalCount(const TimeCounts& counts);

// Sums distributions: add each, then take the sum.
class TimeCountsSum {
public:
    void add(const TimeCounts& counts);
    void add(qint64 ms, qint64 count);
    TimeCounts counts() const;
    bool isEmpty() const { return byMs_.isEmpty(); }

private:
    QHash<qint64, qint64> byMs_;  // sorted when taken
};

// The stored form: pairs of ms and count. Empty counts are an empty blob; nullopt for a
// blob that is not one.
QByteArray EncodeTimeCounts(const TimeCounts& counts);
std::optional<TimeCounts> DecodeTimeCounts(const QByteArray& blob);

}  // namespace pb::records
