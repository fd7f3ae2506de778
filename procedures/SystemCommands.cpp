#include "procedures/SystemCommands.h"

#include <functional>

#include "i18n/Messages.h"
#include "procedures/ReplyLayouts.h"

namespace pb {
namespace {

// Sends its command(s) and says whether the controller answered as expected.
using Exchange = std::function<bool()>;

// The frame shared by the four commands: open, show what runs, pause, exchange, report.
Outcome runSystemCommand(ProcedureContext& ctx, int statusMessage, const Exchange& exchange) {
    TestRun run(ctx.link, ctx.view);

    // 1. Open the link.
    if (!run.BeginTestRun()) {
        run.EndTestRunOpenFailed();
        return Outcome::OpenFailed;
    }

    // 2. Say what runs, then give the controller a moment.
    ctx.view.setStatus(run.Msg(statusMessage));
    ctx.view.processEvents();
    ctx.clock.pause(kFirstCommandPauseMs);

    // 3. and 4. Exchange and judge.
    if (exchange()) {
        run.EndTestRunOk();
        return Outcome::Ok;
    }
    run.EndTestRunError();
    return Outcome::Error;
}

bool sendExpectingLength(ProcedureContext& ctx, const QString& command,
                         std::initializer_list<int> lengths) {
    const pb::Exchange x = ctx.link.SendCrcCommand(ctx.state.deviceId + command);
    if (!x) return false;
    for (int length : lengths)
        if (x.reply.length() == length) return true;
    return false;
}

// The older controller confirms a restart by answering "AS" once it is back up.
bool sendThenAskStatus(ProcedureContext& ctx, const QString& command, int waitMs) {
    if (!sendExpectingLength(ctx, command, {reply::kBareLengthOlder})) return false;
    ctx.clock.pause(waitMs);
    return sendExpectingLength(ctx, QStringLiteral("AS"), {reply::as::kLength});
}

bool isStatusIdentified(const ProcedureContext& ctx) {
    return FamilyOf(ctx.state.modelKind).statusIdentified;
}

}  // namespace

Outcome SetDateTime(ProcedureContext& ctx) {
    return runSystemCommand(ctx, msg::SetDateAndTime, [&] {
        const QString now = ctx.clock.now().toString(QStringLiteral("yyyyMMddHHmmss"));
        return sendExpectingLength(ctx, QStringLiteral("AA") + now,
                                   {reply::kBareLengthOlder, reply::kBareLength});
    });
}

Outcome AlarmTest(ProcedureContext& ctx, int alarmIndex) {
    return runSystemCommand(ctx, msg::AlarmTest, [&] {
        return sendExpectingLength(ctx, QStringLiteral("JF") + QString::number(alarmIndex),
                                   {reply::kBareLengthOlder, reply::kBareLength});
    });
}

Outcome FactoryInitial(ProcedureContext& ctx) {
    return runSystemCommand(ctx, msg::SetFactory, [&] {
        if (isStatusIdentified(ctx))
            return sendThenAskStatus(ctx, QStringLiteral("AI"), kFactoryInitialWaitMs);
        return sendExpectingLength(ctx, QStringLiteral("AR01"), {reply::kBareLength});
    });
}

Outcome Reboot(ProcedureContext& ctx) {
    return runSystemCommand(ctx, msg::SetReboot, [&] {
        if (isStatusIdentified(ctx))
            return sendThenAskStatus(ctx, QStringLiteral("AJ"), kRebootWaitMs);
        return sendExpectingLength(ctx, QStringLiteral("AR00"), {reply::kBareLength});
    });
}

}  // namespace pb
