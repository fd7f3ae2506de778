#include "firmware/TimedBars.h"

namespace pb {

void TimedBars::setProgramMaximum(int maximum) {
    bars_.setProgramMaximum(maximum);
    begin(FirmwareBar::Program, program_, maximum);
}

void TimedBars::setProgramPosition(int position) {
    bars_.setProgramPosition(position);
    advance(FirmwareBar::Program, program_, position);
}

void TimedBars::setVerifyMaximum(int maximum) {
    bars_.setVerifyMaximum(maximum);
    begin(FirmwareBar::Verify, verify_, maximum);
}

void TimedBars::setVerifyPosition(int position) {
    bars_.setVerifyPosition(position);
    advance(FirmwareBar::Verify, verify_, position);
}

void TimedBars::addTo(QJsonObject& detail) const {
    detail.insert(QStringLiteral("blocks"), program_.total);
    detail.insert(QStringLiteral("programmed"), program_.done);
    detail.insert(QStringLiteral("verified"), verify_.done);
}

QString TimedBars::stage() const {
    if (verify_.started)
        return verify_.done >= verify_.total ? QStringLiteral("restart") : QStringLiteral("verify");
    return program_.started ? QStringLiteral("program") : QStringLiteral("loader");
}

void TimedBars::begin(FirmwareBar bar, Phase& phase, int maximum) {
    phase = Phase{true, maximum, 0, clock_.now()};
    tell(bar, phase);
    if (changed_) changed_(true);
}

void TimedBars::advance(FirmwareBar bar, Phase& phase, int position) {
    // The reset of the bars before a run comes before any phase began.
    if (!phase.started) return;
    const int done = qMax(phase.done, qMin(position + 1, phase.total));
    if (done == phase.done) return;
    phase.done = done;
    tell(bar, phase);
    if (changed_) changed_(done == phase.total);
}

void TimedBars::tell(FirmwareBar bar, const Phase& phase) {
    BarProgress p;
    p.done = phase.done;
    p.total = phase.total;
    p.elapsedMs = qMax<qint64>(0, phase.start.msecsTo(clock_.now()));
    // The blocks left take as long as the blocks done took, on average.
    if (phase.done > 0) p.remainingMs = p.elapsedMs * (phase.total - phase.done) / phase.done;
    bars_.setBarProgress(bar, p);
}

}  // namespace pb
