// The shipped recipes judged on what the simulated controller really answers: the
// identify and DI/DO steps pass on the right unit on the loopback fixture, and fail for
// the cause a bad unit would show (another family, another label, a stuck input).
#include <gtest/gtest.h>

#include "recipes/RecipeJudge.h"
#include "catalogue/RecipeLoader.h"
#include "test_sim_harness.h"
#include "tests/support/QtPrinters.h"

using namespace simtest;
using sim::Model;

namespace {

pb::Recipe Example(const char* name) {
    const pb::RecipeLoad load = pb::loadRecipeFile(
        QStringLiteral(PANELBENCH_SOURCE_DIR "/examples/recipes/") + QLatin1String(name));
    EXPECT_TRUE(load.recipe) << name;
    return load.recipe.value_or(pb::Recipe{});
}

const pb::RecipeStep* FirstOf(const pb::Recipe& r, pb::TestId kind) {
    for (const pb::RecipeStep& s : r.steps)
        if (s.kind == kind) return &s;
    return nullptr;
}

// What identify learns from a four-digit controller ("DB", "AS").
pb::IdentifyFound Identify(SimBench& bench, const QString& scanned) {
    pb::IdentifyFound m;
    m.scannedSerial = scanned;
    if (bench.crc(QStringLiteral("0000DB")) && bench.length() == 29) {
        const QByteArray code = bench.at(16, 2);
        m.modelKind = code == "V6" || code == "R6"   ? 6
                      : code == "V5" || code == "R5" ? 3
                      : code == "V4" || code == "R4" ? 2
                      : code == "V3" || code == "R3" ? 1
                      : code == "V2"                 ? 5
                                                     : 0;
        m.modelText = QString::fromLatin1(bench.at(8, 8));
        m.versionText = QString::fromLatin1(bench.at(16, 8));
    }
    if (bench.crc(QStringLiteral("0000AS")) && bench.length() == 21)
        m.serial = QString::fromLatin1(bench.at(8, 8));
    return m;
}

// Every cycle of every pattern: set the outputs until changed, read "DG0".
QList<pb::DidoReading> RunDido(SimBench& bench, const pb::DidoParams& step) {
    QList<pb::DidoReading> readings;
    for (int cycle = 1; cycle <= step.cycles; ++cycle)
        for (int p = 0; p < step.patterns.size(); ++p) {
            const QString& outputs = step.patterns[p].outputs;
            for (int k = 1; k <= 4; ++k)
                bench.crc(QStringLiteral("0000JC00") + QString::number(k) + outputs[k - 1] +
                          QStringLiteral("0000"));
            const bool read = bench.crc(QStringLiteral("0000DG0")) && bench.length() == 29;
            readings.append({cycle, p, read ? QString::fromLatin1(bench.at(8, 8)) : QString()});
        }
    bench.crc(QStringLiteral("0000JD"));
    return readings;
}

TEST(RecipeOnTheFixture, IdentifyPassesTheRightUnitOnly) {
    const pb::Recipe recipe = Example("kv740mx-v6.json");
    const pb::RecipeStep* identify = FirstOf(recipe, pb::TestId::Connect);
    ASSERT_TRUE(identify);

    SimBench v6(Model::V6, Via::Tcp, QStringLiteral("0000"));
    ASSERT_TRUE(v6.open());
    EXPECT_TRUE(pb::judgeIdentify(identify->params.identify, Identify(v6, QStringLiteral("25V60000"))).verdict.passed());
    const pb::StepVerdict label =
        pb::judgeIdentify(identify->params.identify, Identify(v6, QStringLiteral("25V60001"))).verdict;
    EXPECT_EQ(label.cause, pb::Cause::of(pb::CauseCode::SerialMismatch, {"25V60000", "25V60001"}));

    SimBench v5(Model::V5, Via::Tcp, QStringLiteral("0000"));
    ASSERT_TRUE(v5.open());
    const pb::StepVerdict family =
        pb::judgeIdentify(identify->params.identify, Identify(v5, QStringLiteral("25V60000"))).verdict;
    EXPECT_EQ(family.cause.code, pb::CauseCode::ModelKindMismatch);
    EXPECT_EQ(family.cause.number("found"), 3);
}

TEST(RecipeOnTheFixture, DidoPassesOnTheLoopbackAndFailsWithAStuckInput) {
    const pb::Recipe recipe = Example("kv740mx-v6.json");
    const pb::RecipeStep* dido = FirstOf(recipe, pb::TestId::Dido);
    ASSERT_TRUE(dido);
    SimBench bench(Model::V6);
    bench.controller.setLoopback(true);
    ASSERT_TRUE(bench.open());
    const pb::DidoParams& loop = dido->params.dido;
    EXPECT_TRUE(pb::judgeDido(loop, RunDido(bench, loop), QStringLiteral("DG0")).verdict.passed());

    bench.controller.setStuckInput(3, false);
    const pb::StepVerdict stuck = pb::judgeDido(loop, RunDido(bench, loop), QStringLiteral("DG0")).verdict;
    EXPECT_EQ(stuck.cause, pb::Cause::of(pb::CauseCode::InputMismatch, {1, "0010", "00000000", "0010xxxx", 3}));

    // The bench check wants every input off: it passes on a bare controller and fails
    // on the fixture only where an input is held on.
    const pb::Recipe benchCheck = Example("bench-check.json");
    const pb::RecipeStep* check = FirstOf(benchCheck, pb::TestId::Dido);
    ASSERT_TRUE(check);
    bench.controller.setStuckInput(3, std::nullopt);
    const pb::DidoParams& off = check->params.dido;
    EXPECT_TRUE(pb::judgeDido(off, RunDido(bench, off), QStringLiteral("DG0")).verdict.passed());
    bench.controller.setStuckInput(7, true);
    EXPECT_EQ(pb::judgeDido(off, RunDido(bench, off), QStringLiteral("DG0")).verdict.cause.code,
              pb::CauseCode::InputMismatch);
}

}  // namespace
