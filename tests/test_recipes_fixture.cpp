// The shipped recipes judged on what the simulated controller really answers: the
// identify and DI/DO steps pass on the right unit on the loopback fixture, and fail for
// the cause a bad unit would show (another family, another label, a stuck input).
#include <gtest/gtest.h>

#include "recipes/RecipeJudge.h"
#include "recipes/RecipeLoader.h"
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
pb::IdentifyMeasured Identify(SimBench& bench, const QString& scanned) {
    pb::IdentifyMeasured m;
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
QList<pb::DidoReading> RunDido(SimBench& bench, const pb::DidoStep& step) {
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
    EXPECT_TRUE(
        pb::judgeIdentify(identify->identify, Identify(v6, QStringLiteral("25V60000"))).passed);
    const pb::StepVerdict label =
        pb::judgeIdentify(identify->identify, Identify(v6, QStringLiteral("25V60001")));
    EXPECT_EQ(label.reason, pb::RecipeReason::SerialMismatch) << label.text(0).toStdString();

    SimBench v5(Model::V5, Via::Tcp, QStringLiteral("0000"));
    ASSERT_TRUE(v5.open());
    const pb::StepVerdict family =
        pb::judgeIdentify(identify->identify, Identify(v5, QStringLiteral("25V60000")));
    EXPECT_EQ(family.reason, pb::RecipeReason::WrongModelKind) << family.text(0).toStdString();
}

TEST(RecipeOnTheFixture, DidoPassesOnTheLoopbackAndFailsWithAStuckInput) {
    const pb::Recipe recipe = Example("kv740mx-v6.json");
    const pb::RecipeStep* dido = FirstOf(recipe, pb::TestId::Dido);
    ASSERT_TRUE(dido);
    SimBench bench(Model::V6);
    bench.controller.setLoopback(true);
    ASSERT_TRUE(bench.open());
    EXPECT_TRUE(pb::judgeDido(dido->dido, RunDido(bench, dido->dido), QStringLiteral("DG0")).passed);

    bench.controller.setStuckInput(3, false);
    const pb::StepVerdict stuck = pb::judgeDido(dido->dido, RunDido(bench, dido->dido), QStringLiteral("DG0"));
    EXPECT_EQ(stuck.reason, pb::RecipeReason::InputsMismatch);
    EXPECT_EQ(stuck.text(0), "Cycle 1, outputs 0010: inputs 00000000, expected 0010xxxx");

    // The bench check wants every input off: it passes on a bare controller and fails
    // on the fixture only where an input is held on.
    const pb::Recipe benchCheck = Example("bench-check.json");
    const pb::RecipeStep* check = FirstOf(benchCheck, pb::TestId::Dido);
    ASSERT_TRUE(check);
    bench.controller.setStuckInput(3, std::nullopt);
    EXPECT_TRUE(pb::judgeDido(check->dido, RunDido(bench, check->dido), QStringLiteral("DG0")).passed);
    bench.controller.setStuckInput(7, true);
    EXPECT_EQ(pb::judgeDido(check->dido, RunDido(bench, check->dido), QStringLiteral("DG0")).reason,
              pb::RecipeReason::InputsMismatch);
}

}  // namespace
