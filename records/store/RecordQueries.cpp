#include "records/store/RecordQueries.h"

#include <QJsonDocument>
#include <QSqlError>

#include "records/store/EvidenceColumns.h"
#include "records/store/RunFilterSql.h"
#include "records/store/StoreConnection.h"
#include "records/store/CappedTraffic.h"

namespace pb::records {
namespace {

constexpr char kRunSelect[] =
    "SELECT r.id, r.unit_id, u.serial, r.station, r.operator_name, r.link_text, "
    "r.procedure_id, r.start_ms, r.end_ms, r.outcome, r.status_text, r.details, "
    "t.frame_count, t.dropped, r.recipe_run_id, r.recipe_step, r.writer, r.cause_code, r.cause_values, "
    "r.measurements, r.recipe_attempt FROM runs r "
    "JOIN units u ON u.id = r.unit_id LEFT JOIN traffic t ON t.run_id = r.id";

RunRow ReadRun(const QSqlQuery& q) {
    RunRow row;
    row.id = q.value(0).toLongLong();
    row.unitId = q.value(1).toLongLong();
    row.unitSerial = q.value(2).toString();
    row.station = q.value(3).toString();
    row.operatorName = q.value(4).toString();
    row.linkText = q.value(5).toString();
    row.procedure = q.value(6).toString();
    row.startMs = q.value(7).toLongLong();
    row.endMs = q.value(8).toLongLong();
    row.outcome = OutcomeFromCode(q.value(9).toString()).value_or(Outcome::Error);
    row.statusText = q.value(10).toString();
    row.details = QJsonDocument::fromJson(q.value(11).toString().toUtf8()).object();
    row.frameCount = q.value(12).toLongLong();
    row.framesDropped = q.value(13).toLongLong();
    row.recipeRunId = q.value(14).toLongLong();
    row.recipeStep = q.value(15).isNull() ? -1 : q.value(15).toInt();
    // A reader marks nothing: a run its writer left running when it died shows as what
    // the next program that records will make it.
    if (row.outcome == Outcome::Running && !q.value(16).isNull() && !StoreConnection::writerAlive(q.value(16).toString()))
        row.outcome = Outcome::Interrupted;
    row.cause = row.outcome == Outcome::Interrupted && q.value(17).isNull()
                    ? Cause::of(CauseCode::Interrupted)
                    : CauseOfColumns(q.value(17), q.value(18), row.statusText);
    if (row.outcome == Outcome::Running) row.cause = {};
    row.measurements = MeasurementsOfColumn(q.value(19));
    row.recipeAttempt = q.value(20).toInt();
    return row;
}

constexpr char kUnitSelect[] =
    "SELECT u.id, u.unit_key, u.serial, u.link_text, u.model_kind, u.model_text, u.version, "
    "u.device_id, u.first_seen_ms, u.last_seen_ms, "
    "(SELECT COUNT(*) FROM runs r WHERE r.unit_id = u.id) FROM units u";

UnitRow ReadUnit(const QSqlQuery& q) {
    UnitRow row;
    row.id = q.value(0).toLongLong();
    row.key = q.value(1).toString();
    row.identity.serial = q.value(2).toString();
    row.identified = !row.identity.serial.isEmpty();
    row.linkText = q.value(3).toString();
    row.identity.modelKind = q.value(4).isNull() ? -1 : q.value(4).toInt();
    row.identity.modelText = q.value(5).toString();
    row.identity.version = q.value(6).toString();
    row.identity.deviceId = q.value(7).toString();
    row.firstSeenMs = q.value(8).toLongLong();
    row.lastSeenMs = q.value(9).toLongLong();
    row.runCount = q.value(10).toLongLong();
    return row;
}


constexpr char kRecipeRunSelect[] =
    "SELECT rr.id, rr.unit_id, u.serial, rr.recipe_name, rr.recipe_hash, rr.scanned_serial, "
    "rr.station, rr.operator_name, rr.link_text, rr.start_ms, rr.end_ms, rr.verdict, "
    "rr.failing_step, rr.reason_text, rr.fixture_name, rr.socket_name, rr.cause_code, rr.cause_values, rr.retest, "
    "rr.fixture_hash, rr.tool_version, rr.chain_seq, rr.chain_prev, rr.chain_prev_hash, rr.chain_hash "
    "FROM recipe_runs rr JOIN units u ON u.id = rr.unit_id";

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
    row.fixture = q.value(14).toString();
    row.socket = q.value(15).toString();
    row.cause = row.verdict == QLatin1String("running") ? Cause{} : CauseOfColumns(q.value(16), q.value(17), row.reasonText);
    row.retest = q.value(18).isNull() ? -1 : q.value(18).toInt();
    row.fixtureHash = q.value(19).toString();
    row.toolVersion = q.value(20).toString();
    row.chain = {q.value(21).toLongLong(), q.value(22).toLongLong(), q.value(23).toString(), q.value(24).toString()};
    return row;
}

}  // namespace

QList<UnitRow> RecordQueries::units(const QString& serialPart) {
    QList<UnitRow> rows;
    if (!c_.isOpen()) return rows;
    QSqlQuery q(c_.database());
    prepareUnits(q, QLatin1String(kUnitSelect), serialPart);
    if (!q.exec()) return c_.failed(q, QStringLiteral("reading units")), rows;
    while (q.next()) rows << ReadUnit(q);
    return rows;
}

bool RecordQueries::selectById(QSqlQuery& q, const char* select, const char* key, qint64 id,
                             const QString& what) {
    if (!c_.isOpen()) return false;
    q.prepare(QLatin1String(select) + QStringLiteral(" WHERE %1 = ?").arg(QLatin1String(key)));
    q.addBindValue(id);
    if (!q.exec()) return c_.failed(q, what);
    return q.next();
}

std::optional<UnitRow> RecordQueries::unit(qint64 unitId) {
    QSqlQuery q(c_.database());
    if (!selectById(q, kUnitSelect, "u.id", unitId, QStringLiteral("reading a unit"))) return std::nullopt;
    return ReadUnit(q);
}

void RecordQueries::prepareUnits(QSqlQuery& q, const QString& select, const QString& serialPart) {
    // A link's runs before any identify are no unit: never listed as one.
    QString sql = select + QStringLiteral(" WHERE u.serial IS NOT NULL");
    if (!serialPart.isEmpty()) sql += QStringLiteral(" AND ") + ContainsCondition(QStringLiteral("u.serial"));
    q.prepare(sql + QStringLiteral(" ORDER BY u.last_seen_ms DESC, u.id DESC"));
    if (!serialPart.isEmpty()) q.addBindValue(ContainsPattern(serialPart));
}

QList<RunRow> RecordQueries::runs(const RunFilter& filter, int limit) {
    QList<RunRow> rows;
    if (!c_.isOpen()) return rows;
    QVariantList binds;
    QString sql = QLatin1String(kRunSelect) + RunsWhere(filter, &binds) +
                  QStringLiteral(" ORDER BY r.start_ms DESC, r.id DESC");
    if (limit >= 0) sql += QStringLiteral(" LIMIT %1").arg(limit);
    QSqlQuery q(c_.database());
    q.setForwardOnly(true);
    q.prepare(sql);
    for (const QVariant& bind : binds) q.addBindValue(bind);
    if (!q.exec()) return c_.failed(q, QStringLiteral("reading runs")), rows;
    while (q.next()) rows << ReadRun(q);
    return rows;
}

std::optional<RunRow> RecordQueries::run(qint64 runId) {
    QSqlQuery q(c_.database());
    if (!selectById(q, kRunSelect, "r.id", runId, QStringLiteral("reading a run"))) return std::nullopt;
    return ReadRun(q);
}

KeptTraffic RecordQueries::traffic(qint64 runId) {
    if (!c_.isOpen()) return {};
    QSqlQuery q(c_.database());
    q.prepare(QStringLiteral("SELECT data FROM traffic WHERE run_id = ?"));
    q.addBindValue(runId);
    if (!q.exec()) return c_.failed(q, QStringLiteral("reading traffic")), KeptTraffic{};
    if (!q.next()) return {};
    return DecodeTraffic(q.value(0).toByteArray()).value_or(KeptTraffic{});
}

QSqlQuery RecordQueries::unitsQuery(const QString& serialPart) {
    QSqlQuery q(c_.database());
    prepareUnits(q,
                 QStringLiteral("SELECT u.id, COALESCE(u.serial, ''), u.link_text, u.model_text, "
                                "u.version, u.last_seen_ms FROM units u"),
                 serialPart);
    if (c_.isOpen()) q.exec();
    return q;
}

QSqlQuery RecordQueries::runsQuery(const RunFilter& filter) {
    // The procedure runs and the unit tests (recipe runs) in one list: a unit test is a row
    // of its own, with the outcome of its verdict and its failing step.
    // The binds in the order of the text: each half's clause made in its turn.
    QVariantList binds;
    const QString runsWhere = RunsWhere(filter, &binds);
    const QString recipesWhere = RecipeRunsWhere(filter, &binds);
    const QString sql =
        QStringLiteral(
            "SELECT r.id, r.start_ms, COALESCE(u.serial, u.link_text), r.procedure_id, "
            "r.outcome, r.end_ms - r.start_ms, r.operator_name, r.station, r.status_text, "
            "r.unit_id, r.details, 0, NULL, NULL, NULL, r.cause_code, r.cause_values, NULL, "
            "COALESCE(rt.fixture_name, ''), COALESCE(rt.socket_name, '') "
            "FROM runs r JOIN units u ON u.id = r.unit_id LEFT JOIN recipe_runs rt ON rt.id = r.recipe_run_id") +
        runsWhere +
        QStringLiteral(
            " UNION ALL SELECT rr.id, rr.start_ms, COALESCE(u.serial, u.link_text), '%1', "
            "CASE rr.verdict WHEN 'pass' THEN 'ok' WHEN 'fail' THEN 'error' ELSE rr.verdict END, "
            "rr.end_ms - rr.start_ms, rr.operator_name, rr.station, rr.reason_text, rr.unit_id, NULL, 1, "
            "rr.recipe_name, rr.failing_step, (SELECT s.label FROM recipe_steps s WHERE "
            "s.recipe_run_id = rr.id AND s.step_index = rr.failing_step), rr.cause_code, rr.cause_values, rr.retest, "
            "COALESCE(rr.fixture_name, ''), COALESCE(rr.socket_name, '') "
            "FROM recipe_runs rr JOIN units u ON u.id = rr.unit_id")
            .arg(QLatin1String(kRecipeProcedure)) +
        recipesWhere + QStringLiteral(" ORDER BY 2 DESC, 1 DESC");
    QSqlQuery q(c_.database());
    q.prepare(sql);
    for (const QVariant& bind : binds) q.addBindValue(bind);
    if (c_.isOpen()) q.exec();
    return q;
}


bool RecordQueries::readRecipeSteps(RecipeRunRow& row) {
    QSqlQuery q(c_.database());
    q.prepare(QStringLiteral("SELECT step_index, kind, label, verdict, reason_text, attempts, measured, "
                             "cause_code, cause_values, measurements, attempt_causes "
                             "FROM recipe_steps WHERE recipe_run_id = ? ORDER BY step_index"));
    q.addBindValue(row.id);
    if (!q.exec()) return c_.failed(q, QStringLiteral("reading a recipe's steps"));
    while (q.next()) {
        RecipeStepRow s;
        s.index = q.value(0).toInt();
        s.kind = q.value(1).toString();
        s.label = q.value(2).toString();
        s.verdict = q.value(3).toString();
        s.reasonText = q.value(4).toString();
        s.attempts = q.value(5).toInt();
        s.measured = q.value(6).toString();
        const bool ran = s.verdict != QLatin1String("not-run") && s.verdict != QLatin1String("running");
        s.cause = ran ? CauseOfColumns(q.value(7), q.value(8), s.reasonText) : Cause{};
        s.measurements = MeasurementsOfColumn(q.value(9));
        s.attemptCauses = CausesOfColumn(q.value(10));
        row.steps << s;
    }
    q.prepare(QStringLiteral("SELECT recipe_step, id FROM runs WHERE recipe_run_id = ? "
                             "ORDER BY start_ms, id"));
    q.addBindValue(row.id);
    if (!q.exec()) return c_.failed(q, QStringLiteral("reading a recipe's runs"));
    while (q.next()) {
        const int step = q.value(0).toInt();
        for (RecipeStepRow& s : row.steps)
            if (s.index == step) s.runIds << q.value(1).toLongLong();
    }
    return true;
}

QList<RecipeRunRow> RecordQueries::recipeRuns(const RunFilter& filter, int limit) {
    QList<RecipeRunRow> rows;
    if (!c_.isOpen()) return rows;
    QVariantList binds;
    const QString where = RecipeRunsWhere(filter, &binds);
    QString sql = QLatin1String(kRecipeRunSelect) + where;
    sql += QStringLiteral(" ORDER BY rr.start_ms DESC, rr.id DESC");
    if (limit >= 0) sql += QStringLiteral(" LIMIT %1").arg(limit);
    QSqlQuery q(c_.database());
    q.prepare(sql);
    for (const QVariant& b : binds) q.addBindValue(b);
    if (!q.exec()) return c_.failed(q, QStringLiteral("reading recipe runs")), rows;
    while (q.next()) rows << ReadRecipeRun(q);
    q.finish();
    for (RecipeRunRow& row : rows)
        if (!readRecipeSteps(row)) return {};
    return rows;
}

std::optional<RecipeRunRow> RecordQueries::recipeRun(qint64 recipeRunId) {
    QSqlQuery q(c_.database());
    if (!selectById(q, kRecipeRunSelect, "rr.id", recipeRunId, QStringLiteral("reading a recipe run")))
        return std::nullopt;
    RecipeRunRow row = ReadRecipeRun(q);
    q.finish();
    if (!readRecipeSteps(row)) return std::nullopt;
    return row;
}

qint64 RecordQueries::recipeRunOf(qint64 runId) {
    if (!c_.isOpen()) return 0;
    QSqlQuery q(c_.database());
    q.prepare(QStringLiteral("SELECT recipe_run_id FROM runs WHERE id = ?"));
    q.addBindValue(runId);
    if (!q.exec()) return c_.failed(q, QStringLiteral("reading a run")), 0;
    return q.next() ? q.value(0).toLongLong() : 0;
}

}  // namespace pb::records
