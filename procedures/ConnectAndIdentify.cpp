#include "procedures/ConnectAndIdentify.h"

#include "i18n/Messages.h"

namespace pb {
namespace {

// Asks up to three times; after each failed try the status line counts down.
template <typename Query>
bool tryThreeTimes(ProcedureContext& ctx, TestRunFrame& run, int firstCountdown, Query query) {
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
        ctx.identify.setVersionText(QStringLiteral("KV150RB ") +
                                    QString::fromLatin1(link.replyAt(7, 8)));
        return true;
    }
    if (link.replyLength() == 28) {
        ctx.identify.setVersionText(QString::fromLatin1(link.replyAt(7, 16)));
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
    ctx.identify.setVersionText(
        QString::fromLatin1(link.replyAt(8, 8) + "-" + link.replyAt(16, 8)));
    if (const int kind = modelKindOfVersionCode(link.replyAt(16, 2)); kind != 0) {
        ctx.state.modelKind = kind;
        identified = true;
    }
    if (link.replyAt(8, 5) == "KV410") {
        ctx.identify.setVersionText(
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

// The identify view, remembering what it showed for the run's report.
class ShownIdentity : public IdentifyView {
public:
    explicit ShownIdentity(IdentifyView& shown) : shown_(shown) {}
    QString idCaption() const override { return shown_.idCaption(); }
    void setIdPosition(int position) override { shown_.setIdPosition(position); }
    void setVersionText(const QString& text) override {
        versionText = text;
        shown_.setVersionText(text);
    }
    void setSerialNumberText(const QString& text) override { shown_.setSerialNumberText(text); }

    QString versionText;

private:
    IdentifyView& shown_;
};

void moveIdScrollBar(ProcedureContext& ctx, const QString& id) {
    bool isNumber = false;
    const int position = id.toInt(&isNumber);
    if (isNumber) ctx.identify.setIdPosition(position);
}

// Steps 3 to 10 of connect-and-identify, inside the test-run frame.
RunOutcome identifyController(ProcedureContext& ctx, ShownIdentity& view, TestRunFrame& run) {
    Link& link = ctx.link;

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
        return RunOutcome::OpenFailed;
    }

    // 6. Take the device ID (and for the older controller its model kind) from the reply.
    view.setVersionText(QString());
    view.setSerialNumberText(QString());
    if (link.replyLength() == 20) {
        ctx.state.deviceId = QString::fromLatin1(link.replyAt(2, 3));
        moveIdScrollBar(ctx, ctx.state.deviceId);
        ctx.state.modelKind = kModelKindStatusIdentified;
        ctx.dido.hideInputsAndOutputsMissingOnKind4();
    } else {
        ctx.state.deviceId = QString::fromLatin1(link.replyAt(2, 4));
        moveIdScrollBar(ctx, ctx.state.deviceId);
    }

    // 7. This link works: keep its settings.
    ctx.view.saveLinkSettings();

    // 8. Version, by model kind.
    ctx.clock.pause(kFirstCommandPauseMs);
    const bool identified = ctx.state.modelKind == kModelKindStatusIdentified
                                ? readStatusControllerVersion(ctx)
                                : readVersionAndModelKind(ctx);

    // 9. Serial number.
    if (identified) {
        ctx.clock.pause(kFirstCommandPauseMs);
        const QString serialNumber = readSerialNumber(ctx);
        run.setIdentity({ctx.state.deviceId, ctx.state.modelKind, view.versionText, serialNumber});
        view.setSerialNumberText(QStringLiteral("S/N:") + serialNumber + QStringLiteral("   ID:") +
                                 ctx.state.deviceId);
    }

    // 10. Report; the window unlocks the test pages when it hears an identified
    // controller's run end well.
    return Judged(identified);
}

}  // namespace

Outcome ConnectAndIdentify(ProcedureContext& outer) {
    ShownIdentity view(outer.identify);
    ProcedureContext ctx{outer.link,     outer.view,  view,        outer.dido,    outer.polling,
                         outer.consoles, outer.clock, outer.state, outer.observer};
    TestRunFrame run = ctx.frame(TestId::Connect);

    // 1. Forget the last controller and show every input and output.
    ctx.state.modelKind = 0;
    ctx.dido.showAllInputsAndOutputs();

    // 2. Open the link, then the rest.
    return run.run([&] { return identifyController(ctx, view, run); });
}

}  // namespace pb
