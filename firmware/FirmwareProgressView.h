#pragma once
// The two progress bars of the firmware page, beside the window's test-run view.

#include <QtGlobal>

namespace pb {

enum class FirmwareBar { Program, Verify };

// Where one bar stands: blocks done of the total and the times of its phase, taken
// from the procedure's clock.
struct BarProgress {
    int done = 0;
    int total = 0;
    qint64 elapsedMs = 0;
    qint64 remainingMs = -1;  // below 0 until a block is done to estimate from
};

class FirmwareProgressView {
public:
    virtual ~FirmwareProgressView() = default;
    virtual void setProgramMaximum(int maximum) = 0;
    virtual void setProgramPosition(int position) = 0;
    virtual void setVerifyMaximum(int maximum) = 0;
    virtual void setVerifyPosition(int position) = 0;
    // The figures beside a bar, after each block; a view without room for them may
    // leave them out.
    virtual void setBarProgress(FirmwareBar /*bar*/, const BarProgress& /*progress*/) {}
    // Both bars' figures gone (an upgrade starts or another file was chosen).
    virtual void clearBarProgress() {}
    // The user asked the upgrade to stop (a cancel of the command line or a recipe run):
    // it sends no further block command and tries none again.
    virtual bool stopRequested() const { return false; }
};

}  // namespace pb
