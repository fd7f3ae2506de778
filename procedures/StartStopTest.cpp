#include "procedures/StartStopTest.h"

#include "i18n/Messages.h"

namespace pb {

Outcome RunStartStopTest(ProcedureContext& ctx, const StartStopButton& button,
                         const std::function<bool()>& body) {
    ProcedureView& view = ctx.view;
    TestRun run(ctx.link, view);

    // 1. A click while the test runs only stops it.
    if (button.running) {
        button.running = false;
        return Outcome::Ok;
    }

    // 2. Running: the button now cancels, the other tests are out of reach.
    button.running = true;
    button.setCaption(run.Msg(msg::CancelTest));
    button.setOtherButtonsEnabled(false);
    view.hideOtherTestTabs();

    // 3. Open the link.
    Outcome outcome = Outcome::Ok;
    if (!run.BeginTestRun()) {
        run.EndTestRunOpenFailed();
        outcome = Outcome::OpenFailed;
    } else {
        // 4. Give the window back so that the second click is seen.
        view.setWaitCursor(false);
        view.setWindowEnabled(true);
        view.setStatus(run.Msg(button.runningStatus));
        view.processEvents();

        // 5. The test itself, until it ends or is cancelled.
        if (body()) {
            run.EndTestRunOk();
        } else {
            run.EndTestRunError();
            outcome = Outcome::Error;
        }
    }

    // 6. Idle again; the caption in the language current now.
    button.running = false;
    button.setOtherButtonsEnabled(true);
    button.showPagesAfter();
    button.setCaption(run.Msg(button.idleCaption));
    return outcome;
}

}  // namespace pb
