#pragma once
// btnConnect: find the controller, learn its device ID, model kind, version and serial
// number, show them and unlock the test pages.

#include "procedures/Procedure.h"

namespace pb {

Outcome ConnectAndIdentify(ProcedureContext& ctx);

}  // namespace pb
