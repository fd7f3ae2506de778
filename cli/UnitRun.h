#pragma once
// One unit's run of the command line: the command's plan (a recipe, or the command's one
// step) through the one runner (runner/RecipeRunner.h), its news as the unit's events, and
// the command line's words, exit code and detail for what it came to.

#include <functional>

#include "cli/UnitJob.h"
#include "link/Link.h"
#include "link/LinkSettings.h"
#include "runner/Cancel.h"
#include "runner/RecipeRunner.h"

namespace cli {

using EventSink = std::function<void(const UnitEvent&)>;

// Runs the command on one unit in the calling thread (its event loop waits), giving
// every event to sink as it happens; returns the result event, which is the last one.
UnitEvent RunUnit(int unit, const UnitLink& link, const CommandJob& job, pb::Cancel& cancel, const EventSink& sink);

// The link settings of a unit's link.
pb::LinkSettings SettingsOf(const UnitLink& unit);
// "sent", "received", "failed": a frame's direction in the events.
QString DirectionName(pb::TrafficRecord::Direction direction);

// The exit code a run came to: 0 passed; 3 the link; 4 the controller or its identity; 5 a
// command or a judged value; 6 the firmware file or its release; 7 programming or verify (the
// unit may be half-flashed); 130 a cancel.
int ExitCodeOf(const pb::RecipeRunResult& result);

}  // namespace cli
