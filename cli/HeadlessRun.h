#pragma once
// One unit's run: the command's test from the catalogue (catalogue/TestCatalogue.h), the
// window's own procedure driven through the view with no window (runner/HeadlessView.h),
// and the command line's words for what it found. The rest of cli/ sees UnitLink,
// CommandJob and UnitEvent.

#include <functional>

#include "cli/Cancel.h"
#include "cli/UnitJob.h"
#include "link/Link.h"
#include "link/LinkSettings.h"

namespace cli {

using EventSink = std::function<void(const UnitEvent&)>;

// Runs the command on one unit in the calling thread (its event loop waits), giving
// every event to sink as it happens; returns the result event, which is the last one.
UnitEvent RunUnit(int unit, const UnitLink& link, const CommandJob& job, Cancel& cancel,
                  const EventSink& sink);

// The link settings of a unit's link.
pb::LinkSettings SettingsOf(const UnitLink& unit);
// "sent", "received", "failed": a frame's direction in the events.
QString DirectionName(pb::TrafficRecord::Direction direction);

// The module type index for a type given as its index (0..5) or letter; -1 if neither.
int ModuleTypeIndex(const QString& type);

}  // namespace cli
