#include "procedures/CommandConsoles.h"

#include <QStringList>

#include "procedures/ReplyText.h"

namespace pb {
namespace {

enum class Console { Controller, Module };

Outcome runConsoleCommand(ProcedureContext& ctx, Console console, const QString& suffix) {
    TestRun run(ctx.link, ctx.view);

    // 1. Open the link.
    if (!run.BeginTestRun()) {
        run.EndTestRunOpenFailed();
        return Outcome::OpenFailed;
    }

    // 2. Give the controller a moment.
    ctx.clock.pause(kFirstCommandPauseMs);

    // 3. and 4. Send; a reply that failed its checksum is not shown. An over-long or
    // non-ASCII text is refused by the link without sending anything.
    const Exchange x = ctx.link.SendCrcCommand(ctx.state.deviceId + suffix);
    if (!x) {
        run.EndTestRunError();
        return Outcome::Error;
    }
    const QString reply = RenderReply(x.reply.bytes());
    if (console == Console::Controller) {
        ctx.view.setControllerReplyText(reply);
        run.EndTestRunOk();
        ctx.view.saveLinkSettings();
    } else {
        ctx.view.setModuleReplyText(reply);
        run.EndTestRunOk();
    }
    return Outcome::Ok;
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
