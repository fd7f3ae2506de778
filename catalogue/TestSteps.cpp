#include "catalogue/TestSteps.h"

#include "catalogue/TestCatalogue.h"

#include <QCryptographicHash>

#include "firmware/FirmwareImage.h"
#include "firmware/FirmwareRelease.h"
#include "firmware/ReleasePolicy.h"
#include "procedures/CommandConsoles.h"
#include "procedures/ConnectAndIdentify.h"
#include "procedures/LinkCauses.h"
#include "procedures/PollingTest.h"
#include "procedures/SystemCommands.h"

namespace pb::steps {
namespace {

// "KV740MX -V6.01.03" -> "KV740MX"; "KV410 ACCESS  0470" -> "KV410 ACCESS": the caption
// without the version word at its end.
QString modelTextOf(const QString& caption) {
    const QString t = caption.trimmed();
    const qsizetype cut = qMax(t.lastIndexOf(u' '), t.lastIndexOf(u'-'));
    if (cut <= 0) return t;
    QString model = t.left(cut).trimmed();
    while (model.endsWith(u'-')) model.chop(1);
    return model.trimmed();
}

// A procedure that did not end well: its cause, decided by its test-run frame (the line,
// the link, the controller that did not answer, the command).
StepOutcome failed(const RunResult& run, Measurements measured = {}) {
    Cause why = run.cause;
    if (why.passed()) why = Cause::of(CauseCode::Unknown, {});
    return {StepVerdict::fail(why), std::move(measured)};
}

// Runs a test that needs the controller identified first, passed when it ended well.
StepOutcome plain(StepContext& ctx, TestId test, const TestParams& p, Measurements measured = {}) {
    if (auto f = ctx.needController()) return *f;
    const TestResult r = ctx.run(test, p);
    measured << MeasurementsOf(r);
    if (r.run() != Outcome::Ok) return failed(r.run(), measured);
    return {StepVerdict::pass(), measured};
}

// A restart's end: the controller must answer again within `withinS`.
StepOutcome backAfterRestart(StepContext& ctx, int withinS) {
    const Judgement j = judgeBackAfterRestart(withinS, ctx.awaitAnswer(withinS));
    return {j.verdict, j.measurements};
}

QString commandLabel(const QString& text) {
    constexpr int kShown = 8;
    return text.size() <= kShown ? text : text.left(kShown) + QStringLiteral("...");
}

StepOutcome console(StepContext& ctx, TestId test, const TestParams& p, const QString& sent) {
    if (auto f = ctx.needController()) return *f;
    const TestResult r = ctx.run(test, p);
    const ConsoleResult& o = *r.as<ConsoleResult>();
    // No answer, or the line's failure: the link decides before the reply is judged.
    if (o != Outcome::Ok) return failed(o);
    const Judgement j = judgeReply(p.console, commandLabel(sent), o.replyText);
    return {j.verdict, j.measurements};
}

Measurement blocksOf(const char* name, int n) { return Measurement::numberOf(QLatin1String(name), n); }

Measurements upgradeMeasurements(const UpgradeResult& r) {
    return {blocksOf("blocks", r.blocks), blocksOf("blocks-programmed", r.blocksProgrammed),
            blocksOf("blocks-verified", r.blocksVerified), blocksOf("blocks-left-out", r.blocksLeftOut)};
}

}  // namespace

// --- The procedures ---

TestResult RunConnect(TestRig& rig, const TestParams&) {
    return {TestId::Connect, ConnectAndIdentify(rig.procedures)};
}

TestResult RunSetDate(TestRig& rig, const TestParams& p) {
    return {TestId::SetDate, SetDateTime(rig.procedures, p.setDate.time)};
}

TestResult RunAlarm(TestRig& rig, const TestParams& p) {
    return {TestId::Alarm, AlarmTest(rig.procedures, p.alarm.level)};
}

TestResult RunFactoryInitial(TestRig& rig, const TestParams&) {
    return {TestId::FactoryInitial, pb::FactoryInitial(rig.procedures)};
}

TestResult RunReboot(TestRig& rig, const TestParams&) { return {TestId::Reboot, pb::Reboot(rig.procedures)}; }

// The button's loop over the ticked outputs, or a recipe's patterns set and read back.
TestResult RunDido(TestRig& rig, const TestParams& p) {
    if (!p.dido.patterns.isEmpty()) {
        DidoPatternPlan plan;
        plan.cycles = p.dido.cycles;
        for (const DidoPattern& pattern : p.dido.patterns) plan.outputs << pattern.outputs;
        return {TestId::Dido, DidoPatternTest(rig.procedures, plan)};
    }
    return {TestId::Dido, DidoTestClick(rig.procedures, p.dido.needsAnsweredRead ? DidoEnding::NeedsAnsweredRead
                                                                                 : DidoEnding::UserReadsLamps)};
}

TestResult RunPolling(TestRig& rig, const TestParams& p) {
    return {TestId::Polling, PollingTestClick(rig.procedures, p.poll.pauseBetweenRecords)};
}

TestResult RunControllerCommand(TestRig& rig, const TestParams& p) {
    return {TestId::ControllerCommand, pb::ControllerCommand(rig.procedures, p.console.text)};
}

TestResult RunModuleCommand(TestRig& rig, const TestParams& p) {
    return {TestId::ModuleCommand,
            pb::ModuleCommand(rig.procedures, p.console.moduleType, p.console.moduleNumber, p.console.text)};
}

// For the controller the procedures' state holds: the identify before it found it.
TestResult RunFirmwareUpgrade(TestRig& rig, const TestParams& p) {
    ProcedureContext& ctx = rig.procedures;
    FirmwareBuffer own;
    FirmwareBuffer& buffer = rig.firmwareBuffer ? *rig.firmwareBuffer : own;
    FirmwareUpgrade upgrade(ctx.link, ctx.linkSettings, ctx.view, rig.firmwareBars, ctx.clock);
    upgrade.setObserver(ctx.observer);
    if (p.upgrade.checkFitFirst) upgrade.refuseUnfitImages(p.upgrade.allowPartial);
    upgrade.useRelease(p.upgrade.release, ReleasePolicy::of(p.upgrade.trustedKeys, p.upgrade.signedOnly));
    const FirmwareJob job{p.upgrade.file, ctx.state.deviceId, ctx.state.modelKind, ctx.state.versionText};
    return {TestId::FirmwareUpgrade, upgrade.run(job, buffer)};
}

TestResult RunAwaitAnswer(TestRig& rig, const TestParams& p) {
    return {TestId::AwaitAnswer, AwaitAnswer(rig.procedures, p.await.withinMs)};
}

// --- The steps ---

StepOutcome Identify(StepContext& ctx, const TestParams& p) {
    const IdentifyResult found = ctx.identify();
    if (!found.identified()) return failed(found, OfIdentify({TestId::Connect, found}));
    IdentifyParams expect = p.identify;
    if (ctx.scannedSerial().trimmed().isEmpty()) expect.checkSerial = false;  // nothing scanned to compare
    const Judgement j = judgeIdentify(expect, {found.deviceId, found.modelKind, modelTextOf(found.versionText),
                                            found.versionText, found.serialNumber, ctx.scannedSerial()});
    return {j.verdict, j.measurements};
}

StepOutcome SetDate(StepContext& ctx, const TestParams& p) { return plain(ctx, TestId::SetDate, p); }

StepOutcome Alarm(StepContext& ctx, const TestParams& p) {
    return plain(ctx, TestId::Alarm, p, {Measurement::numberOf(QStringLiteral("alarm-level"), p.alarm.level)});
}

StepOutcome FactoryInitial(StepContext& ctx, const TestParams& p) {
    const StepOutcome sent = plain(ctx, TestId::FactoryInitial, p);
    // The controller restarts with its factory settings; the next step of a plan needs it back.
    if (!sent.verdict.passed() || !p.restart.withinSeconds) return sent;
    return backAfterRestart(ctx, *p.restart.withinSeconds);
}

StepOutcome Reboot(StepContext& ctx, const TestParams& p) {
    const StepOutcome sent = plain(ctx, TestId::Reboot, p);
    if (!sent.verdict.passed() || !p.restart.withinSeconds) return sent;
    return backAfterRestart(ctx, *p.restart.withinSeconds);
}

StepOutcome Dido(StepContext& ctx, const TestParams& p) {
    if (p.dido.patterns.isEmpty()) return plain(ctx, TestId::Dido, p);
    if (auto f = ctx.needController()) return *f;
    const TestResult r = ctx.run(TestId::Dido, p);
    const DidoPatternResult& o = *r.as<DidoPatternResult>();
    QList<DidoReading> readings;
    for (const DidoPatternReading& x : o.readings) readings.append({x.cycle, x.pattern, x.inputs});
    const Judgement j = judgeDido(p.dido, readings, DidoReadCommand(ctx.state().modelKind));
    // The line's facts first: a line lost, a reply that did not come or came damaged is
    // why the step failed, whatever the inputs it did read.
    if (o != Outcome::Ok && (o == Outcome::OpenFailed || IsLineCause(o.cause.code))) return failed(o, j.measurements);
    return {j.verdict, j.measurements};
}

StepOutcome Poll(StepContext& ctx, const TestParams& p) {
    if (auto f = ctx.needController()) return *f;
    const TestResult r = ctx.run(TestId::Polling, p);
    const PollingResult& o = *r.as<PollingResult>();
    if (o != Outcome::Ok) return failed(o, OfPolling(r));
    const Judgement j = judgePoll(p.poll, o.recordsRead());
    return {j.verdict, j.measurements};
}

StepOutcome ControllerCommand(StepContext& ctx, const TestParams& p) {
    return console(ctx, TestId::ControllerCommand, p, p.console.text);
}

StepOutcome ModuleCommand(StepContext& ctx, const TestParams& p) {
    return console(ctx, TestId::ModuleCommand, p,
                   ModuleTypeLetter(p.console.moduleType) + p.console.moduleNumber + p.console.text);
}

StepOutcome Upgrade(StepContext& ctx, const TestParams& p) {
    // The version before and the model the file must suit come from an identify of this
    // try's own (a model kind given by the caller is not enough).
    if (!ctx.identity())
        if (const IdentifyResult found = ctx.identify(); !found.identified()) return failed(found);
    TestParams asked = p;
    asked.upgrade.file = ctx.plan().firmwarePath(p.upgrade);
    // Read once: the pin, the model check, the signature, the flash and the record all
    // use this value, whatever happens to the file from here on.
    if (!asked.upgrade.release) asked.upgrade.release = ReadFirmwareRelease(asked.upgrade.file);
    const FirmwareRelease& release = *asked.upgrade.release;
    if (!p.upgrade.sha256.isEmpty()) {
        if (!release.ok()) return {StepVerdict::fail(release.problem), {}};
        const StepVerdict pinned = judgeFirmwareHash(p.upgrade, release.sha256);
        if (!pinned.passed()) return {pinned, {}};
    }
    const QString before = ctx.identity()->versionText;
    const Measurement versionBefore = Measurement::textOf(QStringLiteral("version-before"), before);
    if (!upgradeNeeded(p.upgrade, before)) return {judgeUpgradeSkipped(p.upgrade, before), {versionBefore}};

    const TestResult found = ctx.run(TestId::FirmwareUpgrade, asked);
    const UpgradeResult& r = *found.as<UpgradeResult>();
    Measurements measured = {versionBefore};
    measured << upgradeMeasurements(r);
    if (r.ending() != UpgradeEnding::Upgraded) return failed(r.asRun(), measured);

    // A pass that did not take the whole file says so.
    const Cause note = r.blocks == 0           ? Cause::of(CauseCode::NothingProgrammed)
                       : r.blocksLeftOut > 0   ? Cause::of(CauseCode::BlocksLeftOut, {r.blocksLeftOut, r.blocks})
                                               : Cause{};
    if (!p.upgrade.wanted) return {StepVerdict::pass(note), measured};
    // The controller restarts on its new firmware: identify it again for its version.
    const StepOutcome back = backAfterRestart(ctx, kBackAfterUpgradeS);
    if (!back.verdict.passed()) return {back.verdict, measured + back.measurements};
    const IdentifyResult again = ctx.identify();
    if (!again.identified()) return failed(again, measured);
    measured << Measurement::textOf(QStringLiteral("version-after"), again.versionText)
                    .expecting(p.upgrade.wanted->text());
    StepVerdict verdict = judgeUpgradedVersion(p.upgrade, again.versionText);
    measured.last() = measured.last().judged(verdict.passed());
    if (verdict.passed() && note.code != CauseCode::Ok) verdict = StepVerdict::pass(note);
    return {verdict, measured};
}

// --- What a run found ---

Measurements OfIdentify(const TestResult& r) {
    const IdentifyResult* o = r.as<IdentifyResult>();
    if (!o || o->deviceId.isEmpty()) return {};
    Measurements ms = {Measurement::textOf(QStringLiteral("device-id"), o->deviceId),
                       Measurement::numberOf(QStringLiteral("model-kind"), o->modelKind)};
    if (!o->versionText.isEmpty()) {
        ms << Measurement::textOf(QStringLiteral("model-text"), modelTextOf(o->versionText));
        ms << Measurement::textOf(QStringLiteral("version"), o->versionText.trimmed());
    }
    if (!o->serialNumber.isEmpty()) ms << Measurement::textOf(QStringLiteral("serial"), o->serialNumber.trimmed());
    return ms;
}

Measurements OfSetDate(const TestResult& r) {
    const SetDateResult* o = r.as<SetDateResult>();
    if (!o || !o->sent.isValid()) return {};
    return {Measurement::textOf(QStringLiteral("clock-set"), o->sent.toString(Qt::ISODate))};
}

Measurements OfDido(const TestResult& r) {
    Measurements ms;
    if (const DidoResult* o = r.as<DidoResult>()) {
        if (o->onlyStopped) return {};
        ms << Measurement::numberOf(QStringLiteral("cycles-run"), o->cycles)
           << Measurement::numberOf(QStringLiteral("reads-answered"), o->answeredReads);
        for (int i = 0; i < o->inputsPerCycle.size(); ++i)
            ms << Measurement::bitsOf(QStringLiteral("inputs"), o->inputsPerCycle[i]).belongingTo(QString::number(i + 1));
    } else if (const DidoPatternResult* p = r.as<DidoPatternResult>()) {
        ms << Measurement::numberOf(QStringLiteral("patterns-applied"), p->readings.size());
        for (const DidoPatternReading& x : p->readings)
            ms << Measurement::bitsOf(QStringLiteral("inputs"), x.inputs).belongingTo(QString::number(x.cycle));
    }
    return ms;
}

Measurements OfPolling(const TestResult& r) {
    const PollingResult* o = r.as<PollingResult>();
    if (!o || o->stored < 0) return {};
    return {Measurement::numberOf(QStringLiteral("records"), o->recordsRead())};
}

Measurements OfConsole(const TestResult& r) {
    const ConsoleResult* o = r.as<ConsoleResult>();
    if (!o || !o->replyText) return {};
    return {Measurement::textOf(QStringLiteral("reply"), *o->replyText)};
}

Measurements OfUpgrade(const TestResult& r) {
    const UpgradeResult* o = r.as<UpgradeResult>();
    if (!o || o->ending() == UpgradeEnding::Refused) return {};
    Measurements ms = upgradeMeasurements(*o);
    if (!o->versionBefore.isEmpty()) ms.prepend(Measurement::textOf(QStringLiteral("version-before"), o->versionBefore));
    return ms;
}

Measurements OfAwait(const TestResult& r) {
    const AnswerResult* o = r.as<AnswerResult>();
    if (!o || o->answeredAfterMs < 0) return {};
    return {Measurement::numberOf(QStringLiteral("answered-after"), double(o->answeredAfterMs) / 1000.0, QStringLiteral("s"))};
}

}  // namespace pb::steps
