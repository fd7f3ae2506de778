#include "procedures/DidoTest.h"

#include "i18n/Messages.h"

namespace pb {
namespace {

constexpr int kInputCount = 8;
constexpr int kOutputCount = 4;

InputLamp lampOf(char input) {
    return input == '1' ? InputLamp::Yellow : InputLamp::White;
}

// Shows inputs first, first+1, ... from the reply characters starting at position.
void showInputs(ProcedureContext& ctx, int first, int position, int count) {
    const QByteArray inputs = ctx.link.replyAt(position, count);
    for (int i = 0; i < inputs.size(); ++i) ctx.view.setInputLamp(first + i, lampOf(inputs[i]));
}

bool send(ProcedureContext& ctx, const QString& command) {
    return ctx.link.SendCrcCommand(ctx.state.deviceId + command);
}

// The older controller: three outputs set one by one, inputs 1-4 from "IE", 7-8 from "DF".
void runShortVariantCycle(ProcedureContext& ctx) {
    for (int k = 1; k <= 3; ++k) {
        ctx.view.processEvents();
        send(ctx, QStringLiteral("JD%1%2").arg(k).arg(ctx.view.outputTicked(k) ? 1 : 0));
        ctx.clock.pause(kDidoPauseMs);
    }

    ctx.view.processEvents();
    if (send(ctx, QStringLiteral("IE")) &&
        (ctx.link.replyLength() == 52 || ctx.link.replyLength() == 32))
        showInputs(ctx, 1, 23, 4);

    ctx.clock.pause(kDidoPauseMs);
    ctx.view.processEvents();
    if (send(ctx, QStringLiteral("DF")) && ctx.link.replyLength() == 14) showInputs(ctx, 7, 7, 2);

    ctx.clock.pause(kDidoPauseMs);
}

// Every other controller: each ticked output pulsed, all eight inputs from "DG0".
void runStandardVariantCycle(ProcedureContext& ctx) {
    for (int k = 1; k <= kOutputCount; ++k) {
        if (!ctx.view.outputTicked(k)) continue;
        ctx.view.processEvents();
        send(ctx, QStringLiteral("JC00") + QString::number(k) + QStringLiteral("10002"));
        ctx.clock.pause(kDidoPauseMs);
    }

    ctx.view.processEvents();
    if (send(ctx, QStringLiteral("DG0")) && ctx.link.replyLength() == 29)
        showInputs(ctx, 1, 8, kInputCount);

    ctx.clock.pause(kDidoPauseMs);
}

void runCycles(ProcedureContext& ctx) {
    const bool shortVariant = ctx.state.modelKind == kModelKindStatusIdentified;
    while (ctx.state.didoRunning) {
        if (shortVariant)
            runShortVariantCycle(ctx);
        else
            runStandardVariantCycle(ctx);
    }
    // The closing command; its answer does not matter.
    if (shortVariant) {
        ctx.clock.pause(kDidoPauseMs);
        send(ctx, QStringLiteral("JE"));
    } else {
        send(ctx, QStringLiteral("JD"));
    }
}

}  // namespace

Outcome DidoTestClick(ProcedureContext& ctx) {
    ProcedureView& view = ctx.view;
    TestRun run(ctx.link, view);

    // 1. A click while the test runs only stops it.
    if (ctx.state.didoRunning) {
        ctx.state.didoRunning = false;
        return Outcome::Ok;
    }

    // 2. Running: the button now cancels, the other tests are out of reach.
    ctx.state.didoRunning = true;
    view.setDidoButtonCaption(run.Msg(msg::CancelTest));
    view.setOtherTestButtonsEnabled(false);
    view.hideOtherTestTabs();

    // 3. Open the link.
    Outcome outcome = Outcome::Ok;
    if (!run.BeginTestRun()) {
        run.EndTestRunOpenFailed();
        outcome = Outcome::OpenFailed;
    } else {
        // 4. Give the window back so that the second click is seen.
        view.setWaitCursor(false);
        view.setWindowEnabled(true);
        view.setStatus(run.Msg(msg::DidoTest));
        view.processEvents();

        // 5. Cycle until cancelled, then send the closing command.
        runCycles(ctx);

        // 6. Leave everything off.
        for (int k = 1; k <= kInputCount; ++k) view.setInputLamp(k, InputLamp::White);
        view.untickAllOutputs();
        run.EndTestRunOk();
    }

    // 7. Idle again; the caption in the language current now.
    ctx.state.didoRunning = false;
    view.setOtherTestButtonsEnabled(true);
    view.showCommandTab();
    view.setDidoButtonCaption(run.Msg(msg::DidoTest));
    return outcome;
}

}  // namespace pb
