#include "firmware/FirmwareUpgrade.h"

#include "firmware/LoaderSession.h"
#include "firmware/ModelCheck.h"

namespace pb {

LoaderProtocol LoaderProtocolFor(int modelKind) { return FamilyOf(modelKind).loader; }

UpgradeOutcome FirmwareUpgrade::run(const FirmwareJob& job, FirmwareBuffer& buffer) {
    failure_.clear();
    bars_.setProgramPosition(0);
    bars_.setVerifyPosition(0);

    if (!RunModelCheck(job.fileName, job.modelKind, job.versionText, buffer, view_)) {
        failure_ = QStringLiteral("the firmware file does not fit the controller");
        return UpgradeOutcome::ModelCheckFailed;
    }

    TestRun run(link_, view_);
    if (const OpenResult opened = run.BeginTestRun(); !opened) {
        failure_ = QStringLiteral("the link could not be opened: %1").arg(opened.detail);
        run.EndTestRunOpenFailed();
        return UpgradeOutcome::OpenFailed;
    }

    LoaderSession session(run, bars_, clock_, buffer, job.deviceId, job.modelKind);
    bool upgraded = false;
    switch (LoaderProtocolFor(job.modelKind)) {
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
            run.EndTestRunError();
            return UpgradeOutcome::NoLoader;
    }

    if (upgraded) {
        run.EndTestRunOk();
        return UpgradeOutcome::Upgraded;
    }
    failure_ = session.failure();
    run.EndTestRunError();
    return UpgradeOutcome::Failed;
}

}  // namespace pb
