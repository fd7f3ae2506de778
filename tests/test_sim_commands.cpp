// System, DI/DO and console commands: reply lengths and positions as the tool reads
// them, and the controller state they change.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "sim/SimChecksum.h"
#include "test_sim_harness.h"

using namespace simtest;
using sim::Model;

namespace {

TEST(SimSystemCommands, ClockAlarmResetAndRebootOnTheStandardController) {
    SimBench bench(Model::V6, Via::Tcp, QStringLiteral("0123"));
    ASSERT_TRUE(bench.open());

    ASSERT_TRUE(bench.crc(QStringLiteral("0123AA20261207080509")));
    EXPECT_EQ(bench.length(), 13);
    EXPECT_EQ(bench.controller.clock().toString(QStringLiteral("yyyyMMddHHmm")), "202612070805");
    ASSERT_TRUE(bench.crc(QStringLiteral("0123AA20261307080509")));  // month 13
    EXPECT_NE(bench.length(), 13);
    EXPECT_EQ(bench.controller.clock().date(), QDate(2026, 12, 7));

    ASSERT_TRUE(bench.crc(QStringLiteral("0123JF6")));
    EXPECT_EQ(bench.length(), 13);
    EXPECT_EQ(bench.controller.alarm(), 6);

    // A reboot silences the controller until its time has passed.
    bench.controller.setRebootMs(60000);
    ASSERT_TRUE(bench.crc(QStringLiteral("0123AR00")));
    EXPECT_EQ(bench.length(), 13);
    EXPECT_TRUE(bench.controller.rebooting());
    EXPECT_FALSE(bench.crc(QStringLiteral("0123AS")));
    bench.controller.advanceTime(60000);
    ASSERT_TRUE(bench.crc(QStringLiteral("0123AS")));
    EXPECT_EQ(bench.controller.alarm(), 6);  // a plain reboot keeps the alarm

    bench.controller.setRebootMs(0);
    ASSERT_TRUE(bench.crc(QStringLiteral("0123AR01")));
    EXPECT_EQ(bench.length(), 13);
    EXPECT_EQ(bench.controller.factoryResets(), 1);
    EXPECT_EQ(bench.controller.alarm(), 0);
}

TEST(SimSystemCommands, OlderDeviceAnswersShortRepliesAndRebootsOnAiAj) {
    SimBench bench(Model::Old20, Via::Pty);
    bench.controller.setRebootMs(16000);
    ASSERT_TRUE(bench.open());
    ASSERT_TRUE(bench.crc(QStringLiteral("000AA20260101000000")));
    EXPECT_EQ(bench.length(), 12);
    ASSERT_TRUE(bench.crc(QStringLiteral("000AI")));
    EXPECT_EQ(bench.length(), 12);
    EXPECT_FALSE(bench.crc(QStringLiteral("000AS")));
    bench.controller.advanceTime(16000);
    ASSERT_TRUE(bench.crc(QStringLiteral("000AJ")));
    EXPECT_EQ(bench.length(), 12);
    bench.controller.advanceTime(16000);
    ASSERT_TRUE(bench.crc(QStringLiteral("000AS")));
    EXPECT_EQ(bench.length(), 20);
    EXPECT_EQ(bench.controller.reboots(), 2);
}

TEST(SimDiDo, StandardVariantOutputsAndInputs) {
    SimBench bench(Model::Kv410);
    ASSERT_TRUE(bench.open());
    bench.controller.setInputs(QStringLiteral("10100001"));
    ASSERT_TRUE(bench.crc(QStringLiteral("0000JC00110002")));
    ASSERT_TRUE(bench.crc(QStringLiteral("0000JC00410002")));
    EXPECT_EQ(bench.controller.outputs(), "1001");
    ASSERT_TRUE(bench.crc(QStringLiteral("0000DG0")));
    ASSERT_EQ(bench.length(), 29);
    EXPECT_EQ(bench.at(8, 8), "10100001");
    EXPECT_EQ(bench.at(16, 4), "1001");
    // The pulse of "JC...0002" ends after two seconds of controller time.
    bench.controller.advanceTime(2000);
    EXPECT_EQ(bench.controller.outputs(), "0000");
    ASSERT_TRUE(bench.crc(QStringLiteral("0000JC00210000")));
    ASSERT_TRUE(bench.crc(QStringLiteral("0000JD")));
    EXPECT_EQ(bench.controller.outputs(), "0000");
}

TEST(SimDiDo, ShortVariantOnTheOlderDevice) {
    for (Model m : {Model::Old20, Model::Old28}) {
        SimBench bench(m);
        ASSERT_TRUE(bench.open());
        bench.controller.setInputs(QStringLiteral("01100010"));
        ASSERT_TRUE(bench.crc(QStringLiteral("000JD11")));
        ASSERT_TRUE(bench.crc(QStringLiteral("000JD30")));
        EXPECT_EQ(bench.controller.outputs(), "1000");
        ASSERT_TRUE(bench.crc(QStringLiteral("000IE")));
        EXPECT_EQ(bench.length(), m == Model::Old20 ? 32 : 52);
        EXPECT_EQ(bench.at(23, 4), "0110");
        ASSERT_TRUE(bench.crc(QStringLiteral("000DF")));
        ASSERT_EQ(bench.length(), 14);
        EXPECT_EQ(bench.at(7, 2), "10");
        ASSERT_TRUE(bench.crc(QStringLiteral("000JE")));
        EXPECT_EQ(bench.controller.outputs(), "0000");
    }
}

TEST(SimConsoles, ModuleAndFreeText) {
    SimBench bench(Model::V5);
    ASSERT_TRUE(bench.open());
    ASSERT_TRUE(bench.crc(QStringLiteral("0000DDA1B")));
    EXPECT_EQ(bench.last.reply.bytes().mid(1, bench.length() - 7), "0000DDA1KVPA1 V1.02");
    ASSERT_TRUE(bench.crc(QStringLiteral("0000DDE8xyz")));
    EXPECT_EQ(bench.last.reply.bytes().mid(1, bench.length() - 7), "0000DDE8xyzOK");
    ASSERT_TRUE(bench.crc(QStringLiteral("0000AB")));
    ASSERT_TRUE(bench.crc(QStringLiteral("0000")));  // an empty console line
    EXPECT_EQ(bench.length(), 11);
    EXPECT_EQ(bench.controller.commands(),
              QStringList({"0000DDA1B", "0000DDE8xyz", "0000AB", "0000"}));
}

// The controller's own work per command stays far below a millisecond, even for
// the longest reply (a loader A verify block).
}  // namespace
