#pragma once
// A run filter over the counts the writer keeps by the hour (FigureRollup.h): whether they
// answer for it, and its conditions on them. The line's figures and the duration figures
// read the counts alike.

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <optional>

#include "records/store/RecordTypes.h"

namespace pb::records {

// The verdict the filter keeps (empty: every ended one); nullopt when it keeps no ended one.
std::optional<QString> KeptVerdict(const RunFilter& filter);

// The hours' counts answer for the filter when it asks only what they keep: whole hours,
// the station, fixture, socket and outcome; not a unit, a serial or chosen runs.
bool HoursAnswer(const RunFilter& filter);

// The filter over the hours' counts in `table` (" WHERE ..." or empty), but for its verdict,
// which each table keeps its own way: only that nothing is kept of no ended verdict.
// `stations`: those whose name holds the filter's part (StationsInCounts).
QString HoursWhere(const RunFilter& filter, const QStringList& stations, const QString& table, QVariantList* binds);

// The stations of the counts whose name holds `part` (as the filter matches a station), so
// that the counts are read by their station's index rather than each name matched.
QStringList StationsInCounts(QSqlDatabase& db, const QString& part, QString& error);

}  // namespace pb::records
