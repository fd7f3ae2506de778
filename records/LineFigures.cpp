#include "records/LineFigures.h"

#include <QDateTime>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <cmath>

#include "records/RunFilterSql.h"

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

bool Run(QSqlQuery& q, const QString& sql, const QVariantList& binds, QString& error) {
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        error = q.lastError().text();
        return false;
    }
    for (const QVariant& v : binds) q.addBindValue(v);
    if (!q.exec()) {
        error = q.lastError().text();
        return false;
    }
    error.clear();
    return true;
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

QList<YieldRow> LineFigures::yields(const RunFilter& filter, FigureBy by, const ShiftTimes& shifts) {
    // One offset for the whole period: a test within an hour of a change to or from summer
    // time may fall in the neighbouring day or shift.
    const QDateTime at = filter.toMs > 0 ? QDateTime::fromMSecsSinceEpoch(filter.toMs) : QDateTime::currentDateTime();
    const qint64 offsetMs = qint64(at.offsetFromUtc()) * 1000;
    const QString localMs = QStringLiteral("(rr.start_ms + %1)").arg(offsetMs);
    QString key;
    switch (by) {
        case FigureBy::Day: key = QStringLiteral("(%1 / %2)").arg(localMs).arg(kDayMs); break;
        case FigureBy::Shift: key = ShiftKey(localMs, shifts); break;
        case FigureBy::Station: key = QStringLiteral("COALESCE(rr.station, '')"); break;
        case FigureBy::Fixture: key = QStringLiteral("COALESCE(rr.fixture_name, '')"); break;
        case FigureBy::Socket:
            key = QStringLiteral("CASE WHEN COALESCE(rr.fixture_name, '') = '' THEN '' "
                                 "ELSE rr.fixture_name || '/' || COALESCE(rr.socket_name, '') END");
            break;
        case FigureBy::Recipe: key = QStringLiteral("rr.recipe_name"); break;
    }
    return grouped(filter, key, by);
}

YieldRow LineFigures::total(const RunFilter& filter) {
    // One group of everything: a grouping that is no time, so its key is read as text.
    const QList<YieldRow> rows = grouped(filter, QStringLiteral("''"), FigureBy::Station);
    return rows.isEmpty() ? YieldRow{} : rows.first();
}

QList<YieldRow> LineFigures::grouped(const RunFilter& filter, const QString& keyExpression, FigureBy by) {
    QVariantList binds;
    const QString sql =
        QStringLiteral(
            "SELECT k, COUNT(*), COUNT(DISTINCT unit_id), "
            "SUM(CASE WHEN verdict = 'pass' THEN 1 ELSE 0 END), "
            "SUM(CASE WHEN verdict = 'fail' THEN 1 ELSE 0 END), "
            "SUM(CASE WHEN verdict = 'interrupted' THEN 1 ELSE 0 END), "
            "SUM(CASE WHEN nth = 1 THEN 1 ELSE 0 END), "
            "SUM(CASE WHEN nth = 1 AND verdict = 'pass' THEN 1 ELSE 0 END) "
            "FROM (SELECT %1 AS k, rr.unit_id AS unit_id, rr.verdict AS verdict, "
            "ROW_NUMBER() OVER (PARTITION BY rr.unit_id ORDER BY rr.start_ms, rr.id) AS nth "
            "FROM recipe_runs rr JOIN units u ON u.id = rr.unit_id%2) t GROUP BY k ORDER BY k")
            .arg(keyExpression, EndedWhere(filter, &binds));
    QSqlQuery q(db_);
    QList<YieldRow> rows;
    if (!Run(q, sql, binds, error_)) return rows;
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
        rows << r;
    }
    return rows;
}

QList<FailureRow> LineFigures::failuresByStep(const RunFilter& filter) {
    QVariantList binds;
    const QString label = QStringLiteral("COALESCE(NULLIF(s.label, ''), s.kind, '')");
    const QString sql =
        QStringLiteral(
            "SELECT rr.recipe_name, rr.failing_step, %1, COUNT(*) FROM recipe_runs rr "
            "JOIN units u ON u.id = rr.unit_id "
            "LEFT JOIN recipe_steps s ON s.recipe_run_id = rr.id AND s.step_index = rr.failing_step%2 "
            "AND rr.verdict = 'fail' GROUP BY rr.recipe_name, rr.failing_step, %1 "
            "ORDER BY COUNT(*) DESC, rr.recipe_name, rr.failing_step")
            .arg(label, EndedWhere(filter, &binds));
    QSqlQuery q(db_);
    QList<FailureRow> rows;
    if (!Run(q, sql, binds, error_)) return rows;
    while (q.next()) {
        FailureRow r;
        r.recipe = q.value(0).toString();
        r.step = q.value(1).isNull() ? -1 : q.value(1).toInt();
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
    if (!Run(q, sql, binds, error_)) return ids;
    while (q.next()) ids << q.value(0).toLongLong();
    return ids;
}

QList<FailureRow> LineFigures::failuresByReason(const RunFilter& filter) {
    QVariantList binds;
    const QString sql =
        QStringLiteral(
            "SELECT COALESCE(rr.reason_text, ''), COUNT(*) FROM recipe_runs rr "
            "JOIN units u ON u.id = rr.unit_id%1 AND rr.verdict = 'fail' "
            "GROUP BY COALESCE(rr.reason_text, '') ORDER BY COUNT(*) DESC, COALESCE(rr.reason_text, '')")
            .arg(EndedWhere(filter, &binds));
    QSqlQuery q(db_);
    QList<FailureRow> rows;
    if (!Run(q, sql, binds, error_)) return rows;
    while (q.next()) {
        FailureRow r;
        r.reason = q.value(0).toString();
        r.failures = q.value(1).toLongLong();
        rows << r;
    }
    Share(rows);
    return rows;
}

QList<SocketHealth> LineFigures::fixtureHealth(const RunFilter& filter) {
    QVariantList binds;
    const QString sql =
        QStringLiteral(
            "SELECT rr.fixture_name, rr.socket_name, COUNT(*), "
            "SUM(CASE WHEN rr.verdict = 'fail' THEN 1 ELSE 0 END) FROM recipe_runs rr "
            "JOIN units u ON u.id = rr.unit_id%1 AND rr.verdict IN ('pass', 'fail') "
            "AND COALESCE(rr.fixture_name, '') <> '' AND COALESCE(rr.socket_name, '') <> '' "
            "GROUP BY rr.fixture_name, rr.socket_name ORDER BY rr.fixture_name, rr.socket_name")
            .arg(EndedWhere(filter, &binds));
    QSqlQuery q(db_);
    QList<SocketHealth> rows;
    if (!Run(q, sql, binds, error_)) return rows;
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
