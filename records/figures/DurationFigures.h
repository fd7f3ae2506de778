#pragma once
// How long the line's work takes: firmware upgrades per loader protocol and block count,
// unit tests (recipe runs) overall and per recipe, and the controllers' reply latency per
// station and link kind, from the latencies kept with each run's traffic. Over any filter
// the records list has, with the same SQL on SQLite and PostgreSQL; the percentiles are
// worked out here from the times counted by the ms (neither back end's own percentile
// functions are shared by the other).

#include <QList>
#include <QSqlDatabase>
#include <QString>

#include "records/store/RecordTypes.h"
#include "records/store/TimeCounts.h"

class QSqlQuery;

namespace pb::records {

// A list of times in ms: count, extremes, mean and nearest-rank percentiles (the smallest
// time with at least that share of the times at or below it). All 0 with no times.
struct Durations {
    qint64 count = 0;
    qint64 minMs = 0, p50Ms = 0, p95Ms = 0, p99Ms = 0, maxMs = 0;
    double meanMs = 0;
};
// `share` in (0, 1].
qint64 NearestRank(const TimeCounts& counts, double share);
Durations Summarise(const TimeCounts& counts);

// A distribution's bars: `bins` bins of one width from the shortest time, the last one
// holding the longest. Every bin is [fromMs, toMs); none with no times or no bins.
struct DurationBin {
    qint64 fromMs = 0, toMs = 0;
    qint64 count = 0;
};
QList<DurationBin> EvenBins(const TimeCounts& counts, int bins);
QList<DurationBin> EvenBins(const QList<qint64>& sorted, int bins);
// At most `most` bins of a round width (1, 2 or 5 times a power of ten ms, at least one
// ms), each starting at a multiple of it: an axis that reads 0, 20, 40 ... or 1.5, 2.0, 2.5.
QList<DurationBin> RoundBins(const TimeCounts& counts, int most);

// The upgrades that went through, of one loader protocol ("A", "B", "C") and block count.
struct UpgradeTimes {
    QString protocol;
    int blocks = 0;
    Durations times;
};

// The passed and failed unit tests of one recipe; an empty recipe: of every recipe.
struct RecipeTimes {
    QString recipe;
    Durations times;
    TimeCounts counts;  // the unit tests' times, for a distribution
};

// How a run reached its unit, from the run's link: "serial" or "tcp".
inline constexpr char kLinkSerial[] = "serial";
inline constexpr char kLinkTcp[] = "tcp";
QString LinkKindOf(const QString& linkText, const QJsonObject& details);

// The time from each command to its reply in the traffic of one station's runs over one
// kind of link; an empty station and kind: of every run.
struct LatencyTimes {
    QString station;
    QString linkKind;
    qint64 runs = 0;  // runs with replies
    Durations times;
    TimeCounts counts;
};

class DurationFigures {
public:
    explicit DurationFigures(QSqlDatabase db) : db_(std::move(db)) {}

    // By protocol, then blocks.
    QList<UpgradeTimes> upgradeTimes(const RunFilter& filter);
    // Every recipe first (recipe empty), then each recipe by name; none with no unit tests.
    QList<RecipeTimes> recipeTimes(const RunFilter& filter);
    // The first row of recipeTimes alone, read without the recipes' names: for a chart of
    // every unit test.
    RecipeTimes everyRecipeTimes(const RunFilter& filter);
    // Every run first (station and kind empty), then by station and kind; none with no
    // replies.
    QList<LatencyTimes> latencies(const RunFilter& filter);

    // Why the last query failed; empty when it went well.
    const QString& error() const { return error_; }

private:
    // The filter's finished unit tests: `columns` of each (rr), in the order kept.
    bool readRecipeTimes(QSqlQuery& q, const RunFilter& filter, const QString& columns);
    // Their times as counted by the hour (t), when those answer for the filter.
    bool readTimeHours(QSqlQuery& q, const RunFilter& filter, const QString& columns);

    QSqlDatabase db_;
    QString error_;
};

}  // namespace pb::records
