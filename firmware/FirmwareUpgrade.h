#pragma once
// The "Firmware load" procedure: check the file against the connected model, then
// program, verify and restart the controller in the loader protocol of its model.

#include <QString>

#include "firmware/FirmwareImage.h"
#include "firmware/FirmwareProgressView.h"
#include "procedures/ControllerFamily.h"
#include "link/Clock.h"
#include "link/Link.h"
#include "procedures/RunObserver.h"
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
    ModelCheckFailed,  // reported by the check; no test run began
    OpenFailed,        // "Connect device error!"
    NoLoader,          // model kind without a loader: "Command error!"
    Failed,            // "Command error!"
    Upgraded,          // "Command ok."
};

class FirmwareUpgrade {
public:
    FirmwareUpgrade(Link& link, TestRunView& view, FirmwareProgressView& bars, Clock& clock)
        : link_(link), view_(view), bars_(bars), clock_(clock) {}

    // Loads the file into buffer (the window's block buffer) and runs the upgrade.
    UpgradeOutcome run(const FirmwareJob& job, FirmwareBuffer& buffer);
    // Why the last run failed, for diagnostics; empty after success.
    QString failure() const { return failure_; }
    // The last run failed after it had begun to erase or program the flash: the unit may
    // be left without working firmware and must be upgraded again before use.
    bool mayHaveLeftNoFirmware() const { return mayLackFirmware_; }
    // The last run ended because the user asked it to stop (the views' stopRequested),
    // not by a fault; it is reported as interrupted, and failure() says where.
    bool stoppedOnRequest() const { return stopped_; }
    // Who hears of the run (not of a model check that refused the file: no run began),
    // and of its progress at each phase and every few blocks or second.
    void setObserver(RunObserver* observer) { observer_ = observer; }

private:
    // After the frame's ending: a unit the failure may have left without firmware, or
    // blocks of the file the model did not take.
    void tellWhatTheEndingLeftUnsaid(UpgradeOutcome outcome, const FirmwareBuffer& buffer);

    Link& link_;
    TestRunView& view_;
    FirmwareProgressView& bars_;
    Clock& clock_;
    RunObserver* observer_ = nullptr;
    QString failure_;
    bool flashTouched_ = false;
    bool mayLackFirmware_ = false;
    bool stopped_ = false;
};

}  // namespace pb
