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

// The input states a run saw, for its record: each distinct state of inputs 1-8 once,
// '1' on, '0' off, '-' not read (inputs 5-6 of the older controller).
struct InputsSeen {
    static constexpr int kMostKept = 32;
    QByteArray now = QByteArray(kInputCount, '-');
    QJsonArray states;

    void endCycle() {
        const QString state = QString::fromLatin1(now);
        if (states.size() < kMostKept && !states.contains(state)) states.append(state);
    }
};

// Shows inputs first, first+1, ... from the reply characters of the field.
void showInputs(ProcedureContext& ctx, int first, const ReplyFrame& reply, ReplyField field,
                InputsSeen& seen) {
    const QByteArray inputs = reply.at(field);
    for (int i = 0; i < inputs.size(); ++i) {
        ctx.dido.setInputLamp(first + i, lampOf(inputs[i]));
        if (first + i <= kInputCount) seen.now[first + i - 1] = inputs[i] == '1' ? '1' : '0';
    }
}

Exchange send(ProcedureContext& ctx, const QString& command) {
    return ctx.link.SendCrcCommand(ctx.state.deviceId + command);
}

// The older controller: three outputs set one by one, inputs 1-4 from "IE", 7-8 from "DF".
void runShortVariantCycle(ProcedureContext& ctx, InputsSeen& seen) {
    for (int k = 1; k <= 3; ++k) {
        ctx.view.processEvents();
        send(ctx, QStringLiteral("JD%1%2").arg(k).arg(ctx.dido.outputTicked(k) ? 1 : 0));
        ctx.clock.pause(kDidoPauseMs);
    }

    ctx.view.processEvents();
    if (const Exchange x = send(ctx, QStringLiteral("IE"));
        x && (x.reply.length() == reply::ieOlder::kLength ||
              x.reply.length() == reply::ieOlder::kLengthShort))
        showInputs(ctx, 1, x.reply, reply::ieOlder::kInputs1To4, seen);

    ctx.clock.pause(kDidoPauseMs);
    ctx.view.processEvents();
    if (const Exchange x = send(ctx, QStringLiteral("DF"));
        x && x.reply.length() == reply::df::kLength)
        showInputs(ctx, 7, x.reply, reply::df::kInputs7To8, seen);

    ctx.clock.pause(kDidoPauseMs);
}

// Every other controller: each ticked output pulsed, all eight inputs from "DG0".
void runStandardVariantCycle(ProcedureContext& ctx, InputsSeen& seen) {
    for (int k = 1; k <= kOutputCount; ++k) {
        if (!ctx.dido.outputTicked(k)) continue;
        ctx.view.processEvents();
        send(ctx, QStringLiteral("JC00") + QString::number(k) + QStringLiteral("10002"));
        ctx.clock.pause(kDidoPauseMs);
    }

    ctx.view.processEvents();
    if (const Exchange x = send(ctx, QStringLiteral("DG0"));
        x && x.reply.length() == reply::dg0::kLength)
        showInputs(ctx, 1, x.reply, reply::dg0::kInputs1To8, seen);

    ctx.clock.pause(kDidoPauseMs);
}

// Cycles until cancelled; false when the line went away first. A controller that does
// not answer only leaves the lamps as they were, but a line that is gone (the peer hung
// up, the adapter was pulled: the link has closed itself) can carry nothing more, and
// cycling on would show a running test that is not.
bool runCycles(ProcedureContext& ctx, int& cycles, InputsSeen& seen) {
    const bool shortVariant = FamilyOf(ctx.state.modelKind).dido == DidoVariant::Short;
    while (ctx.state.didoRunning && ctx.link.isOpen()) {
        if (shortVariant)
            runShortVariantCycle(ctx, seen);
        else
            runStandardVariantCycle(ctx, seen);
        // A cycle the line went away in is not one of those it held for.
        if (!ctx.link.isOpen()) break;
        seen.endCycle();
        ++cycles;
    }
    if (!ctx.link.isOpen()) return false;
    // The closing command; its answer does not matter.
    if (shortVariant) {
        ctx.clock.pause(kDidoPauseMs);
        send(ctx, QStringLiteral("JE"));
    } else {
        send(ctx, QStringLiteral("JD"));
    }
    return true;
}

}  // namespace

Outcome DidoTestClick(ProcedureContext& ctx) {
    const StartStopTest test{TestId::Dido, ctx.state.didoRunning, MsgId::DidoTest};
    return RunStartStopTest(ctx, test, [&](TestRunFrame& run) {
        // Cycle until cancelled, then send the closing command.
        int cycles = 0;
        InputsSeen seen;
        const bool lineHeld = runCycles(ctx, cycles, seen);
        run.detail().insert(QStringLiteral("cycles"), cycles);
        run.detail().insert(QStringLiteral("inputStates"), seen.states);

        // Leave everything off; a line lost on the way is an error. The test has no end
        // of its own: the user's stop is how it ends well.
        for (int k = 1; k <= kInputCount; ++k) ctx.dido.setInputLamp(k, InputLamp::White);
        ctx.dido.untickAllOutputs();
        if (!lineHeld)
            return run.fail({EndingCause::LineWentAwayAfterCycles, {QString::number(cycles)}});
        return RunOutcome::Ok;
    });
}

}  // namespace pb
