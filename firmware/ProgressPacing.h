#pragma once
// When a long run's progress is worth writing down: at each new phase, and then after
// every few blocks or every second, whichever comes first. Few enough writes that the
// run does not feel them, often enough that a run killed at any moment says how far it
// came.

#include <QDateTime>

#include "link/Clock.h"

namespace pb {

class ProgressPacing {
public:
    static constexpr int kBlocks = 8;
    static constexpr qint64 kMs = 1000;

    explicit ProgressPacing(const Clock& clock) : clock_(clock) {}

    // True when a report is due now; the report is then taken as made.
    bool due(bool phaseChanged, int blocksDone) {
        const QDateTime now = clock_.now();
        const bool first = !last_.isValid();
        if (!first && !phaseChanged && blocksDone - lastBlocks_ < kBlocks &&
            last_.msecsTo(now) < kMs)
            return false;
        last_ = now;
        lastBlocks_ = blocksDone;
        return true;
    }

private:
    const Clock& clock_;
    QDateTime last_;
    int lastBlocks_ = 0;
};

}  // namespace pb
