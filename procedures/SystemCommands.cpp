#include "procedures/SystemCommands.h"

#include <QElapsedTimer>
#include <functional>

#include "i18n/Messages.h"
#include "procedures/Countdown.h"
#include "procedures/ReplyLayouts.h"

namespace pb {
namespace {

// Sends its command(s) and says whether the controller answered as expected.
using Exchange = std::function<bool()>;

// What the four commands share inside the test-run frame: show what runs, pause,
// exchange and judge.
Outcome runSystemCommand(ProcedureContext& ctx, TestId test, MsgId statusMessage,
                         const Exchange& exchange) {
    TestRunFrame run = ctx.frame(test);
    return run.run([&] {
        ctx.view.setStatus(run.Msg(statusMessage));
        ctx.view.processEvents();
        ctx.clock.pause(kFirstCommandPauseMs);
        return Judged(exchange());
    });
}

bool sendExpectingLength(ProcedureContext& ctx, const QString& command,
                         std::initializer_list<int> lengths) {
    const pb::Exchange x = ctx.link.SendCrcCommand(ctx.state.deviceId + command);
    if (!x) return false;
    for (int length : lengths)
        if (x.reply.length() == length) return true;
    return false;
}

// The older controller confirms a restart by answering "AS" once it is back up; the
// status line counts the wait down.
bool sendThenAskStatus(ProcedureContext& ctx, const QString& command, MsgId status, int waitMs) {
    if (!sendExpectingLength(ctx, command, {reply::kBareLengthOlder})) return false;
    WaitWithCountdown(ctx.clock, ctx.view, Msg(status, ctx.view.language()), waitMs);
    return sendExpectingLength(ctx, QStringLiteral("AS"), {reply::as::kLength});
}

bool isStatusIdentified(const ProcedureContext& ctx) {
    return FamilyOf(ctx.state.modelKind).statusIdentified;
}

}  // namespace

Outcome SetDateTime(ProcedureContext& ctx) {
    return runSystemCommand(ctx, TestId::SetDate, MsgId::SetDateAndTime, [&] {
        const QString now = ctx.clock.now().toString(QStringLiteral("yyyyMMddHHmmss"));
        return sendExpectingLength(ctx, QStringLiteral("AA") + now,
                                   {reply::kBareLengthOlder, reply::kBareLength});
    });
}

Outcome AlarmTest(ProcedureContext& ctx, int alarmIndex) {
    return runSystemCommand(ctx, TestId::Alarm, MsgId::AlarmTest, [&] {
        return sendExpectingLength(ctx, QStringLiteral("JF") + QString::number(alarmIndex),
                                   {reply::kBareLengthOlder, reply::kBareLength});
    });
}

Outcome FactoryInitial(ProcedureContext& ctx) {
    return runSystemCommand(ctx, TestId::FactoryInitial, MsgId::SetFactory, [&] {
        if (isStatusIdentified(ctx))
            return sendThenAskStatus(ctx, QStringLiteral("AI"), MsgId::SetFactory,
                                     kFactoryInitialWaitMs);
        return sendExpectingLength(ctx, QStringLiteral("AR01"), {reply::kBareLength});
    });
}

Outcome Reboot(ProcedureContext& ctx) {
    return runSystemCommand(ctx, TestId::Reboot, MsgId::SetReboot, [&] {
        if (isStatusIdentified(ctx))
            return sendThenAskStatus(ctx, QStringLiteral("AJ"), MsgId::SetReboot, kRebootWaitMs);
        return sendExpectingLength(ctx, QStringLiteral("AR00"), {reply::kBareLength});
    });
}

Outcome AwaitAnswer(ProcedureContext& ctx, int withinMs, qint64& answeredAfterMs) {
    // Between two unanswered questions; each waits for the link's reply timeout too.
    constexpr int kAskAgainMs = 250;
    answeredAfterMs = -1;
    return runSystemCommand(ctx, TestId::AwaitAnswer, MsgId::ConnectingDevice, [&] {
        QElapsedTimer since;
        since.start();
        const bool older = isStatusIdentified(ctx);
        while (ctx.link.isOpen()) {
            const bool answered =
                older ? sendExpectingLength(ctx, QStringLiteral("AS"), {reply::as::kLength})
                      : sendExpectingLength(ctx, QStringLiteral("AC"),
                                            {reply::ac::kLength, reply::ac::kLengthShort});
            if (answered) {
                answeredAfterMs = since.elapsed();
                return true;
            }
            if (since.elapsed() >= withinMs) return false;
            ctx.view.processEvents();
            ctx.clock.pause(kAskAgainMs);
        }
        return false;
    });
}

}  // namespace pb
