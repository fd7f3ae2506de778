#include "firmware/FirmwareUpgrade.h"

#include "firmware/FirmwareFileFacts.h"
#include "firmware/LoaderSession.h"
#include "firmware/ModelCheck.h"
#include "firmware/ProgressPacing.h"
#include "firmware/TimedBars.h"
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

UpgradeOutcome FirmwareUpgrade::run(const FirmwareJob& job, FirmwareBuffer& buffer) {
    failure_.clear();
    flashTouched_ = false;
    stopped_ = false;
    mayLackFirmware_ = false;
    bars_.setProgramPosition(0);
    bars_.setVerifyPosition(0);
    bars_.clearBarProgress();

    if (!RunModelCheck(job.fileName, job.modelKind, job.versionText, buffer, view_)) {
        failure_ = QStringLiteral("the firmware file does not fit the controller");
        return UpgradeOutcome::ModelCheckFailed;
    }

    TestRunFrame run(TestId::FirmwareUpgrade, link_, view_, clock_, observer_);
    TimedBars bars(bars_, clock_);
    UpgradeOutcome outcome = UpgradeOutcome::OpenFailed;
    // Which image, for whichever controller: kept with the run even when the link fails.
    run.detail().insert(QStringLiteral("file"), FirmwareFileFacts(job.fileName));
    run.detail().insert(QStringLiteral("modelKind"), job.modelKind);
    run.run([&] {
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
                failure_ = QStringLiteral("model kind %1 has no loader").arg(job.modelKind);
                outcome = UpgradeOutcome::NoLoader;
                break;
        }
        bars.onChange(nullptr);
        if (protocol != LoaderProtocol::None) {
            outcome = upgraded ? UpgradeOutcome::Upgraded : UpgradeOutcome::Failed;
            failure_ = session.failure();
            flashTouched_ = session.flashWasTouched();
        }
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
        run.detail().insert(QStringLiteral("blocksLeftOut"), buffer.blocksLeftOut());
        if (upgraded || !flashTouched_) run.detail().remove(QStringLiteral("mayLackFirmware"));
        else run.detail().insert(QStringLiteral("mayLackFirmware"), true);
        if (!failure_.isEmpty()) run.detail().insert(QStringLiteral("failure"), failure_);
        return stopped_ ? RunOutcome::Interrupted : Judged(upgraded);
    });
    if (outcome == UpgradeOutcome::OpenFailed)
        failure_ = QStringLiteral("the link could not be opened: %1").arg(run.openResult().detail);
    mayLackFirmware_ = outcome == UpgradeOutcome::Failed && flashTouched_;
    tellWhatTheEndingLeftUnsaid(outcome, buffer);
    return outcome;
}

void FirmwareUpgrade::tellWhatTheEndingLeftUnsaid(UpgradeOutcome outcome,
                                                  const FirmwareBuffer& buffer) {
    const int language = LanguageIndex(view_.language());
    // Failed once flash was erased or written: the unit may not start again as it is.
    if (mayLackFirmware_) {
        view_.setStatus(Msg(MsgId::CommandError, view_.language()) +
                        Text(FeedbackText::FlashMayBeBroken, language));
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
