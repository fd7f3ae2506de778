#pragma once
// The frame the two continuous tests share (DI/DO, polling): one button starts the test
// and, while it runs, stops it. Running, the window keeps the second click in reach (the
// window decides, on the test's start, what else goes out of reach); at the end
// everything is given back.

#include <functional>

#include "procedures/Procedure.h"

namespace pb {

struct StartStopTest {
    TestId test;
    bool& running;      // cleared by the second click
    MsgId runningStatus;  // message in the status line while it runs
};

// A click on the button. While the test runs it only clears the flag and returns Ok.
// Otherwise it opens the link and runs `body` until it returns; the body fills the run's
// detail and says how the run went (Interrupted: stopped before its own end).
RunResult RunStartStopTest(ProcedureContext& ctx, const StartStopTest& test,
                         const std::function<RunOutcome(TestRunFrame&)>& body);

}  // namespace pb
