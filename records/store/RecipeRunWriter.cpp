#include "records/store/RecipeRunWriter.h"

#include <QCoreApplication>
#include <QHostInfo>
#include <QSqlError>

#include "records/store/EvidenceColumns.h"
#include "records/store/FigureRollup.h"
#include "records/store/Outbox.h"
#include "records/store/RecordChain.h"
#include "records/store/RunWriter.h"
#include "records/store/SqlValues.h"
#include "records/store/StoreConnection.h"

namespace pb::records {

qint64 RecipeRunWriter::beginRecipeRun(const RecipeRunStart& start) {
    if (!c_.writable() || !writeWaitingEnds()) return 0;
    QSqlDatabase db = c_.database();
    if (const QSqlError error = c_.dialect().beginWrite(db); error.isValid())
        return c_.fail(error, QStringLiteral("starting a recipe run")), 0;
    // Under its link until the controller says which unit it is: a scanned serial is a
    // label, not a unit (and has no model family); it stays with the recipe run.
    const qint64 unitId = runs_.ensureUnit(UnitIdentity{}, start.linkText, start.startMs);
    if (unitId == 0) return 0;
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "INSERT INTO recipe_runs (unit_id, recipe_name, recipe_hash, scanned_serial, station, "
        "operator_name, link_text, start_ms, writer, fixture_name, socket_name, fixture_hash, tool_version, "
        "verdict) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 'running')") +
              (c_.dialect().keyFromReturning ? QStringLiteral(" RETURNING id") : QString()));
    q.addBindValue(unitId);
    q.addBindValue(start.recipeName);
    q.addBindValue(start.recipeHash);
    q.addBindValue(TextOrNull(start.scannedSerial.trimmed()));
    q.addBindValue(start.station.isEmpty() ? QHostInfo::localHostName() : start.station);
    q.addBindValue(start.operatorName);
    q.addBindValue(start.linkText);
    q.addBindValue(start.startMs);
    q.addBindValue(StoreConnection::writerToken());
    q.addBindValue(TextOrNull(start.fixture));
    q.addBindValue(TextOrNull(start.socket));
    q.addBindValue(TextOrNull(start.fixtureHash));
    q.addBindValue(start.toolVersion.isEmpty() ? QCoreApplication::applicationVersion() : start.toolVersion);
    if (!q.exec()) return c_.failed(q, QStringLiteral("starting a recipe run")), 0;
    const qint64 id = c_.insertedId(q);
    q.finish();
    if (!writeRecipeSteps(id, start.steps, true)) return 0;
    if (!db.commit()) return c_.fail(db.lastError(), QStringLiteral("starting a recipe run")), 0;
    return id;
}

int RecipeRunWriter::markInterrupted() {
    QSqlDatabase db = c_.database();
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT id, writer FROM recipe_runs WHERE verdict = 'running'")))
        return c_.failed(q, QStringLiteral("reading unfinished recipe runs")), 0;
    QList<qint64> dead;
    while (q.next())
        if (!StoreConnection::writerAlive(q.value(1).toString())) dead << q.value(0).toLongLong();
    q.finish();
    if (dead.isEmpty()) return 0;
    if (const QSqlError error = c_.dialect().beginWrite(db); error.isValid())
        return c_.fail(error, QStringLiteral("marking interrupted recipe runs")), 0;
    QSqlQuery mark(db);
    QSqlQuery queue(db);
    mark.prepare(QStringLiteral("UPDATE recipe_runs SET verdict = 'interrupted', cause_code = 'interrupted', "
                                "cause_values = NULL WHERE id = ?"));
    // The step in hand when the writer died: interrupted, not "not run".
    QSqlQuery steps(db);
    steps.prepare(QStringLiteral("UPDATE recipe_steps SET verdict = 'interrupted', cause_code = 'interrupted' "
                                 "WHERE recipe_run_id = ? AND verdict = 'running'"));
    for (qint64 id : dead) {
        mark.addBindValue(id);
        if (!mark.exec()) return c_.failed(mark, QStringLiteral("marking interrupted recipe runs")), 0;
        steps.addBindValue(id);
        if (!steps.exec()) return c_.failed(steps, QStringLiteral("marking interrupted recipe runs")), 0;
        if (!refreshFigures(id, 0, QStringLiteral("marking interrupted recipe runs"))) return 0;
        if (!chain(id, QStringLiteral("marking interrupted recipe runs"))) return 0;
        if (!outbox_.enqueueRecipeRun(queue, id)) return 0;
        if (!outbox_.enqueueEvent(queue, id)) return 0;
    }
    if (!db.commit()) return c_.fail(db.lastError(), QStringLiteral("marking interrupted recipe runs")), 0;
    return int(dead.size());
}

bool RecipeRunWriter::writeRecipeSteps(qint64 recipeRunId, const QList<RecipeStepRow>& steps, bool insert) {
    QSqlQuery q(c_.database());
    q.prepare(insert ? QStringLiteral("INSERT INTO recipe_steps (kind, label, verdict, reason_text, "
                                      "attempts, measured, cause_code, cause_values, measurements, attempt_causes, "
                                      "recipe_run_id, step_index) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                     : QStringLiteral("UPDATE recipe_steps SET kind = ?, label = ?, verdict = ?, "
                                      "reason_text = ?, attempts = ?, measured = ?, cause_code = ?, cause_values = ?, "
                                      "measurements = ?, attempt_causes = ? "
                                      "WHERE recipe_run_id = ? AND step_index = ?"));
    for (const RecipeStepRow& s : steps) {
        const bool ran = s.verdict != QLatin1String("not-run") && s.verdict != QLatin1String("running");
        q.addBindValue(s.kind);
        q.addBindValue(s.label);
        q.addBindValue(s.verdict);
        q.addBindValue(s.reasonText);
        q.addBindValue(s.attempts);
        q.addBindValue(s.measured);
        q.addBindValue(ran ? CauseCodeColumn(s.cause) : QVariant(QMetaType::fromType<QString>()));
        q.addBindValue(ran ? CauseValuesColumn(s.cause) : QVariant(QMetaType::fromType<QString>()));
        q.addBindValue(MeasurementsColumn(s.measurements));
        q.addBindValue(CausesColumn(s.attemptCauses));
        q.addBindValue(recipeRunId);
        q.addBindValue(s.index);
        if (!q.exec()) return c_.failed(q, QStringLiteral("keeping the recipe's steps"));
    }
    return true;
}

bool RecipeRunWriter::refreshFigures(qint64 recipeRunId, qint64 formerUnitId, const QString& what) {
    QSqlDatabase db = c_.database();
    QSqlError error;
    if (RefreshFigures(db, recipeRunId, formerUnitId, &error)) return true;
    db.rollback();
    c_.fail(error, what);
    return false;
}

bool RecipeRunWriter::chain(qint64 recipeRunId, const QString& what) {
    QSqlDatabase db = c_.database();
    QSqlError error;
    if (ChainUnitTest(db, recipeRunId, &error)) return true;
    db.rollback();
    c_.fail(error, what);
    return false;
}

bool RecipeRunWriter::linkRunToRecipe(qint64 runId, qint64 recipeRunId, int stepIndex, int attempt) {
    if (!c_.writable() || runId <= 0 || recipeRunId <= 0) return false;
    QSqlQuery q(c_.database());
    q.prepare(QStringLiteral("UPDATE runs SET recipe_run_id = ?, recipe_step = ?, recipe_attempt = ? WHERE id = ?"));
    q.addBindValue(recipeRunId);
    q.addBindValue(stepIndex);
    q.addBindValue(attempt > 0 ? QVariant(attempt) : QVariant(QMetaType(QMetaType::Int)));
    q.addBindValue(runId);
    if (!q.exec()) return c_.failed(q, QStringLiteral("tying a run to its recipe"));
    // A recipe run already ended (and perhaps sent) goes again with its new run.
    return outbox_.enqueueRecipeRun(q, recipeRunId);
}

bool RecipeRunWriter::setRecipeRunUnit(qint64 recipeRunId, const UnitIdentity& identity, qint64 seenMs) {
    if (!c_.writable() || recipeRunId <= 0 || identity.serial.isEmpty()) return false;
    QSqlDatabase db = c_.database();
    const QString what = QStringLiteral("keeping the unit of a recipe run");
    if (const QSqlError error = c_.dialect().beginWrite(db); error.isValid()) return c_.fail(error, what), false;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT link_text FROM recipe_runs WHERE id = ?"));
    q.addBindValue(recipeRunId);
    if (!q.exec()) return c_.failed(q, what);
    const QString link = q.next() ? q.value(0).toString() : QString();
    q.finish();
    const qint64 unitId = runs_.ensureUnit(identity, link, seenMs);
    if (unitId == 0) return false;
    q.prepare(QStringLiteral("UPDATE recipe_runs SET unit_id = ? WHERE id = ?"));
    q.addBindValue(unitId);
    q.addBindValue(recipeRunId);
    if (!q.exec()) return c_.failed(q, what);
    if (!db.commit()) return c_.fail(db.lastError(), what), false;
    return true;
}

bool RecipeRunWriter::recordRecipeStep(qint64 recipeRunId, const RecipeStepRow& step) {
    if (!c_.writable() || recipeRunId <= 0) return false;
    return writeRecipeSteps(recipeRunId, {step}, false);
}

bool RecipeRunWriter::writeWaitingEnds() {
    while (!waiting_.isEmpty()) {
        if (!endNow(waiting_.first().first, waiting_.first().second)) return false;
        waiting_.removeFirst();
    }
    c_.roomAgain();
    return true;
}

bool RecipeRunWriter::endRecipeRun(qint64 recipeRunId, const RecipeRunEnd& end) {
    if (recipeRunId <= 0) return false;
    if (!writeWaitingEnds() || !endNow(recipeRunId, end)) {
        if (c_.isOpen() && c_.status().error == RecordsError::DiskFull) waiting_.append({recipeRunId, end});
        return false;
    }
    return true;
}

bool RecipeRunWriter::endNow(qint64 recipeRunId, const RecipeRunEnd& end) {
    if (!c_.writable()) return false;
    QSqlDatabase db = c_.database();
    if (const QSqlError error = c_.dialect().beginWrite(db); error.isValid())
        return c_.fail(error, QStringLiteral("ending a recipe run")), false;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT link_text, unit_id FROM recipe_runs WHERE id = ?"));
    q.addBindValue(recipeRunId);
    if (!q.exec()) return c_.failed(q, QStringLiteral("ending a recipe run"));
    const bool found = q.next();
    const QString link = found ? q.value(0).toString() : QString();
    const qint64 formerUnit = found ? q.value(1).toLongLong() : 0;
    q.finish();
    if (end.identity && !end.identity->serial.isEmpty()) {
        // The unit the controller says it is; a scanned serial that differs stays with the run.
        const qint64 unitId = runs_.ensureUnit(*end.identity, link, end.endMs);
        if (unitId == 0) return false;
        q.prepare(QStringLiteral("UPDATE recipe_runs SET unit_id = ? WHERE id = ?"));
        q.addBindValue(unitId);
        q.addBindValue(recipeRunId);
        if (!q.exec()) return c_.failed(q, QStringLiteral("ending a recipe run"));
    }
    q.prepare(QStringLiteral("UPDATE recipe_runs SET end_ms = ?, verdict = ?, failing_step = ?, "
                             "reason_text = ?, cause_code = ?, cause_values = ? WHERE id = ?"));
    q.addBindValue(end.endMs);
    q.addBindValue(end.verdict);
    q.addBindValue(end.failingStep >= 0 ? QVariant(end.failingStep) : QVariant(QMetaType::fromType<int>()));
    q.addBindValue(end.reasonText);
    q.addBindValue(CauseCodeColumn(end.cause));
    q.addBindValue(CauseValuesColumn(end.cause));
    q.addBindValue(recipeRunId);
    if (!q.exec()) return c_.failed(q, QStringLiteral("ending a recipe run"));
    q.finish();
    if (!writeRecipeSteps(recipeRunId, end.steps, false)) return false;
    if (!refreshFigures(recipeRunId, formerUnit, QStringLiteral("ending a recipe run"))) return false;
    if (!chain(recipeRunId, QStringLiteral("ending a recipe run"))) return false;
    if (!outbox_.enqueueRecipeRun(q, recipeRunId)) return false;
    if (!outbox_.enqueueEvent(q, recipeRunId)) return false;
    if (!db.commit()) return c_.fail(db.lastError(), QStringLiteral("ending a recipe run")), false;
    return true;
}


qint64 RecipeRunWriter::importRecipeRun(const RecipeRunUpload& u) {
    refusal_.clear();
    if (!c_.isOpen()) return 0;
    QSqlDatabase db = c_.database();
    const QString what = QStringLiteral("adding a station's recipe run");
    if (const QSqlError error = c_.dialect().beginWrite(db); error.isValid()) return c_.fail(error, what), 0;
    const qint64 unitId = runs_.ensureUnit(u.unit.identity, u.unit.linkText, u.unit.lastSeenMs, u.unit.firstSeenMs);
    if (unitId == 0) return 0;
    const RecipeRunRow& r = u.recipeRun;
    QSqlQuery q(db);
    // Sent again, it may have been under another unit here until now.
    q.prepare(QStringLiteral("SELECT unit_id FROM recipe_runs WHERE origin = ? AND local_recipe_run_id = ?"));
    q.addBindValue(u.origin);
    q.addBindValue(u.localRecipeRunId);
    if (!q.exec()) return c_.failed(q, what), 0;
    const qint64 formerUnit = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    q.prepare(QStringLiteral(
        "INSERT INTO recipe_runs (unit_id, recipe_name, recipe_hash, scanned_serial, station, "
        "operator_name, writer, link_text, start_ms, end_ms, verdict, failing_step, reason_text, "
        "origin, local_recipe_run_id, fixture_name, socket_name, cause_code, cause_values, fixture_hash, "
        "tool_version) VALUES (?, ?, ?, ?, ?, ?, NULL, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
        "ON CONFLICT (origin, local_recipe_run_id) DO UPDATE SET unit_id = excluded.unit_id, "
        "scanned_serial = excluded.scanned_serial, end_ms = excluded.end_ms, verdict = excluded.verdict, "
        "failing_step = excluded.failing_step, reason_text = excluded.reason_text, "
        "cause_code = excluded.cause_code, cause_values = excluded.cause_values, "
        "fixture_hash = excluded.fixture_hash, tool_version = excluded.tool_version RETURNING id"));
    q.addBindValue(unitId);
    q.addBindValue(r.recipeName);
    q.addBindValue(r.recipeHash);
    q.addBindValue(TextOrNull(r.scannedSerial));
    q.addBindValue(r.station);
    q.addBindValue(r.operatorName);
    q.addBindValue(r.linkText);
    q.addBindValue(r.startMs);
    q.addBindValue(r.endMs > 0 ? QVariant(r.endMs) : QVariant(QMetaType::fromType<qint64>()));
    q.addBindValue(r.verdict);
    q.addBindValue(r.failingStep >= 0 ? QVariant(r.failingStep) : QVariant(QMetaType::fromType<int>()));
    q.addBindValue(r.reasonText);
    q.addBindValue(u.origin);
    q.addBindValue(u.localRecipeRunId);
    q.addBindValue(TextOrNull(r.fixture));
    q.addBindValue(TextOrNull(r.socket));
    q.addBindValue(CauseCodeColumn(r.cause));
    q.addBindValue(CauseValuesColumn(r.cause));
    q.addBindValue(TextOrNull(r.fixtureHash));
    q.addBindValue(TextOrNull(r.toolVersion));
    if (!q.exec()) return c_.failed(q, what), 0;
    const qint64 id = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    q.prepare(QStringLiteral("DELETE FROM recipe_steps WHERE recipe_run_id = ?"));
    q.addBindValue(id);
    if (!q.exec()) return c_.failed(q, what), 0;
    if (!writeRecipeSteps(id, r.steps, true)) return 0;
    if (!refreshFigures(id, formerUnit, what)) return 0;
    // The server's copies of the steps' runs (those already here; later ones link themselves).
    q.prepare(QStringLiteral("UPDATE runs SET recipe_run_id = ?, recipe_step = ? "
                             "WHERE origin = ? AND local_run_id = ?"));
    for (const RecipeStepRow& step : r.steps) {
        for (qint64 localRun : step.runIds) {
            q.addBindValue(id);
            q.addBindValue(step.index);
            q.addBindValue(u.origin);
            q.addBindValue(localRun);
            if (!q.exec()) return c_.failed(q, what), 0;
        }
    }
    q.finish();
    // The link as it arrives: a unit test changed since it was chained, or one that does
    // not follow the link before it, is refused and stays in the station's outbox.
    QSqlError error;
    if (!TakeContent(db, id, u.content, &error)) return c_.fail(error, what), 0;
    refusal_ = CheckArrivingLink(db, id, u.origin, r.chain, &error);
    if (error.isValid()) return c_.fail(error, what), 0;
    if (!refusal_.isEmpty()) return db.rollback(), 0;
    if (!db.commit()) return c_.fail(db.lastError(), what), 0;
    return id;
}

}  // namespace pb::records
