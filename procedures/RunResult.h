#pragma once
// What a test run found, returned as a value by the procedure that ran it: the ending it
// showed, why it ended so, how the link opened, and what the test itself found. A caller
// reads these fields; nothing is recovered afterwards from what the views showed, from the
// frames on the link or from the run's report. Every result converts to the ending it
// showed, so `if (ConnectAndIdentify(ctx) == Outcome::Ok)` reads as before.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "evidence/Cause.h"
#include "link/Exchange.h"
#include "procedures/EventRecord.h"
#include "procedures/RunObserver.h"
#include "procedures/TestRunView.h"

namespace pb {

// The part every run has.
struct RunResult {
    Outcome outcome = Outcome::Error;
    // Why the run ended as it did (no reply to AA, the line lost after 12 exchanges); Ok
    // for a run that ended well.
    Cause cause;
    // How the link opened: its error, detail and facts when it would not.
    OpenResult opened;

    operator Outcome() const { return outcome; }
    // The link itself would not open: nothing went on the line. (A connect that found
    // no controller also ends OpenFailed, but its link opened and carried the questions.)
    bool linkNotOpened() const { return outcome == Outcome::OpenFailed && !opened.ok(); }
};

// Connect and identify: the controller found. deviceId and modelKind are what the
// controller state holds after the run; the version text is what pnVER showed last
// (also after a controller that answered but could not be identified); the serial number
// is the "AS" reply's, whole, blanks and all, and empty unless the run identified one.
struct IdentifyResult : RunResult {
    QString deviceId;
    int modelKind = 0;
    QString versionText;
    QString serialNumber;

    // The run identified the controller (its identity went to the records too).
    bool identified() const { return outcome == Outcome::Ok; }
    ControllerIdentity identity() const { return {deviceId, modelKind, versionText, serialNumber}; }
};

// What a DI/DO run found. A cycle's input read is answered when every reply it needs came
// back whole, passed its checksum and holds 0/1 digits where the inputs are.
struct DidoFindings {
    int cycles = 0;         // cycles run to their end
    int answeredReads = 0;  // cycles whose input read was answered
    QString readCommand;    // what a cycle reads the inputs with: "DG0", or "IE and DF"
    QString lastInputs;     // inputs 1-8 of the last answered read ('-': not read); empty: none
    QStringList inputStates;  // each distinct state of the answered reads once, first seen first
    // The inputs of each cycle in turn, as lastInputs; empty for a cycle whose read was not
    // answered. The first kMostCyclesKept cycles only: the test may run for hours.
    QStringList inputsPerCycle;
    bool closingSent = false;  // the closing command ("JD", "JE") went out

    static constexpr int kMostCyclesKept = 1000;

    int unansweredReads() const { return cycles - answeredReads; }
};

// The DI/DO button's run. A click that only stopped a running test ran nothing: Ok, with
// nothing found and onlyStopped set.
struct DidoResult : RunResult, DidoFindings {
    bool onlyStopped = false;
};

// One record the polling test read, and how the panels showed it (in the view's language).
struct PolledRecord {
    EventRecord record;
    QString dateText;  // pnPoolingDate
    QString text;      // pnPoolingData
};

// The polling data test: the records read, in order. stored: how many records the store
// said it held from the oldest on ("IB"); -1 when the test did not get that far.
struct PollingResult : RunResult {
    int stored = -1;
    QList<PolledRecord> records;

    int recordsRead() const { return int(records.size()); }
};

// A console command: what was sent and what came back.
struct ConsoleResult : RunResult {
    QString command;  // device ID + the command as sent; empty when nothing was tried
    QString reply;    // the reply as the console shows it; empty without one
    // The reply after the device ID: mnemonic and data, without the checksum tail; none
    // when no reply came or it does not start with the ID and a mnemonic.
    std::optional<QString> replyText;
};

// Set date: the date and time sent (invalid when the run sent none).
struct SetDateResult : RunResult {
    QDateTime sent;
};

// After a restart: whether, and when, the controller answered again.
struct AnswerResult : RunResult {
    qint64 answeredAfterMs = -1;  // from the first question; -1 when it did not answer
};

}  // namespace pb
