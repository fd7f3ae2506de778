// The station's parts that need no controller: the shift's counts and yield, and the
// steps table's states in each language.
#include <gtest/gtest.h>

#include "i18n/CauseTexts.h"
#include "i18n/MeasurementTexts.h"
#include "app/StationStepsModel.h"
#include "i18n/StationTexts.h"
#include "recipes/ShiftCounts.h"
#include "catalogue/StepNames.h"

using namespace pb;

namespace {

Recipe ThreeSteps() {
    Recipe recipe;
    recipe.product = "KV410 board";
    RecipeStep identify;
    identify.kind = TestId::Connect;
    RecipeStep date;
    date.kind = TestId::SetDate;
    date.label = "Clock";
    RecipeStep dido;
    dido.kind = TestId::Dido;
    recipe.steps = {identify, date, dido};
    return recipe;
}

QString Cell(const StationStepsModel& model, int row, int column) {
    return model.data(model.index(row, column), Qt::DisplayRole).toString();
}

}  // namespace

TEST(ShiftCounts, ARetestedUnitIsNoFirstPassAndResetStartsAgain) {
    ShiftCounts counts;
    EXPECT_FALSE(counts.firstPassYield());
    counts.add("SN1", true);
    counts.add("SN2", false);
    counts.add(" SN2 ", true);  // the same unit after repair, scanned with a space
    counts.add("SN3", true);
    counts.add("SN1", false);  // a passed unit failing later stays a first pass
    EXPECT_EQ(counts.passed(), 3);
    EXPECT_EQ(counts.failed(), 2);
    EXPECT_EQ(counts.units(), 3);
    EXPECT_EQ(counts.firstPassUnits(), 2);
    ASSERT_TRUE(counts.firstPassYield());
    EXPECT_NEAR(*counts.firstPassYield(), 200.0 / 3, 1e-9);
    counts.reset();
    EXPECT_EQ(counts.passed() + counts.failed() + counts.units(), 0);
    EXPECT_FALSE(counts.firstPassYield());
    counts.add("SN2", true);  // a new shift: its first run here is a first pass
    EXPECT_EQ(*counts.firstPassYield(), 100.0);
}

TEST(StationSteps, ShowLiveStatesAndWhyAStepFailed) {
    StationStepsModel model;
    model.setRecipe(ThreeSteps());
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(Cell(model, 0, StationStepsModel::ColumnStep), "Connect");  // its test's name
    EXPECT_EQ(Cell(model, 1, StationStepsModel::ColumnStep), "Clock");  // the engineer's label
    EXPECT_EQ(Cell(model, 2, StationStepsModel::ColumnState), "waiting");

    model.stepStarted(0, 1);
    EXPECT_EQ(Cell(model, 0, StationStepsModel::ColumnState), "running, try 1");
    model.stepProgress(0, 2, 3);  // a long step's progress, while it runs
    EXPECT_EQ(Cell(model, 0, StationStepsModel::ColumnMeasured), "2 / 3");
    const Measurements identity{Measurement::textOf("device-id", "0000"), Measurement::numberOf("model-kind", 6),
                                Measurement::textOf("version", "KV740MX -V6.01.03"),
                                Measurement::textOf("serial", "SN004711")};
    model.stepEnded(0, StepVerdict::pass(), identity);
    EXPECT_EQ(model.state(0), StationStepsModel::State::Passed);
    EXPECT_EQ(Cell(model, 0, StationStepsModel::ColumnMeasured),
              "ID 0000; model kind 6; version KV740MX -V6.01.03; serial number SN004711");
    model.stepStarted(1, 2);
    EXPECT_EQ(Cell(model, 1, StationStepsModel::ColumnState), "running, try 2");
    const Cause silent = Cause::of(CauseCode::NoReply, {"DB"});
    model.stepEnded(1, StepVerdict::fail(silent), {});
    EXPECT_EQ(Cell(model, 1, StationStepsModel::ColumnState), "failed");
    EXPECT_EQ(Cell(model, 1, StationStepsModel::ColumnMeasured), "no reply to DB");
    model.markUnreached();
    EXPECT_EQ(Cell(model, 2, StationStepsModel::ColumnState), "not run");
    EXPECT_EQ(model.state(0), StationStepsModel::State::Passed);

    // The same table in the other languages, values as they were.
    for (int language : {1, 2}) {
        model.setLanguage(language);
        EXPECT_EQ(Cell(model, 0, StationStepsModel::ColumnState), Text(StationText::StatePassed, language));
        EXPECT_EQ(Cell(model, 2, StationStepsModel::ColumnStep), StepName(ThreeSteps().steps[2], language));
        // What a step read follows the language too, its values kept.
        EXPECT_EQ(Cell(model, 0, StationStepsModel::ColumnMeasured), MeasurementsText(identity, language));
        EXPECT_TRUE(Cell(model, 0, StationStepsModel::ColumnMeasured).contains("SN004711"));
        EXPECT_EQ(Cell(model, 1, StationStepsModel::ColumnMeasured), CauseText(silent, language));
        EXPECT_EQ(model.headerData(StationStepsModel::ColumnState, Qt::Horizontal, Qt::DisplayRole).toString(),
                  Text(StationText::ColumnState, language));
    }
    model.clearRun();
    for (int row = 0; row < 3; ++row) EXPECT_EQ(model.state(row), StationStepsModel::State::Waiting);
    EXPECT_TRUE(Cell(model, 0, StationStepsModel::ColumnMeasured).isEmpty());
}
