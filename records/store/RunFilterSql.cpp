#include "records/store/RunFilterSql.h"

#include <QSqlError>
#include <QStringList>

#include "records/store/SqlDialect.h"

namespace pb::records {
namespace {

// "?,?,?" for `ids`, each bound.
QString Marks(const QList<qint64>& ids, QVariantList* binds) {
    QStringList marks;
    for (qint64 id : ids) {
        marks << QStringLiteral("?");
        *binds << id;
    }
    return marks.join(u',');
}

// " WHERE " the recipe run (rr) is at the filter's fixture and socket.
QString PlaceWhere(const RunFilter& filter, QVariantList* binds) {
    QStringList parts;
    if (!filter.fixture.isEmpty()) {
        parts << QStringLiteral("rr.fixture_name = ?");
        *binds << filter.fixture;
    }
    if (!filter.socket.isEmpty()) {
        parts << QStringLiteral("rr.socket_name = ?");
        *binds << filter.socket;
    }
    return QStringLiteral(" WHERE ") + parts.join(QLatin1String(" AND "));
}

}  // namespace

QString RunsWhere(const RunFilter& filter, QVariantList* binds) {
    QStringList parts;
    if (filter.unitId > 0) {
        parts << QStringLiteral("r.unit_id = ?");
        *binds << filter.unitId;
    }
    if (!filter.serial.isEmpty()) {
        parts << ContainsCondition(QStringLiteral("u.serial"));
        *binds << ContainsPattern(filter.serial);
    }
    if (filter.fromMs > 0) {
        parts << QStringLiteral("r.start_ms >= ?");
        *binds << filter.fromMs;
    }
    if (filter.toMs > 0) {
        parts << QStringLiteral("r.start_ms < ?");
        *binds << filter.toMs;
    }
    if (filter.outcome) {
        parts << QStringLiteral("r.outcome = ?");
        *binds << OutcomeCode(*filter.outcome);
    }
    if (!filter.procedure.isEmpty()) {
        parts << QStringLiteral("r.procedure_id = ?");
        *binds << filter.procedure;
    }
    if (!filter.station.isEmpty()) {
        parts << ContainsCondition(QStringLiteral("r.station"));
        *binds << ContainsPattern(filter.station);
    }
    // A procedure run is at a fixture's socket through its recipe run.
    if (!filter.fixture.isEmpty() || !filter.socket.isEmpty())
        parts << QStringLiteral("r.recipe_run_id IN (SELECT rr.id FROM recipe_runs rr%1)")
                     .arg(PlaceWhere(filter, binds));
    if (filter.selects()) {
        // The runs chosen, and those of the unit tests chosen.
        QStringList either;
        if (!filter.runIds.isEmpty()) either << QStringLiteral("r.id IN (%1)").arg(Marks(filter.runIds, binds));
        if (!filter.recipeRunIds.isEmpty())
            either << QStringLiteral("r.recipe_run_id IN (%1)").arg(Marks(filter.recipeRunIds, binds));
        parts << u'(' + either.join(QLatin1String(" OR ")) + u')';
    }
    return parts.isEmpty() ? QString() : QStringLiteral(" WHERE ") + parts.join(QLatin1String(" AND "));
}

QString RecipeRunsWhere(const RunFilter& filter, QVariantList* binds) {
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
    if (!filter.fixture.isEmpty() || !filter.socket.isEmpty())
        parts << PlaceWhere(filter, binds).mid(7);  // without its " WHERE "
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
        if (!filter.recipeRunIds.isEmpty()) either << QStringLiteral("rr.id IN (%1)").arg(Marks(filter.recipeRunIds, binds));
        if (!filter.runIds.isEmpty())
            either << QStringLiteral("rr.id IN (SELECT recipe_run_id FROM runs WHERE id IN (%1))")
                          .arg(Marks(filter.runIds, binds));
        parts << u'(' + either.join(QLatin1String(" OR ")) + u')';
    }
    return parts.isEmpty() ? QString() : QStringLiteral(" WHERE ") + parts.join(QLatin1String(" AND "));
}

QString UnitsJoin(const RunFilter& filter, const QString& alias) {
    return filter.serial.isEmpty() ? QString() : QStringLiteral(" JOIN units u ON u.id = %1.unit_id").arg(alias);
}

bool RunFiltered(QSqlQuery& q, const QString& sql, const QVariantList& binds, QString& error) {
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

}  // namespace pb::records
