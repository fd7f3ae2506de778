#pragma once
// One try of one recipe step: the tests of the catalogue it runs and the judge of what they
// found.

#include <QDateTime>
#include <QString>
#include <atomic>
#include <optional>

#include "catalogue/TestCatalogue.h"
#include "link/Clock.h"
#include "procedures/Procedure.h"
#include "recipes/Recipe.h"
#include "recipes/RecipeJudge.h"
#include "procedures/RunResult.h"
#include "runner/HeadlessView.h"

namespace pb {

// The run's clock with what a step changes: a fixed time for set-date, no pause between
// polled records (the station shows none of them), and no pause at all after a cancel.
class StepClock : public Clock {
public:
    StepClock(Clock& inner, const std::atomic<bool>& cancelled) : inner_(inner), cancelled_(cancelled) {}
    void pause(int ms) override {
        if (cancelled_.load() || ms == skipMs) return;
        inner_.pause(ms);
    }
    QDateTime now() const override { return fixedNow ? *fixedNow : inner_.now(); }

    std::optional<QDateTime> fixedNow;
    int skipMs = -1;

private:
    Clock& inner_;
    const std::atomic<bool>& cancelled_;
};

struct StepOutcome {
    StepVerdict verdict;
    StepMeasured measured;
};

class RecipeSteps {
public:
    RecipeSteps(const Recipe& recipe, Link& link, HeadlessView& view, StepClock& clock,
                ControllerState& state, const QString& scannedSerial)
        : recipe_(recipe), view_(view), clock_(clock), state_(state), scanned_(scannedSerial),
          ctx_{link, view, view, view, view, view, clock, state, &view}, rig_{ctx_, view} {
        // A run's very first command goes out at once: the scan is the operator's cue, and
        // no command went on the line before it to space it from.
        ctx_.skipFirstCommandPause = true;
    }

    StepOutcome run(const RecipeStep& step);
    // Whether a controller has been identified in this run.
    bool identified() const { return state_.modelKind != 0 && identity_.has_value(); }
    // The controller as last identified; none when the last identify found none.
    const std::optional<ControllerIdentity>& identity() const { return identity_; }

private:
    StepOutcome identify(const IdentifyExpect& expect);
    StepOutcome setDate(const SetDateStep& step);
    StepOutcome oneShot(const RunResult& run, const QString& what, const StepMeasured& measured);
    StepOutcome factoryInitial();
    StepOutcome reboot(const RebootStep& step);
    StepOutcome dido(const DidoStep& step);
    StepOutcome upgrade(const UpgradeStep& step);
    StepOutcome poll(const PollStep& step);
    StepOutcome reply(const RecipeStep& step);

    // The step's test, from the catalogue.
    TestResult runTest(TestId test, const TestParams& params = {});
    // Connect and identify, keeping the controller it found (none when it found none).
    IdentifyResult identifyController();
    // Identifies the controller when no step has yet; a failure names why.
    std::optional<StepOutcome> needController();
    // A procedure that did not end well: the link, the controller or the command.
    StepOutcome failed(const RunResult& run, const QString& what) const;
    // An identify that found no controller it could name: the link, or no controller.
    StepOutcome notIdentified(const IdentifyResult& run) const;
    // Asks until the controller answers again; false when it did not within the limit.
    std::optional<double> awaitAnswer(int withinS);

    const Recipe& recipe_;
    HeadlessView& view_;
    StepClock& clock_;
    ControllerState& state_;
    QString scanned_;
    ProcedureContext ctx_;
    TestRig rig_;
    std::optional<ControllerIdentity> identity_;
    bool lineLost_ = false;  // the last upgrade try is worth another once the line is back
};

}  // namespace pb
