#include "procedures/StartStopTest.h"

namespace pb {

RunResult RunStartStopTest(ProcedureContext& ctx, const StartStopTest& test,
                           const std::function<RunOutcome(TestRunFrame&)>& body) {
    // 1. A click while the test runs only stops it.
    if (test.running) {
        test.running = false;
        RunResult stopped;
        stopped.outcome = Outcome::Ok;
        return stopped;
    }

    // 2. Running: the window puts the button to cancelling and the other tests out of
    // reach when it hears the test start.
    test.running = true;
    TestRunFrame run = ctx.frame(test.test);
    const RunResult outcome = run.run([&] {
        // 3. Give the window back so that the second click is seen.
        run.giveWindowBack();
        ctx.view.setStatus(run.Msg(test.runningStatus));
        ctx.view.processEvents();

        // 4. The test itself, until it ends or is cancelled.
        return body(run);
    });

    // 5. Idle again; the window gave everything back when it heard the test end.
    test.running = false;
    return outcome;
}

}  // namespace pb
