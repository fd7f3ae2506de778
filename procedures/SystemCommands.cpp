#include "procedures/SystemCommands.h"

#include <QElapsedTimer>
#include <functional>

#include "i18n/Messages.h"
#include "procedures/Countdown.h"
#include "procedures/ReplyLayouts.h"

namespace pb {
namespace {

// Sends its command(s); no reason when the controller answered as expected, else why not.
using Exchange = std::function<EndingReason()>;

// What the four commands share inside the test-run frame: show what runs, pause,
// exchange and judge.
RunResult runSystemCommand(ProcedureContext& ctx, TestId test, MsgId statusMessage,
                         const Exchange& exchange) {
    TestRunFrame run = ctx.frame(test);
    return run.run([&] {
        ctx.view.setStatus(run.Msg(statusMessage));
        ctx.view.processEvents();
        ctx.clock.pause(kFirstCommandPauseMs);
        const EndingReason why = exchange();
        return why ? run.fail(why) : RunOutcome::Ok;
    });
}

// A command is named by its mnemonic and short data ("AR01", "JF2"); the date and time
// after "AA" are left out.
QString commandName(const QString& command) {
    return command.size() > 4 ? command.left(2) : command;
}

EndingReason sendExpectingLength(ProcedureContext& ctx, const QString& command,
                                 std::initializer_list<int> lengths) {
    const pb::Exchange x = ctx.link.SendCrcCommand(ctx.state.deviceId + command);
    if (x)
        for (int length : lengths)
            if (x.reply.length() == length) return {};
    return ReasonOf(x, commandName(command));
}

// The older controller confirms a restart by answering "AS" once it is back up; the
// status line counts the wait down.
EndingReason sendThenAskStatus(ProcedureContext& ctx, const QString& command, MsgId status,
                               int waitMs) {
    if (EndingReason why = sendExpectingLength(ctx, command, {reply::kBareLengthOlder})) return why;
    WaitWithCountdown(ctx.clock, ctx.view, Msg(status, ctx.view.language()), waitMs);
    return sendExpectingLength(ctx, QStringLiteral("AS"), {reply::as::kLength});
}

bool isStatusIdentified(const ProcedureContext& ctx) {
    return FamilyOf(ctx.state.modelKind).statusIdentified;
}

}  // namespace

RunResult SetDateTime(ProcedureContext& ctx) {
    return runSystemCommand(ctx, TestId::SetDate, MsgId::SetDateAndTime, [&] {
        const QString now = ctx.clock.now().toString(QStringLiteral("yyyyMMddHHmmss"));
        return sendExpectingLength(ctx, QStringLiteral("AA") + now,
                                   {reply::kBareLengthOlder, reply::kBareLength});
    });
}

RunResult AlarmTest(ProcedureContext& ctx, int alarmIndex) {
    return runSystemCommand(ctx, TestId::Alarm, MsgId::AlarmTest, [&] {
        return sendExpectingLength(ctx, QStringLiteral("JF") + QString::number(alarmIndex),
                                   {reply::kBareLengthOlder, reply::kBareLength});
    });
}

RunResult FactoryInitial(ProcedureContext& ctx) {
    return runSystemCommand(ctx, TestId::FactoryInitial, MsgId::SetFactory, [&] {
        if (isStatusIdentified(ctx))
            return sendThenAskStatus(ctx, QStringLiteral("AI"), MsgId::SetFactory,
                                     kFactoryInitialWaitMs);
        return sendExpectingLength(ctx, QStringLiteral("AR01"), {reply::kBareLength});
    });
}

RunResult Reboot(ProcedureContext& ctx) {
    return runSystemCommand(ctx, TestId::Reboot, MsgId::SetReboot, [&] {
        if (isStatusIdentified(ctx))
            return sendThenAskStatus(ctx, QStringLiteral("AJ"), MsgId::SetReboot, kRebootWaitMs);
        return sendExpectingLength(ctx, QStringLiteral("AR00"), {reply::kBareLength});
    });
}

AnswerResult AwaitAnswer(ProcedureContext& ctx, int withinMs) {
    // Between two unanswered questions; each waits for the link's reply timeout too.
    constexpr int kAskAgainMs = 250;
    AnswerResult result;
    qint64& answeredAfterMs = result.answeredAfterMs;
    static_cast<RunResult&>(result) = runSystemCommand(ctx, TestId::AwaitAnswer, MsgId::ConnectingDevice, [&] {
        QElapsedTimer since;
        since.start();
        const bool older = isStatusIdentified(ctx);
        const QString asked = older ? QStringLiteral("AS") : QStringLiteral("AC");
        EndingReason why{EndingCause::LineWentAway, {asked}};
        while (ctx.link.isOpen()) {
            why = older ? sendExpectingLength(ctx, asked, {reply::as::kLength})
                        : sendExpectingLength(ctx, asked, {reply::ac::kLength, reply::ac::kLengthShort});
            if (!why) {
                answeredAfterMs = since.elapsed();
                return why;
            }
            if (since.elapsed() >= withinMs) return why;
            ctx.view.processEvents();
            ctx.clock.pause(kAskAgainMs);
        }
        return EndingReason{EndingCause::LineWentAway, {asked}};
    });
    return result;
}

}  // namespace pb
