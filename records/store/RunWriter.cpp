#include "records/store/RunWriter.h"

#include <QHostInfo>
#include <QSqlError>

#include "records/store/EvidenceColumns.h"
#include "records/store/Outbox.h"
#include "records/store/ReplyLatencies.h"
#include "records/store/SqlValues.h"
#include "records/store/StoreConnection.h"
#include "records/store/CappedTraffic.h"

namespace pb::records {

int RunWriter::markInterrupted() {
    QSqlDatabase db = c_.database();
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT id, writer FROM runs WHERE outcome = 'running'"))) {
        c_.failed(q, QStringLiteral("reading unfinished runs"));
        return 0;
    }
    QList<qint64> dead;
    while (q.next())
        if (!StoreConnection::writerAlive(q.value(1).toString())) dead << q.value(0).toLongLong();
    q.finish();
    if (dead.isEmpty()) return 0;
    if (const QSqlError error = c_.dialect().beginWrite(db); error.isValid()) {
        c_.fail(error, QStringLiteral("marking interrupted runs"));
        return 0;
    }
    QSqlQuery mark(db);
    for (qint64 id : dead) {
        mark.prepare(QStringLiteral("UPDATE runs SET outcome = 'interrupted', cause_code = 'interrupted', cause_values = NULL WHERE id = ?"));
        mark.addBindValue(id);
        if (!mark.exec()) return c_.failed(mark, QStringLiteral("marking interrupted runs")), 0;
        if (!outbox_.enqueue(mark, id, false)) return 0;
    }
    if (!db.commit()) return c_.fail(db.lastError(), QStringLiteral("marking interrupted runs")), 0;
    return int(dead.size());
}

qint64 RunWriter::ensureUnit(const UnitIdentity& identity, const QString& linkText,
                               qint64 seenMs, qint64 firstSeenMs) {
    // One statement: stations writing the same unit at once neither add it twice nor
    // fail. The identity as last identified; parts not known now stay as they were.
    QSqlQuery q(c_.database());
    QString key = UnitKey(identity, linkText);
    if (!identity.serial.isEmpty() && identity.modelKind < 0) {
        // A serial without its family: the unit of that serial last seen, if any.
        q.prepare(QStringLiteral("SELECT unit_key FROM units WHERE serial = ? AND model_kind IS NOT NULL "
                                 "ORDER BY last_seen_ms DESC, id DESC LIMIT 1"));
        q.addBindValue(identity.serial);
        if (!q.exec()) return c_.failed(q, QStringLiteral("adding the unit")), 0;
        if (q.next()) key = q.value(0).toString();
        q.finish();
    }
    q.prepare(QStringLiteral(
        "INSERT INTO units (unit_key, serial, link_text, model_kind, model_text, version, "
        "device_id, first_seen_ms, last_seen_ms) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?) "
        "ON CONFLICT (unit_key) DO UPDATE SET "
        "model_kind = COALESCE(excluded.model_kind, units.model_kind), "
        "model_text = COALESCE(excluded.model_text, units.model_text), "
        "version = COALESCE(excluded.version, units.version), "
        "device_id = COALESCE(excluded.device_id, units.device_id), "
        "link_text = excluded.link_text, "
        "first_seen_ms = CASE WHEN excluded.first_seen_ms < units.first_seen_ms "
        "THEN excluded.first_seen_ms ELSE units.first_seen_ms END, "
        "last_seen_ms = CASE WHEN units.last_seen_ms < excluded.last_seen_ms "
        "THEN excluded.last_seen_ms ELSE units.last_seen_ms END RETURNING id"));
    q.addBindValue(key);
    q.addBindValue(TextOrNull(identity.serial));
    q.addBindValue(linkText);
    q.addBindValue(identity.modelKind >= 0 ? QVariant(identity.modelKind)
                                           : QVariant(QMetaType::fromType<int>()));
    q.addBindValue(TextOrNull(identity.modelText));
    q.addBindValue(TextOrNull(identity.version));
    q.addBindValue(TextOrNull(identity.deviceId));
    q.addBindValue(firstSeenMs > 0 ? firstSeenMs : seenMs);
    q.addBindValue(seenMs);
    if (!q.exec()) return c_.failed(q, QStringLiteral("adding the unit")), 0;
    const qint64 id = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    return id;
}

qint64 RunWriter::upsertUnit(const UnitIdentity& identity, const QString& linkText,
                               qint64 seenMs) {
    if (!c_.writable()) return 0;
    QSqlDatabase db = c_.database();
    if (const QSqlError error = c_.dialect().beginWrite(db); error.isValid())
        return c_.fail(error, QStringLiteral("adding the unit")), 0;
    const qint64 id = ensureUnit(identity, linkText, seenMs);
    if (id == 0) return 0;
    if (!db.commit()) return c_.fail(db.lastError(), QStringLiteral("adding the unit")), 0;
    return id;
}

qint64 RunWriter::beginRun(const RunStart& start) {
    if (!c_.writable()) return 0;
    QSqlDatabase db = c_.database();
    if (const QSqlError error = c_.dialect().beginWrite(db); error.isValid())
        return c_.fail(error, QStringLiteral("starting a run")), 0;
    const qint64 unitId = ensureUnit(start.unit, start.linkText, start.startMs);
    if (unitId == 0) return 0;
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "INSERT INTO runs (unit_id, station, operator_name, writer, link_text, procedure_id, "
        "start_ms, outcome, details) VALUES (?, ?, ?, ?, ?, ?, ?, 'running', ?)") +
              (c_.dialect().keyFromReturning ? QStringLiteral(" RETURNING id") : QString()));
    q.addBindValue(unitId);
    q.addBindValue(start.station.isEmpty() ? QHostInfo::localHostName() : start.station);
    q.addBindValue(start.operatorName);
    q.addBindValue(StoreConnection::writerToken());
    q.addBindValue(start.linkText);
    q.addBindValue(start.procedure);
    q.addBindValue(start.startMs);
    q.addBindValue(DetailsText(start.details));
    if (!q.exec()) return c_.failed(q, QStringLiteral("starting a run")), 0;
    const qint64 id = c_.insertedId(q);
    q.finish();
    if (!db.commit()) return c_.fail(db.lastError(), QStringLiteral("starting a run")), 0;
    return id;
}

bool RunWriter::updateRunDetails(qint64 runId, const QJsonObject& details) {
    if (!c_.writable() || runId <= 0) return false;
    QSqlQuery q(c_.database());
    q.prepare(QStringLiteral("UPDATE runs SET details = ? WHERE id = ?"));
    q.addBindValue(DetailsText(details));
    q.addBindValue(runId);
    if (!q.exec()) return c_.failed(q, QStringLiteral("recording progress"));
    // A run changed after its end (the version after an upgrade) goes to the server again.
    return outbox_.enqueue(q, runId, true);
}

bool RunWriter::endRun(qint64 runId, const RunEnd& end) {
    if (!c_.writable() || runId <= 0) return false;
    QSqlDatabase db = c_.database();
    if (const QSqlError error = c_.dialect().beginWrite(db); error.isValid())
        return c_.fail(error, QStringLiteral("ending a run")), false;
    QSqlQuery q(db);
    if (end.identity && !end.identity->serial.isEmpty()) {
        // The unit is known now: the run belongs to it, not to the link's unidentified unit.
        q.prepare(QStringLiteral("SELECT link_text FROM runs WHERE id = ?"));
        q.addBindValue(runId);
        if (!q.exec()) return c_.failed(q, QStringLiteral("ending a run"));
        const QString link = q.next() ? q.value(0).toString() : QString();
        q.finish();
        const qint64 unitId = ensureUnit(*end.identity, link, end.endMs);
        if (unitId == 0) return false;
        q.prepare(QStringLiteral("UPDATE runs SET unit_id = ? WHERE id = ?"));
        q.addBindValue(unitId);
        q.addBindValue(runId);
        if (!q.exec()) return c_.failed(q, QStringLiteral("ending a run"));
    }
    q.prepare(QStringLiteral("UPDATE runs SET end_ms = ?, outcome = ?, cause_code = ?, cause_values = ?, "
                             "status_text = ?") +
              (end.details.isEmpty() ? QString() : QStringLiteral(", details = ?")) +
              QStringLiteral(" WHERE id = ?"));
    q.addBindValue(end.endMs);
    q.addBindValue(OutcomeCode(end.outcome));
    q.addBindValue(CauseCodeColumn(end.cause));
    q.addBindValue(CauseValuesColumn(end.cause));
    q.addBindValue(end.statusText);
    if (!end.details.isEmpty()) q.addBindValue(DetailsText(end.details));
    q.addBindValue(runId);
    if (!q.exec()) return c_.failed(q, QStringLiteral("ending a run"));
    if (!outbox_.enqueue(q, runId, false)) return false;
    if (!db.commit()) return c_.fail(db.lastError(), QStringLiteral("ending a run")), false;
    return true;
}

bool RunWriter::setRunMeasurements(qint64 runId, const Measurements& found) {
    if (!c_.writable() || runId <= 0) return false;
    QSqlQuery q(c_.database());
    q.prepare(QStringLiteral("UPDATE runs SET measurements = ? WHERE id = ?"));
    q.addBindValue(MeasurementsColumn(found));
    q.addBindValue(runId);
    if (!q.exec()) return c_.failed(q, QStringLiteral("keeping what a run found"));
    return outbox_.enqueue(q, runId, true);
}

bool RunWriter::saveTraffic(qint64 runId, const KeptTraffic& traffic) {
    if (!c_.writable() || runId <= 0) return false;
    QSqlDatabase db = c_.database();
    if (const QSqlError error = c_.dialect().beginWrite(db); error.isValid())
        return c_.fail(error, QStringLiteral("keeping traffic")), false;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("DELETE FROM traffic WHERE run_id = ?"));
    q.addBindValue(runId);
    if (!q.exec()) return c_.failed(q, QStringLiteral("keeping traffic"));
    q.prepare(QStringLiteral("INSERT INTO traffic (run_id, frame_count, dropped, data) VALUES (?, ?, ?, ?)"));
    q.addBindValue(runId);
    q.addBindValue(qint64(traffic.frames.size()));
    q.addBindValue(traffic.dropped);
    q.addBindValue(EncodeTraffic(traffic));
    if (!q.exec()) return c_.failed(q, QStringLiteral("keeping traffic"));
    if (QSqlError error; !KeepReplyLatencies(db, runId, traffic, &error)) {
        db.rollback();
        return c_.fail(error, QStringLiteral("keeping traffic")), false;
    }
    if (!db.commit()) return c_.fail(db.lastError(), QStringLiteral("keeping traffic")), false;
    return true;
}


qint64 RunWriter::importRun(const RunUpload& u) {
    if (!c_.isOpen()) return 0;
    QSqlDatabase db = c_.database();
    if (const QSqlError error = c_.dialect().beginWrite(db); error.isValid())
        return c_.fail(error, QStringLiteral("adding a station's run")), 0;
    const qint64 unitId = ensureUnit(u.unit.identity, u.unit.linkText, u.unit.lastSeenMs, u.unit.firstSeenMs);
    if (unitId == 0) return 0;
    // Sent again (its acknowledgement was lost, or it changed): the same row, updated.
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "INSERT INTO runs (unit_id, station, operator_name, writer, link_text, procedure_id, "
        "start_ms, end_ms, outcome, status_text, details, origin, local_run_id, cause_code, cause_values, "
        "measurements) VALUES (?, ?, ?, NULL, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (origin, local_run_id) "
        "DO UPDATE SET unit_id = excluded.unit_id, end_ms = excluded.end_ms, "
        "outcome = excluded.outcome, status_text = excluded.status_text, "
        "details = excluded.details, cause_code = excluded.cause_code, cause_values = excluded.cause_values, "
        "measurements = excluded.measurements RETURNING id"));
    const RunRow& r = u.run;
    q.addBindValue(unitId);
    q.addBindValue(r.station);
    q.addBindValue(r.operatorName);
    q.addBindValue(r.linkText);
    q.addBindValue(r.procedure);
    q.addBindValue(r.startMs);
    q.addBindValue(r.endMs > 0 ? QVariant(r.endMs) : QVariant(QMetaType::fromType<qint64>()));
    q.addBindValue(OutcomeCode(r.outcome));
    q.addBindValue(r.statusText);
    q.addBindValue(DetailsText(r.details));
    q.addBindValue(u.origin);
    q.addBindValue(u.localRunId);
    q.addBindValue(CauseCodeColumn(r.cause));
    q.addBindValue(CauseValuesColumn(r.cause));
    q.addBindValue(MeasurementsColumn(r.measurements));
    if (!q.exec()) return c_.failed(q, QStringLiteral("adding a station's run")), 0;
    const qint64 id = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    if (!u.traffic.isEmpty()) {
        q.prepare(QStringLiteral(
            "INSERT INTO traffic (run_id, frame_count, dropped, data) VALUES (?, ?, ?, ?) "
            "ON CONFLICT (run_id) DO UPDATE SET frame_count = excluded.frame_count, "
            "dropped = excluded.dropped, data = excluded.data"));
        q.addBindValue(id);
        q.addBindValue(u.frameCount);
        q.addBindValue(u.framesDropped);
        q.addBindValue(u.traffic);
        if (!q.exec()) return c_.failed(q, QStringLiteral("adding a station's traffic")), 0;
        // Traffic that does not decode has no replies, as its view shows none.
        const KeptTraffic traffic = DecodeTraffic(u.traffic).value_or(KeptTraffic{});
        if (QSqlError error; !KeepReplyLatencies(db, id, traffic, &error)) {
            db.rollback();
            return c_.fail(error, QStringLiteral("adding a station's traffic")), 0;
        }
    }
    if (u.localRecipeRunId > 0) {
        // Its recipe run when that came first; otherwise the recipe run links it on arrival.
        q.prepare(QStringLiteral(
            "UPDATE runs SET recipe_step = ?, recipe_attempt = ?, recipe_run_id = (SELECT id FROM recipe_runs "
            "WHERE origin = ? AND local_recipe_run_id = ?) WHERE id = ?"));
        q.addBindValue(u.recipeStep);
        q.addBindValue(u.recipeAttempt > 0 ? QVariant(u.recipeAttempt) : QVariant(QMetaType(QMetaType::Int)));
        q.addBindValue(u.origin);
        q.addBindValue(u.localRecipeRunId);
        q.addBindValue(id);
        if (!q.exec()) return c_.failed(q, QStringLiteral("adding a station's run")), 0;
    }
    if (!db.commit()) return c_.fail(db.lastError(), QStringLiteral("adding a station's run")), 0;
    return id;
}

}  // namespace pb::records
