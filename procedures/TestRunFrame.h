#pragma once
// The frame around every test: show that it starts, open the link, run the test's body,
// then show its ending (status line, lamp, beep), close the link and give the window
// back. The frame also reports the run, as values, to an observer if one is set.

#include <QJsonObject>
#include <functional>
#include <optional>

#include "evidence/Cause.h"
#include "i18n/Messages.h"
#include "link/Clock.h"
#include "link/Link.h"
#include "procedures/LineWatch.h"
#include "procedures/RunObserver.h"
#include "procedures/RunResult.h"
#include "procedures/TestRunView.h"

namespace pb {

class TestRunFrame {
public:
    TestRunFrame(TestId test, Link& link, const LinkSettings& settings, TestRunView& view, Clock& clock,
                 RunObserver* observer = nullptr);

    // Runs the test: started, link opened (or the open-failed ending), body, ending.
    // Returns the ending the window showed (Interrupted shows as Ok), why, and how the
    // link opened. Why is decided here, once: a line that went away while the body ran
    // ends the run as a lost line whatever the body was waiting for; a run the user asked
    // to stop is interrupted; else the body's own cause, or the line's last failure.
    RunResult run(const std::function<RunOutcome()>& body);

    // For a test the user stops with a second click: cursor back, window usable again.
    void giveWindowBack();

    // What the body adds to the run's report.
    QJsonObject& detail() { return detail_; }
    // A connect run that identified the controller: reported with the run.
    void setIdentity(const ControllerIdentity& identity);

    // Why the run is ending as it is: shown after the ending's own text ("Command error!
    // no reply to AA") and kept with the run. A body ends with `return run.fail(why);`.
    RunOutcome fail(const Cause& why);
    // The same for an ending that is not an error of the command: nobody answered the
    // connect ("Connect device error! no controller answered at ID 0001").
    void setCause(const Cause& why) { cause_ = why; }
    const Cause& cause() const { return cause_; }

    // A message of the table in the window's current language.
    QString Msg(MsgId id) const;
    TestId test() const { return test_; }
    // How the open went: the named reason when the link could not be opened.
    const OpenResult& openResult() const { return opened_; }
    Link& link() { return link_; }
    TestRunView& view() { return view_; }

private:
    bool open();
    Outcome end(RunOutcome outcome, const LineWatch& line);
    // Why the run ended so, from what the line did and what the body said.
    RunOutcome decide(RunOutcome outcome, const LineWatch& line);
    void report(RunOutcome outcome, const QString& statusText);

    TestId test_;
    Link& link_;
    TestRunView& view_;
    Clock& clock_;
    RunObserver* observer_;
    qint64 startedMs_ = 0;
    LinkSettings settings_;
    QJsonObject detail_;
    std::optional<ControllerIdentity> identity_;
    OpenResult opened_;
    Cause cause_;
};

// The run outcome of a body that either did what it should or did not.
inline RunOutcome Judged(bool ok) {
    return ok ? RunOutcome::Ok : RunOutcome::Error;
}

}  // namespace pb
