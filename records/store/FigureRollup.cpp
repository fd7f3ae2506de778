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

// The hours' counts of the ended unit tests that `where` (on rr) selects; without
// `finals`, those of the schema before the final passes were counted.
QString HoursInsert(const QString& where, bool finals = true) {
    QString columns = QStringLiteral("first_tests, first_passed, first_failed, first_interrupted");
    QString counts = QStringLiteral("%1, %2, %3, %4")
                         .arg(Count(QStringLiteral("rr.first_test = 1")),
                              Count(QStringLiteral("rr.first_test = 1 AND rr.verdict = 'pass'")),
                              Count(QStringLiteral("rr.first_test = 1 AND rr.verdict = 'fail'")),
                              Count(QStringLiteral("rr.first_test = 1 AND rr.verdict = 'interrupted'")));
    if (finals) {
        // The first tests whose unit passed in the end, by the first test's own verdict.
        columns += QStringLiteral(", final_after_pass, final_after_fail, final_after_interrupted");
        for (const char* verdict : {"pass", "fail", "interrupted"})
            counts += QStringLiteral(", ") +
                      Count(QStringLiteral("rr.final_pass = 1 AND rr.verdict = '%1'").arg(QLatin1String(verdict)));
    }
    return QStringLiteral(
               "INSERT INTO recipe_run_hours (hour_ms, station, fixture_name, socket_name, recipe_name, "
               "tests, passed, failed, interrupted, %1) "
               "SELECT %2, %3, COUNT(*), %4, %5, %6, %7 FROM recipe_runs rr "
               "WHERE rr.verdict <> 'running'%8 GROUP BY %2, %3")
        .arg(columns, kHour, kPlace, Count(QStringLiteral("rr.verdict = 'pass'")), Count(QStringLiteral("rr.verdict = 'fail'")),
             Count(QStringLiteral("rr.verdict = 'interrupted'")), counts, where);
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

// The marks of one unit's tests of one recipe: the first, each test's retest number (0 for
// the first; none under a link, which is no unit) and, on the first, whether the unit passed
// in the end (its last test passed); the buckets of those whose counts change.
bool MarkFirstTest(QSqlDatabase& db, qint64 unitId, const QString& recipe, std::set<Bucket>& touched, QSqlError* error) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT rr.id, COALESCE(rr.first_test, 0), COALESCE(rr.retest, -1), "
                             "COALESCE(rr.final_pass, 0), rr.verdict, u.serial IS NOT NULL, %1 FROM recipe_runs rr "
                             "JOIN units u ON u.id = rr.unit_id WHERE rr.unit_id = ? AND rr.recipe_name = ? AND rr.verdict <> 'running' "
                             "ORDER BY rr.start_ms, rr.id")
                  .arg(kBucketColumns));
    q.addBindValue(unitId);
    q.addBindValue(recipe);
    if (!Exec(q, error)) return false;
    struct Kept {
        qint64 id;
        int first, retest, finalPass;
        QString verdict;
        bool unit;
        Bucket bucket;
    };
    QList<Kept> tests;
    while (q.next())
        tests.append({q.value(0).toLongLong(), q.value(1).toInt(), q.value(2).toInt(), q.value(3).toInt(),
                      q.value(4).toString(), q.value(5).toBool(), BucketOf(q, 6)});
    q.finish();
    const bool passedInTheEnd = !tests.isEmpty() && tests.constLast().verdict == QLatin1String("pass");
    QSqlQuery mark(db);
    mark.prepare(QStringLiteral("UPDATE recipe_runs SET first_test = ?, retest = ?, final_pass = ? WHERE id = ?"));
    for (int i = 0; i < tests.size(); ++i) {
        const Kept& t = tests[i];
        const int first = i == 0 ? 1 : 0;
        const int finalPass = i == 0 && passedInTheEnd ? 1 : 0;
        const int retest = t.unit ? i : -1;
        if (t.first == first && t.retest == retest && t.finalPass == finalPass) continue;
        if (t.first != first || t.finalPass != finalPass) touched.insert(t.bucket);
        for (const QVariant& v : {QVariant(first), retest >= 0 ? QVariant(retest) : QVariant(QMetaType(QMetaType::Int)),
                                  QVariant(finalPass), QVariant(t.id)})
            mark.addBindValue(v);
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

namespace {

// Of the ended unit tests of the same unit and recipe as recipe_runs' row: `e`.
const QString kSameUnitTests = QStringLiteral(
    "FROM recipe_runs e WHERE e.unit_id = recipe_runs.unit_id AND e.recipe_name = recipe_runs.recipe_name AND "
    "e.verdict <> 'running'");
const QString kBeganBefore = QStringLiteral(
    " AND (e.start_ms < recipe_runs.start_ms OR (e.start_ms = recipe_runs.start_ms AND e.id < recipe_runs.id))");

QString FirstTestMark() {
    return QStringLiteral("UPDATE recipe_runs SET first_test = CASE WHEN verdict <> 'running' AND NOT EXISTS "
                          "(SELECT 1 %1%2) THEN 1 ELSE 0 END")
        .arg(kSameUnitTests, kBeganBefore);
}

}  // namespace

QStringList FirstTestMarksAndHoursStatements() {
    return {FirstTestMark(), QStringLiteral("DELETE FROM recipe_run_hours"), QStringLiteral("DELETE FROM recipe_failure_hours"),
            HoursInsert({}, false)};
}

QStringList RebuildMarksAndHoursStatements() {
    return {FirstTestMark(),
            QStringLiteral("UPDATE recipe_runs SET retest = CASE WHEN verdict <> 'running' AND EXISTS "
                           "(SELECT 1 FROM units u WHERE u.id = recipe_runs.unit_id AND u.serial IS NOT NULL) THEN "
                           "(SELECT COUNT(*) %1%2) ELSE NULL END")
                .arg(kSameUnitTests, kBeganBefore),
            QStringLiteral("UPDATE recipe_runs SET final_pass = CASE WHEN first_test = 1 AND "
                           "(SELECT e.verdict %1 ORDER BY e.start_ms DESC, e.id DESC LIMIT 1) = 'pass' "
                           "THEN 1 ELSE 0 END")
                .arg(kSameUnitTests),
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
