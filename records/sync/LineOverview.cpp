#include "records/sync/LineOverview.h"

#include <QDateTime>
#include <QMap>

#include "records/figures/LineFigures.h"
#include "records/store/RecordStore.h"

namespace pb::records {

namespace {

// The station's newest failed unit test today. The filter's station is a part of the
// name, so the newest few are read and the first that is the station's own taken.
void FillLastFailure(RecordStore& server, qint64 dayStartMs, StationOverview& row) {
    RunFilter filter;
    filter.fromMs = dayStartMs;
    filter.station = row.station;
    filter.outcome = Outcome::Error;
    for (const RecipeRunRow& run : server.queries().recipeRuns(filter, 8)) {
        if (run.station != row.station) continue;
        row.lastFailureMs = run.endMs > 0 ? run.endMs : run.startMs;
        row.lastFailureCause = run.cause;
        if (const RecipeStepRow* step = run.failing())
            row.lastFailureStep = step->label.isEmpty() ? QString::number(step->index + 1) : step->label;
        else if (run.failingStep >= 0)
            row.lastFailureStep = QString::number(run.failingStep + 1);
        return;
    }
}

}  // namespace

qint64 DayStartMs(qint64 nowMs) {
    return QDateTime(QDateTime::fromMSecsSinceEpoch(nowMs).date(), QTime(0, 0)).toMSecsSinceEpoch();
}

QList<StationOverview> ReadLineOverview(RecordStore& server, qint64 nowMs, qint64 dayStartMs, QString* error) {
    QMap<QString, StationOverview> byStation;
    QString why;
    for (const Heartbeat& beat : ReadHeartbeats(server.database(), &why)) {
        StationOverview& row = byStation[beat.station];
        row.station = beat.station;
        row.seenMs = beat.seenMs;
        row.activity = beat.activity;
        row.away = nowMs - beat.seenMs > kAwayAfterMs;
    }
    RunFilter today;
    today.fromMs = dayStartMs;
    LineFigures figures(server.database());
    for (const YieldRow& y : figures.yields(today, FigureBy::Station)) {
        StationOverview& row = byStation[y.key];
        row.station = y.key;
        row.units = y.units;
        row.firstTests = y.firstTests;
        row.firstPassYield = y.firstPassYield().value_or(0.0);
    }
    if (why.isEmpty()) why = figures.error();
    QList<StationOverview> rows;
    for (StationOverview& row : byStation) {
        if (row.units > 0) FillLastFailure(server, dayStartMs, row);
        rows << row;
    }
    if (why.isEmpty() && !server.isOpen()) why = server.status().detail;
    if (error) *error = why;
    return rows;
}

}  // namespace pb::records
