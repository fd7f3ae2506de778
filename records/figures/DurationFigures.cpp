#include "records/figures/DurationFigures.h"

#include <QJsonDocument>
#include <QMap>
#include <QSqlQuery>
#include <algorithm>
#include <cmath>
#include <limits>

#include "records/figures/CountsFilter.h"
#include "records/store/FigureRollup.h"
#include "records/store/RunFilterSql.h"

namespace pb::records {
namespace {

// The procedure an upgrade is kept under, and its details' facts used here.
constexpr char kUpgradeProcedure[] = "firmware-upgrade";
constexpr char kLoader[] = "loader";
constexpr char kBlocks[] = "blocks";
constexpr char kLinkFacts[] = "link";

// " WHERE " the filter's conditions, and `more`.
QString And(const QString& where, const QString& more) {
    return where.isEmpty() ? QStringLiteral(" WHERE ") + more : where + QStringLiteral(" AND ") + more;
}

// The times counted by the hour answer for the filter when the hours' counts do and it
// names no fixture or socket, which the times are not kept by.
bool TimesAnswer(const RunFilter& filter) {
    return HoursAnswer(filter) && filter.fixture.isEmpty() && filter.socket.isEmpty();
}

// The filter over the times counted by the hour (t): only passed and failed unit tests
// are timed, each verdict in its own row.
QString TimesWhere(const RunFilter& filter, const QStringList& stations, QVariantList* binds) {
    const QString where = HoursWhere(filter, stations, QStringLiteral("t"), binds);
    const QString kept = KeptVerdict(filter).value_or(QString());
    if (kept.isEmpty()) return where;
    QString verdict = QStringLiteral("1 = 0");
    if (kept == QLatin1String("pass") || kept == QLatin1String("fail")) {
        verdict = QStringLiteral("t.verdict = ?");
        *binds << kept;
    }
    return And(where, verdict);
}

}  // namespace

qint64 NearestRank(const TimeCounts& counts, double share) {
    const qint64 total = TotalCount(counts);
    if (total == 0) return 0;
    const qint64 rank = qBound<qint64>(1, qint64(std::ceil(share * double(total) - 1e-9)), total);
    qint64 seen = 0;
    for (const TimeCount& c : counts) {
        seen += c.count;
        if (seen >= rank) return c.ms;
    }
    return counts.last().ms;
}

Durations Summarise(const TimeCounts& counts) {
    Durations d;
    d.count = TotalCount(counts);
    if (d.count == 0) return d;
    d.minMs = counts.first().ms;
    d.maxMs = counts.last().ms;
    d.p50Ms = NearestRank(counts, 0.50);
    d.p95Ms = NearestRank(counts, 0.95);
    d.p99Ms = NearestRank(counts, 0.99);
    double sum = 0;
    for (const TimeCount& c : counts) sum += double(c.ms) * double(c.count);
    d.meanMs = sum / double(d.count);
    return d;
}

QList<DurationBin> EvenBins(const TimeCounts& counts, int bins) {
    QList<DurationBin> out;
    if (counts.isEmpty() || bins <= 0) return out;
    // Worked out wider than a time, so that a row's time of any size (a clock set wrong)
    // cannot overflow; an edge past the largest time stops there.
    __extension__ typedef __int128 Wide;
    const Wide low = counts.first().ms;
    const Wide span = Wide(counts.last().ms) - low + 1;
    // Whole ms: the width rounds up, so the bins reach past the longest time.
    const Wide width = (span + bins - 1) / bins;
    const auto edge = [&](int i) {
        return qint64(std::min<Wide>(low + i * width, std::numeric_limits<qint64>::max()));
    };
    for (int i = 0; i < bins; ++i) out << DurationBin{edge(i), edge(i + 1), 0};
    for (const TimeCount& c : counts) out[int(std::min<Wide>(bins - 1, (Wide(c.ms) - low) / width))].count += c.count;
    return out;
}

QList<DurationBin> EvenBins(const QList<qint64>& sorted, int bins) { return EvenBins(CountTimes(sorted), bins); }

QList<DurationBin> RoundBins(const TimeCounts& counts, int most) {
    QList<DurationBin> out;
    if (counts.isEmpty() || most <= 0) return out;
    __extension__ typedef __int128 Wide;
    const Wide low = counts.first().ms;
    const Wide high = counts.last().ms;
    // The widths 1, 2, 5, 10, 20, 50 ... in turn, until `most` bins from a multiple of the
    // width below the shortest time reach past the longest one.
    Wide width = 1, start = 0, bins = 0;
    for (int i = 0;; ++i) {
        if (i > 60) {  // one bar when none of round width will do (times either side of 0 in one bin)
            start = low;
            width = high - low + 1;
            bins = 1;
            break;
        }
        width = Wide(i % 3 == 0 ? 1 : i % 3 == 1 ? 2 : 5);
        for (int k = 0; k < i / 3; ++k) width *= 10;
        start = (low >= 0 ? low / width : -((-low + width - 1) / width)) * width;
        bins = (high - start) / width + 1;
        if (bins <= most) break;
    }
    const auto edge = [&](Wide i) {
        return qint64(std::clamp<Wide>(start + i * width, std::numeric_limits<qint64>::min(),
                                       std::numeric_limits<qint64>::max()));
    };
    for (Wide i = 0; i < bins; ++i) out << DurationBin{edge(i), edge(i + 1), 0};
    for (const TimeCount& c : counts) out[int((Wide(c.ms) - start) / width)].count += c.count;
    return out;
}

QString LinkKindOf(const QString& linkText, const QJsonObject& details) {
    // A serial port's facts (its adapter, RS-485) are kept only for a serial link; its
    // text is "<port> <speed>", a network link's "<address>:<port>".
    if (details.value(QLatin1String(kLinkFacts)).isObject() || linkText.contains(u' ') || !linkText.contains(u':'))
        return QLatin1String(kLinkSerial);
    return QLatin1String(kLinkTcp);
}

QList<UpgradeTimes> DurationFigures::upgradeTimes(const RunFilter& filter) {
    QVariantList binds;
    const QString where = And(RunsWhere(filter, &binds),
                              QStringLiteral("r.procedure_id = ? AND r.outcome = ? AND r.end_ms IS NOT NULL"));
    binds << QLatin1String(kUpgradeProcedure) << OutcomeCode(Outcome::Ok);
    QSqlQuery q(db_);
    QList<UpgradeTimes> rows;
    if (!RunFiltered(q, QStringLiteral("SELECT r.end_ms - r.start_ms, r.details FROM runs r") +
                    UnitsJoin(filter, QStringLiteral("r")) + where,
             binds, error_))
        return rows;
    // The protocol and the blocks are in the details' JSON, read here alike on both back ends.
    QMap<std::pair<QString, int>, QList<qint64>> groups;
    while (q.next()) {
        const QJsonObject details = QJsonDocument::fromJson(q.value(1).toString().toUtf8()).object();
        const QString protocol = details.value(QLatin1String(kLoader)).toString();
        if (protocol.isEmpty()) continue;
        groups[{protocol, details.value(QLatin1String(kBlocks)).toInt()}] << q.value(0).toLongLong();
    }
    for (auto it = groups.constBegin(); it != groups.constEnd(); ++it)
        rows << UpgradeTimes{it.key().first, it.key().second, Summarise(CountTimes(it.value()))};
    return rows;
}

bool DurationFigures::readRecipeTimes(QSqlQuery& q, const RunFilter& filter, const QString& columns) {
    QVariantList binds;
    // An interrupted unit test was stopped by hand: its time is not the unit's.
    const QString where = And(RecipeRunsWhere(filter, &binds),
                              QStringLiteral("rr.verdict IN ('pass', 'fail') AND rr.end_ms IS NOT NULL"));
    // Read in the order kept and counted here: sorting or grouping them in the database
    // costs more than the counting.
    return RunFiltered(q, QStringLiteral("SELECT %1 FROM recipe_runs rr").arg(columns) +
                              UnitsJoin(filter, QStringLiteral("rr")) + where,
                       binds, error_);
}

bool DurationFigures::readTimeHours(QSqlQuery& q, const RunFilter& filter, const QString& columns) {
    QVariantList binds;
    const QStringList stations = filter.station.isEmpty() ? QStringList() : StationsInCounts(db_, filter.station, error_);
    if (!filter.station.isEmpty() && !error_.isEmpty()) return false;
    return RunFiltered(q, QStringLiteral("SELECT %1 FROM recipe_time_hours t").arg(columns) +
                              TimesWhere(filter, stations, &binds),
                       binds, error_);
}

QList<RecipeTimes> DurationFigures::recipeTimes(const RunFilter& filter) {
    QSqlQuery q(db_);
    QList<RecipeTimes> rows;
    TimeCountsSum all;
    QMap<QString, TimeCountsSum> byRecipe;
    if (TimesAnswer(filter)) {
        if (!readTimeHours(q, filter, QStringLiteral("t.recipe_name, t.data"))) return rows;
        while (q.next()) {
            const std::optional<TimeCounts> counts = DecodeTimeCounts(q.value(1).toByteArray());
            if (!counts) continue;
            all.add(*counts);
            byRecipe[q.value(0).toString()].add(*counts);
        }
    } else {
        if (!readRecipeTimes(q, filter, QStringLiteral("rr.end_ms - rr.start_ms, rr.recipe_name"))) return rows;
        QString recipe;
        TimeCountsSum* ofRecipe = nullptr;
        while (q.next()) {
            const qint64 ms = q.value(0).toLongLong();
            all.add(ms, 1);
            // Unit tests of one recipe mostly come together: its sum looked up once for them.
            if (!ofRecipe || q.value(1).toString() != recipe) {
                recipe = q.value(1).toString();
                ofRecipe = &byRecipe[recipe];
            }
            ofRecipe->add(ms, 1);
        }
    }
    if (all.isEmpty()) return rows;
    const auto times = [](const QString& recipe, const TimeCounts& counts) {
        return RecipeTimes{recipe, Summarise(counts), counts};
    };
    rows << times(QString(), all.counts());
    for (auto it = byRecipe.constBegin(); it != byRecipe.constEnd(); ++it) rows << times(it.key(), it.value().counts());
    return rows;
}

RecipeTimes DurationFigures::everyRecipeTimes(const RunFilter& filter) {
    QSqlQuery q(db_);
    TimeCountsSum all;
    if (TimesAnswer(filter)) {
        if (readTimeHours(q, filter, QStringLiteral("t.data")))
            while (q.next())
                if (const std::optional<TimeCounts> counts = DecodeTimeCounts(q.value(0).toByteArray())) all.add(*counts);
    } else if (readRecipeTimes(q, filter, QStringLiteral("rr.end_ms - rr.start_ms"))) {
        while (q.next()) all.add(q.value(0).toLongLong(), 1);
    }
    const TimeCounts counts = all.counts();
    return RecipeTimes{QString(), Summarise(counts), counts};
}

QList<LatencyTimes> DurationFigures::latencies(const RunFilter& filter) {
    QVariantList binds;
    QSqlQuery q(db_);
    QList<LatencyTimes> rows;
    if (!RunFiltered(q, QStringLiteral("SELECT COALESCE(r.station, ''), COALESCE(r.link_text, ''), r.details, l.data "
                                       "FROM runs r JOIN reply_latencies l ON l.run_id = r.id") +
                            UnitsJoin(filter, QStringLiteral("r")) +
                            And(RunsWhere(filter, &binds), QStringLiteral("l.replies > 0")),
                        binds, error_))
        return rows;
    qint64 runs = 0;
    TimeCountsSum all;
    QMap<std::pair<QString, QString>, std::pair<qint64, TimeCountsSum>> groups;  // runs, latencies
    while (q.next()) {
        const std::optional<TimeCounts> replies = DecodeTimeCounts(q.value(3).toByteArray());
        if (!replies || replies->isEmpty()) continue;
        const QJsonObject details = QJsonDocument::fromJson(q.value(2).toString().toUtf8()).object();
        auto& [groupRuns, sum] = groups[{q.value(0).toString(), LinkKindOf(q.value(1).toString(), details)}];
        ++groupRuns;
        sum.add(*replies);
        ++runs;
        all.add(*replies);
    }
    if (all.isEmpty()) return rows;
    const auto times = [](const QString& station, const QString& kind, qint64 runs, const TimeCounts& counts) {
        return LatencyTimes{station, kind, runs, Summarise(counts), counts};
    };
    rows << times(QString(), QString(), runs, all.counts());
    for (auto it = groups.constBegin(); it != groups.constEnd(); ++it)
        rows << times(it.key().first, it.key().second, it.value().first, it.value().second.counts());
    return rows;
}

}  // namespace pb::records
