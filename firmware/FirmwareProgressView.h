#pragma once
// The two progress bars of the firmware page, beside the window's test-run view.

namespace pb {

class FirmwareProgressView {
public:
    virtual ~FirmwareProgressView() = default;
    virtual void setProgramMaximum(int maximum) = 0;
    virtual void setProgramPosition(int position) = 0;
    virtual void setVerifyMaximum(int maximum) = 0;
    virtual void setVerifyPosition(int position) = 0;
};

}  // namespace pb
