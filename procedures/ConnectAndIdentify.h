#pragma once
// btnConnect: find the controller, learn its device ID, model kind, version and serial
// number, show them and unlock the test pages.

#include "procedures/Procedure.h"
#include "procedures/RunResult.h"

namespace pb {

// The controller found comes back in the result as well as on show.
IdentifyResult ConnectAndIdentify(ProcedureContext& ctx);

}  // namespace pb
