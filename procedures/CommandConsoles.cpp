#include "procedures/CommandConsoles.h"

#include <QStringList>

#include "link/FrameText.h"

namespace pb {
namespace {

enum class Console { Controller, Module };

// A typed command as a reason names it: its first characters, enough to tell which.
QString commandLabel(const QString& text) {
    constexpr int kShown = 8;
    return text.size() <= kShown ? text : text.left(kShown) + QStringLiteral("...");
}

Outcome runConsoleCommand(ProcedureContext& ctx, Console console, const QString& suffix) {
    const bool controller = console == Console::Controller;
    auto showReply = [&](const QString& reply) {
        if (controller)
            ctx.consoles.setControllerReplyText(reply);
        else
            ctx.consoles.setModuleReplyText(reply);
    };
    // The last reply goes first: a command refused or unanswered leaves the field empty
    // beside its error, never an older answer.
    showReply(QString());
    TestRunFrame run = ctx.frame(controller ? TestId::ControllerCommand : TestId::ModuleCommand);
    const Outcome outcome = run.run([&] {
        // Give the controller a moment.
        ctx.clock.pause(kFirstCommandPauseMs);

        // Send; a reply that failed its checksum is not shown. An over-long or
        // non-ASCII text is refused by the link without sending anything.
        const Exchange x = ctx.link.SendCrcCommand(ctx.state.deviceId + suffix);
        if (!x) return run.fail(ReasonOf(x, commandLabel(suffix)));
        const QString reply = FrameText(x.reply.bytes());
        showReply(reply);
        run.detail().insert(QStringLiteral("command"), ctx.state.deviceId + suffix);
        run.detail().insert(QStringLiteral("reply"), reply);
        return RunOutcome::Ok;
    });
    // A command the controller answered proves the link's settings.
    if (controller && outcome == Outcome::Ok) ctx.view.saveLinkSettings();
    return outcome;
}

}  // namespace

Outcome ControllerCommand(ProcedureContext& ctx, const QString& typedText) {
    return runConsoleCommand(ctx, Console::Controller, typedText);
}

QString ModuleTypeLetter(int typeIndex) {
    static const QStringList letters = {"A", "B", "H", "I", "J", "E"};
    return typeIndex >= 0 && typeIndex < letters.size() ? letters[typeIndex] : QString();
}

Outcome ModuleCommand(ProcedureContext& ctx, int typeIndex, const QString& moduleNumber,
                      const QString& typedText) {
    return runConsoleCommand(
        ctx, Console::Module,
        QStringLiteral("DD") + ModuleTypeLetter(typeIndex) + moduleNumber + typedText);
}

}  // namespace pb
