#include "procedures/ConnectAndIdentify.h"

#include "i18n/Messages.h"

namespace pb {
namespace {

// Asks up to three times; after each failed try the status line counts down.
template <typename Query>
bool tryThreeTimes(ProcedureContext& ctx, TestRun& run, int firstCountdown, Query query) {
    for (int countdown = firstCountdown; countdown > firstCountdown - 3; --countdown) {
        ctx.clock.pause(kFirstCommandPauseMs);
        if (query()) return true;
        ctx.view.setStatus(run.Msg(msg::ConnectingDevice) +
                           QStringLiteral(" ( %1 )").arg(countdown));
        ctx.view.processEvents();
    }
    return false;
}

// The model kind named by a version code, or 0 when the code is none of the known ones.
int modelKindOfVersionCode(const QByteArray& code) {
    if (code == "V6" || code == "R6") return 6;
    if (code == "V5" || code == "R5") return 3;
    if (code == "V4" || code == "R4") return 2;
    if (code == "V2") return 5;
    if (code == "V3" || code == "R3") return 1;
    return 0;
}

// Kind 4 asks "AV"; true when the version could be shown.
bool readStatusControllerVersion(ProcedureContext& ctx) {
    Link& link = ctx.link;
    if (!link.SendCrcCommand(ctx.state.deviceId + QStringLiteral("AV"))) return false;
    if (link.replyLength() == 20) {
        ctx.view.setVersionText(QStringLiteral("KV150RB ") +
                                QString::fromLatin1(link.replyAt(7, 8)));
        return true;
    }
    if (link.replyLength() == 28) {
        ctx.view.setVersionText(QString::fromLatin1(link.replyAt(7, 16)));
        return true;
    }
    return false;
}

// Every other kind asks "DB"; the version code there also tells the model kind.
bool readVersionAndModelKind(ProcedureContext& ctx) {
    Link& link = ctx.link;
    if (!link.SendCrcCommand(ctx.state.deviceId + QStringLiteral("DB"))) return false;
    if (link.replyLength() != 29) return false;

    bool identified = false;
    ctx.view.setVersionText(QString::fromLatin1(link.replyAt(8, 8) + "-" + link.replyAt(16, 8)));
    if (const int kind = modelKindOfVersionCode(link.replyAt(16, 2)); kind != 0) {
        ctx.state.modelKind = kind;
        identified = true;
    }
    if (link.replyAt(8, 5) == "KV410") {
        ctx.view.setVersionText(
            QString::fromLatin1(link.replyAt(8, 12) + "  " + link.replyAt(20, 4)));
        ctx.state.modelKind = 7;
        identified = true;
    }
    return identified;
}

// "AS" answers with the serial number at a place that depends on the reply's length.
QString readSerialNumber(ProcedureContext& ctx) {
    Link& link = ctx.link;
    if (!link.SendCrcCommand(ctx.state.deviceId + QStringLiteral("AS"))) return {};
    if (link.replyLength() == 21) return QString::fromLatin1(link.replyAt(8, 8));
    if (link.replyLength() == 20) return QString::fromLatin1(link.replyAt(7, 8));
    return {};
}

void moveIdScrollBar(ProcedureContext& ctx, const QString& id) {
    bool isNumber = false;
    const int position = id.toInt(&isNumber);
    if (isNumber) ctx.view.setIdPosition(position);
}

}  // namespace

Outcome ConnectAndIdentify(ProcedureContext& ctx) {
    ProcedureView& view = ctx.view;
    Link& link = ctx.link;
    TestRun run(link, view);

    // 1. Forget the last controller and show every input and output.
    ctx.state.modelKind = 0;
    view.showAllInputsAndOutputs();

    // 2. Open the link.
    if (!run.BeginTestRun()) {
        run.EndTestRunOpenFailed();
        return Outcome::OpenFailed;
    }

    // 3. Ask the ID chosen in pnID with "AC" (countdown 6, 5, 4) ...
    const QString id = view.idCaption();
    bool found = tryThreeTimes(ctx, run, 6, [&] {
        return link.SendCrcCommand(id + QStringLiteral("AC")) &&
               (link.replyLength() == 17 || link.replyLength() == 15);
    });
    // 4. ... then the older controller with "AS" on its first three digits (3, 2, 1).
    if (!found) {
        found = tryThreeTimes(ctx, run, 3, [&] {
            return link.SendCrcCommand(id.left(3) + QStringLiteral("AS")) &&
                   link.replyLength() == 20;
        });
    }

    // 5. Nobody answered.
    if (!found) {
        link.CloseLink();
        run.EndTestRunOpenFailed();
        return Outcome::OpenFailed;
    }

    // 6. Take the device ID (and for the older controller its model kind) from the reply.
    view.setVersionText(QString());
    view.setSerialNumberText(QString());
    if (link.replyLength() == 20) {
        ctx.state.deviceId = QString::fromLatin1(link.replyAt(2, 3));
        moveIdScrollBar(ctx, ctx.state.deviceId);
        ctx.state.modelKind = kModelKindStatusIdentified;
        view.hideInputsAndOutputsMissingOnKind4();
    } else {
        ctx.state.deviceId = QString::fromLatin1(link.replyAt(2, 4));
        moveIdScrollBar(ctx, ctx.state.deviceId);
    }

    // 7. This link works: keep its settings.
    view.saveLinkSettings();

    // 8. Version, by model kind.
    ctx.clock.pause(kFirstCommandPauseMs);
    const bool identified = ctx.state.modelKind == kModelKindStatusIdentified
                                ? readStatusControllerVersion(ctx)
                                : readVersionAndModelKind(ctx);

    // 9. Serial number.
    if (identified) {
        ctx.clock.pause(kFirstCommandPauseMs);
        const QString serialNumber = readSerialNumber(ctx);
        view.setSerialNumberText(QStringLiteral("S/N:") + serialNumber + QStringLiteral("   ID:") +
                                 ctx.state.deviceId);
    }

    // 10. Report; an identified controller unlocks the test pages.
    if (!identified) {
        run.EndTestRunError();
        return Outcome::Error;
    }
    run.EndTestRunOk();
    view.enableTestPages();
    return Outcome::Ok;
}

}  // namespace pb
