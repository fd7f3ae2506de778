#include "records/store/ReplyLatencies.h"

#include <QSqlQuery>
#include <QVariant>

#include "records/store/CappedTraffic.h"
#include "traffic/TrafficFrame.h"

namespace pb::records {
namespace {

pb::TrafficRecord::Direction LinkDirection(Direction d) {
    switch (d) {
        case Direction::Sent: return pb::TrafficRecord::Direction::Sent;
        case Direction::Received: return pb::TrafficRecord::Direction::Received;
        case Direction::Failed: break;
    }
    return pb::TrafficRecord::Direction::Failed;
}

bool Exec(QSqlQuery& q, QSqlError* error) {
    if (q.exec()) return true;
    *error = q.lastError();
    return false;
}

}  // namespace

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

bool KeepReplyLatencies(QSqlDatabase& db, qint64 runId, const KeptTraffic& traffic, QSqlError* error) {
    const QList<qint64> latencies = ReplyLatencies(traffic);
    QSqlQuery q(db);
    q.prepare(QStringLiteral("DELETE FROM reply_latencies WHERE run_id = ?"));
    q.addBindValue(runId);
    if (!Exec(q, error)) return false;
    // A run without replies keeps its row too: its traffic need not be read again.
    q.prepare(QStringLiteral("INSERT INTO reply_latencies (run_id, replies, data) VALUES (?, ?, ?)"));
    q.addBindValue(runId);
    q.addBindValue(qint64(latencies.size()));
    q.addBindValue(EncodeTimeCounts(CountTimes(latencies)));
    return Exec(q, error);
}

bool FillReplyLatencies(QSqlDatabase& db, QString* error) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT t.run_id FROM traffic t WHERE NOT EXISTS "
                               "(SELECT 1 FROM reply_latencies l WHERE l.run_id = t.run_id) ORDER BY t.run_id"))) {
        *error = q.lastError().text();
        return false;
    }
    QList<qint64> runs;
    while (q.next()) runs << q.value(0).toLongLong();
    q.finish();
    q.prepare(QStringLiteral("SELECT data FROM traffic WHERE run_id = ?"));
    for (qint64 runId : runs) {
        q.addBindValue(runId);
        QSqlError failed;
        if (!Exec(q, &failed)) {
            *error = failed.text();
            return false;
        }
        // Traffic that does not decode has no replies to count, as the traffic view shows none.
        const std::optional<KeptTraffic> traffic = q.next() ? DecodeTraffic(q.value(0).toByteArray()) : std::nullopt;
        q.finish();
        if (!KeepReplyLatencies(db, runId, traffic.value_or(KeptTraffic{}), &failed)) {
            *error = failed.text();
            return false;
        }
    }
    return true;
}

}  // namespace pb::records
