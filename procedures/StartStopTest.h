#pragma once
// The frame the two continuous tests share (DI/DO, polling): one button starts the test
// and, while it runs, stops it. Running, the button reads "Cancel test", the other test
// buttons are disabled, the other pages hidden, and the window stays usable so that the
// second click is seen; at the end everything is given back.

#include <functional>

#include "procedures/Procedure.h"

namespace pb {

struct StartStopButton {
    bool& running;  // cleared by the second click
    std::function<void(const QString&)> setCaption;
    std::function<void(bool)> setOtherButtonsEnabled;
    int runningStatus;  // message in the status line while it runs
    int idleCaption;    // message on the button afterwards
    std::function<void()> showPagesAfter;
};

// A click on the button. While the test runs it only clears the flag and returns Ok.
// Otherwise it opens the link and runs `body` (true: ended well) until it returns.
Outcome RunStartStopTest(ProcedureContext& ctx, const StartStopButton& button,
                         const std::function<bool()>& body);

}  // namespace pb
