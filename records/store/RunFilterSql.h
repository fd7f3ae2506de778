#pragma once
// A run filter as SQL: the WHERE clause over the runs (r, joined to their unit u) and the
// one over the recipe runs (rr, joined to u), each appending its bind values in the
// order of its text.

#include <QList>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include "records/store/RecordTypes.h"

namespace pb::records {

QString RunsWhere(const RunFilter& filter, QVariantList* binds);
// Recipe runs: a serial matches the unit's or the scanned one, the outcome is that of the
// verdict, and a selection of runs selects the recipe runs holding them.
QString RecipeRunsWhere(const RunFilter& filter, QVariantList* binds);

// " JOIN units u ON u.id = <alias>.unit_id" when the filter's conditions name the unit (u),
// else nothing: most reads need not look up every row's unit.
QString UnitsJoin(const RunFilter& filter, const QString& alias);

// Runs a read of `sql` (its filter's conditions among it) with `binds`, forward only.
// False with the driver's reason in `error`; `error` cleared when it ran.
bool RunFiltered(QSqlQuery& q, const QString& sql, const QVariantList& binds, QString& error);

}  // namespace pb::records
