#pragma once
// What every controller test works with.

#include "link/Clock.h"
#include "link/Link.h"
#include "procedures/ConsoleView.h"
#include "procedures/ControllerState.h"
#include "procedures/DidoView.h"
#include "procedures/IdentifyView.h"
#include "procedures/PollingView.h"
#include "procedures/TestRunFrame.h"
#include "procedures/TestRunView.h"

namespace pb {

struct ProcedureContext {
    Link& link;
    // What the link opens with: handed down by the front end (the window's link page, a
    // command's --serial or --tcp, a fixture's socket), which keeps it while the test runs;
    // never read back from a view.
    const LinkSettings& linkSettings;
    TestRunView& view;  // status line, lamp, busy, the test's start and end
    IdentifyView& identify;
    DidoView& dido;
    PollingView& polling;
    ConsoleView& consoles;
    Clock& clock;
    ControllerState& state;
    RunObserver* observer = nullptr;
    // Skip, once, the pause before connect-and-identify's first command. A recipe run sets
    // it for its first command: the operator's scan is the cue and nothing went on the
    // line before to space it from. Every other caller keeps the pause.
    bool skipFirstCommandPause = false;

    // The frame a test of this context runs in.
    TestRunFrame frame(TestId test) { return TestRunFrame(test, link, linkSettings, view, clock, observer); }
};

// The pause before a test's first command.
constexpr int kFirstCommandPauseMs = 100;

}  // namespace pb
