#include "firmware/FirmwareUpgrade.h"

#include "firmware/FirmwareFileFacts.h"
#include "firmware/LoaderSession.h"
#include "firmware/ModelCheck.h"
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

}  // namespace

LoaderProtocol LoaderProtocolFor(int modelKind) { return FamilyOf(modelKind).loader; }

UpgradeOutcome FirmwareUpgrade::run(const FirmwareJob& job, FirmwareBuffer& buffer) {
    failure_.clear();
    flashTouched_ = false;
    mayLackFirmware_ = false;
    bars_.setProgramPosition(0);
    bars_.setVerifyPosition(0);
    bars_.clearBarProgress();

    if (!RunModelCheck(job.fileName, job.modelKind, job.versionText, buffer, view_)) {
        failure_ = QStringLiteral("the firmware file does not fit the controller");
        return UpgradeOutcome::ModelCheckFailed;
    }
    fit_ = CheckImageFit(buffer, job.modelKind, allowPartial_);
    if (refuseUnfit_ && !fit_.fits()) {
        failure_ = fit_.reason(job.modelKind);
        return UpgradeOutcome::ImageRefused;
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
        if (protocol != LoaderProtocol::None) {
            outcome = upgraded ? UpgradeOutcome::Upgraded : UpgradeOutcome::Failed;
            failure_ = session.failure();
            flashTouched_ = session.flashWasTouched();
        }
        bars.addTo(run.detail());
        run.detail().insert(QStringLiteral("blocksLeftOut"), buffer.blocksLeftOut());
        if (upgraded) addWarning(run.detail(), buffer);
        if (!upgraded && flashTouched_) run.detail().insert(QStringLiteral("mayLackFirmware"), true);
        run.detail().insert(QStringLiteral("retries"),
                            QJsonObject{{QStringLiteral("program"), session.programRetries()},
                                        {QStringLiteral("verify"), session.verifyRetries()}});
        if (!failure_.isEmpty()) run.detail().insert(QStringLiteral("failure"), failure_);
        return Judged(upgraded);
    });
    if (outcome == UpgradeOutcome::OpenFailed)
        failure_ = QStringLiteral("the link could not be opened: %1").arg(run.openResult().detail);
    mayLackFirmware_ = outcome == UpgradeOutcome::Failed && flashTouched_;
    tellWhatTheEndingLeftUnsaid(outcome, buffer);
    return outcome;
}

void FirmwareUpgrade::addWarning(QJsonObject& detail, const FirmwareBuffer& buffer) const {
    // An upgrade that went through but did not put the whole file in: ok, with a warning
    // the records show beside the outcome.
    if (buffer.blockCount == 0)
        detail.insert(QStringLiteral("warning"), QStringLiteral("nothing-programmed"));
    else if (buffer.blocksLeftOut() > 0)
        detail.insert(QStringLiteral("warning"), QStringLiteral("blocks-left-out"));
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
