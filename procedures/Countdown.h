#pragma once
// A long fixed wait (a controller restarting) that the status line counts down.

#include <QString>

#include "link/Clock.h"
#include "procedures/TestRunView.h"

namespace pb {

// Waits ms through the clock while the status line shows status followed by the
// seconds left, updated once a second: "Upgrading ... (7 s left)".
void WaitWithCountdown(Clock& clock, TestRunView& view, const QString& status, int ms);

}  // namespace pb
