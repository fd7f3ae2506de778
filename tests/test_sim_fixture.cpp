// The simulated controller as a test fixture: outputs wired to inputs, and an input
// stuck at one level, seen through real DI/DO exchanges over TCP.
#include <gtest/gtest.h>

#include "sim/SimConsole.h"
#include "sim/SimOptions.h"
#include "test_sim_harness.h"

using namespace simtest;
using sim::Model;

namespace {

// Inputs 1-8 as the standard DI/DO test reads them ("DG0").
QByteArray ReadDg0(SimBench& bench) {
    if (!bench.crc(QStringLiteral("0000DG0")) || bench.length() != 29) return {};
    return bench.at(8, 8);
}

// Inputs 1-4 and 7-8 as the short DI/DO test reads them ("IE", "DF").
QByteArray ReadShort(SimBench& bench) {
    if (!bench.crc(QStringLiteral("000IE"))) return {};
    const QByteArray first = bench.at(23, 4);
    if (!bench.crc(QStringLiteral("000DF")) || bench.length() != 14) return {};
    return first + bench.at(7, 2);
}

TEST(SimFixture, InputsFollowTheOutputsOnTheFourDigitModels) {
    SimBench bench(Model::V6);
    bench.controller.setLoopback(true);
    bench.controller.setInputs(QStringLiteral("00000011"));  // 7, 8 not wired
    ASSERT_TRUE(bench.open());
    EXPECT_EQ(ReadDg0(bench), "00000011");
    ASSERT_TRUE(bench.crc(QStringLiteral("0000JC00110002")));
    ASSERT_TRUE(bench.crc(QStringLiteral("0000JC00310002")));
    EXPECT_EQ(ReadDg0(bench), "10100011");
    // The pulses end after two seconds of controller time, and the inputs with them.
    bench.controller.advanceTime(2000);
    EXPECT_EQ(ReadDg0(bench), "00000011");
    ASSERT_TRUE(bench.crc(QStringLiteral("0000JC00410000")));
    EXPECT_EQ(ReadDg0(bench), "00010011");
    ASSERT_TRUE(bench.crc(QStringLiteral("0000JD")));
    EXPECT_EQ(ReadDg0(bench), "00000011");
    // Without the fixture the inputs keep their own levels.
    bench.controller.setLoopback(false);
    ASSERT_TRUE(bench.crc(QStringLiteral("0000JC00210000")));
    EXPECT_EQ(ReadDg0(bench), "00000011");
}

TEST(SimFixture, InputsFollowTheOutputsOnTheThreeDigitDevice) {
    for (Model m : {Model::Old20, Model::Old28}) {
        SimBench bench(m);
        bench.controller.setLoopback(true);
        bench.controller.setInputs(QStringLiteral("00000001"));
        ASSERT_TRUE(bench.open());
        ASSERT_TRUE(bench.crc(QStringLiteral("000JD11")));
        ASSERT_TRUE(bench.crc(QStringLiteral("000JD20")));
        ASSERT_TRUE(bench.crc(QStringLiteral("000JD31")));
        EXPECT_EQ(ReadShort(bench), "101001") << sim::modelName(m).toStdString();
        ASSERT_TRUE(bench.crc(QStringLiteral("000JE")));
        EXPECT_EQ(ReadShort(bench), "000001");
    }
}

TEST(SimFixture, AStuckInputStaysStuck) {
    SimBench bench(Model::Kv410);
    bench.controller.setLoopback(true);
    bench.controller.setStuckInput(3, false);
    bench.controller.setStuckInput(6, true);
    ASSERT_TRUE(bench.open());
    for (int k = 1; k <= 4; ++k)
        ASSERT_TRUE(
            bench.crc(QStringLiteral("0000JC00") + QString::number(k) + QStringLiteral("10000")));
    EXPECT_EQ(ReadDg0(bench), "11010100");
    bench.controller.setInput(6, false);  // the stage, not the level, is at fault
    ASSERT_TRUE(bench.crc(QStringLiteral("0000JD")));
    EXPECT_EQ(ReadDg0(bench), "00000100");
    bench.controller.setStuckInput(6, std::nullopt);
    bench.controller.setStuckInput(3, std::nullopt);
    ASSERT_TRUE(bench.crc(QStringLiteral("0000JC00310000")));
    EXPECT_EQ(ReadDg0(bench), "00100000");
}

TEST(SimFixture, CommandLineAndPrompt) {
    const auto parsed = sim::parseSimOptions(
        {"sim", "--tcp", "0", "--loopback", "--stuck-input", "3=on", "--stuck-input", "8=off"});
    ASSERT_TRUE(parsed.options);
    EXPECT_TRUE(parsed.options->loopback);
    ASSERT_EQ(parsed.options->stuckInputs.size(), 2);
    EXPECT_EQ(parsed.options->stuckInputs[0], qMakePair(3, true));
    EXPECT_EQ(parsed.options->stuckInputs[1], qMakePair(8, false));
    for (const char* bad : {"9=on", "3", "3=maybe", "0=off"}) {
        const auto r = sim::parseSimOptions({"sim", "--tcp", "0", "--stuck-input", bad});
        EXPECT_FALSE(r.options) << bad;
        EXPECT_EQ(r.exitCode, 2);
    }

    sim::Controller controller(Model::V5);
    sim::Console console(controller);
    console.execute(QStringLiteral("loopback on"));
    EXPECT_TRUE(controller.loopback());
    EXPECT_EQ(console.execute(QStringLiteral("stuck 2 on")), "inputs 01000000\n");
    EXPECT_TRUE(console.execute(QStringLiteral("state")).contains("loopback on, input 2 stuck on"));
    console.execute(QStringLiteral("stuck 2 free"));
    EXPECT_FALSE(controller.stuckInput(2));
    EXPECT_TRUE(console.execute(QStringLiteral("stuck 9 on")).startsWith("stuck N"));
}

}  // namespace
