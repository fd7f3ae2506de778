#include "recipes/RecipeFlow.h"

namespace pb {

FlowAction afterAttempt(const RecipeStep& step, const StepVerdict& verdict, int attempt) {
    if (verdict.passed()) return FlowAction::Next;
    if (verdict.state == StepState::Interrupted) return FlowAction::Stop;
    if (attempt <= step.retries) return FlowAction::Retry;
    return step.onFailure == OnFailure::GoOn ? FlowAction::Next : FlowAction::Stop;
}

UnitVerdict unitVerdict(const Recipe& recipe, const QList<StepResult>& results) {
    UnitVerdict out;
    bool allPassed = !recipe.steps.isEmpty();
    for (qsizetype i = 0; i < recipe.steps.size(); ++i) {
        const StepVerdict v = i < results.size() ? results[i].verdict : StepVerdict{};
        if (v.passed()) continue;
        allPassed = false;
        if (out.failingStep < 0 && v.ran()) {
            out.failingStep = int(i);
            out.cause = v.cause;
        }
    }
    out.passed = allPassed;
    return out;
}

QList<StepResult> notRunResults(const Recipe& recipe) {
    return QList<StepResult>(recipe.steps.size());
}

}  // namespace pb
