#include "procedures/DidoPatterns.h"

#include <QJsonArray>

#include "i18n/Messages.h"
#include "procedures/DidoTest.h"
#include "procedures/LinkCauses.h"
#include "procedures/ReplyLayouts.h"

namespace pb {
namespace {

Exchange send(ProcedureContext& ctx, const QString& command) {
    return ctx.link.SendCrcCommand(ctx.state.deviceId + command);
}

bool on(const QString& outputs, int k) {
    return k >= 1 && k <= outputs.size() && outputs.at(k - 1) == u'1';
}

// Copies the reply characters of `field` into inputs first, first+1, ...
void takeInputs(QString& inputs, int first, const ReplyFrame& reply, ReplyField field) {
    const QByteArray bits = reply.at(field);
    for (int i = 0; i < bits.size() && first + i <= inputs.size(); ++i)
        inputs[first + i - 1] = bits[i] == '1' ? u'1' : u'0';
}

// Sends an output's command; the first that failed is why the pattern was not applied.
void setOutput(ProcedureContext& ctx, const QString& command, Cause& why) {
    const Exchange x = send(ctx, command);
    if (!x && why.passed()) why = CauseOf(x, command.left(2));
}

// The older controller: outputs 1-3 by "JD", inputs 1-4 from "IE", 7-8 from "DF". Ok when
// the pattern was set and read, else the first exchange that failed.
Cause applyShort(ProcedureContext& ctx, const QString& outputs, QString& inputs) {
    Cause why;
    for (int k = 1; k <= 3; ++k) {
        setOutput(ctx, QStringLiteral("JD%1%2").arg(k).arg(on(outputs, k) ? 1 : 0), why);
        ctx.clock.pause(kDidoPauseMs);
    }
    inputs = QString(8, u'-');
    const Exchange ie = send(ctx, QStringLiteral("IE"));
    if (!ie || (ie.reply.length() != reply::ieOlder::kLength &&
                ie.reply.length() != reply::ieOlder::kLengthShort))
        return CauseOf(ie, QStringLiteral("IE"));
    takeInputs(inputs, 1, ie.reply, reply::ieOlder::kInputs1To4);
    ctx.clock.pause(kDidoPauseMs);
    const Exchange df = send(ctx, QStringLiteral("DF"));
    if (!df || df.reply.length() != reply::df::kLength) return CauseOf(df, QStringLiteral("DF"));
    takeInputs(inputs, 7, df.reply, reply::df::kInputs7To8);
    return why;
}

// Every other controller: each output on or off until changed, all eight inputs by "DG0".
Cause applyStandard(ProcedureContext& ctx, const QString& outputs, QString& inputs) {
    Cause why;
    for (int k = 1; k <= 4; ++k) {
        setOutput(ctx, QStringLiteral("JC00%1%2").arg(k).arg(on(outputs, k) ? 1 : 0) + QStringLiteral("0000"), why);
        ctx.clock.pause(kDidoPauseMs);
    }
    inputs = QString(8, u'-');
    const Exchange x = send(ctx, QStringLiteral("DG0"));
    if (!x || x.reply.length() != reply::dg0::kLength) return CauseOf(x, QStringLiteral("DG0"));
    takeInputs(inputs, 1, x.reply, reply::dg0::kInputs1To8);
    return why;
}

}  // namespace

DidoPatternResult DidoPatternTest(ProcedureContext& ctx, const DidoPatternPlan& plan) {
    DidoPatternResult result;
    QList<DidoPatternReading>& readings = result.readings;
    TestRunFrame run = ctx.frame(TestId::Dido);
    static_cast<RunResult&>(result) = run.run([&] {
        ctx.view.setStatus(run.Msg(MsgId::DidoTest));
        ctx.view.processEvents();
        ctx.clock.pause(kFirstCommandPauseMs);
        const bool shortVariant = FamilyOf(ctx.state.modelKind).dido == DidoVariant::Short;
        Cause firstFailure;  // the first exchange of a pattern that failed
        QJsonArray seen;
        for (int cycle = 1; cycle <= plan.cycles && ctx.link.isOpen(); ++cycle) {
            for (int p = 0; p < plan.outputs.size() && ctx.link.isOpen(); ++p) {
                ctx.view.processEvents();
                QString inputs;
                const Cause why = shortVariant ? applyShort(ctx, plan.outputs[p], inputs)
                                               : applyStandard(ctx, plan.outputs[p], inputs);
                if (!why.passed()) {
                    inputs.clear();
                    if (firstFailure.passed()) firstFailure = why;
                }
                for (int k = 1; k <= 8 && k <= inputs.size(); ++k)
                    ctx.dido.setInputLamp(k, inputs[k - 1] == u'1' ? InputLamp::Yellow
                                                                   : InputLamp::White);
                readings.append({cycle, p, inputs});
                seen.append(QJsonObject{{QStringLiteral("cycle"), cycle},
                                        {QStringLiteral("outputs"), plan.outputs[p]},
                                        {QStringLiteral("inputs"), inputs}});
            }
        }
        const bool held = ctx.link.isOpen();
        // Everything off again; the answer does not matter.
        if (held) send(ctx, shortVariant ? QStringLiteral("JE") : QStringLiteral("JD"));
        result.closingSent = held;
        for (int k = 1; k <= 8; ++k) ctx.dido.setInputLamp(k, InputLamp::White);
        run.detail().insert(QStringLiteral("patterns"), seen);
        if (!held) return run.fail(Cause::of(CauseCode::LineLost, {0, QStringLiteral("DG0")}));
        if (!firstFailure.passed()) return run.fail(firstFailure);
        return RunOutcome::Ok;
    });
    return result;
}

}  // namespace pb
