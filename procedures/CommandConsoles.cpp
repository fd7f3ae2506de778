#include "procedures/CommandConsoles.h"

#include <QStringList>

#include "link/FrameText.h"
#include "procedures/LinkCauses.h"

namespace pb {
namespace {

enum class Console { Controller, Module };

// A typed command as a reason names it: its first characters, enough to tell which.
QString commandLabel(const QString& text) {
    constexpr int kShown = 8;
    return text.size() <= kShown ? text : text.left(kShown) + QStringLiteral("...");
}

ConsoleResult runConsoleCommand(ProcedureContext& ctx, Console console, const QString& suffix) {
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
    ConsoleResult result;
    static_cast<RunResult&>(result) = run.run([&] {
        // Give the controller a moment.
        ctx.clock.pause(kFirstCommandPauseMs);

        // Send; a reply that failed its checksum is not shown. An over-long or
        // non-ASCII text is refused by the link without sending anything.
        result.command = ctx.state.deviceId + suffix;
        const Exchange x = ctx.link.SendCrcCommand(result.command);
        if (!x) return run.fail(CauseOf(x, commandLabel(suffix)));
        result.reply = FrameText(x.reply.bytes());
        if (const auto r = x.reply.split(int(ctx.state.deviceId.size())))
            result.replyText = QString::fromLatin1(r->mnemonic + r->data);
        showReply(result.reply);
        run.detail().insert(QStringLiteral("command"), result.command);
        run.detail().insert(QStringLiteral("reply"), result.reply);
        return RunOutcome::Ok;
    });
    // A command the controller answered proves the link's settings.
    if (controller && result == Outcome::Ok) ctx.view.saveLinkSettings();
    return result;
}

}  // namespace

ConsoleResult ControllerCommand(ProcedureContext& ctx, const QString& typedText) {
    return runConsoleCommand(ctx, Console::Controller, typedText);
}

QString ModuleTypeLetter(int typeIndex) {
    static const QStringList letters = {"A", "B", "H", "I", "J", "E"};
    return typeIndex >= 0 && typeIndex < letters.size() ? letters[typeIndex] : QString();
}

int ModuleTypeOfLetter(const QString& letter, Qt::CaseSensitivity cs) {
    for (int i = 0; !ModuleTypeLetter(i).isEmpty(); ++i)
        if (ModuleTypeLetter(i).compare(letter, cs) == 0) return i;
    return -1;
}

ConsoleResult ModuleCommand(ProcedureContext& ctx, int typeIndex, const QString& moduleNumber,
                            const QString& typedText) {
    return runConsoleCommand(
        ctx, Console::Module,
        QStringLiteral("DD") + ModuleTypeLetter(typeIndex) + moduleNumber + typedText);
}

}  // namespace pb
