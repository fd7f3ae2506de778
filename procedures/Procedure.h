#pragma once
// What every controller test works with, and how it ended.

#include "link/Clock.h"
#include "link/Link.h"
#include "procedures/ControllerState.h"
#include "procedures/ProcedureView.h"

namespace pb {

// Which end of the test-run bracket a test took.
enum class Outcome { Ok, Error, OpenFailed };

struct ProcedureContext {
    Link& link;
    ProcedureView& view;
    Clock& clock;
    ControllerState& state;
};

// The pause before a test's first command.
constexpr int kFirstCommandPauseMs = 100;

}  // namespace pb
