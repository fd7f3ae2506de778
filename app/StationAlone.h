#pragma once
// `panelbench --station RECIPE`: the test station alone, without the technicians'
// window, on the stored link settings, language and records.

#include <QString>

namespace pb {

// Runs the station until it is closed; the exit code: 0, or 2 when the recipe has
// mistakes (listed on standard error).
int RunStationAlone(const QString& recipePath);

}  // namespace pb
