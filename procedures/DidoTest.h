#pragma once
// btnDIDO: a continuous test of the controller's outputs and inputs. The first click
// starts it and returns only when it has ended; a click while it runs (the loop keeps
// events flowing) only clears the running flag, and the test stops at the end of its
// current cycle.

#include <QString>
#include <QStringList>

#include "procedures/Procedure.h"

namespace pb {

// The pause between the commands of the test.
constexpr int kDidoPauseMs = 20;

// What a run of the test found, for a caller with no one to read the lamps. A cycle's
// input read is answered when every reply it needs came back whole, passed its checksum
// and holds 0/1 digits where the inputs are.
struct DidoFindings {
    int cycles = 0;         // cycles run to their end
    int answeredReads = 0;  // cycles whose input read was answered
    QString readCommand;    // what a cycle reads the inputs with: "DG0", or "IE and DF"
    QString lastInputs;     // inputs 1-8 of the last answered read ('-': not read); empty: none
    QStringList inputStates;  // each distinct state of the answered reads once, first seen first
    bool closingSent = false;

    int unansweredReads() const { return cycles - answeredReads; }
};

// How a run that the user stopped ends. The window's user reads the lamps, so the run
// ends well whatever they showed; a caller with no reader needs one answered read.
enum class DidoEnding { UserReadsLamps, NeedsAnsweredRead };

// The click: cancels a running test, or runs one to its end. A cancel returns Ok at once;
// a test whose line went away while it ran ends by itself with Error, and so does one
// with no answered read when `ending` needs one. A run fills `found` when given.
Outcome DidoTestClick(ProcedureContext& ctx, DidoFindings* found = nullptr,
                      DidoEnding ending = DidoEnding::UserReadsLamps);

// Why a run had no good read, in English for the records and the command line:
// "no reply to DG0 in 3 of 3 cycles".
QString DidoUnansweredText(const DidoFindings& found);

// The command the model kind reads its inputs with: "DG0", or "IE and DF".
QString DidoReadCommand(int modelKind);

}  // namespace pb
