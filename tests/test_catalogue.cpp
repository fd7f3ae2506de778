// The catalogue of tests: one row for each test, found by every name the front ends know
// it by, and each row running its own procedure (the same frames as the procedure called
// directly) and handing back that procedure's own result.
#include <gtest/gtest.h>

#include <QSet>

#include "catalogue/TestCatalogue.h"
#include "procedures/CommandConsoles.h"
#include "procedures/ConnectAndIdentify.h"
#include "procedures/DidoPatterns.h"
#include "procedures/PollingTest.h"
#include "procedures/SystemCommands.h"
#include "recipes/Recipe.h"
#include "catalogue/RecipeLoader.h"
#include "catalogue/StepNames.h"
#include "tests/support/SimHarness.h"
#include "tests/test_firmware_rig.h"

using namespace pb;
using namespace pbtest;

TEST(Catalogue, EveryTestHasItsRowWithNamesNoOtherRowUses) {
    QSet<QString> names;
    for (int i = 0; i <= int(TestId::AwaitAnswer); ++i) {
        const TestId id = TestId(i);
        const TestDescriptor& e = CatalogueEntry(id);
        SCOPED_TRACE(qPrintable(e.stableName()));
        EXPECT_EQ(e.id, id) << "the rows are in TestId order";
        ASSERT_NE(e.run, nullptr);
        EXPECT_FALSE(names.contains(e.stableName()));
        names << e.stableName();
        if (e.commandName() != e.stableName()) {
            EXPECT_FALSE(names.contains(e.commandName()));
            names << e.commandName();
        }
        // A name in each language, each of its own words.
        for (int language = 0; language < 3; ++language) {
            EXPECT_FALSE(e.nameIn(language).isEmpty());
            EXPECT_NE(e.nameIn(language), e.stableName()) << language;
        }
        EXPECT_EQ(ProcedureName(e.stableName(), 1), e.nameIn(1));
    }
    EXPECT_EQ(KnownProcedureIds().size(), int(TestId::AwaitAnswer) + 1);
    EXPECT_EQ(ProcedureName("no-such-test", 2), "no-such-test");
}

TEST(Catalogue, TheCommandLinesAndRecipesOlderNamesFindTheSameTest) {
    const QList<std::pair<const char*, TestId>> older = {
        {"identify", TestId::Connect},   {"set-date", TestId::SetDate},
        {"alarm", TestId::Alarm},        {"factory-initial", TestId::FactoryInitial},
        {"reboot", TestId::Reboot},      {"dido", TestId::Dido},
        {"poll", TestId::Polling},       {"send", TestId::ControllerCommand},
        {"module", TestId::ModuleCommand}, {"upgrade", TestId::FirmwareUpgrade},
    };
    for (const auto& [name, id] : older) {
        SCOPED_TRACE(name);
        const TestDescriptor* byOld = FindTest(QString::fromLatin1(name));
        ASSERT_NE(byOld, nullptr);
        EXPECT_EQ(byOld->id, id);
        EXPECT_EQ(FindTest(TestName(id)), byOld);
        EXPECT_TRUE(byOld->standalone);
        // A recipe's kind of the same name runs the same test, and so does the test's own name.
        EXPECT_EQ(StandaloneTest(QString::fromLatin1(name)), id);
        EXPECT_EQ(StandaloneTest(TestName(id)), id);
        EXPECT_EQ(CommandName(id), QString::fromLatin1(name)) << "the command line and recipes keep their own name";
    }
    // Waiting for an answer after a restart is part of other tests, no command or step.
    EXPECT_FALSE(CatalogueEntry(TestId::AwaitAnswer).standalone);
    EXPECT_FALSE(StandaloneTest("await-answer").has_value());
    EXPECT_EQ(FindTest("Identify"), nullptr) << "names are matched exactly";
    EXPECT_EQ(FindTest(""), nullptr);
}

TEST(Catalogue, TheWordsAfterACommandFollowItsParameters) {
    EXPECT_EQ(CatalogueEntry(TestId::Alarm).usage(), "LEVEL");
    EXPECT_EQ(CatalogueEntry(TestId::ControllerCommand).usage(), "TEXT");
    EXPECT_EQ(CatalogueEntry(TestId::ModuleCommand).usage(), "TYPE NUMBER TEXT");
    EXPECT_EQ(CatalogueEntry(TestId::FirmwareUpgrade).usage(), "FILE [--allow-partial] [--signed-only] [--trust PUB] [--retries N]");
    EXPECT_EQ(CatalogueEntry(TestId::Dido).usage(), "[--cycles N | --seconds S] [--outputs O]");
    for (TestId id : {TestId::Connect, TestId::SetDate, TestId::FactoryInitial, TestId::Reboot, TestId::Dido,
                      TestId::Polling})
        EXPECT_TRUE(CatalogueEntry(id).positionals().isEmpty()) << qPrintable(TestName(id));
}

TEST(Catalogue, ARecipeStepGivenByTheTestsNameLoadsAsItsKindAndKeepsTheKindsLabel) {
    const RecipeLoad load = loadRecipe(QByteArray(R"({"schema": 1, "product": "P", "steps": [
        {"kind": "connect"}, {"kind": "polling", "at-least": 0},
        {"kind": "controller-command", "command": "DB", "reply": "."}]})"));
    ASSERT_TRUE(load.recipe.has_value());
    const QList<RecipeStep>& steps = load.recipe->steps;
    ASSERT_EQ(steps.size(), 3);
    EXPECT_EQ(steps[0].kind, TestId::Connect);
    EXPECT_EQ(steps[1].kind, TestId::Polling);
    EXPECT_EQ(steps[2].kind, TestId::ControllerCommand);
    EXPECT_EQ(KeptStepLabel(steps[1]), "poll");
}

namespace {

// A rig over a harness, with bars for the upgrade.
struct CatalogueRig {
    explicit CatalogueRig(SimHarness& h) : rig{h.ctx, bars, nullptr} {}
    RecordingBars bars;
    TestRig rig;
};

void identified(SimHarness& h) {
    h.state.deviceId = "0000";
    h.state.modelKind = 7;
}

}  // namespace

TEST(Catalogue, EachRowRunsItsProcedureAndHandsBackItsOwnResult) {
    DidoPatternPlan plan;
    plan.outputs = {"1000"};
    struct Case {
        TestId test;
        TestParams params;
        std::function<void(SimHarness&)> direct;
        std::function<bool(const TestResult&)> typed;
    };
    TestParams alarm;
    alarm.alarm.level = 3;
    TestParams send;
    send.console.text = "DB";
    TestParams module;
    module.console.moduleType = 2;
    module.console.moduleNumber = "8";
    module.console.text = "xyz";
    TestParams patterns;
    patterns.dido.patterns = {{"1000", "xxxxxxxx"}};
    TestParams within;
    within.await.withinMs = 2000;
    const auto is = [](auto tag) {
        return [](const TestResult& r) { return r.as<decltype(tag)>() != nullptr; };
    };
    const QList<Case> cases = {
        {TestId::Connect, {}, [](SimHarness& h) { ConnectAndIdentify(h.ctx); }, is(IdentifyResult{})},
        {TestId::SetDate, {}, [](SimHarness& h) { SetDateTime(h.ctx); }, is(SetDateResult{})},
        {TestId::Alarm, alarm, [](SimHarness& h) { AlarmTest(h.ctx, 3); }, is(RunResult{})},
        {TestId::FactoryInitial, {}, [](SimHarness& h) { FactoryInitial(h.ctx); }, is(RunResult{})},
        {TestId::Reboot, {}, [](SimHarness& h) { Reboot(h.ctx); }, is(RunResult{})},
        {TestId::Dido, patterns, [&](SimHarness& h) { DidoPatternTest(h.ctx, plan); }, is(DidoPatternResult{})},
        {TestId::Polling, {}, [](SimHarness& h) { PollingTestClick(h.ctx); }, is(PollingResult{})},
        {TestId::ControllerCommand, send, [](SimHarness& h) { ControllerCommand(h.ctx, "DB"); },
         is(ConsoleResult{})},
        {TestId::ModuleCommand, module, [](SimHarness& h) { ModuleCommand(h.ctx, 2, "8", "xyz"); },
         is(ConsoleResult{})},
        {TestId::AwaitAnswer, within, [](SimHarness& h) { AwaitAnswer(h.ctx, 2000); }, is(AnswerResult{})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(qPrintable(TestName(c.test)));
        SimHarness direct(sim::Model::Kv410, "0000", Wire::Tcp);
        identified(direct);
        c.direct(direct);

        SimHarness viaCatalogue(sim::Model::Kv410, "0000", Wire::Tcp);
        identified(viaCatalogue);
        CatalogueRig rig(viaCatalogue);
        const TestResult r = RunTest(rig.rig, {c.test, c.params});

        EXPECT_EQ(r.test, c.test);
        EXPECT_TRUE(c.typed(r)) << "the procedure's own result";
        EXPECT_EQ(r, Outcome::Ok);
        EXPECT_FALSE(viaCatalogue.controller.commands().isEmpty());
        EXPECT_EQ(viaCatalogue.controller.commands(), direct.controller.commands());
        ASSERT_EQ(viaCatalogue.runs.reports.size(), 1) << "one run in the records, under the test's name";
        EXPECT_EQ(pb::TestName(viaCatalogue.runs.reports[0].test), TestName(c.test));
    }
}

TEST(Catalogue, AnUpgradeOfAFileThatIsNoFirmwareIsRefusedWithTheUpgradesOwnResult) {
    SimHarness h(sim::Model::Kv410, "0000", Wire::Tcp);
    identified(h);
    CatalogueRig rig(h);
    QTemporaryDir dir;
    const QString path = dir.filePath("none.kvf");
    TestParams p;
    p.upgrade.file = path;
    const TestResult r = RunTest(rig.rig, {TestId::FirmwareUpgrade, p});
    const UpgradeResult* upgrade = r.as<UpgradeResult>();
    ASSERT_NE(upgrade, nullptr);
    EXPECT_EQ(upgrade->ending(), UpgradeEnding::Refused);
    EXPECT_NE(r, Outcome::Ok);
    EXPECT_FALSE(upgrade->failure.isEmpty());
    EXPECT_TRUE(h.controller.commands().isEmpty()) << "nothing went on the line";
}
