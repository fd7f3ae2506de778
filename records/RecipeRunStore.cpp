// The recipe runs of the store: a unit test of a product's recipe, its steps (every one,
// "not-run" until reached) and the procedure runs tied to each step.
#include <QHostInfo>
#include <QSqlError>

#include "records/RecordStore.h"

namespace pb::records {
namespace {

QVariant NullableText(const QString& text) {
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

constexpr char kRecipeRunSelect[] =
    "SELECT rr.id, rr.unit_id, u.serial, rr.recipe_name, rr.recipe_hash, rr.scanned_serial, "
    "rr.station, rr.operator_name, rr.link_text, rr.start_ms, rr.end_ms, rr.verdict, "
    "rr.failing_step, rr.reason_text FROM recipe_runs rr JOIN units u ON u.id = rr.unit_id";

RecipeRunRow ReadRecipeRun(const QSqlQuery& q) {
    RecipeRunRow row;
    row.id = q.value(0).toLongLong();
    row.unitId = q.value(1).toLongLong();
    row.unitSerial = q.value(2).toString();
    row.recipeName = q.value(3).toString();
    row.recipeHash = q.value(4).toString();
    row.scannedSerial = q.value(5).toString();
    row.station = q.value(6).toString();
    row.operatorName = q.value(7).toString();
    row.linkText = q.value(8).toString();
    row.startMs = q.value(9).toLongLong();
    row.endMs = q.value(10).toLongLong();
    row.verdict = q.value(11).toString();
    row.failingStep = q.value(12).isNull() ? -1 : q.value(12).toInt();
    row.reasonText = q.value(13).toString();
    return row;
}

}  // namespace

qint64 RecordStore::beginRecipeRun(const RecipeRunStart& start) {
    if (!open_) return 0;
    QSqlDatabase db = database();
    if (const QSqlError error = dialect_->beginWrite(db); error.isValid())
        return fail(error, QStringLiteral("starting a recipe run")), 0;
    // Under its link until the controller says which unit it is: a scanned serial is a
    // label, not a unit (and has no model family); it stays with the recipe run.
    const qint64 unitId = ensureUnit(UnitIdentity{}, start.linkText, start.startMs);
    if (unitId == 0) return 0;
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "INSERT INTO recipe_runs (unit_id, recipe_name, recipe_hash, scanned_serial, station, "
        "operator_name, link_text, start_ms, writer, verdict) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, 'running')") +
              (dialect_->keyFromReturning ? QStringLiteral(" RETURNING id") : QString()));
    q.addBindValue(unitId);
    q.addBindValue(start.recipeName);
    q.addBindValue(start.recipeHash);
    q.addBindValue(NullableText(start.scannedSerial.trimmed()));
    q.addBindValue(start.station.isEmpty() ? QHostInfo::localHostName() : start.station);
    q.addBindValue(start.operatorName);
    q.addBindValue(start.linkText);
    q.addBindValue(start.startMs);
    q.addBindValue(writerToken());
    if (!q.exec()) return failed(q, QStringLiteral("starting a recipe run")), 0;
    const qint64 id = insertedId(q);
    q.finish();
    if (!writeRecipeSteps(id, start.steps, true)) return 0;
    if (!db.commit()) return fail(db.lastError(), QStringLiteral("starting a recipe run")), 0;
    return id;
}

int RecordStore::markInterruptedRecipeRuns() {
    QSqlDatabase db = database();
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT id, writer FROM recipe_runs WHERE verdict = 'running'")))
        return failed(q, QStringLiteral("reading unfinished recipe runs")), 0;
    QList<qint64> dead;
    while (q.next())
        if (!writerAlive(q.value(1).toString())) dead << q.value(0).toLongLong();
    q.finish();
    if (dead.isEmpty()) return 0;
    if (const QSqlError error = dialect_->beginWrite(db); error.isValid())
        return fail(error, QStringLiteral("marking interrupted recipe runs")), 0;
    QSqlQuery mark(db);
    QSqlQuery queue(db);
    mark.prepare(QStringLiteral("UPDATE recipe_runs SET verdict = 'interrupted' WHERE id = ?"));
    for (qint64 id : dead) {
        mark.addBindValue(id);
        if (!mark.exec()) return failed(mark, QStringLiteral("marking interrupted recipe runs")), 0;
        if (!enqueueRecipeRun(queue, id)) return 0;
    }
    if (!db.commit()) return fail(db.lastError(), QStringLiteral("marking interrupted recipe runs")), 0;
    return int(dead.size());
}

bool RecordStore::writeRecipeSteps(qint64 recipeRunId, const QList<RecipeStepRow>& steps, bool insert) {
    QSqlQuery q(database());
    q.prepare(insert ? QStringLiteral("INSERT INTO recipe_steps (kind, label, verdict, reason_text, "
                                      "attempts, measured, recipe_run_id, step_index) "
                                      "VALUES (?, ?, ?, ?, ?, ?, ?, ?)")
                     : QStringLiteral("UPDATE recipe_steps SET kind = ?, label = ?, verdict = ?, "
                                      "reason_text = ?, attempts = ?, measured = ? "
                                      "WHERE recipe_run_id = ? AND step_index = ?"));
    for (const RecipeStepRow& s : steps) {
        q.addBindValue(s.kind);
        q.addBindValue(s.label);
        q.addBindValue(s.verdict);
        q.addBindValue(s.reasonText);
        q.addBindValue(s.attempts);
        q.addBindValue(s.measured);
        q.addBindValue(recipeRunId);
        q.addBindValue(s.index);
        if (!q.exec()) return failed(q, QStringLiteral("keeping the recipe's steps"));
    }
    return true;
}

bool RecordStore::linkRunToRecipe(qint64 runId, qint64 recipeRunId, int stepIndex) {
    if (!open_ || runId <= 0 || recipeRunId <= 0) return false;
    QSqlQuery q(database());
    q.prepare(QStringLiteral("UPDATE runs SET recipe_run_id = ?, recipe_step = ? WHERE id = ?"));
    q.addBindValue(recipeRunId);
    q.addBindValue(stepIndex);
    q.addBindValue(runId);
    if (!q.exec()) return failed(q, QStringLiteral("tying a run to its recipe"));
    // A recipe run already ended (and perhaps sent) goes again with its new run.
    return enqueueRecipeRun(q, recipeRunId);
}

bool RecordStore::recordRecipeStep(qint64 recipeRunId, const RecipeStepRow& step) {
    if (!open_ || recipeRunId <= 0) return false;
    return writeRecipeSteps(recipeRunId, {step}, false);
}

bool RecordStore::endRecipeRun(qint64 recipeRunId, const RecipeRunEnd& end) {
    if (!open_ || recipeRunId <= 0) return false;
    QSqlDatabase db = database();
    if (const QSqlError error = dialect_->beginWrite(db); error.isValid())
        return fail(error, QStringLiteral("ending a recipe run")), false;
    QSqlQuery q(db);
    if (end.identity && !end.identity->serial.isEmpty()) {
        // The unit the controller says it is; a scanned serial that differs stays with the run.
        q.prepare(QStringLiteral("SELECT link_text FROM recipe_runs WHERE id = ?"));
        q.addBindValue(recipeRunId);
        if (!q.exec()) return failed(q, QStringLiteral("ending a recipe run"));
        const QString link = q.next() ? q.value(0).toString() : QString();
        q.finish();
        const qint64 unitId = ensureUnit(*end.identity, link, end.endMs);
        if (unitId == 0) return false;
        q.prepare(QStringLiteral("UPDATE recipe_runs SET unit_id = ? WHERE id = ?"));
        q.addBindValue(unitId);
        q.addBindValue(recipeRunId);
        if (!q.exec()) return failed(q, QStringLiteral("ending a recipe run"));
    }
    q.prepare(QStringLiteral("UPDATE recipe_runs SET end_ms = ?, verdict = ?, failing_step = ?, "
                             "reason_text = ? WHERE id = ?"));
    q.addBindValue(end.endMs);
    q.addBindValue(end.verdict);
    q.addBindValue(end.failingStep >= 0 ? QVariant(end.failingStep) : QVariant(QMetaType::fromType<int>()));
    q.addBindValue(end.reasonText);
    q.addBindValue(recipeRunId);
    if (!q.exec()) return failed(q, QStringLiteral("ending a recipe run"));
    q.finish();
    if (!writeRecipeSteps(recipeRunId, end.steps, false)) return false;
    if (!enqueueRecipeRun(q, recipeRunId)) return false;
    if (!db.commit()) return fail(db.lastError(), QStringLiteral("ending a recipe run")), false;
    return true;
}

bool RecordStore::readRecipeSteps(RecipeRunRow& row) {
    QSqlQuery q(database());
    q.prepare(QStringLiteral("SELECT step_index, kind, label, verdict, reason_text, attempts, measured "
                             "FROM recipe_steps WHERE recipe_run_id = ? ORDER BY step_index"));
    q.addBindValue(row.id);
    if (!q.exec()) return failed(q, QStringLiteral("reading a recipe's steps"));
    while (q.next()) {
        RecipeStepRow s;
        s.index = q.value(0).toInt();
        s.kind = q.value(1).toString();
        s.label = q.value(2).toString();
        s.verdict = q.value(3).toString();
        s.reasonText = q.value(4).toString();
        s.attempts = q.value(5).toInt();
        s.measured = q.value(6).toString();
        row.steps << s;
    }
    q.prepare(QStringLiteral("SELECT recipe_step, id FROM runs WHERE recipe_run_id = ? "
                             "ORDER BY start_ms, id"));
    q.addBindValue(row.id);
    if (!q.exec()) return failed(q, QStringLiteral("reading a recipe's runs"));
    while (q.next()) {
        const int step = q.value(0).toInt();
        for (RecipeStepRow& s : row.steps)
            if (s.index == step) s.runIds << q.value(1).toLongLong();
    }
    return true;
}

QString RecordStore::recipeWhereClause(const RunFilter& filter, QVariantList* binds) const {
    QStringList parts;
    if (filter.unitId > 0) {
        parts << QStringLiteral("rr.unit_id = ?");
        *binds << filter.unitId;
    }
    if (!filter.serial.isEmpty()) {
        parts << QStringLiteral("(%1 OR %2)").arg(ContainsCondition(QStringLiteral("u.serial")),
                                                   ContainsCondition(QStringLiteral("rr.scanned_serial")));
        *binds << ContainsPattern(filter.serial) << ContainsPattern(filter.serial);
    }
    if (!filter.station.isEmpty()) {
        parts << ContainsCondition(QStringLiteral("rr.station"));
        *binds << ContainsPattern(filter.station);
    }
    if (filter.fromMs > 0) {
        parts << QStringLiteral("rr.start_ms >= ?");
        *binds << filter.fromMs;
    }
    if (filter.toMs > 0) {
        parts << QStringLiteral("rr.start_ms < ?");
        *binds << filter.toMs;
    }
    if (filter.outcome) {
        // A unit test's outcome is that of its verdict; no verdict is "open-failed".
        const QStringList verdicts = RecipeVerdictsOf(*filter.outcome);
        if (verdicts.isEmpty()) parts << QStringLiteral("1 = 0");
        else {
            parts << QStringLiteral("rr.verdict = ?");
            *binds << verdicts.constFirst();
        }
    }
    if (!filter.procedure.isEmpty() && filter.procedure != QLatin1String(kRecipeProcedure))
        parts << QStringLiteral("1 = 0");
    if (filter.selects()) {
        QStringList either;
        if (!filter.recipeRunIds.isEmpty()) either << QStringLiteral("rr.id IN (%1)").arg(marks(filter.recipeRunIds, binds));
        if (!filter.runIds.isEmpty())
            either << QStringLiteral("rr.id IN (SELECT recipe_run_id FROM runs WHERE id IN (%1))")
                          .arg(marks(filter.runIds, binds));
        parts << u'(' + either.join(QLatin1String(" OR ")) + u')';
    }
    return parts.isEmpty() ? QString() : QStringLiteral(" WHERE ") + parts.join(QLatin1String(" AND "));
}

QList<RecipeRunRow> RecordStore::recipeRuns(const RunFilter& filter, int limit) {
    QList<RecipeRunRow> rows;
    if (!open_) return rows;
    QVariantList binds;
    const QString where = recipeWhereClause(filter, &binds);
    QString sql = QLatin1String(kRecipeRunSelect) + where;
    sql += QStringLiteral(" ORDER BY rr.start_ms DESC, rr.id DESC");
    if (limit >= 0) sql += QStringLiteral(" LIMIT %1").arg(limit);
    QSqlQuery q(database());
    q.prepare(sql);
    for (const QVariant& b : binds) q.addBindValue(b);
    if (!q.exec()) return failed(q, QStringLiteral("reading recipe runs")), rows;
    while (q.next()) rows << ReadRecipeRun(q);
    q.finish();
    for (RecipeRunRow& row : rows)
        if (!readRecipeSteps(row)) return {};
    return rows;
}

std::optional<RecipeRunRow> RecordStore::recipeRun(qint64 recipeRunId) {
    QSqlQuery q(database());
    if (!selectById(q, kRecipeRunSelect, "rr.id", recipeRunId, QStringLiteral("reading a recipe run")))
        return std::nullopt;
    RecipeRunRow row = ReadRecipeRun(q);
    q.finish();
    if (!readRecipeSteps(row)) return std::nullopt;
    return row;
}

std::optional<RecipeRunUpload> RecordStore::recipeUploadOf(qint64 recipeRunId) {
    std::optional<RecipeRunRow> row = recipeRun(recipeRunId);
    if (!row) return std::nullopt;
    const std::optional<UnitRow> owner = unit(row->unitId);
    if (!owner) return std::nullopt;
    return RecipeRunUpload{origin_, recipeRunId, *owner, *row};
}

qint64 RecordStore::importRecipeRun(const RecipeRunUpload& u) {
    if (!open_) return 0;
    QSqlDatabase db = database();
    const QString what = QStringLiteral("adding a station's recipe run");
    if (const QSqlError error = dialect_->beginWrite(db); error.isValid()) return fail(error, what), 0;
    const qint64 unitId = ensureUnit(u.unit.identity, u.unit.linkText, u.unit.lastSeenMs, u.unit.firstSeenMs);
    if (unitId == 0) return 0;
    const RecipeRunRow& r = u.recipeRun;
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "INSERT INTO recipe_runs (unit_id, recipe_name, recipe_hash, scanned_serial, station, "
        "operator_name, writer, link_text, start_ms, end_ms, verdict, failing_step, reason_text, "
        "origin, local_recipe_run_id) VALUES (?, ?, ?, ?, ?, ?, NULL, ?, ?, ?, ?, ?, ?, ?, ?) "
        "ON CONFLICT (origin, local_recipe_run_id) DO UPDATE SET unit_id = excluded.unit_id, "
        "scanned_serial = excluded.scanned_serial, end_ms = excluded.end_ms, verdict = excluded.verdict, "
        "failing_step = excluded.failing_step, reason_text = excluded.reason_text RETURNING id"));
    q.addBindValue(unitId);
    q.addBindValue(r.recipeName);
    q.addBindValue(r.recipeHash);
    q.addBindValue(NullableText(r.scannedSerial));
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
    if (!q.exec()) return failed(q, what), 0;
    const qint64 id = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    q.prepare(QStringLiteral("DELETE FROM recipe_steps WHERE recipe_run_id = ?"));
    q.addBindValue(id);
    if (!q.exec()) return failed(q, what), 0;
    if (!writeRecipeSteps(id, r.steps, true)) return 0;
    // The server's copies of the steps' runs (those already here; later ones link themselves).
    q.prepare(QStringLiteral("UPDATE runs SET recipe_run_id = ?, recipe_step = ? "
                             "WHERE origin = ? AND local_run_id = ?"));
    for (const RecipeStepRow& step : r.steps) {
        for (qint64 localRun : step.runIds) {
            q.addBindValue(id);
            q.addBindValue(step.index);
            q.addBindValue(u.origin);
            q.addBindValue(localRun);
            if (!q.exec()) return failed(q, what), 0;
        }
    }
    if (!db.commit()) return fail(db.lastError(), what), 0;
    return id;
}

qint64 RecordStore::recipeRunOf(qint64 runId) {
    if (!open_) return 0;
    QSqlQuery q(database());
    q.prepare(QStringLiteral("SELECT recipe_run_id FROM runs WHERE id = ?"));
    q.addBindValue(runId);
    if (!q.exec()) return failed(q, QStringLiteral("reading a run")), 0;
    return q.next() ? q.value(0).toLongLong() : 0;
}

}  // namespace pb::records
