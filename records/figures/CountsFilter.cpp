#include "records/figures/CountsFilter.h"

#include <QSqlQuery>

#include "records/store/FigureRollup.h"
#include "records/store/RunFilterSql.h"
#include "records/store/SqlDialect.h"

namespace pb::records {

std::optional<QString> KeptVerdict(const RunFilter& filter) {
    if (!filter.outcome) return QString();
    const QStringList verdicts = RecipeVerdictsOf(*filter.outcome);
    if (verdicts.isEmpty() || verdicts.constFirst() == QLatin1String("running")) return std::nullopt;
    return verdicts.constFirst();
}

bool HoursAnswer(const RunFilter& filter) {
    return filter.unitId == 0 && filter.serial.isEmpty() && !filter.selects() && filter.fromMs % kRollupHourMs == 0 &&
           filter.toMs % kRollupHourMs == 0;
}

QString HoursWhere(const RunFilter& filter, const QStringList& stations, const QString& table, QVariantList* binds) {
    QStringList parts;
    if (!filter.station.isEmpty()) {
        QStringList marks;
        for (const QString& station : stations) {
            marks << QStringLiteral("?");
            *binds << station;
        }
        parts << (marks.isEmpty() ? QStringLiteral("1 = 0") : table + QStringLiteral(".station IN (%1)").arg(marks.join(u',')));
    }
    if (!filter.fixture.isEmpty()) {
        parts << table + QStringLiteral(".fixture_name = ?");
        *binds << filter.fixture;
    }
    if (!filter.socket.isEmpty()) {
        parts << table + QStringLiteral(".socket_name = ?");
        *binds << filter.socket;
    }
    if (filter.fromMs > 0) {
        parts << table + QStringLiteral(".hour_ms >= ?");
        *binds << filter.fromMs;
    }
    if (filter.toMs > 0) {
        parts << table + QStringLiteral(".hour_ms < ?");
        *binds << filter.toMs;
    }
    if ((!filter.procedure.isEmpty() && filter.procedure != QLatin1String(kRecipeProcedure)) || !KeptVerdict(filter))
        parts << QStringLiteral("1 = 0");
    return parts.isEmpty() ? QString() : QStringLiteral(" WHERE ") + parts.join(QLatin1String(" AND "));
}

QStringList StationsInCounts(QSqlDatabase& db, const QString& part, QString& error) {
    QStringList stations;
    QSqlQuery q(db);
    // A line has a handful of stations in tens of thousands of hours' counts: each station
    // found by the index from the one before, and only those names matched.
    const QString sql = QStringLiteral(
                            "WITH RECURSIVE s(name) AS (SELECT MIN(station) FROM recipe_run_hours UNION ALL "
                            "SELECT (SELECT MIN(station) FROM recipe_run_hours WHERE station > s.name) FROM s "
                            "WHERE s.name IS NOT NULL) SELECT name FROM s WHERE name IS NOT NULL AND ") +
                        ContainsCondition(QStringLiteral("name"));
    if (!RunFiltered(q, sql, {ContainsPattern(part)}, error)) return stations;
    while (q.next()) stations << q.value(0).toString();
    return stations;
}

}  // namespace pb::records
