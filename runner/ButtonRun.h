#pragma once
// A window's button through the one runner: its test's procedure in the window's own rig
// (its views, link, state, clock and records), then what it found, as data, to whoever
// keeps the run (its cause the test-run frame decided). The window's own flow and texts
// stay the procedure's: no identify first, no judge beyond the run's ending.

#include "catalogue/TestCatalogue.h"

namespace pb {

inline TestResult RunButton(TestRig& rig, const TestRequest& request) {
    const TestResult found = RunTest(rig, request);
    if (RunObserver* keeper = rig.procedures.observer) keeper->runMeasured(MeasurementsOf(found));
    return found;
}

}  // namespace pb
