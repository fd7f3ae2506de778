#include "runner/RecipeSteps.h"

#include <QFile>
#include <QStringList>

#include "firmware/FirmwareUpgrade.h"
#include "procedures/CommandConsoles.h"
#include "procedures/ConnectAndIdentify.h"
#include "procedures/DidoPatterns.h"
#include "procedures/DidoTest.h"
#include "procedures/PollingTest.h"
#include "procedures/SystemCommands.h"

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

QString seconds(double s) { return QString::number(s, 'f', 1); }

// An upgrade's failure for a verdict: its reason, worded in the reader's language.
QStringList failureArgs(const FirmwareUpgrade& upgrade) {
    return upgrade.reason() ? ToArgs(upgrade.reason()) : QStringList{upgrade.failure()};
}

}  // namespace

StepOutcome RecipeSteps::run(const RecipeStep& step) {
    clock_.fixedNow.reset();
    clock_.skipMs = -1;
    switch (step.kind) {
        case StepKind::Identify:
            return identify(step.identify);
        case StepKind::Upgrade:
            return upgrade(step.upgrade);
        default:
            break;
    }
    if (auto failure = needController()) return *failure;
    switch (step.kind) {
        case StepKind::SetDate:
            return setDate(step.setDate);
        case StepKind::Alarm:
            return oneShot(AlarmTest(ctx_, step.alarm.level), QStringLiteral("alarm"),
                           {RecipeMeasure::AlarmLevel, {QString::number(step.alarm.level)}});
        case StepKind::FactoryInitial:
            return factoryInitial();
        case StepKind::Reboot:
            return reboot(step.reboot);
        case StepKind::Dido:
            return dido(step.dido);
        case StepKind::Poll:
            return poll(step.poll);
        case StepKind::Send:
        case StepKind::Module:
            return reply(step);
        case StepKind::Identify:
        case StepKind::Upgrade:
            break;
    }
    return {};
}

StepOutcome RecipeSteps::failed(Outcome outcome, const QString& what) const {
    if (outcome == Outcome::OpenFailed && view_.lastOpenFailed)
        return {StepVerdict::fail(RecipeReason::LinkNotOpened, {view_.lastOpenDetail}), {}};
    if (outcome == Outcome::OpenFailed)
        return {StepVerdict::fail(RecipeReason::NoController, {view_.idToAsk}), {}};
    // Why the procedure ended so, when it knows: kept as the verdict's arguments.
    const std::optional<EndingReason> why =
        EndingReasonFromJson(view_.lastDetail.value(QStringLiteral("reason")).toObject());
    return {StepVerdict::fail(RecipeReason::CommandFailed,
                              QStringList{what} + (why ? ToArgs(*why) : QStringList{})),
            {}};
}

std::optional<StepOutcome> RecipeSteps::needController() {
    if (identified()) return std::nullopt;
    view_.identified.reset();
    const Outcome o = ConnectAndIdentify(ctx_);
    if (o == Outcome::Ok && view_.identified) return std::nullopt;
    return failed(o == Outcome::Ok ? Outcome::OpenFailed : o, QStringLiteral("identify"));
}

StepOutcome RecipeSteps::identify(const IdentifyExpect& expect) {
    view_.identified.reset();
    const Outcome o = ConnectAndIdentify(ctx_);
    if (o != Outcome::Ok || !view_.identified)
        return failed(o == Outcome::Error ? Outcome::OpenFailed : o, QStringLiteral("identify"));
    const ControllerIdentity& id = *view_.identified;
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

StepOutcome RecipeSteps::oneShot(Outcome outcome, const QString& what, const StepMeasured& measured) {
    if (outcome != Outcome::Ok) {
        StepOutcome f = failed(outcome, what);
        f.measured = measured;
        return f;
    }
    return {StepVerdict::pass(), measured};
}

StepOutcome RecipeSteps::setDate(const SetDateStep& step) {
    // The PC's clock is read at the moment of the step, as the button does.
    clock_.fixedNow = step.time ? *step.time : clock_.now();
    const QString sent = clock_.fixedNow->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return oneShot(SetDateTime(ctx_), QStringLiteral("set-date"), {RecipeMeasure::ClockSet, {sent}});
}

std::optional<double> RecipeSteps::awaitAnswer(int withinS) {
    qint64 afterMs = -1;
    if (AwaitAnswer(ctx_, withinS * 1000, afterMs) != Outcome::Ok || afterMs < 0) return std::nullopt;
    return double(afterMs) / 1000.0;
}

StepOutcome RecipeSteps::factoryInitial() {
    const Outcome o = FactoryInitial(ctx_);
    if (o != Outcome::Ok) return failed(o, QStringLiteral("factory-initial"));
    // The controller restarts with its factory settings; the next step needs it back.
    const std::optional<double> back = awaitAnswer(kBackAfterResetS);
    if (!back)
        return {StepVerdict::fail(RecipeReason::NoAnswerAfterReboot, {QString::number(kBackAfterResetS)}),
                {RecipeMeasure::NoAnswerAfterReset, {}}};
    return {StepVerdict::pass(), {RecipeMeasure::BackAfterReset, {seconds(*back)}}};
}

StepOutcome RecipeSteps::reboot(const RebootStep& step) {
    const Outcome o = Reboot(ctx_);
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
    QList<DidoPatternReading> read;
    const Outcome o = DidoPatternTest(ctx_, plan, read);
    if (o == Outcome::OpenFailed) return failed(o, QStringLiteral("dido"));
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
    const Outcome o = PollingTestClick(ctx_);
    clock_.skipMs = -1;
    if (o != Outcome::Ok) return failed(o, QStringLiteral("poll"));
    const int records = view_.lastDetail.value(QStringLiteral("records")).toInt();
    return {judgePoll(step, records), {RecipeMeasure::Records, {QString::number(records)}}};
}

StepOutcome RecipeSteps::reply(const RecipeStep& step) {
    lastReply_.clear();
    const QString& command = step.reply.command;
    Outcome o = Outcome::Error;
    if (step.kind == StepKind::Send) {
        o = ControllerCommand(ctx_, command);
    } else {
        int type = -1;
        for (int i = 0; !ModuleTypeLetter(i).isEmpty(); ++i)
            if (command.startsWith(ModuleTypeLetter(i))) type = i;
        o = ModuleCommand(ctx_, type, command.mid(1, 1), command.mid(2));
    }
    if (o == Outcome::OpenFailed) return failed(o, command);
    // The reply after the device ID: mnemonic and data, without the checksum tail.
    std::optional<QString> text;
    if (o == Outcome::Ok) {
        const ReplyFrame frame(ReplyFrame::Kind::Crc, lastReply_, int(lastReply_.size()));
        if (const auto r = frame.split(int(state_.deviceId.size())))
            text = QString::fromLatin1(r->mnemonic + r->data);
    }
    return {judgeReply(step.reply, text),
            text ? StepMeasured{RecipeMeasure::Reply, {*text}} : StepMeasured{RecipeMeasure::NoReply, {}}};
}

namespace {
// The most of a firmware file read whole to check its pinned hash.
constexpr qint64 kWholeFirmwareLimit = qint64(64) << 20;
}  // namespace

StepOutcome RecipeSteps::upgrade(const UpgradeStep& step) {
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

    const QString before = view_.identified->versionText;
    if (!upgradeNeeded(step, before))
        return {judgeUpgradeSkipped(step, before), {RecipeMeasure::NotUpgraded, {before}}};

    FirmwareBuffer buffer;
    FirmwareUpgrade upgrade(ctx_.link, view_, view_, clock_);
    upgrade.setObserver(&view_);
    upgrade.refuseUnfitImages(step.allowPartial);
    const FirmwareJob job{path, state_.deviceId, state_.modelKind, before};
    switch (upgrade.run(job, buffer)) {
        case UpgradeOutcome::ImageRefused:
            return {upgrade.imageFit().fit == ImageFit::NoImage
                        ? StepVerdict::fail(RecipeReason::FirmwareNoImage)
                        : StepVerdict::fail(RecipeReason::FirmwareTooLarge,
                                            {QString::number(upgrade.imageFit().blocksInFile),
                                             QString::number(upgrade.imageFit().modelReads)}),
                    {RecipeMeasure::NothingSent, {before}}};
        case UpgradeOutcome::ModelCheckFailed:
        case UpgradeOutcome::NoLoader:
            return {StepVerdict::fail(RecipeReason::FirmwareRefused, failureArgs(upgrade)),
                    {RecipeMeasure::NothingSent, {before}}};
        case UpgradeOutcome::OpenFailed:
            return failed(Outcome::OpenFailed, QStringLiteral("upgrade"));
        case UpgradeOutcome::Failed:
            return {StepVerdict::fail(RecipeReason::FlashFailed, failureArgs(upgrade)),
                    {RecipeMeasure::BlocksPartly,
                     {QString::number(view_.programDone), QString::number(buffer.blockCount),
                      QString::number(view_.verifyDone)}}};
        case UpgradeOutcome::Upgraded:
            break;
    }
    // The controller restarts on its new firmware: identify it again for its version.
    const QString blocks = QString::number(buffer.blockCount);
    const StepMeasured programmed{RecipeMeasure::BlocksProgrammed, {blocks}};
    if (!awaitAnswer(kBackAfterUpgradeS))
        return {StepVerdict::fail(RecipeReason::NoAnswerAfterReboot, {QString::number(kBackAfterUpgradeS)}),
                programmed};
    view_.identified.reset();
    const Outcome o = ConnectAndIdentify(ctx_);
    if (o != Outcome::Ok || !view_.identified) {
        StepOutcome f = failed(o == Outcome::Error ? Outcome::OpenFailed : o, QStringLiteral("identify"));
        f.measured = programmed;
        return f;
    }
    const QString after = view_.identified->versionText;
    StepVerdict verdict = judgeUpgradedVersion(step, after);
    // Passed, but not with the whole file: say so beside the pass.
    if (verdict.passed && buffer.blocksLeftOut() > 0)
        verdict = StepVerdict::pass(RecipeReason::UpgradedPartly,
                                    {QString::number(buffer.blocksLeftOut()), blocks});
    return {verdict, {RecipeMeasure::Upgraded, {before, after, blocks}}};
}

}  // namespace pb
