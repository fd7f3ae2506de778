#include "firmware/FirmwareUpgrade.h"

#include "firmware/FirmwareFileFacts.h"
#include "firmware/LoaderSession.h"
#include "firmware/ModelCheck.h"

namespace pb {
namespace {

// The progress bars, counting the blocks programmed and verified for the report. A
// protocol moves a bar to k once block k is done, and to the count at the end.
class BlocksDone : public FirmwareProgressView {
public:
    explicit BlocksDone(FirmwareProgressView& bars) : bars_(bars) {}
    void setProgramMaximum(int maximum) override {
        blocks_ = maximum;
        bars_.setProgramMaximum(maximum);
    }
    void setProgramPosition(int position) override {
        programmed_ = qMax(programmed_, qMin(position + 1, blocks_));
        bars_.setProgramPosition(position);
    }
    void setVerifyMaximum(int maximum) override {
        verifyBlocks_ = maximum;
        bars_.setVerifyMaximum(maximum);
    }
    void setVerifyPosition(int position) override {
        verified_ = qMax(verified_, qMin(position + 1, verifyBlocks_));
        bars_.setVerifyPosition(position);
    }
    void addTo(QJsonObject& detail) const {
        detail.insert(QStringLiteral("blocks"), blocks_);
        detail.insert(QStringLiteral("programmed"), programmed_);
        detail.insert(QStringLiteral("verified"), verified_);
    }

private:
    FirmwareProgressView& bars_;
    int blocks_ = 0, verifyBlocks_ = 0, programmed_ = 0, verified_ = 0;
};

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
    bars_.setProgramPosition(0);
    bars_.setVerifyPosition(0);

    if (!RunModelCheck(job.fileName, job.modelKind, job.versionText, buffer, view_)) {
        failure_ = QStringLiteral("the firmware file does not fit the controller");
        return UpgradeOutcome::ModelCheckFailed;
    }

    TestRunFrame run(TestId::FirmwareUpgrade, link_, view_, clock_, observer_);
    BlocksDone bars(bars_);
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
        }
        bars.addTo(run.detail());
        run.detail().insert(QStringLiteral("retries"),
                            QJsonObject{{QStringLiteral("program"), session.programRetries()},
                                        {QStringLiteral("verify"), session.verifyRetries()}});
        if (!failure_.isEmpty()) run.detail().insert(QStringLiteral("failure"), failure_);
        return Judged(upgraded);
    });
    if (outcome == UpgradeOutcome::OpenFailed)
        failure_ = QStringLiteral("the link could not be opened: %1").arg(run.openResult().detail);
    return outcome;
}

}  // namespace pb
