#include "procedures/ConnectAndIdentify.h"

#include "i18n/Messages.h"
#include "procedures/LinkCauses.h"
#include "procedures/ReplyLayouts.h"

namespace pb {
namespace {

// Asks up to three times; after each failed try the status line counts down.
template <typename Query>
bool tryThreeTimes(ProcedureContext& ctx, TestRunFrame& run, int firstCountdown, Query query) {
    for (int countdown = firstCountdown; countdown > firstCountdown - 3; --countdown) {
        if (ctx.skipFirstCommandPause)
            ctx.skipFirstCommandPause = false;  // once, for a recipe run's first command
        else
            ctx.clock.pause(kFirstCommandPauseMs);
        if (query()) return true;
        ctx.view.setStatus(run.Msg(MsgId::ConnectingDevice) +
                           QStringLiteral(" ( %1 )").arg(countdown));
        ctx.view.processEvents();
    }
    return false;
}

// Kind 4 asks "AV"; Ok when the version could be shown.
Cause readStatusControllerVersion(ProcedureContext& ctx) {
    const QString command = QStringLiteral("AV");
    const Exchange x = ctx.link.SendCrcCommand(ctx.state.deviceId + command);
    if (!x) return CauseOf(x, command);
    if (x.reply.length() == reply::av::kLengthShort) {
        ctx.identify.setVersionText(QStringLiteral("KV150RB ") +
                                    QString::fromLatin1(x.reply.at(reply::av::kNumber)));
        return {};
    }
    if (x.reply.length() == reply::av::kLengthLong) {
        ctx.identify.setVersionText(QString::fromLatin1(x.reply.at(reply::av::kText)));
        return {};
    }
    return CauseOf(x, command);
}

// Every other kind asks "DB"; the version code there also tells the model kind.
Cause readVersionAndModelKind(ProcedureContext& ctx) {
    namespace db = reply::db;
    const QString command = QStringLiteral("DB");
    const Exchange x = ctx.link.SendCrcCommand(ctx.state.deviceId + command);
    if (!x || x.reply.length() != db::kLength) return CauseOf(x, command);
    const ReplyFrame& r = x.reply;

    bool identified = false;
    ctx.identify.setVersionText(QString::fromLatin1(r.at(db::kProduct) + "-" + r.at(db::kRevision)));
    if (const int kind = ModelKindOfVersionCode(r.at(db::kVersionCode)); kind != kModelKindNone) {
        ctx.state.modelKind = kind;
        identified = true;
    }
    if (const int kind = ModelKindOfModelName(r.at(db::kModel)); kind != kModelKindNone) {
        ctx.identify.setVersionText(
            QString::fromLatin1(r.at(db::kKv410Name) + "  " + r.at(db::kKv410Build)));
        ctx.state.modelKind = kind;
        identified = true;
    }
    if (!identified) return Cause::of(CauseCode::ModelUnknown);
    return {};
}

// "AS" answers with the serial number at a place that depends on the reply's length.
QString readSerialNumber(ProcedureContext& ctx) {
    const Exchange x = ctx.link.SendCrcCommand(ctx.state.deviceId + QStringLiteral("AS"));
    if (!x) return {};
    if (x.reply.length() == reply::as::kLengthFourDigit)
        return QString::fromLatin1(x.reply.at(reply::as::kSerialFourDigit));
    if (x.reply.length() == reply::as::kLength)
        return QString::fromLatin1(x.reply.at(reply::as::kSerial));
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
    void clearIdentity() override {
        versionText.clear();
        shown_.clearIdentity();
    }

    QString versionText;

private:
    IdentifyView& shown_;
};

void moveIdScrollBar(ProcedureContext& ctx, const QString& id) {
    bool isNumber = false;
    const int position = id.toInt(&isNumber);
    if (isNumber) ctx.identify.setIdPosition(position);
}

// Steps 3 to 10 of connect-and-identify, inside the test-run frame; the serial number
// read goes to `serialNumber`.
RunOutcome identifyController(ProcedureContext& ctx, ShownIdentity& view, TestRunFrame& run,
                              QString& serialNumber) {
    Link& link = ctx.link;

    // 3. Ask the ID chosen in pnID with "AC" (countdown 6, 5, 4) ...
    const QString id = view.idCaption();
    Exchange answer;  // the reply that found the controller
    QString goneAt;   // the command the line went away at, if it did
    auto ask = [&](const QString& to, const QString& command) {
        answer = link.SendCrcCommand(to + command);
        if (goneAt.isEmpty() && !link.isOpen()) goneAt = command;
    };
    bool found = tryThreeTimes(ctx, run, 6, [&] {
        ask(id, QStringLiteral("AC"));
        return answer && (answer.reply.length() == reply::ac::kLength ||
                          answer.reply.length() == reply::ac::kLengthShort);
    });
    // 4. ... then the older controller with "AS" on its first three digits (3, 2, 1).
    if (!found) {
        found = tryThreeTimes(ctx, run, 3, [&] {
            ask(id.left(3), QStringLiteral("AS"));
            return answer && answer.reply.length() == reply::as::kLength;
        });
    }

    // 5. Nobody answered; or the line went while it was asked.
    if (!found) {
        link.CloseLink();
        run.setCause(goneAt.isEmpty() ? Cause::of(CauseCode::NoController, {id})
                                      : Cause::of(CauseCode::LineLost, {0, goneAt}));
        return RunOutcome::OpenFailed;
    }

    // 6. Take the device ID (and for the older controller its model kind) from the reply.
    view.setVersionText(QString());
    view.setSerialNumberText(QString());
    if (answer.reply.length() == reply::as::kLength) {
        ctx.state.deviceId = QString::fromLatin1(answer.reply.at(reply::as::kId));
        moveIdScrollBar(ctx, ctx.state.deviceId);
        ctx.state.modelKind = kModelKindStatusIdentified;
        ctx.dido.hideInputsAndOutputsMissingOnKind4();
    } else {
        ctx.state.deviceId = QString::fromLatin1(answer.reply.at(reply::ac::kId));
        moveIdScrollBar(ctx, ctx.state.deviceId);
    }

    // 7. This link works: keep its settings.
    ctx.view.saveLinkSettings();

    // 8. Version, by model kind.
    ctx.clock.pause(kFirstCommandPauseMs);
    const Cause notIdentified = FamilyOf(ctx.state.modelKind).statusIdentified
                                           ? readStatusControllerVersion(ctx)
                                           : readVersionAndModelKind(ctx);

    // 9. Serial number.
    if (notIdentified.passed()) {
        ctx.clock.pause(kFirstCommandPauseMs);
        serialNumber = readSerialNumber(ctx);
        run.setIdentity({ctx.state.deviceId, ctx.state.modelKind, view.versionText, serialNumber});
        view.setSerialNumberText(QStringLiteral("S/N:") + serialNumber + QStringLiteral("   ID:") +
                                 ctx.state.deviceId);
    }

    // 10. Report; the window unlocks the test pages when it hears an identified
    // controller's run end well.
    return notIdentified.passed() ? RunOutcome::Ok : run.fail(notIdentified);
}

}  // namespace

IdentifyResult ConnectAndIdentify(ProcedureContext& outer) {
    ShownIdentity view(outer.identify);
    ProcedureContext ctx{outer.link,     outer.linkSettings, outer.view,  view,        outer.dido,
                         outer.polling,  outer.consoles,     outer.clock, outer.state, outer.observer,
                         outer.skipFirstCommandPause};
    outer.skipFirstCommandPause = false;  // used up by this run, whatever it finds
    TestRunFrame run = ctx.frame(TestId::Connect);

    // 1. Forget the last controller and show every input and output. Nothing it showed
    // stays on show: whichever unit answers now, if any, is told by what this run finds.
    ctx.state.modelKind = kModelKindNone;
    ctx.dido.showAllInputsAndOutputs();
    view.clearIdentity();
    ctx.polling.clearPolling();
    ctx.dido.clearInputLamps();

    // 2. Open the link, then the rest.
    IdentifyResult result;
    QString serialNumber;
    static_cast<RunResult&>(result) =
        run.run([&] { return identifyController(ctx, view, run, serialNumber); });
    result.deviceId = ctx.state.deviceId;
    result.modelKind = ctx.state.modelKind;
    result.versionText = view.versionText;
    outer.state.versionText = view.versionText;
    if (result.identified()) result.serialNumber = serialNumber;
    return result;
}

}  // namespace pb
