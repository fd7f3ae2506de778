#include "records/store/Migrations.h"

#include <QSqlError>
#include <QSqlQuery>

#include "records/store/FigureRollup.h"
#include "records/store/OldCauses.h"
#include "records/store/RecordChain.h"
#include "records/store/ReplyLatencies.h"

namespace pb::records {

const QList<Migration>& Migrations() {
    static const QList<Migration> steps = {
        {1,
         {QStringLiteral("CREATE TABLE schema_info (name VARCHAR(40) PRIMARY KEY, "
                         "value VARCHAR(200) NOT NULL)"),
          QStringLiteral("INSERT INTO schema_info (name, value) VALUES ('application', '%1')")
              .arg(QLatin1String(kSchemaApplication)),
          QStringLiteral("INSERT INTO schema_info (name, value) VALUES ('version', '0')"),
          QStringLiteral("CREATE TABLE units (id {KEY}, unit_key VARCHAR(300) NOT NULL UNIQUE, "
                         "serial VARCHAR(100), link_text VARCHAR(200), model_kind INTEGER, "
                         "model_text VARCHAR(200), version VARCHAR(100), device_id VARCHAR(100), "
                         "first_seen_ms {BIG} NOT NULL, last_seen_ms {BIG} NOT NULL)"),
          QStringLiteral("CREATE TABLE runs (id {KEY}, unit_id {BIG} NOT NULL REFERENCES units(id), "
                         "station VARCHAR(200), operator_name VARCHAR(200), writer VARCHAR(200), "
                         "link_text VARCHAR(200), procedure_id VARCHAR(100) NOT NULL, "
                         "start_ms {BIG} NOT NULL, end_ms {BIG}, outcome VARCHAR(20) NOT NULL, "
                         "status_text TEXT, details TEXT)"),
          QStringLiteral("CREATE INDEX runs_by_start ON runs (start_ms)"),
          QStringLiteral("CREATE INDEX runs_by_unit ON runs (unit_id, start_ms)")}},
        {2,
         {QStringLiteral("CREATE INDEX runs_by_outcome ON runs (outcome)"),
          QStringLiteral("CREATE TABLE traffic (run_id {BIG} PRIMARY KEY REFERENCES runs(id), "
                         "frame_count {BIG} NOT NULL, dropped {BIG} NOT NULL, data {BLOB})")}},
        // Recipe runs: one unit test of a product's recipe with its steps, each step's
        // procedure runs tied to it.
        {3,
         {QStringLiteral("CREATE TABLE recipe_runs (id {KEY}, unit_id {BIG} NOT NULL REFERENCES units(id), "
                         "recipe_name VARCHAR(200) NOT NULL, recipe_hash VARCHAR(64) NOT NULL, "
                         "scanned_serial VARCHAR(100), station VARCHAR(200), operator_name VARCHAR(200), "
                         "writer VARCHAR(200), link_text VARCHAR(200), start_ms {BIG} NOT NULL, "
                         "end_ms {BIG}, verdict VARCHAR(20) NOT NULL, failing_step INTEGER, "
                         "reason_text TEXT)"),
          QStringLiteral("CREATE INDEX recipe_runs_by_start ON recipe_runs (start_ms)"),
          QStringLiteral("CREATE INDEX recipe_runs_by_unit ON recipe_runs (unit_id, start_ms)"),
          QStringLiteral("CREATE TABLE recipe_steps (recipe_run_id {BIG} NOT NULL REFERENCES recipe_runs(id), "
                         "step_index INTEGER NOT NULL, kind VARCHAR(40) NOT NULL, label VARCHAR(200), "
                         "verdict VARCHAR(20) NOT NULL, reason_text TEXT, attempts INTEGER NOT NULL, "
                         "measured TEXT, PRIMARY KEY (recipe_run_id, step_index))"),
          QStringLiteral("ALTER TABLE runs ADD COLUMN recipe_run_id {BIG} REFERENCES recipe_runs(id)"),
          QStringLiteral("ALTER TABLE runs ADD COLUMN recipe_step INTEGER"),
          QStringLiteral("CREATE INDEX runs_by_recipe_run ON runs (recipe_run_id, recipe_step)")}},
        // Shared records. A run sent to a server keeps where it came from (the station's
        // store and its id there), so a retry updates it instead of adding it twice; so does
        // a recipe run. The outbox holds a station's runs and recipe runs still to send, in order.
        {4,
         {QStringLiteral("ALTER TABLE runs ADD COLUMN origin VARCHAR(40)"),
          QStringLiteral("ALTER TABLE runs ADD COLUMN local_run_id {BIG}"),
          QStringLiteral("CREATE UNIQUE INDEX runs_by_origin ON runs (origin, local_run_id)"),
          QStringLiteral("CREATE INDEX runs_by_station ON runs (station, start_ms)"),
          QStringLiteral("ALTER TABLE recipe_runs ADD COLUMN origin VARCHAR(40)"),
          QStringLiteral("ALTER TABLE recipe_runs ADD COLUMN local_recipe_run_id {BIG}"),
          QStringLiteral("CREATE UNIQUE INDEX recipe_runs_by_origin ON recipe_runs (origin, local_recipe_run_id)"),
          // Each entry is a run or a recipe run.
          QStringLiteral("CREATE TABLE outbox (id {KEY}, run_id {BIG} UNIQUE REFERENCES runs(id), "
                         "recipe_run_id {BIG} UNIQUE REFERENCES recipe_runs(id), "
                         "queued_ms {BIG} NOT NULL, changes INTEGER NOT NULL DEFAULT 0)")}},
        // A unit is its model family and serial: two controllers of different families
        // that report the same serial are two units. Known units get the new key (their
        // runs stay theirs); a serial whose family was never read keeps "serial:<serial>".
        {5,
         {QStringLiteral("UPDATE units SET unit_key = 'unit:' || CAST(model_kind AS VARCHAR(12)) || ':' || serial "
                         "WHERE serial IS NOT NULL AND model_kind IS NOT NULL")}},
        // Fixtures: a recipe run keeps the fixture and the socket its unit sat in (null for
        // a unit tested alone, as every run kept before).
        {6,
         {QStringLiteral("ALTER TABLE recipe_runs ADD COLUMN fixture_name VARCHAR(200)"),
          QStringLiteral("ALTER TABLE recipe_runs ADD COLUMN socket_name VARCHAR(100)"),
          QStringLiteral("CREATE INDEX recipe_runs_by_fixture ON recipe_runs (fixture_name, socket_name)")}},
        // The line's figures: each unit test marked when it is its unit's first of its
        // recipe, and the unit tests counted by hour, station, fixture, socket and recipe
        // (FigureRollup.h), so that the figures of a month read thousands of rows.
        {7,
         QStringList{
             QStringLiteral("ALTER TABLE recipe_runs ADD COLUMN first_test INTEGER"),
             QStringLiteral("CREATE INDEX recipe_runs_by_unit_recipe ON recipe_runs (unit_id, recipe_name, start_ms)"),
             QStringLiteral("CREATE TABLE recipe_run_hours (hour_ms {BIG} NOT NULL, station VARCHAR(200) NOT NULL, "
                            "fixture_name VARCHAR(200) NOT NULL, socket_name VARCHAR(100) NOT NULL, "
                            "recipe_name VARCHAR(200) NOT NULL, tests {BIG} NOT NULL, passed {BIG} NOT NULL, "
                            "failed {BIG} NOT NULL, interrupted {BIG} NOT NULL, first_tests {BIG} NOT NULL, "
                            "first_passed {BIG} NOT NULL, first_failed {BIG} NOT NULL, "
                            "first_interrupted {BIG} NOT NULL, "
                            "PRIMARY KEY (hour_ms, station, fixture_name, socket_name, recipe_name))"),
             QStringLiteral("CREATE TABLE recipe_failure_hours (hour_ms {BIG} NOT NULL, station VARCHAR(200) NOT NULL, "
                            "fixture_name VARCHAR(200) NOT NULL, socket_name VARCHAR(100) NOT NULL, "
                            "recipe_name VARCHAR(200) NOT NULL, failing_step INTEGER NOT NULL, "
                            "label VARCHAR(200) NOT NULL, reason_text TEXT NOT NULL, failures {BIG} NOT NULL)"),
             QStringLiteral("CREATE INDEX recipe_run_hours_by_station ON recipe_run_hours (station, hour_ms)"),
             QStringLiteral("CREATE INDEX recipe_failure_hours_by_bucket ON recipe_failure_hours "
                            "(hour_ms, station, fixture_name, socket_name, recipe_name)"),
             QStringLiteral("CREATE INDEX recipe_failure_hours_by_station ON recipe_failure_hours (station, hour_ms)")} +
             FirstTestMarksAndHoursStatements()},
        // The line at a glance: each station's last sign of life, written every few
        // seconds while a window is open or a command line runs, one row a station.
        {8,
         {QStringLiteral("CREATE TABLE station_heartbeats (station VARCHAR(200) PRIMARY KEY, "
                         "seen_ms {BIG} NOT NULL, state VARCHAR(20) NOT NULL, product VARCHAR(200), "
                         "sockets INTEGER NOT NULL DEFAULT 0, writer VARCHAR(200), since_ms {BIG})")}},
        // Each run's reply latencies counted by the ms, kept with its traffic
        // (ReplyLatencies.h), and the fixtures' sockets read without sorting every hour.
        {9,
         {QStringLiteral("CREATE TABLE reply_latencies (run_id {BIG} PRIMARY KEY REFERENCES runs(id), "
                         "replies {BIG} NOT NULL, data {BLOB})"),
          QStringLiteral("CREATE INDEX recipe_run_hours_by_socket ON recipe_run_hours "
                         "(fixture_name, socket_name, station, hour_ms, passed, failed)")},
         FillReplyLatencies},
        // The passed and failed unit tests' times counted by the ms in their hour, station,
        // recipe and verdict (FigureRollup.h), for the distributions of a month.
        {10,
         {QStringLiteral("CREATE TABLE recipe_time_hours (hour_ms {BIG} NOT NULL, station VARCHAR(200) NOT NULL, "
                         "recipe_name VARCHAR(200) NOT NULL, verdict VARCHAR(20) NOT NULL, tests {BIG} NOT NULL, "
                         "data {BLOB}, PRIMARY KEY (hour_ms, station, recipe_name, verdict))"),
          QStringLiteral("CREATE INDEX recipe_time_hours_by_station ON recipe_time_hours (station, hour_ms)")},
         RebuildRecipeTimeHours},
        // Records as evidence: every run, unit test and step keeps its cause as a code with
        // its values, and what it found as typed measurements (evidence/); the failures are
        // counted by cause. Rows kept before keep their words; their cause is the one their
        // words or details name, else unknown (OldCauses.h).
        {11,
         {QStringLiteral("ALTER TABLE runs ADD COLUMN cause_code VARCHAR(40)"),
          QStringLiteral("ALTER TABLE runs ADD COLUMN cause_values TEXT"),
          QStringLiteral("ALTER TABLE runs ADD COLUMN measurements TEXT"),
          QStringLiteral("ALTER TABLE recipe_runs ADD COLUMN cause_code VARCHAR(40)"),
          QStringLiteral("ALTER TABLE recipe_runs ADD COLUMN cause_values TEXT"),
          QStringLiteral("ALTER TABLE recipe_steps ADD COLUMN cause_code VARCHAR(40)"),
          QStringLiteral("ALTER TABLE recipe_steps ADD COLUMN cause_values TEXT"),
          QStringLiteral("ALTER TABLE recipe_steps ADD COLUMN measurements TEXT"),
          QStringLiteral("ALTER TABLE recipe_steps ADD COLUMN attempt_causes TEXT"),
          QStringLiteral("ALTER TABLE recipe_failure_hours ADD COLUMN cause_code VARCHAR(40) NOT NULL DEFAULT 'unknown'")},
         FillOldCauses},
        // Records an auditor can trust: each unit test keeps the tool's version and the
        // fixture file's SHA-256 (the recipe file's is recipe_hash), and each station's unit
        // tests form a hash chain (RecordChain.h), the unit tests ended before chained from
        // now. An outbox entry a server refused keeps the reason.
        {12,
         {QStringLiteral("ALTER TABLE recipe_runs ADD COLUMN tool_version VARCHAR(100)"),
          QStringLiteral("ALTER TABLE recipe_runs ADD COLUMN fixture_hash VARCHAR(64)"),
          QStringLiteral("ALTER TABLE recipe_runs ADD COLUMN chain_seq {BIG}"),
          QStringLiteral("ALTER TABLE recipe_runs ADD COLUMN chain_prev {BIG}"),
          QStringLiteral("ALTER TABLE recipe_runs ADD COLUMN chain_prev_hash VARCHAR(64)"),
          QStringLiteral("ALTER TABLE recipe_runs ADD COLUMN chain_hash VARCHAR(64)"),
          QStringLiteral("CREATE INDEX recipe_runs_by_chain ON recipe_runs (station, chain_seq)"),
          QStringLiteral("CREATE TABLE chain_heads (chain VARCHAR(300) PRIMARY KEY, station VARCHAR(200) NOT NULL, "
                         "seq {BIG} NOT NULL, last_id {BIG} NOT NULL, last_hash VARCHAR(64) NOT NULL)"),
          QStringLiteral("ALTER TABLE outbox ADD COLUMN refused VARCHAR(40)")},
         ChainOldUnitTests},
        // Live events: each unit test that ends waits here, in order, until the events
        // broker has acknowledged its message (events/EventPublisher.h).
        {14,
         {QStringLiteral("CREATE TABLE event_outbox (id {KEY}, recipe_run_id {BIG} NOT NULL UNIQUE "
                         "REFERENCES recipe_runs(id), queued_ms {BIG} NOT NULL)")}},
        // Retests: each unit test numbered among its unit's tests of its recipe (0 for the
        // first), the first marked when the unit passed in the end, those counted in the
        // hours by the first test's verdict (the final yield beside the first-pass yield),
        // and each step's procedure run with the attempt of the step that made it.
        {15,
         QStringList{QStringLiteral("ALTER TABLE recipe_runs ADD COLUMN retest INTEGER"),
                     QStringLiteral("ALTER TABLE recipe_runs ADD COLUMN final_pass INTEGER"),
                     QStringLiteral("ALTER TABLE runs ADD COLUMN recipe_attempt INTEGER"),
                     QStringLiteral("ALTER TABLE recipe_run_hours ADD COLUMN final_after_pass {BIG} NOT NULL DEFAULT 0"),
                     QStringLiteral("ALTER TABLE recipe_run_hours ADD COLUMN final_after_fail {BIG} NOT NULL DEFAULT 0"),
                     QStringLiteral("ALTER TABLE recipe_run_hours ADD COLUMN final_after_interrupted {BIG} NOT NULL DEFAULT 0")} +
             RebuildFiguresStatements()},
    };
    return steps;
}

int LatestSchemaVersion() { return Migrations().constLast().version; }

int SchemaVersion(QSqlDatabase& db, const SqlDialect& dialect) {
    if (dialect.isEmpty(db)) return 0;
    if (!db.tables(QSql::Tables).contains(QLatin1String("schema_info"))) return -1;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT name, value FROM schema_info"))) return -1;
    bool ours = false;
    int version = -1;
    while (q.next()) {
        const QString name = q.value(0).toString();
        if (name == QLatin1String("application"))
            ours = q.value(1).toString() == QLatin1String(kSchemaApplication);
        else if (name == QLatin1String("version"))
            version = q.value(1).toString().toInt();
    }
    return ours ? version : -1;
}

RecordsStatus Migrate(QSqlDatabase& db, const SqlDialect& dialect, int target) {
    if (target < 0) target = LatestSchemaVersion();
    int current = SchemaVersion(db, dialect);
    if (current < 0) return {RecordsError::Foreign, QStringLiteral("no Panel Bench schema"), {}, {}};
    if (current > LatestSchemaVersion())
        return {RecordsError::NewerSchema, QStringLiteral("schema version %1").arg(current), {}, {}};
    if (current >= target) return {};
    // The write lock first, then the version again: two programs (or two unit threads)
    // opening a new file at once would otherwise both find it empty and both make it.
    QSqlError error = dialect.beginWrite(db);
    if (!error.isValid()) error = dialect.lockSchema(db);
    if (error.isValid()) {
        db.rollback();
        return {dialect.classify(error), error.text(), {}, {}};
    }
    current = SchemaVersion(db, dialect);
    if (current < 0 || current > LatestSchemaVersion()) {
        db.rollback();
        return Migrate(db, dialect, target);  // says why, as above
    }
    QSqlQuery q(db);
    for (const Migration& step : Migrations()) {
        if (step.version <= current || step.version > target) continue;
        QStringList statements = step.statements;
        statements << QStringLiteral("UPDATE schema_info SET value = '%1' WHERE name = 'version'")
                          .arg(step.version);
        for (const QString& sql : statements) {
            if (!q.exec(dialect.expand(sql))) {
                const QSqlError error = q.lastError();
                db.rollback();
                return {dialect.classify(error), error.text() + QStringLiteral(" (") + sql + u')', {}, {}};
            }
        }
        if (QString failed; step.fill && !step.fill(db, &failed)) {
            db.rollback();
            return {RecordsError::WriteFailed, failed + QStringLiteral(" (schema version %1)").arg(step.version), {}, {}};
        }
    }
    if (!db.commit()) return {dialect.classify(db.lastError()), db.lastError().text(), {}, {}};
    return {};
}

}  // namespace pb::records
