#pragma once
// The progress bars as an upgrade drives them, with what they do not know themselves:
// the blocks done of each phase and its times by the procedure's clock, told to the
// bars after every block and kept for the run's report.

#include <QDateTime>
#include <QJsonObject>
#include <functional>

#include "firmware/FirmwareProgressView.h"
#include "link/Clock.h"

namespace pb {

class TimedBars : public FirmwareProgressView {
public:
    TimedBars(FirmwareProgressView& bars, const Clock& clock) : bars_(bars), clock_(clock) {}

    // A protocol sets the maximum as a phase starts, moves a bar to k once block k is
    // done, and to the count at the end.
    void setProgramMaximum(int maximum) override;
    void setProgramPosition(int position) override;
    void setVerifyMaximum(int maximum) override;
    void setVerifyPosition(int position) override;

    bool stopRequested() const override { return bars_.stopRequested(); }

    // Where the upgrade stands by its bars: "loader" before programming, "program",
    // "verify", and "restart" once every block was verified.
    QString stage() const;
    int programmed() const { return program_.done; }
    int verified() const { return verify_.done; }
    void addTo(QJsonObject& detail) const;
    // Called after each change of a bar; phaseBegan when a bar was set to its maximum
    // or reached it.
    void onChange(std::function<void(bool phaseBegan)> changed) { changed_ = std::move(changed); }

private:
    struct Phase {
        bool started = false;
        int total = 0;
        int done = 0;
        QDateTime start;
    };
    void begin(FirmwareBar bar, Phase& phase, int maximum);
    void advance(FirmwareBar bar, Phase& phase, int position);
    void tell(FirmwareBar bar, const Phase& phase);

    FirmwareProgressView& bars_;
    const Clock& clock_;
    Phase program_, verify_;
    std::function<void(bool)> changed_;
};

}  // namespace pb
