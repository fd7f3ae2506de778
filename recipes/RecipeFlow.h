#pragma once
// The order of a recipe run, apart from any controller: after each try of a step,
// whether to try again, go on or stop; and the unit's verdict from its steps' results.

#include <QList>

#include "recipes/Recipe.h"
#include "recipes/RecipeJudge.h"

namespace pb {

enum class FlowAction { Retry, Next, Stop };

// `attempt` counts from 1. A failed step is tried again while its retries last; then
// "go-on" moves to the next step and "stop" ends the run.
FlowAction afterAttempt(const RecipeStep& step, const StepVerdict& verdict, int attempt);

struct StepResult {
    StepVerdict verdict = {};  // NotRun for a step the run never reached
    int attempts = 0;
    Measurements measurements = {};  // what its last try found
    QList<Cause> attemptCauses = {};  // why each try ended, the last one's too
};

struct UnitVerdict {
    bool passed = false;
    int failingStep = -1;  // index of the first step that did not pass, -1 when none failed
    Cause cause;           // that step's cause (Ok when it passed)
    // The failing step's number as every front end and export shows it: from 1.
    int failingStepNumber() const { return failingStep < 0 ? 0 : failingStep + 1; }
};

// Passed only when every step of the recipe passed; a run that ended before its last
// step (results shorter than the recipe, or steps left NotRun) fails.
UnitVerdict unitVerdict(const Recipe& recipe, const QList<StepResult>& results);

// One result per step, all NotRun: the table a run fills in.
QList<StepResult> notRunResults(const Recipe& recipe);

}  // namespace pb
