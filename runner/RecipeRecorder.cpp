#include "runner/RecipeRecorder.h"

#include "catalogue/StepNames.h"
#include "catalogue/TestCatalogue.h"

namespace pb {

records::RecipeStepRow StepRow(const RecipeStep& step, int index, const StepResult& result) {
    records::RecipeStepRow row;
    row.index = index;
    row.kind = CommandName(step.kind);
    row.label = KeptStepLabel(step);
    row.verdict = StepStateName(result.verdict.state);
    row.cause = result.verdict.cause;
    row.attempts = result.attempts;
    row.attemptCauses = result.attemptCauses;
    row.measurements = result.measurements;
    return row;
}

std::unique_ptr<RunKeeper> MakeKeeper(records::RecordStore& store, const Recipe& plan, const QString& operatorName,
                                      const QString& station) {
    // A product's recipe is a unit test; a command's plan is the runs it made.
    if (plan.product.isEmpty()) return std::make_unique<PlainRunKeeper>(store, operatorName, station);
    return std::make_unique<RecipeRecorder>(store, operatorName, station);
}

PlainRunKeeper::PlainRunKeeper(records::RecordStore& store, const QString& operatorName, const QString& station)
    : runs_(store) {
    runs_.setOperator(operatorName);
    if (!station.isEmpty()) runs_.setStation(station);
}

RecipeRecorder::RecipeRecorder(records::RecordStore& store, const QString& operatorName, const QString& station)
    : store_(store), runs_(store), operator_(operatorName), station_(station) {
    runs_.setOperator(operatorName);
    if (!station.isEmpty()) runs_.setStation(station);
}

void RecipeRecorder::planStarted(const Recipe& recipe, const RecipeUnit& unit, qint64 startMs) {
    recipe_ = &recipe;
    records::RecipeRunStart start;
    start.recipeName = recipe.product;
    start.recipeHash = recipe.hashHex();
    start.scannedSerial = unit.scannedSerial;
    start.linkText = records::RunRecordsObserver::LinkText(unit.link);
    start.fixture = unit.fixture;
    start.socket = unit.socket;
    start.fixtureHash = unit.fixtureHash;
    start.station = station_;
    start.operatorName = operator_;
    start.startMs = startMs;
    for (int i = 0; i < recipe.steps.size(); ++i) start.steps << StepRow(recipe.steps[i], i, StepResult{});
    stepRuns_.clear();
    recipeRunId_ = store_.recipeWriter().beginRecipeRun(start);
}

void RecipeRecorder::stepStarted(int index) {
    step_ = index;
    attempt_ = 0;
    if (!recipe_) return;
    // The step in hand: a unit test killed now keeps it as interrupted, not as not run.
    records::RecipeStepRow row = StepRow(recipe_->steps[index], index, StepResult{});
    row.verdict = QStringLiteral("running");
    store_.recipeWriter().recordRecipeStep(recipeRunId_, row);
}

void RecipeRecorder::runStarted(const RunStart& start) {
    runs_.runStarted(start);
    store_.recipeWriter().linkRunToRecipe(runs_.currentRunId(), recipeRunId_, step_, attempt_);
    if (runs_.currentRunId() > 0) stepRuns_[step_] << runs_.currentRunId();
}

void RecipeRecorder::controllerIdentified(const ControllerIdentity& identity) {
    runs_.controllerIdentified(identity);
    store_.recipeWriter().setRecipeRunUnit(recipeRunId_, records::RunRecordsObserver::UnitOf(identity),
                                           QDateTime::currentMSecsSinceEpoch());
}

void RecipeRecorder::stepEnded(int index, const RecipeStep& step, const StepResult& result) {
    store_.recipeWriter().recordRecipeStep(recipeRunId_, StepRow(step, index, result));
}

void RecipeRecorder::planEnded(const Recipe& recipe, const RecipeRunResult& r) {
    records::RecipeRunEnd end;
    end.endMs = r.endedMs;
    end.verdict = r.verdict.passed ? QStringLiteral("pass") : r.cancelled ? QStringLiteral("interrupted") : QStringLiteral("fail");
    end.failingStep = r.verdict.failingStep;
    end.cause = r.verdict.cause;
    for (int i = 0; i < recipe.steps.size(); ++i) end.steps << StepRow(recipe.steps[i], i, r.results.value(i));
    if (r.identity) end.identity = records::RunRecordsObserver::UnitOf(*r.identity);
    store_.recipeWriter().endRecipeRun(recipeRunId_, end);
}

}  // namespace pb
