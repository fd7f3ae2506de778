#pragma once
// What a plan's step may ask of the run it is part of (runner/ implements it): run a test
// of the catalogue on the unit, have its controller identified, wait for it to answer
// again after a restart. A test's step function (its row's `step`) is written against this
// and judges what it found (recipes/RecipeJudge.h); the run decides the rest once: what the
// line did, a cancel, the tries, the records.

#include <QString>
#include <optional>

#include "catalogue/TestRequest.h"
#include "evidence/Measurement.h"
#include "recipes/Recipe.h"
#include "recipes/RecipeJudge.h"

namespace pb {

struct StepOutcome {
    StepVerdict verdict;
    Measurements measurements;
};

class StepContext {
public:
    virtual ~StepContext() = default;
    // A test of the catalogue on the unit, in this run's rig; what its procedure found.
    virtual TestResult run(TestId test, const TestParams& params) = 0;
    // Connect and identify, keeping the controller it found as the unit's (none found: the
    // result says why).
    virtual IdentifyResult identify() = 0;
    // Identifies the controller when the run has none yet (or uses the model kind the
    // caller gave); the step's failure when none could be.
    virtual std::optional<StepOutcome> needController() = 0;
    // The controller as the run last identified it; none before (or when it found none).
    virtual const std::optional<ControllerIdentity>& identity() const = 0;
    // Asks until the controller answers again (after a restart: the link opened anew as
    // often as it takes, an adapter followed to its new name); seconds taken, or none when
    // it did not answer within `withinS`.
    virtual std::optional<double> awaitAnswer(int withinS) = 0;
    // The serial on the unit's label; empty: serials are not compared.
    virtual QString scannedSerial() const = 0;
    // The plan's folder, for files its steps name (a recipe's firmware).
    virtual const Recipe& plan() const = 0;
    virtual ControllerState& state() = 0;
};

}  // namespace pb
