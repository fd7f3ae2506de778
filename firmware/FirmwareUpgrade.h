#pragma once
// The "Firmware load" procedure: check the file against the connected model, then
// program, verify and restart the controller in the loader protocol of its model.

#include <QString>

#include "firmware/FirmwareImage.h"
#include "firmware/FirmwareProgressView.h"
#include "firmware/ImageFit.h"
#include "firmware/ModelCheck.h"
#include "firmware/FirmwareRelease.h"
#include "firmware/ReleasePolicy.h"
#include "procedures/ControllerFamily.h"
#include "link/Clock.h"
#include "link/Link.h"
#include "procedures/RunObserver.h"
#include "procedures/RunResult.h"
#include "procedures/TestRunView.h"

namespace pb {

// The loader protocol of the model kind's family (ControllerFamily.h).
LoaderProtocol LoaderProtocolFor(int modelKind);

// What the procedure needs of the window's state.
struct FirmwareJob {
    QString fileName;
    QString deviceId;
    int modelKind = 0;
    QString versionText;  // the identify step's version caption
};

enum class UpgradeOutcome {
    ModelCheckFailed,  // reported by the check and recorded as refused; no link was opened
    ReleaseRefused,    // the release policy's refusal, reported and recorded as the check's
    ImageRefused,      // no image, or past the model's limit, for a caller that refuses one
    OpenFailed,        // "Connect device error!"
    NoLoader,          // model kind without a loader: "Command error!"
    Failed,            // "Command error!"
    Upgraded,          // "Command ok."
};

// How an upgrade ended, as its callers tell the outcomes apart: refused before anything
// was sent (the model check, the image's fit, no loader), the link would not open, the
// flash failed (or the run was stopped), or upgraded.
enum class UpgradeEnding { Refused, LinkNotOpened, FlashFailed, Upgraded };

// What an upgrade run found, as a value.
struct UpgradeResult {
    UpgradeOutcome outcome = UpgradeOutcome::OpenFailed;
    // Why it failed: as a value (Ok after success) and in English words (empty after
    // success), as FirmwareUpgrade::failure() says it.
    Cause cause;
    QString failure;
    OpenResult opened;  // how the link opened; untouched when none was opened
    ImageFitCheck imageFit;  // the image's fit, as checked after the model check
    int blocks = 0;          // the blocks of the image the model takes
    int blocksLeftOut = 0;   // the file's blocks beyond those
    int blocksProgrammed = 0;
    int blocksVerified = 0;
    int programRetries = 0;  // block commands tried again while programming
    int verifyRetries = 0;   // ... and while verifying
    int failingBlock = -1;   // the block a failed run could not erase, program or read back
    // How far the run came: "loader" before programming, "program", "verify", "restart"
    // once every block was verified; empty when no loader was talked to.
    QString phase;
    bool mayLackFirmware = false;   // failed after the flash was touched
    bool stoppedOnRequest = false;  // ended by the user's stop, not by a fault
    // The version the identify step showed before the run (the job's). The version after
    // is the next identify's: the controller restarts into the new firmware.
    QString versionBefore;
    // What was checked and flashed: the file's facts (its SHA-256 of exactly these bytes)
    // and the release policy's verdict.
    FirmwareReleaseRef release;
    ReleaseVerdict verdict;

    operator UpgradeOutcome() const { return outcome; }
    UpgradeEnding ending() const;
    // The run as any test run's result: Ok, Error, or OpenFailed with the open's error.
    RunResult asRun() const;
};

class FirmwareUpgrade {
public:
    FirmwareUpgrade(Link& link, const LinkSettings& settings, TestRunView& view, FirmwareProgressView& bars,
                    Clock& clock)
        : link_(link), settings_(settings), view_(view), bars_(bars), clock_(clock) {}

    // Loads the file into buffer (the window's block buffer) and runs the upgrade.
    UpgradeResult run(const FirmwareJob& job, FirmwareBuffer& buffer);
    // Why the last run failed, in English words, for the command line and the records;
    // empty after success. The refusal of a file begins with the window's ending
    // ("Load firmware file error! no such file: /path").
    QString failure() const { return failure_; }
    // The same as a value; Ok after success.
    const Cause& cause() const { return cause_; }
    // The last run failed after it had begun to erase or program the flash: the unit may
    // be left without working firmware and must be upgraded again before use.
    bool mayHaveLeftNoFirmware() const { return mayLackFirmware_; }
    // The last run ended because the user asked it to stop (the views' stopRequested),
    // not by a fault; it is reported as interrupted, and failure() says where.
    bool stoppedOnRequest() const { return stopped_; }
    // Who hears of the run, and of its progress at each phase and every few blocks or
    // second; a file the model check refused is one too, ended in error with "refused"
    // and the reason in its detail (no link was opened).
    void setObserver(RunObserver* observer) { observer_ = observer; }
    // For a caller with no one to read the window's warnings: after the model check, an
    // image that does not fit (ImageFit.h) is refused before the link opens. The window
    // leaves this off.
    void refuseUnfitImages(bool allowPartial) {
        refuseUnfit_ = true;
        allowPartial_ = allowPartial;
    }
    // The file as read once at the edge of the run (none: run reads it, once, from the
    // job's file name), and which releases the unit may take.
    void useRelease(FirmwareReleaseRef release, ReleasePolicy policy) {
        release_ = std::move(release);
        policy_ = std::move(policy);
    }
    // The fit of the last run's image, as checked after the model check.
    const ImageFitCheck& imageFit() const { return fit_; }

private:
    void recordRefusal(const FirmwareJob& job, const FirmwareRelease& release, const FileRefusal& refusal,
                       const QString& kind, const ReleaseVerdict* verdict);
    // After the frame's ending: a unit the failure may have left without firmware, or
    // blocks of the file the model did not take.
    void tellWhatTheEndingLeftUnsaid(UpgradeOutcome outcome, const FirmwareBuffer& buffer);
    // The warning code of an upgrade that went through without the whole file.
    void addWarning(QJsonObject& detail, const FirmwareBuffer& buffer) const;

    Link& link_;
    LinkSettings settings_;
    TestRunView& view_;
    FirmwareProgressView& bars_;
    Clock& clock_;
    RunObserver* observer_ = nullptr;
    FirmwareReleaseRef release_;
    ReleasePolicy policy_;
    bool refuseUnfit_ = false;
    bool allowPartial_ = false;
    ImageFitCheck fit_;
    QString failure_;
    Cause cause_;
    bool flashTouched_ = false;
    bool mayLackFirmware_ = false;
    bool stopped_ = false;
};

}  // namespace pb
