// panelbench-cli identify against panelbench-sim: the serial number is reported as the
// controller sent it, blanks and all, in the result's detail and in the human line.
#include <gtest/gtest.h>

#include "tests/support/CliRig.h"

using namespace pbtest;

TEST(CliIdentify, ASerialNumberWithBlanksIsReportedWhole) {
    SimProcess sim({"--model", "v5", "--id", "0042", "--serial", "AB 12 CD"});
    ASSERT_TRUE(sim.serving());

    const CliResult json = RunCli(QStringList{"identify", "--id", "0042", "--no-records", "--json"} + sim.link());
    ASSERT_EQ(json.exitCode, 0) << json.err.constData();
    const auto results = json.eventsOf(QStringLiteral("result"));
    ASSERT_EQ(results.size(), 1);
    const QJsonObject detail = results[0].value("detail").toObject();
    EXPECT_EQ(detail.value("serialNumber").toString(), "AB 12 CD");
    EXPECT_EQ(detail.value("deviceId").toString(), "0042");

    const CliResult human = RunCli(QStringList{"identify", "--id", "0042", "--no-records"} + sim.link());
    ASSERT_EQ(human.exitCode, 0) << human.err.constData();
    EXPECT_TRUE(human.out.contains("ID 0042, model kind 3, KV320MX -V5.10.02, S/N AB 12 CD\n"))
        << human.out.constData();
}

// The serial port's options over a pty: low latency asks a pty nothing and says nothing;
// RS-485 is refused by name (exit 3), and the port opens again without it.
TEST(CliSerialOptions, APtyIsAskedNoLowLatencyAndRefusesRs485ByName) {
    SimProcess sim({"--model", "v5", "--id", "0042"}, /*pty=*/true);
    ASSERT_TRUE(sim.serving());

    const CliResult plain = RunCli(QStringList{"identify", "--id", "0042", "--no-records", "--json"} + sim.link());
    ASSERT_EQ(plain.exitCode, 0) << plain.err.constData();
    EXPECT_TRUE(plain.eventsOf(QStringLiteral("warning")).isEmpty()) << plain.out.constData();

    const CliResult rs485 =
        RunCli(QStringList{"identify", "--id", "0042", "--no-records", "--json", "--rs485"} + sim.link());
    EXPECT_EQ(rs485.exitCode, 3) << rs485.out.constData();
    const auto results = rs485.eventsOf(QStringLiteral("result"));
    ASSERT_EQ(results.size(), 1);
    EXPECT_TRUE(results[0].value("message").toString().contains("no RS-485 mode"))
        << QJsonDocument(results[0]).toJson().constData();
    const QJsonObject cause = results[0].value("detail").toObject().value("cause").toObject();
    EXPECT_EQ(cause.value("code").toString(), "link-open-failed");
    EXPECT_EQ(cause.value("kind").toString(), "NoRs485");

    const CliResult again =
        RunCli(QStringList{"identify", "--id", "0042", "--no-records", "--no-low-latency"} + sim.link());
    EXPECT_EQ(again.exitCode, 0) << again.out.constData();
}
