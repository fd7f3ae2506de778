#include "runner/RecipeSteps.h"

#include <QFile>
#include <QStringList>

#include "firmware/FirmwareImage.h"
#include "procedures/CommandConsoles.h"
#include "procedures/DidoPatterns.h"
#include "procedures/DidoTest.h"
#include "procedures/PollingTest.h"
#include "runner/LineBack.h"

namespace pb {
namespace {

// How long a controller may take to come back after a factory reset or an upgrade.
constexpr int kBackAfterResetS = 30;
constexpr int kBackAfterUpgradeS = 60;

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

StepMeasured identityMeasured(const ControllerIdentity& id) {
    return {RecipeMeasure::Identity,
            {id.deviceId, QString::number(id.modelKind), id.versionText, id.serialNumber}};
}

TestParams alarmLevel(int level) {
    TestParams p;
    p.alarmLevel = level;
    return p;
}

QString seconds(double s) { return QString::number(s, 'f', 1); }

// An upgrade's failure for a verdict: its reason, worded in the reader's language.
QStringList failureArgs(const UpgradeResult& upgrade) {
    return upgrade.reason ? ToArgs(upgrade.reason) : QStringList{upgrade.failure};
}

}  // namespace

TestResult RecipeSteps::runTest(TestId test, const TestParams& params) { return RunTest(rig_, {test, params}); }

StepOutcome RecipeSteps::run(const RecipeStep& step) {
    clock_.fixedNow.reset();
    clock_.skipMs = -1;
    // These two identify the controller themselves; every other step needs one identified.
    if (step.kind == TestId::Connect) return identify(step.identify);
    if (step.kind == TestId::FirmwareUpgrade) return upgrade(step.upgrade);
    if (auto failure = needController()) return *failure;
    switch (step.kind) {
        case TestId::SetDate:
            return setDate(step.setDate);
        case TestId::Alarm:
            return oneShot(runTest(TestId::Alarm, alarmLevel(step.alarm.level)).run(), QStringLiteral("alarm"),
                           {RecipeMeasure::AlarmLevel, {QString::number(step.alarm.level)}});
        case TestId::FactoryInitial:
            return factoryInitial();
        case TestId::Reboot:
            return reboot(step.reboot);
        case TestId::Dido:
            return dido(step.dido);
        case TestId::Polling:
            return poll(step.poll);
        case TestId::ControllerCommand:
        case TestId::ModuleCommand:
            return reply(step);
        default:  // a one-shot test that takes nothing: passed when it ended well
            return oneShot(runTest(step.kind).run(), CommandName(step.kind), {});
    }
}

StepOutcome RecipeSteps::failed(const RunResult& run, const QString& what) const {
    if (run.linkNotOpened())
        return {StepVerdict::fail(RecipeReason::LinkNotOpened, {run.opened.detail}), {}};
    if (run.outcome == Outcome::OpenFailed)
        return {StepVerdict::fail(RecipeReason::NoController, {view_.idToAsk}), {}};
    // Why the procedure ended so, when it knows: kept as the verdict's arguments.
    return {StepVerdict::fail(RecipeReason::CommandFailed,
                              QStringList{what} + (run.reason ? ToArgs(run.reason) : QStringList{})),
            {}};
}

StepOutcome RecipeSteps::notIdentified(const IdentifyResult& run) const {
    // A controller that answered but could not be named is no controller to test.
    RunResult asOpenFailed = run;
    if (run.outcome == Outcome::Error) asOpenFailed.outcome = Outcome::OpenFailed;
    return failed(asOpenFailed, QStringLiteral("identify"));
}

IdentifyResult RecipeSteps::identifyController() {
    identity_.reset();
    const IdentifyResult found = *runTest(TestId::Connect).as<IdentifyResult>();
    if (found.identified()) identity_ = found.identity();
    return found;
}

std::optional<StepOutcome> RecipeSteps::needController() {
    if (identified()) return std::nullopt;
    const IdentifyResult found = identifyController();
    if (found.identified()) return std::nullopt;
    return failed(found, QStringLiteral("identify"));
}

StepOutcome RecipeSteps::identify(const IdentifyExpect& expect) {
    const IdentifyResult found = identifyController();
    if (!found.identified()) return notIdentified(found);
    const ControllerIdentity& id = *identity_;
    IdentifyMeasured m;
    m.modelKind = id.modelKind;
    m.modelText = modelTextOf(id.versionText);
    m.versionText = id.versionText;
    m.serial = id.serialNumber;
    m.scannedSerial = scanned_;
    IdentifyExpect e = expect;
    if (scanned_.trimmed().isEmpty()) e.checkSerial = false;  // nothing scanned to compare
    return {judgeIdentify(e, m), identityMeasured(id)};
}

StepOutcome RecipeSteps::oneShot(const RunResult& run, const QString& what, const StepMeasured& measured) {
    if (run != Outcome::Ok) {
        StepOutcome f = failed(run, what);
        f.measured = measured;
        return f;
    }
    return {StepVerdict::pass(), measured};
}

StepOutcome RecipeSteps::setDate(const SetDateStep& step) {
    // The PC's clock is read at the moment of the step, as the button does.
    clock_.fixedNow = step.time ? *step.time : clock_.now();
    const QString sent = clock_.fixedNow->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return oneShot(runTest(TestId::SetDate).run(), QStringLiteral("set-date"), {RecipeMeasure::ClockSet, {sent}});
}

std::optional<double> RecipeSteps::awaitAnswer(int withinS) {
    TestParams within;
    within.withinMs = withinS * 1000;
    const AnswerResult answer = *runTest(TestId::AwaitAnswer, within).as<AnswerResult>();
    if (answer != Outcome::Ok || answer.answeredAfterMs < 0) return std::nullopt;
    return double(answer.answeredAfterMs) / 1000.0;
}

StepOutcome RecipeSteps::factoryInitial() {
    const RunResult o = runTest(TestId::FactoryInitial).run();
    if (o != Outcome::Ok) return failed(o, QStringLiteral("factory-initial"));
    // The controller restarts with its factory settings; the next step needs it back.
    const std::optional<double> back = awaitAnswer(kBackAfterResetS);
    if (!back)
        return {StepVerdict::fail(RecipeReason::NoAnswerAfterReboot, {QString::number(kBackAfterResetS)}),
                {RecipeMeasure::NoAnswerAfterReset, {}}};
    return {StepVerdict::pass(), {RecipeMeasure::BackAfterReset, {seconds(*back)}}};
}

StepOutcome RecipeSteps::reboot(const RebootStep& step) {
    const RunResult o = runTest(TestId::Reboot).run();
    if (o != Outcome::Ok) return failed(o, QStringLiteral("reboot"));
    const std::optional<double> back = awaitAnswer(step.withinSeconds);
    const StepMeasured measured =
        back ? StepMeasured{RecipeMeasure::AnsweredAfter, {seconds(*back)}}
             : StepMeasured{RecipeMeasure::NoAnswerWithin, {QString::number(step.withinSeconds)}};
    return {judgeReboot(step, back), measured};
}

StepOutcome RecipeSteps::dido(const DidoStep& step) {
    DidoPatternPlan plan;
    plan.cycles = step.cycles;
    for (const DidoPattern& p : step.patterns) plan.outputs << p.outputs;
    TestParams patterns;
    patterns.didoPatterns = plan;
    const DidoPatternResult o = *runTest(TestId::Dido, patterns).as<DidoPatternResult>();
    if (o == Outcome::OpenFailed) return failed(o, QStringLiteral("dido"));
    const QList<DidoPatternReading>& read = o.readings;
    QList<DidoReading> readings;
    QStringList seen;
    bool someNotRead = false;  // a read that failed shows as "(none)", in words
    for (const DidoPatternReading& r : read) {
        readings.append({r.cycle, r.pattern, r.inputs});
        if (r.inputs.isEmpty()) someNotRead = true;
        else if (!seen.contains(r.inputs)) seen << r.inputs;
    }
    const RecipeMeasure id = seen.isEmpty() ? RecipeMeasure::PatternsReadNone
                             : someNotRead  ? RecipeMeasure::PatternsReadSomeNone
                                            : RecipeMeasure::PatternsRead;
    return {judgeDido(step, readings, DidoReadCommand(state_.modelKind)),
            {id,
             {QString::number(read.size()), QString::number(qsizetype(step.cycles) * step.patterns.size()),
              seen.join(QStringLiteral(", "))}}};
}

StepOutcome RecipeSteps::poll(const PollStep& step) {
    state_.pollingRunning = false;
    clock_.skipMs = kPollingRecordPauseMs;
    const PollingResult o = *runTest(TestId::Polling).as<PollingResult>();
    clock_.skipMs = -1;
    if (o != Outcome::Ok) return failed(o, QStringLiteral("poll"));
    const int records = o.recordsRead();
    return {judgePoll(step, records), {RecipeMeasure::Records, {QString::number(records)}}};
}

StepOutcome RecipeSteps::reply(const RecipeStep& step) {
    const QString& command = step.reply.command;
    // A module command is written as one word: type letter, module number, its own command.
    TestParams p;
    const bool module = step.kind == TestId::ModuleCommand;
    p.command = module ? command.mid(2) : command;
    p.moduleType = module ? ModuleTypeOfLetter(command.left(1)) : 0;
    p.moduleNumber = module ? command.mid(1, 1) : QString();
    const ConsoleResult o = *runTest(step.kind, p).as<ConsoleResult>();
    if (o == Outcome::OpenFailed) return failed(o, command);
    // The reply after the device ID: mnemonic and data, without the checksum tail.
    const std::optional<QString> text = o == Outcome::Ok ? o.replyText : std::nullopt;
    return {judgeReply(step.reply, text),
            text ? StepMeasured{RecipeMeasure::Reply, {*text}} : StepMeasured{RecipeMeasure::NoReply, {}}};
}

namespace {
// The most of a firmware file read whole to check its pinned hash.
constexpr qint64 kWholeFirmwareLimit = qint64(64) << 20;
}  // namespace

StepOutcome RecipeSteps::upgrade(const UpgradeStep& step) {
    // The try before lost its line or failed its verify: the controller must answer again
    // (its adapter followed by identity) and is identified afresh; the upgrade starts over.
    if (lineLost_) {
        lineLost_ = false;
        LineBackWait wait;
        wait.withinS = kBackAfterUpgradeS;
        wait.adapterId = ctx_.link.adapterId();
        wait.cancelled = [this] { return view_.stopRequested(); };
        if (!AwaitLineBack(rig_, view_, clock_, wait))
            return {StepVerdict::fail(RecipeReason::NoAnswerAfterReboot, {QString::number(kBackAfterUpgradeS)}), {}};
        identity_.reset();
        state_.modelKind = 0;
    }
    if (auto failure = needController()) return *failure;
    const QString path = recipe_.firmwarePath(step);
    // Checked first: a folder, pipe, device or oversized file is not read at all.
    const CheckedFile file = ReadFirmwareFile(path);
    if (!file.ok()) return {StepVerdict::fail(RecipeReason::FirmwareUnreadable, {path}), {}};
    // The pinned hash is the whole file's: a file longer than the head any model reads is
    // read whole for it, within a bound.
    const CheckedFile whole = file.size > file.bytes.size() ? ReadCheckedFile(path, kWholeFirmwareLimit) : file;
    if (!whole.ok()) return {StepVerdict::fail(RecipeReason::FirmwareUnreadable, {path}), {}};
    if (StepVerdict v = judgeFirmwareFile(step, whole.bytes); !v.passed) return {v, {}};

    const QString before = identity_->versionText;
    if (!upgradeNeeded(step, before))
        return {judgeUpgradeSkipped(step, before), {RecipeMeasure::NotUpgraded, {before}}};

    TestParams firmware;
    firmware.firmware = {path, before, true, step.allowPartial, nullptr};
    const UpgradeResult r = *runTest(TestId::FirmwareUpgrade, firmware).as<UpgradeResult>();
    switch (r.ending()) {
        case UpgradeEnding::Refused:
            if (r == UpgradeOutcome::ImageRefused)
                return {r.imageFit.fit == ImageFit::NoImage
                            ? StepVerdict::fail(RecipeReason::FirmwareNoImage)
                            : StepVerdict::fail(RecipeReason::FirmwareTooLarge,
                                                {QString::number(r.imageFit.blocksInFile),
                                                 QString::number(r.imageFit.modelReads)}),
                        {RecipeMeasure::NothingSent, {before}}};
            return {StepVerdict::fail(RecipeReason::FirmwareRefused, failureArgs(r)),
                    {RecipeMeasure::NothingSent, {before}}};
        case UpgradeEnding::LinkNotOpened:
            return failed(r.asRun(), QStringLiteral("upgrade"));
        case UpgradeEnding::FlashFailed:
            lineLost_ = WorthAnotherUpgradeTry(r);
            return {StepVerdict::fail(RecipeReason::FlashFailed, failureArgs(r)),
                    {RecipeMeasure::BlocksPartly,
                     {QString::number(r.blocksProgrammed), QString::number(r.blocks),
                      QString::number(r.blocksVerified)}}};
        case UpgradeEnding::Upgraded:
            break;
    }
    // The controller restarts on its new firmware: identify it again for its version.
    const QString blocks = QString::number(r.blocks);
    const StepMeasured programmed{RecipeMeasure::BlocksProgrammed, {blocks}};
    if (!awaitAnswer(kBackAfterUpgradeS))
        return {StepVerdict::fail(RecipeReason::NoAnswerAfterReboot, {QString::number(kBackAfterUpgradeS)}),
                programmed};
    const IdentifyResult again = identifyController();
    if (!again.identified()) {
        StepOutcome f = notIdentified(again);
        f.measured = programmed;
        return f;
    }
    const QString after = again.versionText;
    StepVerdict verdict = judgeUpgradedVersion(step, after);
    // Passed, but not with the whole file: say so beside the pass.
    if (verdict.passed && r.blocksLeftOut > 0)
        verdict = StepVerdict::pass(RecipeReason::UpgradedPartly,
                                    {QString::number(r.blocksLeftOut), blocks});
    return {verdict, {RecipeMeasure::Upgraded, {before, after, blocks}}};
}

}  // namespace pb
