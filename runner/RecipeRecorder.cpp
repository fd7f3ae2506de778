#include "runner/RecipeRecorder.h"

#include "catalogue/StepNames.h"

namespace pb {
namespace {

QList<records::RecipeStepRow> stepRows(const Recipe& recipe) {
    QList<records::RecipeStepRow> rows;
    for (int i = 0; i < recipe.steps.size(); ++i) {
        records::RecipeStepRow row;
        row.index = i;
        row.kind = CommandName(recipe.steps[i].kind);
        row.label = KeptStepLabel(recipe.steps[i]);
        rows << row;
    }
    return rows;
}

// Step `index` with its verdict, attempts and what it measured, its texts in English
// whatever the window's language: the records window shows them in its own.
records::RecipeStepRow endedRow(const Recipe& recipe, int index, const StepResult& result,
                                const StepMeasured& measured) {
    records::RecipeStepRow row;
    row.index = index;
    row.kind = CommandName(recipe.steps[index].kind);
    row.label = KeptStepLabel(recipe.steps[index]);
    row.verdict = StepVerdictCode(result.verdict);
    if (result.verdict.reason != RecipeReason::NotRun) row.reasonText = result.verdict.text(0);
    row.attempts = result.attempts;
    row.measured = measured.text(0);
    return row;
}

}  // namespace

QString StepVerdictCode(const StepVerdict& verdict) {
    if (verdict.passed) return QStringLiteral("pass");
    return verdict.reason == RecipeReason::NotRun ? QStringLiteral("not-run") : QStringLiteral("fail");
}

RecipeRecorder::RecipeRecorder(records::RecordStore& store, const QString& operatorName,
                               const QString& station)
    : store_(store), runs_(store), operator_(operatorName), station_(station) {
    runs_.setOperator(operatorName);
    if (!station.isEmpty()) runs_.setStation(station);
}

void RecipeRecorder::begin(const Recipe& recipe, const RecipeUnit& unit, qint64 startMs) {
    records::RecipeRunStart start;
    start.recipeName = recipe.product;
    start.recipeHash = recipe.hashHex();
    start.scannedSerial = unit.scannedSerial;
    start.linkText = records::RunRecordsObserver::LinkText(unit.link);
    start.fixture = unit.fixture;
    start.socket = unit.socket;
    start.station = station_;
    start.operatorName = operator_;
    start.startMs = startMs;
    start.steps = stepRows(recipe);
    stepRuns_.clear();
    recipeRunId_ = store_.recipeWriter().beginRecipeRun(start);
}

void RecipeRecorder::runStarted(const RunStart& start) {
    runs_.runStarted(start);
    store_.recipeWriter().linkRunToRecipe(runs_.currentRunId(), recipeRunId_, step_);
    if (runs_.currentRunId() > 0) stepRuns_[step_] << runs_.currentRunId();
}

void RecipeRecorder::stepEnded(const Recipe& recipe, int index, const StepResult& result,
                               const StepMeasured& measured) {
    store_.recipeWriter().recordRecipeStep(recipeRunId_, endedRow(recipe, index, result, measured));
}

void RecipeRecorder::end(const Recipe& recipe, const UnitVerdict& verdict,
                         const QList<StepResult>& results, const QList<StepMeasured>& measured,
                         bool cancelled, const std::optional<ControllerIdentity>& identity,
                         qint64 endMs) {
    records::RecipeRunEnd end;
    end.endMs = endMs;
    end.verdict = verdict.passed ? QStringLiteral("pass")
                  : cancelled    ? QStringLiteral("interrupted")
                                 : QStringLiteral("fail");
    end.failingStep = verdict.failingStep;
    // Reasons in English whatever the window's language: the records window shows them in its own.
    if (verdict.failingStep >= 0) end.reasonText = verdict.reason.text(0);
    end.steps = stepRows(recipe);
    for (int i = 0; i < end.steps.size() && i < results.size(); ++i)
        end.steps[i] = endedRow(recipe, i, results[i], measured.value(i));
    if (identity) end.identity = records::RunRecordsObserver::UnitOf(*identity);
    store_.recipeWriter().endRecipeRun(recipeRunId_, end);
}

}  // namespace pb
