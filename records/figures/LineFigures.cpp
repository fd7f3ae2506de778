#include "records/figures/LineFigures.h"

#include <QDateTime>
#include <QHash>
#include <QSqlQuery>
#include <cmath>

#include "records/figures/CountsFilter.h"
#include "records/store/FigureRollup.h"
#include "records/store/RunFilterSql.h"
#include "records/store/SqlDialect.h"

namespace pb::records {
namespace {

constexpr qint64 kDayMs = 86400000;
// A shift's key: its day times this, plus its number.
constexpr qint64 kShiftsPerDayKey = 16;

const char* const kByNames[] = {"day", "shift", "station", "fixture", "socket", "recipe"};

// The filter's unit tests that have ended, the filter's own conditions first.
QString EndedWhere(const RunFilter& filter, QVariantList* binds) {
    const QString where = RecipeRunsWhere(filter, binds);
    const QString ended = QStringLiteral("rr.verdict <> 'running'");
    return where.isEmpty() ? QStringLiteral(" WHERE ") + ended : where + QStringLiteral(" AND ") + ended;
}

// ms after local midnight.
qint64 MsOfDay(const QTime& t) { return qint64(t.msecsSinceStartOfDay()); }

// The shift a local moment falls in, as SQL over `localMs` (ms since the epoch, local).
QString ShiftKey(const QString& localMs, const ShiftTimes& shifts) {
    const qint64 first = MsOfDay(shifts.starts.value(0));
    const QString shifted = QStringLiteral("(%1 - %2)").arg(localMs).arg(first);
    QString which = QStringLiteral("CASE");
    for (int i = 1; i < shifts.starts.size(); ++i)
        which += QStringLiteral(" WHEN %1 % %2 < %3 THEN %4")
                     .arg(shifted).arg(kDayMs).arg(MsOfDay(shifts.starts[i]) - first).arg(i);
    which += QStringLiteral(" ELSE %1 END").arg(shifts.starts.size());
    if (shifts.starts.size() <= 1) which = QStringLiteral("1");
    return QStringLiteral("((%1 / %2) * %3 + %4)").arg(shifted).arg(kDayMs).arg(kShiftsPerDayKey).arg(which);
}

void Share(QList<FailureRow>& rows) {
    qint64 all = 0;
    for (const FailureRow& r : rows) all += r.failures;
    double running = 0;
    for (FailureRow& r : rows) {
        r.share = all > 0 ? double(r.failures) / double(all) : 0.0;
        running += r.share;
        r.cumulative = running;
    }
}

// log of n choose k.
double LogChoose(qint64 n, qint64 k) {
    return std::lgamma(double(n) + 1) - std::lgamma(double(k) + 1) - std::lgamma(double(n - k) + 1);
}

}  // namespace

QString FigureByName(FigureBy by) { return QString::fromLatin1(kByNames[int(by)]); }

std::optional<FigureBy> FigureByFromName(const QString& name) {
    for (int i = 0; i < int(std::size(kByNames)); ++i)
        if (name == QLatin1String(kByNames[i])) return FigureBy(i);
    return std::nullopt;
}

std::optional<ShiftTimes> ParseShiftTimes(const QString& text) {
    ShiftTimes shifts;
    shifts.starts.clear();
    for (const QString& part : text.split(u',')) {
        const QTime t = QTime::fromString(part.trimmed(), QStringLiteral("HH:mm"));
        if (!t.isValid() || (!shifts.starts.isEmpty() && t <= shifts.starts.last())) return std::nullopt;
        shifts.starts << t;
    }
    if (shifts.starts.isEmpty() || shifts.starts.size() > 8) return std::nullopt;
    return shifts;
}

double BinomialUpperTail(qint64 k, qint64 n, double p) {
    if (k <= 0) return 1.0;
    if (k > n) return 0.0;
    if (p <= 0.0) return 0.0;
    if (p >= 1.0) return 1.0;
    const double lp = std::log(p), lq = std::log1p(-p);
    const auto term = [&](qint64 i) { return std::exp(LogChoose(n, i) + double(i) * lp + double(n - i) * lq); };
    // Summed from the side of the mode that holds fewer terms' worth, away from it, until
    // the terms no longer count.
    const double mean = double(n) * p;
    if (double(k) >= mean) {
        double sum = 0;
        for (qint64 i = k; i <= n; ++i) {
            const double t = term(i);
            sum += t;
            if (t < sum * 1e-16) break;
        }
        return std::min(1.0, sum);
    }
    double lower = 0;
    for (qint64 i = k - 1; i >= 0; --i) {
        const double t = term(i);
        lower += t;
        if (t < lower * 1e-16) break;
    }
    return std::max(0.0, 1.0 - lower);
}

namespace {

// Where a grouping finds a unit test's time and place: the unit tests themselves (rr), or
// their hours' counts (h, f).
struct Columns {
    QString startMs, station, fixture, socket, recipe;
};
const Columns kRaw{QStringLiteral("rr.start_ms"), QStringLiteral("COALESCE(rr.station, '')"),
                   QStringLiteral("COALESCE(rr.fixture_name, '')"), QStringLiteral("COALESCE(rr.socket_name, '')"),
                   QStringLiteral("rr.recipe_name")};
Columns Counted(const QString& table) {
    return {table + QStringLiteral(".hour_ms"), table + QStringLiteral(".station"), table + QStringLiteral(".fixture_name"),
            table + QStringLiteral(".socket_name"), table + QStringLiteral(".recipe_name")};
}

// The hours' count of a verdict's unit tests; empty for none.
QString VerdictCount(const QString& verdict) {
    if (verdict == QLatin1String("pass")) return QStringLiteral("passed");
    if (verdict == QLatin1String("fail")) return QStringLiteral("failed");
    if (verdict == QLatin1String("interrupted")) return QStringLiteral("interrupted");
    return {};
}

// The sum of an hours' count `column` under the filter's outcome: nothing of another verdict.
QString HoursSum(const RunFilter& filter, const QString& column, const QString& verdict) {
    const QString kept = KeptVerdict(filter).value_or(QString());
    return kept.isEmpty() || kept == verdict ? QStringLiteral("SUM(h.%1)").arg(column) : QStringLiteral("0");
}

// The first tests whose unit passed in the end, under the filter's outcome: those whose
// first test had that verdict.
QString FinalPassesSum(const RunFilter& filter) {
    const QString kept = KeptVerdict(filter).value_or(QString());
    if (!kept.isEmpty()) return QStringLiteral("SUM(h.final_after_%1)").arg(kept);
    return QStringLiteral("SUM(h.final_after_pass + h.final_after_fail + h.final_after_interrupted)");
}

// Each count of the hours summed under its own name, for a grouping over those sums.
QString HourSums() {
    QStringList sums;
    for (const char* column : {"tests", "passed", "failed", "interrupted", "first_tests", "first_passed",
                               "first_failed", "first_interrupted", "final_after_pass", "final_after_fail",
                               "final_after_interrupted"})
        sums << QStringLiteral("SUM(h.%1) AS %1").arg(QLatin1String(column));
    return sums.join(QLatin1String(", "));
}

// The filter over the failures' hours' counts: only failures are counted there.
QString FailuresWhere(const RunFilter& filter, const QStringList& stations, QVariantList* binds) {
    QString where = HoursWhere(filter, stations, QStringLiteral("f"), binds);
    const QString kept = KeptVerdict(filter).value_or(QString());
    if (!kept.isEmpty() && kept != QLatin1String("fail"))
        where += where.isEmpty() ? QStringLiteral(" WHERE 1 = 0") : QStringLiteral(" AND 1 = 0");
    return where;
}

}  // namespace

QStringList LineFigures::stationsNamed(const RunFilter& filter) {
    return filter.station.isEmpty() ? QStringList() : StationsInCounts(db_, filter.station, error_);
}

QList<YieldRow> LineFigures::yields(const RunFilter& filter, FigureBy by, const ShiftTimes& shifts) {
    // One offset for the whole period: a test within an hour of a change to or from summer
    // time may fall in the neighbouring day or shift.
    const QDateTime at = filter.toMs > 0 ? QDateTime::fromMSecsSinceEpoch(filter.toMs) : QDateTime::currentDateTime();
    const qint64 offsetMs = qint64(at.offsetFromUtc()) * 1000;
    // Hours in UTC are hours here too unless this place is off the hour (India, Nepal, ...),
    // and a shift must begin on the hour.
    bool onTheHour = offsetMs % kRollupHourMs == 0;
    for (const QTime& t : shifts.starts) onTheHour = onTheHour && t.minute() == 0 && t.second() == 0 && t.msec() == 0;
    const bool fromHours = !countUnits_ && HoursAnswer(filter) && (onTheHour || (by != FigureBy::Day && by != FigureBy::Shift));
    const Columns c = fromHours ? Counted(QStringLiteral("h")) : kRaw;
    const QString localMs = QStringLiteral("(%1 + %2)").arg(c.startMs).arg(offsetMs);
    QString key;
    switch (by) {
        case FigureBy::Day: key = QStringLiteral("(%1 / %2)").arg(localMs).arg(kDayMs); break;
        case FigureBy::Shift: key = ShiftKey(localMs, shifts); break;
        case FigureBy::Station: key = c.station; break;
        case FigureBy::Fixture: key = c.fixture; break;
        case FigureBy::Socket:
            key = QStringLiteral("CASE WHEN %1 = '' THEN '' ELSE %1 || '/' || %2 END").arg(c.fixture, c.socket);
            break;
        case FigureBy::Recipe: key = c.recipe; break;
    }
    return grouped(filter, key, by, fromHours);
}

YieldRow LineFigures::total(const RunFilter& filter) {
    // One group of everything, read as a grouping that is no time.
    const QList<YieldRow> rows = grouped(filter, {}, FigureBy::Station, !countUnits_ && HoursAnswer(filter));
    return rows.isEmpty() ? YieldRow{} : rows.first();
}

QList<YieldRow> LineFigures::grouped(const RunFilter& filter, const QString& keyExpression, FigureBy by, bool fromHours) {
    QVariantList binds;
    QString sql;
    // No key: the whole filter, one row (PostgreSQL takes no constant to group by).
    const QString key = keyExpression.isEmpty() ? QStringLiteral("''") : keyExpression;
    const QString groupBy = keyExpression.isEmpty() ? QString() : QStringLiteral(" GROUP BY ") + keyExpression;
    const QString orderBy = keyExpression.isEmpty() ? QString() : QStringLiteral(" ORDER BY ") + keyExpression;
    if (fromHours) {
        // Under an outcome, the tests are those of its verdict.
        const QString counted = VerdictCount(KeptVerdict(filter).value_or(QString()));
        const QString tests = QStringLiteral("SUM(h.%1)").arg(counted.isEmpty() ? QStringLiteral("tests") : counted);
        const QString firstTests = QStringLiteral("SUM(h.first_%1)").arg(counted.isEmpty() ? QStringLiteral("tests") : counted);
        const QString where = HoursWhere(filter, stationsNamed(filter), QStringLiteral("h"), &binds);
        // A day or a shift is whole hours: the hours summed first, in the order of their
        // index, leave a few hundred rows to group where the counts' keys would be sorted.
        const bool byTime = !keyExpression.isEmpty() && (by == FigureBy::Day || by == FigureBy::Shift);
        const QString counts = byTime ? QStringLiteral("(SELECT h.hour_ms, %1 FROM recipe_run_hours h%2 GROUP BY h.hour_ms) h")
                                            .arg(HourSums(), where)
                                      : QStringLiteral("recipe_run_hours h") + where;
        sql = QStringLiteral("SELECT %1, %2, -1, %3, %4, %5, %6, %7, %8 FROM %9%10%11")
                  .arg(key, tests, HoursSum(filter, QStringLiteral("passed"), QStringLiteral("pass")),
                       HoursSum(filter, QStringLiteral("failed"), QStringLiteral("fail")),
                       HoursSum(filter, QStringLiteral("interrupted"), QStringLiteral("interrupted")), firstTests,
                       HoursSum(filter, QStringLiteral("first_passed"), QStringLiteral("pass")), FinalPassesSum(filter),
                       counts,
                       groupBy.isEmpty() ? QString() : groupBy + QStringLiteral(" HAVING ") + tests + QStringLiteral(" > 0"),
                       orderBy);
    } else {
        sql = QStringLiteral(
                  "SELECT %1, COUNT(*), %2, "
                  "SUM(CASE WHEN rr.verdict = 'pass' THEN 1 ELSE 0 END), "
                  "SUM(CASE WHEN rr.verdict = 'fail' THEN 1 ELSE 0 END), "
                  "SUM(CASE WHEN rr.verdict = 'interrupted' THEN 1 ELSE 0 END), "
                  "SUM(CASE WHEN rr.first_test = 1 THEN 1 ELSE 0 END), "
                  "SUM(CASE WHEN rr.first_test = 1 AND rr.verdict = 'pass' THEN 1 ELSE 0 END), "
                  "SUM(CASE WHEN rr.final_pass = 1 THEN 1 ELSE 0 END) "
                  "FROM recipe_runs rr JOIN units u ON u.id = rr.unit_id%3%4%5")
                  .arg(key, countUnits_ ? QStringLiteral("COUNT(DISTINCT rr.unit_id)") : QStringLiteral("-1"),
                       EndedWhere(filter, &binds), groupBy, orderBy);
    }
    QSqlQuery q(db_);
    QList<YieldRow> rows;
    if (!RunFiltered(q, sql, binds, error_)) return rows;
    const bool timed = by == FigureBy::Day || by == FigureBy::Shift;
    while (q.next()) {
        YieldRow r;
        if (timed) {
            const qint64 k = q.value(0).toLongLong();
            const qint64 day = by == FigureBy::Shift ? k / kShiftsPerDayKey : k;
            r.day = QDate(1970, 1, 1).addDays(day);
            r.key = r.day.toString(Qt::ISODate);
            if (by == FigureBy::Shift) {
                r.shift = int(k % kShiftsPerDayKey);
                r.key += QStringLiteral(" #%1").arg(r.shift);
            }
        } else {
            r.key = q.value(0).toString();
        }
        r.tests = q.value(1).toLongLong();
        r.units = q.value(2).toLongLong();
        r.passed = q.value(3).toLongLong();
        r.failed = q.value(4).toLongLong();
        r.interrupted = q.value(5).toLongLong();
        r.firstTests = q.value(6).toLongLong();
        r.firstPassed = q.value(7).toLongLong();
        r.finalPassed = q.value(8).toLongLong();
        rows << r;
    }
    return rows;
}

QList<FailureRow> LineFigures::failuresByStep(const RunFilter& filter) {
    QVariantList binds;
    QString sql;
    if (HoursAnswer(filter)) {
        sql = QStringLiteral("SELECT f.recipe_name, f.failing_step, f.label, SUM(f.failures) FROM recipe_failure_hours f%1 "
                             "GROUP BY f.recipe_name, f.failing_step, f.label "
                             "ORDER BY SUM(f.failures) DESC, f.recipe_name, f.failing_step")
                  .arg(FailuresWhere(filter, stationsNamed(filter), &binds));
    } else {
        const QString label = QStringLiteral("COALESCE(NULLIF(s.label, ''), s.kind, '')");
        sql = QStringLiteral(
                  "SELECT rr.recipe_name, COALESCE(rr.failing_step, -1), %1, COUNT(*) FROM recipe_runs rr "
                  "JOIN units u ON u.id = rr.unit_id "
                  "LEFT JOIN recipe_steps s ON s.recipe_run_id = rr.id AND s.step_index = rr.failing_step%2 "
                  "AND rr.verdict = 'fail' GROUP BY rr.recipe_name, COALESCE(rr.failing_step, -1), %1 "
                  "ORDER BY COUNT(*) DESC, rr.recipe_name, COALESCE(rr.failing_step, -1)")
                  .arg(label, EndedWhere(filter, &binds));
    }
    QSqlQuery q(db_);
    QList<FailureRow> rows;
    if (!RunFiltered(q, sql, binds, error_)) return rows;
    while (q.next()) {
        FailureRow r;
        r.recipe = q.value(0).toString();
        r.step = q.value(1).toInt();
        r.label = q.value(2).toString();
        r.failures = q.value(3).toLongLong();
        rows << r;
    }
    Share(rows);
    return rows;
}

QList<qint64> LineFigures::failedAtStep(const RunFilter& filter, const QString& recipe, int step) {
    QVariantList binds;
    const QString sql = QStringLiteral(
                            "SELECT rr.id FROM recipe_runs rr JOIN units u ON u.id = rr.unit_id%1 "
                            "AND rr.verdict = 'fail' AND rr.recipe_name = ? AND %2 ORDER BY rr.id")
                            .arg(EndedWhere(filter, &binds),
                                 step < 0 ? QStringLiteral("rr.failing_step IS NULL") : QStringLiteral("rr.failing_step = ?"));
    binds << recipe;
    if (step >= 0) binds << step;
    QSqlQuery q(db_);
    QList<qint64> ids;
    if (!RunFiltered(q, sql, binds, error_)) return ids;
    while (q.next()) ids << q.value(0).toLongLong();
    return ids;
}

QList<FailureRow> LineFigures::failuresByCause(const RunFilter& filter) {
    QVariantList binds;
    const QString sql =
        HoursAnswer(filter)
            ? QStringLiteral("SELECT f.cause_code, SUM(f.failures) FROM recipe_failure_hours f%1 GROUP BY f.cause_code "
                             "ORDER BY SUM(f.failures) DESC, f.cause_code")
                  .arg(FailuresWhere(filter, stationsNamed(filter), &binds))
            : QStringLiteral("SELECT COALESCE(rr.cause_code, 'unknown'), COUNT(*) FROM recipe_runs rr "
                             "JOIN units u ON u.id = rr.unit_id%1 AND rr.verdict = 'fail' "
                             "GROUP BY COALESCE(rr.cause_code, 'unknown') ORDER BY COUNT(*) DESC, "
                             "COALESCE(rr.cause_code, 'unknown')")
                  .arg(EndedWhere(filter, &binds));
    QSqlQuery q(db_);
    QList<FailureRow> rows;
    if (!RunFiltered(q, sql, binds, error_)) return rows;
    while (q.next()) {
        FailureRow r;
        r.cause = q.value(0).toString();
        r.failures = q.value(1).toLongLong();
        rows << r;
    }
    Share(rows);
    return rows;
}

QList<SocketHealth> LineFigures::fixtureHealth(const RunFilter& filter) {
    QVariantList binds;
    QString sql;
    if (HoursAnswer(filter)) {
        const QString passed = HoursSum(filter, QStringLiteral("passed"), QStringLiteral("pass"));
        const QString failed = HoursSum(filter, QStringLiteral("failed"), QStringLiteral("fail"));
        const QString where = HoursWhere(filter, stationsNamed(filter), QStringLiteral("h"), &binds);
        sql = QStringLiteral("SELECT h.fixture_name, h.socket_name, %1 + %2, %2 FROM recipe_run_hours h%3%4 "
                             "h.fixture_name <> '' AND h.socket_name <> '' GROUP BY h.fixture_name, h.socket_name "
                             "HAVING %1 + %2 > 0 ORDER BY h.fixture_name, h.socket_name")
                  .arg(passed, failed, where, where.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND "));
    } else {
        sql = QStringLiteral(
                  "SELECT rr.fixture_name, rr.socket_name, COUNT(*), "
                  "SUM(CASE WHEN rr.verdict = 'fail' THEN 1 ELSE 0 END) FROM recipe_runs rr "
                  "JOIN units u ON u.id = rr.unit_id%1 AND rr.verdict IN ('pass', 'fail') "
                  "AND COALESCE(rr.fixture_name, '') <> '' AND COALESCE(rr.socket_name, '') <> '' "
                  "GROUP BY rr.fixture_name, rr.socket_name ORDER BY rr.fixture_name, rr.socket_name")
                  .arg(EndedWhere(filter, &binds));
    }
    QSqlQuery q(db_);
    QList<SocketHealth> rows;
    if (!RunFiltered(q, sql, binds, error_)) return rows;
    QHash<QString, std::pair<qint64, qint64>> fixtures;  // tests, failed
    while (q.next()) {
        SocketHealth s;
        s.fixture = q.value(0).toString();
        s.socket = q.value(1).toString();
        s.tests = q.value(2).toLongLong();
        s.failed = q.value(3).toLongLong();
        auto& sum = fixtures[s.fixture];
        sum.first += s.tests;
        sum.second += s.failed;
        rows << s;
    }
    for (SocketHealth& s : rows) {
        const auto& sum = fixtures[s.fixture];
        s.othersTests = sum.first - s.tests;
        s.othersFailed = sum.second - s.failed;
        // Alone in its fixture, a socket has nothing to be compared with.
        s.p = s.othersTests > 0 ? BinomialUpperTail(s.failed, s.tests, s.othersRate()) : 1.0;
        s.flagged = s.tests >= kHealthMinTests && s.othersTests > 0 && s.p < kHealthAlpha;
    }
    return rows;
}

}  // namespace pb::records
