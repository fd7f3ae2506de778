#pragma once
// `panelbench-cli records stats --by day|shift|station|fixture|socket|recipe|step` (and
// `upgrade|duration|latency`: how long things take): the line's figures over the records' filters, as a table, JSON lines or CSV
// (docs/panelbench-cli.md, "Figures").

#include <QString>

#include "records/figures/LineFigures.h"
#include "records/store/RecordStore.h"

namespace cli {

enum class StatsFormat { Table, Json, Csv };

struct StatsJob {
    QString by;  // a FigureBy's name, "step" or "cause" (the failures' Pareto), "upgrade", "duration", "latency"
    StatsFormat format = StatsFormat::Table;
    int language = 0;  // of the causes' titles
    pb::records::RunFilter filter;
    pb::records::ShiftTimes shifts;
};

// True for what --by may name.
bool IsStatsGrouping(const QString& by);

// Prints the figures to standard output; 0, or 5 when the store could not answer.
int PrintStats(pb::records::RecordStore& store, const StatsJob& job);

}  // namespace cli
