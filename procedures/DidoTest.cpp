#include "procedures/DidoTest.h"

#include <QJsonArray>

#include "i18n/Messages.h"
#include "procedures/ReplyLayouts.h"
#include "procedures/StartStopTest.h"

namespace pb {
namespace {

constexpr int kInputCount = 8;
constexpr int kOutputCount = 4;

InputLamp lampOf(char input) {
    return input == '1' ? InputLamp::Yellow : InputLamp::White;
}

// What the run found so far; `now` holds the inputs of the cycle in hand, '-' where not
// read (inputs 5-6 of the older controller, or a read that was not answered).
struct RunFindings {
    static constexpr int kMostStatesKept = 32;
    DidoFindings found;
    QByteArray now;

    void beginCycle() { now = QByteArray(kInputCount, '-'); }
    void endCycle(bool answered) {
        ++found.cycles;
        if (found.inputsPerCycle.size() < DidoFindings::kMostCyclesKept)
            found.inputsPerCycle.append(answered ? QString::fromLatin1(now) : QString());
        if (!answered) return;
        ++found.answeredReads;
        found.lastInputs = QString::fromLatin1(now);
        if (found.inputStates.size() < kMostStatesKept && !found.inputStates.contains(found.lastInputs))
            found.inputStates.append(found.lastInputs);
    }
};

// Whether the reply characters of the field are the inputs' 0/1 digits.
bool holdsInputs(const ReplyFrame& reply, ReplyField field) {
    const QByteArray inputs = reply.at(field);
    if (inputs.size() != field.count) return false;
    for (char c : inputs)
        if (c != '0' && c != '1') return false;
    return true;
}

// Shows inputs first, first+1, ... from the reply characters of the field; true when
// they are the inputs' digits, which then count as read.
bool showInputs(ProcedureContext& ctx, int first, const ReplyFrame& reply, ReplyField field,
                RunFindings& seen) {
    const QByteArray inputs = reply.at(field);
    for (int i = 0; i < inputs.size(); ++i) ctx.dido.setInputLamp(first + i, lampOf(inputs[i]));
    if (!holdsInputs(reply, field)) return false;
    for (int i = 0; i < inputs.size() && first + i <= kInputCount; ++i) seen.now[first + i - 1] = inputs[i];
    return true;
}

Exchange send(ProcedureContext& ctx, const QString& command) {
    return ctx.link.SendCrcCommand(ctx.state.deviceId + command);
}

// The older controller: three outputs set one by one, inputs 1-4 from "IE", 7-8 from "DF".
// True when both reads were answered.
bool runShortVariantCycle(ProcedureContext& ctx, RunFindings& seen) {
    for (int k = 1; k <= 3; ++k) {
        ctx.view.processEvents();
        send(ctx, QStringLiteral("JD%1%2").arg(k).arg(ctx.dido.outputTicked(k) ? 1 : 0));
        ctx.clock.pause(kDidoPauseMs);
    }

    bool answered = false;
    ctx.view.processEvents();
    if (const Exchange x = send(ctx, QStringLiteral("IE"));
        x && (x.reply.length() == reply::ieOlder::kLength ||
              x.reply.length() == reply::ieOlder::kLengthShort))
        answered = showInputs(ctx, 1, x.reply, reply::ieOlder::kInputs1To4, seen);

    ctx.clock.pause(kDidoPauseMs);
    ctx.view.processEvents();
    if (const Exchange x = send(ctx, QStringLiteral("DF")); x && x.reply.length() == reply::df::kLength)
        answered = showInputs(ctx, 7, x.reply, reply::df::kInputs7To8, seen) && answered;
    else
        answered = false;

    ctx.clock.pause(kDidoPauseMs);
    return answered;
}

// Every other controller: each ticked output pulsed, all eight inputs from "DG0". True
// when the read was answered.
bool runStandardVariantCycle(ProcedureContext& ctx, RunFindings& seen) {
    for (int k = 1; k <= kOutputCount; ++k) {
        if (!ctx.dido.outputTicked(k)) continue;
        ctx.view.processEvents();
        send(ctx, QStringLiteral("JC00") + QString::number(k) + QStringLiteral("10002"));
        ctx.clock.pause(kDidoPauseMs);
    }

    bool answered = false;
    ctx.view.processEvents();
    if (const Exchange x = send(ctx, QStringLiteral("DG0")); x && x.reply.length() == reply::dg0::kLength)
        answered = showInputs(ctx, 1, x.reply, reply::dg0::kInputs1To8, seen);

    ctx.clock.pause(kDidoPauseMs);
    return answered;
}

// Cycles until cancelled; false when the line went away first. A controller that does
// not answer only leaves the lamps as they were, but a line that is gone (the peer hung
// up, the adapter was pulled: the link has closed itself) can carry nothing more, and
// cycling on would show a running test that is not.
bool runCycles(ProcedureContext& ctx, RunFindings& seen) {
    const bool shortVariant = FamilyOf(ctx.state.modelKind).dido == DidoVariant::Short;
    while (ctx.state.didoRunning && ctx.link.isOpen()) {
        seen.beginCycle();
        const bool answered =
            shortVariant ? runShortVariantCycle(ctx, seen) : runStandardVariantCycle(ctx, seen);
        // A cycle the line went away in is not one of those it held for.
        if (!ctx.link.isOpen()) break;
        seen.endCycle(answered);
    }
    if (!ctx.link.isOpen()) return false;
    // The closing command; its answer does not matter.
    if (shortVariant) {
        ctx.clock.pause(kDidoPauseMs);
        send(ctx, QStringLiteral("JE"));
    } else {
        send(ctx, QStringLiteral("JD"));
    }
    seen.found.closingSent = true;
    return true;
}

}  // namespace

DidoResult DidoTestClick(ProcedureContext& ctx, DidoEnding ending) {
    const StartStopTest test{TestId::Dido, ctx.state.didoRunning, MsgId::DidoTest};
    const bool onlyStops = ctx.state.didoRunning;  // a click that stops a run runs none
    RunFindings seen;
    seen.found.readCommand = DidoReadCommand(ctx.state.modelKind);
    const RunResult outcome = RunStartStopTest(ctx, test, [&](TestRunFrame& run) {
        // Cycle until cancelled, then send the closing command.
        const bool lineHeld = runCycles(ctx, seen);
        run.detail().insert(QStringLiteral("cycles"), seen.found.cycles);
        run.detail().insert(QStringLiteral("inputReadsAnswered"), seen.found.answeredReads);
        run.detail().insert(QStringLiteral("inputStates"), QJsonArray::fromStringList(seen.found.inputStates));

        // Leave everything off; a line lost on the way is an error. The test has no end
        // of its own: the user's stop is how it ends well.
        for (int k = 1; k <= kInputCount; ++k) ctx.dido.setInputLamp(k, InputLamp::White);
        ctx.dido.untickAllOutputs();
        if (!lineHeld)
            return run.fail(Cause::of(CauseCode::LineLost, {0, seen.found.readCommand}));
        // The window's technician read the lamps: the run gives no verdict of its own.
        if (ending == DidoEnding::UserReadsLamps) return RunOutcome::Watched;
        if (seen.found.answeredReads == 0) {
            run.detail().insert(QStringLiteral("failure"), DidoUnansweredText(seen.found));
            return run.fail(Cause::of(CauseCode::NoReply, {seen.found.readCommand}));
        }
        return RunOutcome::Ok;
    });
    DidoResult result;
    static_cast<RunResult&>(result) = outcome;
    if (onlyStops) result.onlyStopped = true;
    else static_cast<DidoFindings&>(result) = seen.found;
    return result;
}

QString DidoUnansweredText(const DidoFindings& found) {
    return QStringLiteral("no reply to %1 in %2 of %3 cycles")
        .arg(found.readCommand)
        .arg(found.unansweredReads())
        .arg(found.cycles);
}

QString DidoReadCommand(int modelKind) {
    return FamilyOf(modelKind).dido == DidoVariant::Short ? QStringLiteral("IE and DF")
                                                          : QStringLiteral("DG0");
}

}  // namespace pb
