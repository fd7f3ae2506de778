#include "runner/RunnerView.h"

#include <QCoreApplication>

#include "procedures/StoppedRun.h"

namespace pb {

void RunnerView::setStatus(const QString& text) {
    if (text == lastStatus) return;
    lastStatus = text;
    if (observer) observer->stepStatus(step, text);
}

void RunnerView::processEvents() {
    QCoreApplication::processEvents();
    honourCancel();
}

void RunnerView::honourCancel() {
    if (cancelled_.load() && link_.isOpen()) link_.CloseLink();
}

void RunnerView::setPollingData(const QString& text) {
    if (!text.isEmpty()) progress(QStringLiteral("poll"), ++recordsShown_, 0);
}

void RunnerView::progress(const QString& phase, int done, int total) {
    if (observer) observer->stepProgress(step, phase, done, total);
}

void RunnerView::setProgramMaximum(int maximum) {
    programTotal = maximum;
    programDone = 0;
}

void RunnerView::setProgramPosition(int position) {
    // The bar is reset to 0 before a run; after block n it stands at n (from 0).
    if (programTotal <= 0) return;
    const int done = position >= programTotal ? programTotal : position + 1;
    if (done != programDone) progress(QStringLiteral("program"), programDone = done, programTotal);
    honourCancel();
}

void RunnerView::setVerifyMaximum(int maximum) {
    verifyTotal = maximum;
    verifyDone = 0;
}

void RunnerView::setVerifyPosition(int position) {
    if (verifyTotal <= 0) return;
    const int done = position >= verifyTotal ? verifyTotal : position + 1;
    if (done != verifyDone) progress(QStringLiteral("verify"), verifyDone = done, verifyTotal);
    honourCancel();
}

void RunnerView::runStarted(const RunStart& start) {
    lastDetail = {};
    lastOpenFailed = false;
    lastOpenDetail.clear();
    recordsShown_ = 0;
    for (RunObserver* o : runObservers) o->runStarted(start);
}

void RunnerView::runEnded(const RunReport& report) {
    lastDetail = report.detail;
    lastOpenFailed = report.detail.contains(QStringLiteral("openError"));
    lastOpenDetail = report.detail.value(QStringLiteral("openDetail")).toString();
    const RunReport kept = AsAsked(report, cancelled_.load());
    for (RunObserver* o : runObservers) o->runEnded(kept);
}

void RunnerView::runProgressed(const QJsonObject& detail) {
    for (RunObserver* o : runObservers) o->runProgressed(detail);
}

void RunnerView::controllerIdentified(const ControllerIdentity& identity) {
    identified = identity;
    for (RunObserver* o : runObservers) o->controllerIdentified(identity);
}

}  // namespace pb
