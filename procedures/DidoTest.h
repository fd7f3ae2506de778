#pragma once
// btnDIDO: a continuous test of the controller's outputs and inputs. The first click
// starts it and returns only when it has ended; a click while it runs (the loop keeps
// events flowing) only clears the running flag, and the test stops at the end of its
// current cycle.

#include "procedures/Procedure.h"

namespace pb {

// The pause between the commands of the test.
constexpr int kDidoPauseMs = 20;

// The click: cancels a running test, or runs one to its end. A cancel returns Ok at once;
// a test whose line went away while it ran ends by itself with Error.
Outcome DidoTestClick(ProcedureContext& ctx);

}  // namespace pb
