#pragma once
// A run the user stopped: a test cut short by its link being closed on request fails at
// its next exchange, which is the stop's doing, not the unit's. Such a run is kept as
// interrupted; one that ended well, or could not open its link, stays as it was.

#include "procedures/RunObserver.h"

namespace pb {

inline RunReport AsAsked(RunReport report, bool stopAsked) {
    if (stopAsked && report.outcome == RunOutcome::Error) report.outcome = RunOutcome::Interrupted;
    return report;
}

}  // namespace pb
