#pragma once
// The two consoles of the command page: one command typed by the user, sent to the
// controller or to a module on it, and the reply shown.

#include "procedures/Procedure.h"

namespace pb {

// btnCommand: device ID + the typed text, unchanged. Stores the link settings after a
// command that succeeded.
Outcome ControllerCommand(ProcedureContext& ctx, const QString& typedText);

// The letter that addresses a module type, by item index of cmbModuleType; empty for an
// index outside the list.
QString ModuleTypeLetter(int typeIndex);

// btnModuleCommand: device ID + "DD" + type letter + module number + the typed text.
Outcome ModuleCommand(ProcedureContext& ctx, int typeIndex, const QString& moduleNumber,
                      const QString& typedText);

}  // namespace pb
