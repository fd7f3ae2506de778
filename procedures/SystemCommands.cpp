#include "procedures/SystemCommands.h"

#include <QElapsedTimer>
#include <functional>

#include "i18n/Messages.h"
#include "procedures/LinkCauses.h"
#include "procedures/Countdown.h"
#include "procedures/ReplyLayouts.h"

namespace pb {
namespace {

// Sends its command(s); Ok when the controller answered as expected, else why not.
using Exchange = std::function<Cause()>;

// What the four commands share inside the test-run frame: show what runs, pause,
// exchange and judge.
RunResult runSystemCommand(ProcedureContext& ctx, TestId test, MsgId statusMessage,
                         const Exchange& exchange) {
    TestRunFrame run = ctx.frame(test);
    return run.run([&] {
        ctx.view.setStatus(run.Msg(statusMessage));
        ctx.view.processEvents();
        ctx.clock.pause(kFirstCommandPauseMs);
        const Cause why = exchange();
        return why.passed() ? RunOutcome::Ok : run.fail(why);
    });
}

// A command is named by its mnemonic and short data ("AR01", "JF2"); the date and time
// after "AA" are left out.
QString commandName(const QString& command) {
    return command.size() > 4 ? command.left(2) : command;
}

Cause sendExpectingLength(ProcedureContext& ctx, const QString& command,
                                 std::initializer_list<int> lengths) {
    const pb::Exchange x = ctx.link.SendCrcCommand(ctx.state.deviceId + command);
    if (x)
        for (int length : lengths)
            if (x.reply.length() == length) return {};
    return CauseOf(x, commandName(command));
}

// The older controller confirms a restart by answering "AS" once it is back up; the
// status line counts the wait down.
Cause sendThenAskStatus(ProcedureContext& ctx, const QString& command, MsgId status,
                               int waitMs) {
    if (Cause why = sendExpectingLength(ctx, command, {reply::kBareLengthOlder}); !why.passed()) return why;
    WaitWithCountdown(ctx.clock, ctx.view, Msg(status, ctx.view.language()), waitMs);
    return sendExpectingLength(ctx, QStringLiteral("AS"), {reply::as::kLength});
}

bool isStatusIdentified(const ProcedureContext& ctx) {
    return FamilyOf(ctx.state.modelKind).statusIdentified;
}

}  // namespace

SetDateResult SetDateTime(ProcedureContext& ctx, const std::optional<QDateTime>& time) {
    SetDateResult result;
    static_cast<RunResult&>(result) = runSystemCommand(ctx, TestId::SetDate, MsgId::SetDateAndTime, [&] {
        result.sent = time ? *time : ctx.clock.now();
        return sendExpectingLength(ctx, QStringLiteral("AA") + result.sent.toString(QStringLiteral("yyyyMMddHHmmss")),
                                   {reply::kBareLengthOlder, reply::kBareLength});
    });
    return result;
}

RunResult SystemCommand(ProcedureContext& ctx, TestId test, MsgId status, const QString& command) {
    return runSystemCommand(ctx, test, status, [&] {
        return sendExpectingLength(ctx, command, {reply::kBareLengthOlder, reply::kBareLength});
    });
}

RunResult AlarmTest(ProcedureContext& ctx, int alarmIndex) {
    return SystemCommand(ctx, TestId::Alarm, MsgId::AlarmTest, QStringLiteral("JF") + QString::number(alarmIndex));
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
        Cause why = Cause::of(CauseCode::LineLost, {0, asked});
        while (ctx.link.isOpen()) {
            why = older ? sendExpectingLength(ctx, asked, {reply::as::kLength})
                        : sendExpectingLength(ctx, asked, {reply::ac::kLength, reply::ac::kLengthShort});
            if (why.passed()) {
                answeredAfterMs = since.elapsed();
                return why;
            }
            if (since.elapsed() >= withinMs) return why;
            ctx.view.processEvents();
            ctx.clock.pause(kAskAgainMs);
        }
        return Cause::of(CauseCode::LineLost, {0, asked});
    });
    return result;
}

}  // namespace pb
