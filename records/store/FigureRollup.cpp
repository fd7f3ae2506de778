#include "records/store/FigureRollup.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <map>
#include <set>
#include <tuple>

#include "records/store/TimeCounts.h"

namespace pb::records {
namespace {

// The bucket of a unit test: its hour, station, fixture, socket and recipe ('' for none).
using Bucket = std::tuple<qint64, QString, QString, QString, QString>;

const QString kHour = QStringLiteral("(rr.start_ms / %1) * %1").arg(kRollupHourMs);
const QString kPlace = QStringLiteral("COALESCE(rr.station, ''), COALESCE(rr.fixture_name, ''), "
                                      "COALESCE(rr.socket_name, ''), rr.recipe_name");

QString Count(const QString& condition) {
    return QStringLiteral("SUM(CASE WHEN %1 THEN 1 ELSE 0 END)").arg(condition);
}

// The hours' counts of the ended unit tests that `where` (on rr) selects.
QString HoursInsert(const QString& where) {
    return QStringLiteral(
               "INSERT INTO recipe_run_hours (hour_ms, station, fixture_name, socket_name, recipe_name, "
               "tests, passed, failed, interrupted, first_tests, first_passed, first_failed, first_interrupted) "
               "SELECT %1, %2, COUNT(*), %3, %4, %5, %6, %7, %8, %9 FROM recipe_runs rr "
               "WHERE rr.verdict <> 'running'%10 GROUP BY %1, %2")
        .arg(kHour, kPlace, Count(QStringLiteral("rr.verdict = 'pass'")), Count(QStringLiteral("rr.verdict = 'fail'")),
             Count(QStringLiteral("rr.verdict = 'interrupted'")), Count(QStringLiteral("rr.first_test = 1")),
             Count(QStringLiteral("rr.first_test = 1 AND rr.verdict = 'pass'")),
             Count(QStringLiteral("rr.first_test = 1 AND rr.verdict = 'fail'")),
             Count(QStringLiteral("rr.first_test = 1 AND rr.verdict = 'interrupted'")), where);
}

// The failures of the unit tests `where` selects, by failing step (-1 for none) and cause
// (its code alone: the values and the language of the station that ran it make no row).
QString FailuresInsert(const QString& where) {
    const QString step = QStringLiteral("COALESCE(rr.failing_step, -1)");
    const QString label = QStringLiteral("COALESCE(NULLIF(s.label, ''), s.kind, '')");
    const QString cause = QStringLiteral("COALESCE(rr.cause_code, 'unknown')");
    return QStringLiteral(
               "INSERT INTO recipe_failure_hours (hour_ms, station, fixture_name, socket_name, recipe_name, "
               "failing_step, label, cause_code, reason_text, failures) "
               "SELECT %1, %2, %3, %4, %5, '', COUNT(*) FROM recipe_runs rr "
               "LEFT JOIN recipe_steps s ON s.recipe_run_id = rr.id AND s.step_index = rr.failing_step "
               "WHERE rr.verdict = 'fail'%6 GROUP BY %1, %2, %3, %4, %5")
        .arg(kHour, kPlace, step, label, cause, where);
}

const QString kBucketWhere = QStringLiteral(
    " AND rr.start_ms >= ? AND rr.start_ms < ? AND COALESCE(rr.station, '') = ? AND "
    "COALESCE(rr.fixture_name, '') = ? AND COALESCE(rr.socket_name, '') = ? AND rr.recipe_name = ?");
const QString kBucketDelete = QStringLiteral(
    " WHERE hour_ms = ? AND station = ? AND fixture_name = ? AND socket_name = ? AND recipe_name = ?");

bool Exec(QSqlQuery& q, QSqlError* error) {
    if (q.exec()) return true;
    *error = q.lastError();
    return false;
}

Bucket BucketOf(const QSqlQuery& q, int from) {
    const qint64 start = q.value(from).toLongLong();
    return {start - start % kRollupHourMs, q.value(from + 1).toString(), q.value(from + 2).toString(),
            q.value(from + 3).toString(), q.value(from + 4).toString()};
}

const QString kBucketColumns = QStringLiteral(
    "rr.start_ms, COALESCE(rr.station, ''), COALESCE(rr.fixture_name, ''), COALESCE(rr.socket_name, ''), rr.recipe_name");

// The first-test marks of one unit's tests of one recipe; the buckets of those that changed.
bool MarkFirstTest(QSqlDatabase& db, qint64 unitId, const QString& recipe, std::set<Bucket>& touched, QSqlError* error) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT rr.id, COALESCE(rr.first_test, 0), %1 FROM recipe_runs rr "
                             "WHERE rr.unit_id = ? AND rr.recipe_name = ? AND rr.verdict <> 'running' "
                             "ORDER BY rr.start_ms, rr.id")
                  .arg(kBucketColumns));
    q.addBindValue(unitId);
    q.addBindValue(recipe);
    if (!Exec(q, error)) return false;
    QList<std::pair<qint64, int>> changes;
    for (bool first = true; q.next(); first = false) {
        const int want = first ? 1 : 0;
        if (q.value(1).toInt() == want) continue;
        changes.append({q.value(0).toLongLong(), want});
        touched.insert(BucketOf(q, 2));
    }
    q.finish();
    QSqlQuery mark(db);
    mark.prepare(QStringLiteral("UPDATE recipe_runs SET first_test = ? WHERE id = ?"));
    for (const auto& [id, want] : changes) {
        mark.addBindValue(want);
        mark.addBindValue(id);
        if (!Exec(mark, error)) return false;
    }
    return true;
}

bool RecountBucket(QSqlDatabase& db, const Bucket& b, QSqlError* error) {
    const auto& [hour, station, fixture, socket, recipe] = b;
    QSqlQuery q(db);
    for (const char* table : {"recipe_run_hours", "recipe_failure_hours"}) {
        q.prepare(QStringLiteral("DELETE FROM %1").arg(QLatin1String(table)) + kBucketDelete);
        for (const QVariant& v : {QVariant(hour), QVariant(station), QVariant(fixture), QVariant(socket), QVariant(recipe)})
            q.addBindValue(v);
        if (!Exec(q, error)) return false;
    }
    for (const QString& insert : {HoursInsert(kBucketWhere), FailuresInsert(kBucketWhere)}) {
        q.prepare(insert);
        for (const QVariant& v : {QVariant(hour), QVariant(hour + kRollupHourMs), QVariant(station), QVariant(fixture),
                                  QVariant(socket), QVariant(recipe)})
            q.addBindValue(v);
        if (!Exec(q, error)) return false;
    }
    return true;
}

// The times' counts of a bucket's hour, station and recipe (they are not kept by fixture
// or socket), and of one verdict in it.
using TimeBucket = std::tuple<qint64, QString, QString>;
using VerdictTimes = std::tuple<qint64, QString, QString, QString>;

bool InsertTimes(QSqlQuery& insert, const VerdictTimes& key, const TimeCounts& counts, QSqlError* error) {
    const auto& [hour, station, recipe, verdict] = key;
    for (const QVariant& v : {QVariant(hour), QVariant(station), QVariant(recipe), QVariant(verdict),
                              QVariant(TotalCount(counts)), QVariant(EncodeTimeCounts(counts))})
        insert.addBindValue(v);
    return Exec(insert, error);
}

const QString kTimesInsert = QStringLiteral(
    "INSERT INTO recipe_time_hours (hour_ms, station, recipe_name, verdict, tests, data) VALUES (?, ?, ?, ?, ?, ?)");
// The unit tests whose time is counted: stopped by hand, a unit test's time is not the unit's.
const QString kTimed = QStringLiteral("rr.verdict IN ('pass', 'fail') AND rr.end_ms IS NOT NULL");

bool RecountTimes(QSqlDatabase& db, const TimeBucket& b, QSqlError* error) {
    const auto& [hour, station, recipe] = b;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("DELETE FROM recipe_time_hours WHERE hour_ms = ? AND station = ? AND recipe_name = ?"));
    for (const QVariant& v : {QVariant(hour), QVariant(station), QVariant(recipe)}) q.addBindValue(v);
    if (!Exec(q, error)) return false;
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT rr.verdict, rr.end_ms - rr.start_ms FROM recipe_runs rr WHERE ") + kTimed +
              QStringLiteral(" AND rr.start_ms >= ? AND rr.start_ms < ? AND COALESCE(rr.station, '') = ? AND "
                             "rr.recipe_name = ?"));
    for (const QVariant& v : {QVariant(hour), QVariant(hour + kRollupHourMs), QVariant(station), QVariant(recipe)})
        q.addBindValue(v);
    if (!Exec(q, error)) return false;
    TimeCountsSum passed, failed;
    while (q.next()) (q.value(0).toString() == QLatin1String("pass") ? passed : failed).add(q.value(1).toLongLong(), 1);
    q.finish();
    QSqlQuery insert(db);
    insert.prepare(kTimesInsert);
    for (const auto& [verdict, sum] : {std::pair{"pass", &passed}, std::pair{"fail", &failed}})
        if (!sum->isEmpty() && !InsertTimes(insert, {hour, station, recipe, QLatin1String(verdict)}, sum->counts(), error))
            return false;
    return true;
}

}  // namespace

bool RefreshFigures(QSqlDatabase& db, qint64 recipeRunId, qint64 formerUnitId, QSqlError* error) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT rr.unit_id, %1 FROM recipe_runs rr WHERE rr.id = ?").arg(kBucketColumns));
    q.addBindValue(recipeRunId);
    if (!Exec(q, error)) return false;
    if (!q.next()) return true;
    const qint64 unitId = q.value(0).toLongLong();
    const QString recipe = q.value(5).toString();
    std::set<Bucket> touched{BucketOf(q, 1)};
    q.finish();
    if (!MarkFirstTest(db, unitId, recipe, touched, error)) return false;
    if (formerUnitId > 0 && formerUnitId != unitId && !MarkFirstTest(db, formerUnitId, recipe, touched, error))
        return false;
    std::set<TimeBucket> timed;
    for (const Bucket& b : touched) {
        if (!RecountBucket(db, b, error)) return false;
        timed.insert({std::get<0>(b), std::get<1>(b), std::get<4>(b)});
    }
    for (const TimeBucket& b : timed)
        if (!RecountTimes(db, b, error)) return false;
    return true;
}

QStringList RebuildFiguresStatements() { return RebuildMarksAndHoursStatements() << FailuresInsert({}); }

QStringList RebuildFailureHoursStatements() {
    return {QStringLiteral("DELETE FROM recipe_failure_hours"), FailuresInsert({})};
}

QStringList RebuildMarksAndHoursStatements() {
    return {QStringLiteral(
                "UPDATE recipe_runs SET first_test = CASE WHEN verdict <> 'running' AND NOT EXISTS "
                "(SELECT 1 FROM recipe_runs e WHERE e.unit_id = recipe_runs.unit_id AND "
                "e.recipe_name = recipe_runs.recipe_name AND e.verdict <> 'running' AND "
                "(e.start_ms < recipe_runs.start_ms OR (e.start_ms = recipe_runs.start_ms AND e.id < recipe_runs.id))) "
                "THEN 1 ELSE 0 END"),
            QStringLiteral("DELETE FROM recipe_run_hours"), QStringLiteral("DELETE FROM recipe_failure_hours"),
            HoursInsert({})};
}

bool RebuildFigures(QSqlDatabase& db, QString* error) {
    QSqlQuery q(db);
    for (const QString& sql : RebuildFiguresStatements()) {
        if (!q.exec(sql)) {
            *error = q.lastError().text();
            return false;
        }
    }
    return RebuildRecipeTimeHours(db, error);
}

bool RebuildRecipeTimeHours(QSqlDatabase& db, QString* error) {
    QSqlQuery q(db);
    QSqlError failed;
    if (!q.exec(QStringLiteral("DELETE FROM recipe_time_hours"))) {
        *error = q.lastError().text();
        return false;
    }
    // Every timed unit test once, counted here: the times cannot be summed in SQL.
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT %1, COALESCE(rr.station, ''), rr.recipe_name, rr.verdict, "
                               "rr.end_ms - rr.start_ms FROM recipe_runs rr WHERE ")
                    .arg(kHour) +
                kTimed)) {
        *error = q.lastError().text();
        return false;
    }
    std::map<VerdictTimes, TimeCountsSum> sums;
    while (q.next())
        sums[{q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString()}].add(
            q.value(4).toLongLong(), 1);
    q.finish();
    QSqlQuery insert(db);
    insert.prepare(kTimesInsert);
    for (const auto& [key, sum] : sums) {
        if (!InsertTimes(insert, key, sum.counts(), &failed)) {
            *error = failed.text();
            return false;
        }
    }
    return true;
}

}  // namespace pb::records
