#include "procedures/TestRunFrame.h"

#include "i18n/EndingTexts.h"
#include "i18n/LinkFailureTexts.h"
#include "i18n/Messages.h"
#include "link/LinkError.h"

namespace pb {

TestRunFrame::TestRunFrame(TestId test, Link& link, const LinkSettings& settings, TestRunView& view,
                           Clock& clock, RunObserver* observer)
    : test_(test), link_(link), view_(view), clock_(clock), observer_(observer), settings_(settings) {}

QString TestRunFrame::Msg(MsgId id) const {
    return pb::Msg(id, view_.language());
}

void TestRunFrame::setIdentity(const ControllerIdentity& identity) {
    identity_ = identity;
    detail_.insert(QStringLiteral("controller"), ToJson(identity));
}

RunOutcome TestRunFrame::fail(const Cause& why) {
    cause_ = why;
    return RunOutcome::Error;
}

RunResult TestRunFrame::run(const std::function<RunOutcome()>& body) {
    startedMs_ = clock_.now().toMSecsSinceEpoch();
    view_.testStarted(test_);
    const LineWatch line(link_);
    RunResult result;
    result.outcome = open() ? end(body(), line) : end(RunOutcome::OpenFailed, line);
    result.cause = cause_;
    result.opened = opened_;
    return result;
}

RunOutcome TestRunFrame::decide(RunOutcome outcome, const LineWatch& line) {
    // Stopped by the operator (a signal, a cancel): a loop that ended its cycle as asked
    // ended well, but the run did not go its course.
    if ((outcome == RunOutcome::Ok || outcome == RunOutcome::Watched) && view_.stopAsked()) {
        cause_ = Cause::of(CauseCode::Interrupted);
        return RunOutcome::Interrupted;
    }
    if (outcome == RunOutcome::Ok) {
        cause_ = {};
        return outcome;
    }
    if (outcome == RunOutcome::Watched) {
        cause_ = Cause::of(CauseCode::Watched);
        return outcome;
    }
    // A stop the user asked for cuts the run short: what the body saw after it, a link
    // closed under it, is the stop's doing, not the unit's.
    if (outcome == RunOutcome::Interrupted || (outcome == RunOutcome::Error && view_.stopAsked())) {
        cause_ = Cause::of(CauseCode::Interrupted);
        return RunOutcome::Interrupted;
    }
    if (outcome == RunOutcome::OpenFailed && !opened_) {
        cause_ = Cause::of(CauseCode::LinkOpenFailed, {OpenErrorName(opened_.error), opened_.detail});
        return outcome;
    }
    // The line first: a device that went away ends the run as a lost line, whatever the
    // body was waiting for when it noticed.
    if (line.lost() || cause_.code == CauseCode::LineLost) cause_ = line.lineLost();
    else if (cause_.passed()) cause_ = line.lastFailure().value_or(Cause::of(CauseCode::Unknown, {}));
    return outcome;
}

bool TestRunFrame::open() {
    view_.setWaitCursor(true);
    view_.processEvents();
    view_.setBusy(true);
    view_.setStatus(Msg(MsgId::ConnectingDevice));
    view_.processEvents();
    if (observer_) observer_->runStarted(RunStart{test_, startedMs_, settings_});
    opened_ = link_.OpenLink(settings_);
    if (!opened_) return false;
    // What the port was asked and got goes with the run: its adapter's latency, RS-485.
    QJsonObject facts = ToJson(opened_.lowLatency);
    if (opened_.rs485) facts.insert(QStringLiteral("rs485"), true);
    if (!link_.adapterId().isEmpty()) facts.insert(QStringLiteral("adapter"), link_.adapterId());
    if (!facts.isEmpty()) detail_.insert(QStringLiteral("link"), facts);
    const QString note = LowLatencyNote(settings_.portName, opened_.lowLatency, LanguageIndex(view_.language()));
    if (!note.isEmpty()) view_.linkNote(settings_.portName, note);
    return true;
}

void TestRunFrame::giveWindowBack() {
    view_.setWaitCursor(false);
    view_.setWindowEnabled(true);
}

Outcome TestRunFrame::end(RunOutcome outcome, const LineWatch& line) {
    Outcome shown = Outcome::Ok;
    QString status;
    const int language = LanguageIndex(view_.language());
    outcome = decide(outcome, line);
    switch (outcome) {
        case RunOutcome::OpenFailed:
            // Nothing was opened that needs closing. Why it would not open goes with the
            // run (a controller that did not answer opened fine: no reason then).
            if (!opened_) {
                detail_.insert(QStringLiteral("openError"), OpenErrorName(opened_.error));
                detail_.insert(QStringLiteral("openDetail"), opened_.detail);
            }
            // The status line names the cause after the usual text where the link can tell.
            status = opened_.failure ? OpenFailedStatus(opened_.failure, language)
                                     : EndingStatus(MsgId::ConnectDeviceError, cause_, language);
            view_.setBusy(false);
            view_.setLamp(LampColour::Red);
            view_.setStatus(status);
            if (opened_.failure)
                view_.setStatusAdvice(OpenFailureAdvice(opened_.failure, language));
            view_.beep(kLowBeepHz, kBeepMs);
            shown = Outcome::OpenFailed;
            break;
        case RunOutcome::Ok:
        case RunOutcome::Interrupted:
        case RunOutcome::Watched:
            status = Msg(MsgId::CommandOk);
            view_.setStatus(status);
            view_.setBusy(false);
            view_.setLamp(LampColour::Yellow);
            view_.beep(kHighBeepHz, kBeepMs);
            link_.CloseLink();
            shown = Outcome::Ok;
            break;
        case RunOutcome::Error:
            status = EndingStatus(MsgId::CommandError, cause_, language);
            view_.setStatus(status);
            view_.setBusy(false);
            view_.setLamp(LampColour::Red);
            view_.beep(kLowBeepHz, kBeepMs);
            link_.CloseLink();
            shown = Outcome::Error;
            break;
    }
    // How the line carried the run goes with it, bad or good, for every link that opened.
    if (opened_) detail_.insert(QStringLiteral("portHealth"), ToJson(link_.health()));
    // setBusy(false) has enabled the window already; the cursor follows.
    view_.setWaitCursor(false);
    view_.testEnded(test_, shown);
    report(outcome, status);
    return shown;
}

void TestRunFrame::report(RunOutcome outcome, const QString& statusText) {
    if (!observer_) return;
    observer_->runEnded(RunReport{test_, startedMs_,
                                  clock_.now().toMSecsSinceEpoch(), outcome, statusText, settings_,
                                  detail_, cause_});
    if (identity_ && outcome == RunOutcome::Ok) observer_->controllerIdentified(*identity_);
}

}  // namespace pb
