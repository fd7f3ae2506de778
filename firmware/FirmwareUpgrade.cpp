#include "firmware/FirmwareUpgrade.h"

#include "firmware/LoaderSession.h"
#include "firmware/ModelCheck.h"
#include "firmware/ProgressPacing.h"
#include "firmware/TimedBars.h"
#include "i18n/CauseTexts.h"
#include "i18n/EndingTexts.h"
#include "i18n/FeedbackTexts.h"

namespace pb {
namespace {

QString LoaderName(LoaderProtocol protocol) {
    switch (protocol) {
        case LoaderProtocol::A:
            return QStringLiteral("A");
        case LoaderProtocol::B:
            return QStringLiteral("B");
        case LoaderProtocol::C:
            return QStringLiteral("C");
        case LoaderProtocol::None:
            break;
    }
    return QStringLiteral("none");
}

// What a run's detail says of how far it came: the blocks, the phase, the retries, and
// whether the unit may be without firmware should the run end here.
void addProgress(QJsonObject& detail, const TimedBars& bars, const LoaderSession& session) {
    bars.addTo(detail);
    const QString stage = bars.stage();
    detail.insert(QStringLiteral("phase"), stage);
    // Once every block is verified the new firmware is whole, restarted or not.
    if (session.flashWasTouched() && stage != QLatin1String("restart"))
        detail.insert(QStringLiteral("mayLackFirmware"), true);
    else
        detail.remove(QStringLiteral("mayLackFirmware"));
    detail.insert(QStringLiteral("retries"),
                  QJsonObject{{QStringLiteral("program"), session.programRetries()},
                              {QStringLiteral("verify"), session.verifyRetries()}});
}

}  // namespace

LoaderProtocol LoaderProtocolFor(int modelKind) { return FamilyOf(modelKind).loader; }

UpgradeEnding UpgradeResult::ending() const {
    switch (outcome) {
        case UpgradeOutcome::ModelCheckFailed:
        case UpgradeOutcome::ReleaseRefused:
        case UpgradeOutcome::ImageRefused:
        case UpgradeOutcome::NoLoader:
            return UpgradeEnding::Refused;
        case UpgradeOutcome::OpenFailed:
            return UpgradeEnding::LinkNotOpened;
        case UpgradeOutcome::Failed:
            return UpgradeEnding::FlashFailed;
        case UpgradeOutcome::Upgraded:
            break;
    }
    return UpgradeEnding::Upgraded;
}

RunResult UpgradeResult::asRun() const {
    RunResult run;
    run.outcome = outcome == UpgradeOutcome::Upgraded     ? Outcome::Ok
                  : outcome == UpgradeOutcome::OpenFailed ? Outcome::OpenFailed
                                                          : Outcome::Error;
    run.cause = cause;
    run.opened = opened;
    return run;
}

UpgradeResult FirmwareUpgrade::run(const FirmwareJob& job, FirmwareBuffer& buffer) {
    UpgradeResult result;
    result.versionBefore = job.versionText;
    const auto ended = [&](UpgradeOutcome outcome) {
        result.outcome = outcome;
        result.cause = cause_;
        result.failure = failure_;
        result.imageFit = fit_;
        result.blocks = buffer.blockCount;
        result.blocksLeftOut = buffer.blocksLeftOut();
        result.mayLackFirmware = mayLackFirmware_;
        result.stoppedOnRequest = stopped_;
        return result;
    };
    failure_.clear();
    cause_ = {};
    flashTouched_ = false;
    stopped_ = false;
    mayLackFirmware_ = false;
    bars_.setProgramPosition(0);
    bars_.setVerifyPosition(0);
    bars_.clearBarProgress();

    // Read once: everything below, the record included, uses these bytes.
    const FirmwareReleaseRef release = release_ ? release_ : ReadFirmwareRelease(job.fileName);
    result.release = release;
    FileRefusal refusal;
    if (!RunReleaseModelCheck(*release, job.modelKind, job.versionText, buffer, view_, &refusal)) {
        cause_ = refusal.cause;
        failure_ = RefusalStatus(refusal, LanguageIndex(Language::English));
        recordRefusal(job, *release, refusal,
                      refusal.ending == MsgId::LoadFirmwareFileError ? QStringLiteral("load-error")
                                                                     : QStringLiteral("model-error"),
                      nullptr);
        return ended(UpgradeOutcome::ModelCheckFailed);
    }
    result.verdict = JudgeRelease(*release, policy_, job.modelKind, job.versionText, clock_.now().date());
    if (!result.verdict.passed()) {
        // After the identify, before the loader: nothing was sent, nothing erased.
        refusal = {result.verdict.cause.code == CauseCode::NotForThisModel || result.verdict.cause.code == CauseCode::Downgrade
                       ? MsgId::FirmwareFileModelError
                       : MsgId::LoadFirmwareFileError,
                   result.verdict.cause};
        cause_ = refusal.cause;
        failure_ = RefusalStatus(refusal, LanguageIndex(Language::English));
        view_.setStatus(RefusalStatus(refusal, LanguageIndex(view_.language())));
        view_.setLamp(LampColour::Red);
        view_.beep(kLowBeepHz, kBeepMs);
        recordRefusal(job, *release, refusal, QStringLiteral("release"), &result.verdict);
        return ended(UpgradeOutcome::ReleaseRefused);
    }
    fit_ = CheckImageFit(buffer, job.modelKind, allowPartial_);
    if (refuseUnfit_ && !fit_.fits()) {
        failure_ = fit_.reason(job.modelKind);
        cause_ = fit_.fit == ImageFit::NoImage ? Cause::of(CauseCode::FileNoImage)
                                               : Cause::of(CauseCode::FileTooLarge, {fit_.blocksInFile, fit_.modelReads});
        return ended(UpgradeOutcome::ImageRefused);
    }

    TestRunFrame run(TestId::FirmwareUpgrade, link_, settings_, view_, clock_, observer_);
    TimedBars bars(bars_, clock_);
    UpgradeOutcome outcome = UpgradeOutcome::OpenFailed;
    // Which image, for whichever controller: kept with the run even when the link fails.
    run.detail().insert(QStringLiteral("file"), release->facts());
    run.detail().insert(QStringLiteral("release"), result.verdict.toJson());
    run.detail().insert(QStringLiteral("modelKind"), job.modelKind);
    const RunResult ran = run.run([&] {
        LoaderSession session(run, bars, clock_, buffer, job.deviceId, job.modelKind);
        const LoaderProtocol protocol = LoaderProtocolFor(job.modelKind);
        run.detail().insert(QStringLiteral("loader"), LoaderName(protocol));
        // How far it came, written down as it goes: a run killed at any moment keeps it.
        ProgressPacing pacing(clock_);
        const auto tellProgress = [&](bool phaseChanged) {
            if (!observer_ || !pacing.due(phaseChanged, bars.programmed() + bars.verified())) return;
            QJsonObject detail = run.detail();
            addProgress(detail, bars, session);
            observer_->runProgressed(detail);
        };
        bars.onChange(tellProgress);
        session.whenFlashFirstTouched([&] { tellProgress(true); });
        tellProgress(true);
        bool upgraded = false;
        switch (protocol) {
            case LoaderProtocol::A:
                upgraded = RunProtocolA(session);
                break;
            case LoaderProtocol::B:
                upgraded = RunProtocolB(session);
                break;
            case LoaderProtocol::C:
                upgraded = RunProtocolC(session);
                break;
            case LoaderProtocol::None:
                // Not identified, or a family without a loader: nothing may be sent.
                cause_ = job.modelKind == kModelKindNone ? Cause::of(CauseCode::NotIdentified)
                                                         : Cause::of(CauseCode::NoLoader, {job.modelKind});
                outcome = UpgradeOutcome::NoLoader;
                break;
        }
        bars.onChange(nullptr);
        if (protocol != LoaderProtocol::None) {
            outcome = upgraded ? UpgradeOutcome::Upgraded : UpgradeOutcome::Failed;
            if (!upgraded) cause_ = session.failure();
            flashTouched_ = session.flashWasTouched();
        }
        failure_ = cause_.passed() ? QString() : CauseText(cause_, LanguageIndex(Language::English));
        // Stopped on request: whatever the last step saw after it is not the unit's doing.
        stopped_ = !upgraded && protocol != LoaderProtocol::None &&
                   (session.stopped() || bars.stopRequested());
        if (stopped_) {
            failure_ = QStringLiteral("stopped on request in %1 after %2 of %3 blocks programmed, %4 verified")
                           .arg(bars.stage()).arg(bars.programmed()).arg(buffer.blockCount)
                           .arg(bars.verified());
            run.detail().insert(QStringLiteral("stoppedIn"), bars.stage());
        }
        addProgress(run.detail(), bars, session);
        run.detail().remove(QStringLiteral("phase"));
        result.blocksProgrammed = bars.programmed();
        result.blocksVerified = bars.verified();
        result.programRetries = session.programRetries();
        result.verifyRetries = session.verifyRetries();
        result.failingBlock = session.failingBlock();
        if (protocol != LoaderProtocol::None) result.phase = bars.stage();
        run.detail().insert(QStringLiteral("blocksLeftOut"), buffer.blocksLeftOut());
        if (upgraded) addWarning(run.detail(), buffer);
        if (upgraded || !flashTouched_) run.detail().remove(QStringLiteral("mayLackFirmware"));
        else run.detail().insert(QStringLiteral("mayLackFirmware"), true);
        if (!failure_.isEmpty()) run.detail().insert(QStringLiteral("failure"), failure_);
        if (stopped_) return RunOutcome::Interrupted;
        return upgraded ? RunOutcome::Ok : run.fail(cause_);
    });
    if (outcome == UpgradeOutcome::OpenFailed)
        failure_ = QStringLiteral("the link could not be opened: %1").arg(run.openResult().detail);
    // The frame decides why, once: a line that went away mid-flash is a lost line.
    if (outcome != UpgradeOutcome::Upgraded) cause_ = ran.cause;
    if (outcome == UpgradeOutcome::Failed && !stopped_) failure_ = CauseText(cause_, LanguageIndex(Language::English));
    mayLackFirmware_ = outcome == UpgradeOutcome::Failed && flashTouched_;
    tellWhatTheEndingLeftUnsaid(outcome, buffer);
    result.opened = ran.opened;
    return ended(outcome);
}

void FirmwareUpgrade::addWarning(QJsonObject& detail, const FirmwareBuffer& buffer) const {
    // An upgrade that went through but did not put the whole file in: ok, with a warning
    // the records show beside the outcome.
    if (buffer.blockCount == 0)
        detail.insert(QStringLiteral("warning"), QStringLiteral("nothing-programmed"));
    else if (buffer.blocksLeftOut() > 0)
        detail.insert(QStringLiteral("warning"), QStringLiteral("blocks-left-out"));
}

void FirmwareUpgrade::recordRefusal(const FirmwareJob& job, const FirmwareRelease& release, const FileRefusal& refusal,
                                    const QString& kind, const ReleaseVerdict* verdict) {
    if (!observer_) return;
    // No link was opened and nothing sent, but the unit's history shows which file was
    // refused and why, as an upgrade that ended in error.
    const qint64 nowMs = clock_.now().toMSecsSinceEpoch();
    const LinkSettings& link = settings_;
    const TestId test = TestId::FirmwareUpgrade;
    observer_->runStarted(RunStart{test, nowMs, link});
    QJsonObject detail{
        {QStringLiteral("file"), release.facts()},
        {QStringLiteral("modelKind"), job.modelKind},
        {QStringLiteral("refused"), kind},
        {QStringLiteral("cause"), ToJson(refusal.cause)},
        {QStringLiteral("failure"), failure_}};
    if (verdict) detail.insert(QStringLiteral("release"), verdict->toJson());
    observer_->runEnded(RunReport{test, nowMs, nowMs, RunOutcome::Error,
                                  RefusalStatus(refusal, LanguageIndex(view_.language())), link,
                                  detail, refusal.cause});
}

void FirmwareUpgrade::tellWhatTheEndingLeftUnsaid(UpgradeOutcome outcome,
                                                  const FirmwareBuffer& buffer) {
    const int language = LanguageIndex(view_.language());
    // Failed once flash was erased or written: the unit may not start again as it is.
    if (mayLackFirmware_) {
        view_.setStatus(MayLackFirmwareStatus(cause_, language));
        view_.setStatusAdvice(Text(FeedbackText::FlashMayBeBrokenAdvice, language));
    }
    // Programmed to the model's cap: say how much of the file did not go in.
    if (outcome == UpgradeOutcome::Upgraded && buffer.blocksLeftOut() > 0) {
        view_.setStatus(Msg(MsgId::CommandOk, view_.language()) +
                        Text(FeedbackText::BlocksLeftOut, language).arg(buffer.blocksLeftOut()));
        view_.setStatusAdvice(Text(FeedbackText::BlocksLeftOutAdvice, language)
                                  .arg(buffer.blocksInFile)
                                  .arg(buffer.blockCount));
    }
}

}  // namespace pb
