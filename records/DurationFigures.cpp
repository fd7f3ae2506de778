#include "records/DurationFigures.h"

#include <QJsonDocument>
#include <QMap>
#include <QSqlQuery>
#include <algorithm>
#include <cmath>

#include "records/RunFilterSql.h"
#include "records/TrafficLog.h"
#include "traffic/TrafficFrame.h"

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

pb::TrafficRecord::Direction LinkDirection(Direction d) {
    switch (d) {
        case Direction::Sent: return pb::TrafficRecord::Direction::Sent;
        case Direction::Received: return pb::TrafficRecord::Direction::Received;
        case Direction::Failed: break;
    }
    return pb::TrafficRecord::Direction::Failed;
}

QList<qint64> Sorted(QList<qint64> times) {
    std::sort(times.begin(), times.end());
    return times;
}

}  // namespace

qint64 NearestRank(const QList<qint64>& sorted, double share) {
    if (sorted.isEmpty()) return 0;
    const qint64 rank = qint64(std::ceil(share * double(sorted.size()) - 1e-9));
    return sorted[qBound<qint64>(1, rank, sorted.size()) - 1];
}

Durations Summarise(const QList<qint64>& sorted) {
    Durations d;
    if (sorted.isEmpty()) return d;
    d.count = sorted.size();
    d.minMs = sorted.first();
    d.maxMs = sorted.last();
    d.p50Ms = NearestRank(sorted, 0.50);
    d.p95Ms = NearestRank(sorted, 0.95);
    d.p99Ms = NearestRank(sorted, 0.99);
    double sum = 0;
    for (qint64 ms : sorted) sum += double(ms);
    d.meanMs = sum / double(sorted.size());
    return d;
}

QList<DurationBin> EvenBins(const QList<qint64>& sorted, int bins) {
    QList<DurationBin> out;
    if (sorted.isEmpty() || bins <= 0) return out;
    const qint64 low = sorted.first();
    const qint64 span = sorted.last() - low + 1;
    // Whole ms: the width rounds up, so the bins reach past the longest time.
    const qint64 width = qMax<qint64>(1, (span + bins - 1) / bins);
    for (int i = 0; i < bins; ++i) out << DurationBin{low + i * width, low + (i + 1) * width, 0};
    for (qint64 ms : sorted) ++out[int(qMin<qint64>(bins - 1, (ms - low) / width))].count;
    return out;
}

QString LinkKindOf(const QString& linkText, const QJsonObject& details) {
    // A serial port's facts (its adapter, RS-485) are kept only for a serial link; its
    // text is "<port> <speed>", a network link's "<address>:<port>".
    if (details.value(QLatin1String(kLinkFacts)).isObject() || linkText.contains(u' ') || !linkText.contains(u':'))
        return QLatin1String(kLinkSerial);
    return QLatin1String(kLinkTcp);
}

QList<qint64> ReplyLatencies(const KeptTraffic& traffic) {
    // The link's own decoder pairs each reply with its command, as the monitor does.
    QList<qint64> out;
    if (traffic.frames.isEmpty()) return out;
    pb::TrafficDecoder decoder;
    const qint64 firstMs = traffic.frames.first().ms;
    for (qsizetype i = 0; i < traffic.frames.size(); ++i) {
        const TrafficFrame& f = traffic.frames[i];
        pb::TrafficRecord record;
        record.direction = LinkDirection(f.direction);
        record.bytes = f.bytes;
        record.msSinceOpen = f.ms - firstMs;
        const pb::TrafficRow row = decoder.decode(record, 0);
        if (record.direction == pb::TrafficRecord::Direction::Received && row.latencyMs >= 0) out << row.latencyMs;
        if (traffic.dropped > 0 && i == traffic.droppedAfter) decoder.reset();
    }
    return out;
}

QList<UpgradeTimes> DurationFigures::upgradeTimes(const RunFilter& filter) {
    QVariantList binds;
    const QString where = And(RunsWhere(filter, &binds),
                              QStringLiteral("r.procedure_id = ? AND r.outcome = ? AND r.end_ms IS NOT NULL"));
    binds << QLatin1String(kUpgradeProcedure) << OutcomeCode(Outcome::Ok);
    QSqlQuery q(db_);
    QList<UpgradeTimes> rows;
    if (!RunFiltered(q, QStringLiteral("SELECT r.end_ms - r.start_ms, r.details FROM runs r JOIN units u ON u.id = r.unit_id") +
                    where,
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
        rows << UpgradeTimes{it.key().first, it.key().second, Summarise(Sorted(it.value()))};
    return rows;
}

QList<RecipeTimes> DurationFigures::recipeTimes(const RunFilter& filter) {
    QVariantList binds;
    // An interrupted unit test was stopped by hand: its time is not the unit's.
    const QString where = And(RecipeRunsWhere(filter, &binds),
                              QStringLiteral("rr.verdict IN ('pass', 'fail') AND rr.end_ms IS NOT NULL"));
    QSqlQuery q(db_);
    QList<RecipeTimes> rows;
    if (!RunFiltered(q, QStringLiteral("SELECT rr.recipe_name, rr.end_ms - rr.start_ms FROM recipe_runs rr "
                               "JOIN units u ON u.id = rr.unit_id") + where + QStringLiteral(" ORDER BY 2"),
             binds, error_))
        return rows;
    QList<qint64> all;
    QMap<QString, QList<qint64>> byRecipe;
    while (q.next()) {
        const qint64 ms = q.value(1).toLongLong();
        all << ms;
        byRecipe[q.value(0).toString()] << ms;
    }
    if (all.isEmpty()) return rows;
    rows << RecipeTimes{QString(), Summarise(all), all};
    for (auto it = byRecipe.constBegin(); it != byRecipe.constEnd(); ++it)
        rows << RecipeTimes{it.key(), Summarise(it.value()), it.value()};
    return rows;
}

QList<LatencyTimes> DurationFigures::latencies(const RunFilter& filter) {
    QVariantList binds;
    QSqlQuery q(db_);
    QList<LatencyTimes> rows;
    if (!RunFiltered(q, QStringLiteral("SELECT COALESCE(r.station, ''), COALESCE(r.link_text, ''), r.details, t.data "
                               "FROM runs r JOIN units u ON u.id = r.unit_id JOIN traffic t ON t.run_id = r.id") +
                    RunsWhere(filter, &binds),
             binds, error_))
        return rows;
    LatencyTimes all;
    QMap<std::pair<QString, QString>, LatencyTimes> groups;
    while (q.next()) {
        const std::optional<KeptTraffic> traffic = DecodeTraffic(q.value(3).toByteArray());
        if (!traffic) continue;
        const QList<qint64> replies = ReplyLatencies(*traffic);
        if (replies.isEmpty()) continue;
        const QJsonObject details = QJsonDocument::fromJson(q.value(2).toString().toUtf8()).object();
        const QString station = q.value(0).toString();
        const QString kind = LinkKindOf(q.value(1).toString(), details);
        LatencyTimes& g = groups[{station, kind}];
        g.station = station;
        g.linkKind = kind;
        ++g.runs;
        g.sorted << replies;
        ++all.runs;
        all.sorted << replies;
    }
    if (all.sorted.isEmpty()) return rows;
    all.sorted = Sorted(all.sorted);
    all.times = Summarise(all.sorted);
    rows << all;
    for (LatencyTimes g : groups) {
        g.sorted = Sorted(g.sorted);
        g.times = Summarise(g.sorted);
        rows << g;
    }
    return rows;
}

}  // namespace pb::records
