#pragma once
// btnDIDO: a continuous test of the controller's outputs and inputs. The first click
// starts it and returns only when it has ended; a click while it runs (the loop keeps
// events flowing) only clears the running flag, and the test stops at the end of its
// current cycle.

#include <QString>

#include "procedures/Procedure.h"
#include "procedures/RunResult.h"

namespace pb {

// The pause between the commands of the test.
constexpr int kDidoPauseMs = 20;

// How a run that the user stopped ends. The window's user reads the lamps, so the run
// ends well whatever they showed; a caller with no reader needs one answered read.
enum class DidoEnding { UserReadsLamps, NeedsAnsweredRead };

// The click: cancels a running test, or runs one to its end. A cancel returns Ok at once;
// a test whose line went away while it ran ends by itself with Error, and so does one
// with no answered read when `ending` needs one. The result says what the run found.
DidoResult DidoTestClick(ProcedureContext& ctx, DidoEnding ending = DidoEnding::UserReadsLamps);

// Why a run had no good read, in English for the records and the command line:
// "no reply to DG0 in 3 of 3 cycles".
QString DidoUnansweredText(const DidoFindings& found);

// The command the model kind reads its inputs with: "DG0", or "IE and DF".
QString DidoReadCommand(int modelKind);

}  // namespace pb
