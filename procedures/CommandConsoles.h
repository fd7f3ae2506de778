#pragma once
// The two consoles of the command page: one command typed by the user, sent to the
// controller or to a module on it, and the reply shown.

#include "procedures/Procedure.h"
#include "procedures/RunResult.h"

namespace pb {

// btnCommand: device ID + the typed text, unchanged. Stores the link settings after a
// command that succeeded. The reply comes back in the result as well as on show.
ConsoleResult ControllerCommand(ProcedureContext& ctx, const QString& typedText);

// The letter that addresses a module type, by item index of cmbModuleType; empty for an
// index outside the list.
QString ModuleTypeLetter(int typeIndex);
// The item index of the module type a letter addresses; -1 for none. The command line
// takes the letter in either case, a recipe's module command as the list writes it.
int ModuleTypeOfLetter(const QString& letter, Qt::CaseSensitivity cs = Qt::CaseSensitive);

// btnModuleCommand: device ID + "DD" + type letter + module number + the typed text.
ConsoleResult ModuleCommand(ProcedureContext& ctx, int typeIndex, const QString& moduleNumber,
                            const QString& typedText);

}  // namespace pb
