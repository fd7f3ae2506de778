#include "runner/HeadlessView.h"

#include <QCoreApplication>


namespace pb {

void HeadlessView::setStatus(const QString& text) {
    if (text == status_) return;
    status_ = text;
    sink_.status(text, statusesLive_);
}

void HeadlessView::processEvents() {
    QCoreApplication::processEvents();
    honourCancel();
}

bool HeadlessView::outputTicked(int k) const {
    if (k == 1) const_cast<HeadlessView*>(this)->cycleBegins();
    return k >= 1 && k <= dido.outputs.size() && dido.outputs.at(k - 1) == QLatin1Char('1');
}

void HeadlessView::cycleBegins() {
    cycleEnds();
    ++cyclesStarted_;
    const bool enoughCycles = dido.seconds <= 0 && dido.cycles > 0 && cyclesStarted_ >= dido.cycles;
    const bool enoughTime = dido.seconds > 0 && sink_.elapsedMs() >= qint64(dido.seconds) * 1000;
    if (enoughCycles || enoughTime) state_.didoRunning = false;  // ends after this cycle
}

void HeadlessView::cycleEnds() {
    if (cyclesStarted_ == cyclesDone_) return;
    cyclesDone_ = cyclesStarted_;
    sink_.progress(QStringLiteral("dido"), cyclesDone_, dido.seconds > 0 ? 0 : dido.cycles);
}

void HeadlessView::setPollingDate(const QString& text) {
    pollDate_ = text;
    dateFresh_ = true;
}

void HeadlessView::setPollingData(const QString& text) {
    // A record is a date followed by its description; other texts are messages.
    const bool record = dateFresh_ && !text.isEmpty();
    dateFresh_ = false;
    if (text.isEmpty()) return;
    if (record) ++pollRecords_;
    ++pollTexts_;
    sink_.polled({record ? pollDate_ : QString(), text, record, pollRecords_, pollTexts_, pollStored_});
}

void HeadlessView::begin(const QString& phase, Bar& bar, int maximum) {
    bar = Bar{maximum, 0};
    sink_.phaseBegins(phase, maximum);
}

void HeadlessView::blockDone(const QString& phase, Bar& bar, int position) {
    // The bars are reset to 0 before a run, before any phase began; after block n a bar
    // stands at n (from 0), and at the total at the end.
    if (bar.total < 0) return;
    const int done = position >= bar.total ? bar.total : position + 1;
    if (done != bar.done) sink_.progress(phase, bar.done = done, bar.total);
    honourCancel();
}

void HeadlessView::setProgramMaximum(int maximum) {
    begin(QStringLiteral("program"), program_, maximum);
}

void HeadlessView::setProgramPosition(int position) {
    blockDone(QStringLiteral("program"), program_, position);
}

void HeadlessView::setVerifyMaximum(int maximum) {
    begin(QStringLiteral("verify"), verify_, maximum);
}

void HeadlessView::setVerifyPosition(int position) {
    blockDone(QStringLiteral("verify"), verify_, position);
}

void HeadlessView::runStarted(const RunStart& start) {
    pollRecords_ = pollTexts_ = pollStored_ = 0;
    closedOnCancel_ = false;
    for (RunObserver* o : keepers) o->runStarted(start);
}

void HeadlessView::runEnded(const RunReport& report) {
    for (RunObserver* o : keepers) o->runEnded(report);
}

void HeadlessView::runMeasured(const Measurements& found) {
    for (RunObserver* o : keepers) o->runMeasured(found);
}

void HeadlessView::runProgressed(const QJsonObject& detail) {
    for (RunObserver* o : keepers) o->runProgressed(detail);
}

void HeadlessView::controllerIdentified(const ControllerIdentity& identity) {
    for (RunObserver* o : keepers) o->controllerIdentified(identity);
}

bool HeadlessView::stopLoop() {
    if (!continuous) return false;
    state_.didoRunning = false;
    state_.pollingRunning = false;
    return true;
}

void HeadlessView::honourCancel() {
    if (!cancelRequested_() || stopLoop() || !link_.isOpen()) return;
    closedOnCancel_ = true;
    link_.CloseLink();
}

}  // namespace pb
