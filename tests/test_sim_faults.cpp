// Each fault of the simulated controller produces the failure the tool must see,
// through the tool's own link.
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "test_sim_harness.h"

using namespace simtest;
using sim::Model;

namespace {

QString zeros(int bytes) {
    return QString(bytes * 2, QLatin1Char('0'));
}

TEST(SimFaults, SilenceForAllOrByPrefix) {
    SimBench bench(Model::V5);
    ASSERT_TRUE(bench.open());
    bench.controller.faults().silentPrefixes = {QStringLiteral("DB")};
    EXPECT_TRUE(bench.crc(QStringLiteral("0000AC")));
    EXPECT_FALSE(bench.crc(QStringLiteral("0000DB")));
    bench.controller.faults().silentPrefixes = {QString()};
    EXPECT_FALSE(bench.crc(QStringLiteral("0000AC")));
    // The command still reached the controller.
    EXPECT_EQ(bench.controller.commands().size(), 3);
}

TEST(SimFaults, BadAndLowercaseChecksumsFailTheCheckButKeepTheReply) {
    SimBench bench(Model::Kv410);
    ASSERT_TRUE(bench.open());
    bench.controller.faults().badChecksum = true;
    EXPECT_FALSE(bench.crc(QStringLiteral("0000AC")));
    EXPECT_EQ(bench.length(), 17);
    EXPECT_FALSE(bench.controller.log().last().checksumOk);

    bench.controller.faults().badChecksum = false;
    bench.controller.faults().lowercaseChecksum = true;
    ASSERT_FALSE(bench.crc(QStringLiteral("0000AC")));  // its CRC is 21F9: one letter
    EXPECT_TRUE(bench.last.reply.bytes().endsWith("21f9\r"));
}

TEST(SimFaults, DelayBeyondTheToolsLimits) {
    SimBench tcp(Model::V4);
    ASSERT_TRUE(tcp.open());
    tcp.controller.faults().replyDelayMs = 400;
    EXPECT_TRUE(tcp.crc(QStringLiteral("0000AC")));  // within 1200 ms of the send
    tcp.controller.faults().replyDelayMs = 1400;
    EXPECT_FALSE(tcp.crc(QStringLiteral("0000AC")));

    SimBench pty(Model::V4, Via::Pty);
    ASSERT_TRUE(pty.open());
    pty.controller.faults().replyDelayMs = 450;  // the serial line's 300 ms quiet limit
    EXPECT_FALSE(pty.crc(QStringLiteral("0000AC")));
}

TEST(SimFaults, SplitRepliesArriveWholeUnlessAPauseExceedsTheQuietLimit) {
    SimBench pty(Model::V6, Via::Pty);
    ASSERT_TRUE(pty.open());
    pty.controller.faults().splitPieces = 4;
    pty.controller.faults().splitPauseMs = 100;
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(pty.crc(QStringLiteral("0000DB")));
    EXPECT_GE(t.elapsed(), 280);
    EXPECT_EQ(pty.length(), 29);
    pty.controller.faults().splitPauseMs = 450;
    EXPECT_FALSE(pty.crc(QStringLiteral("0000DB")));
}

TEST(SimFaults, NoiseBeforeTheLeadIsTolerated) {
    SimBench bench(Model::V2);
    ASSERT_TRUE(bench.open());
    // A CR without a lead, and a lead that the real lead restarts.
    bench.controller.faults().noiseBeforeLead = QByteArray("zz\r\x03junk");
    ASSERT_TRUE(bench.crc(QStringLiteral("0000AS")));
    EXPECT_EQ(bench.length(), 21);
    // Noise that is itself a complete (bogus) reply is taken as the reply, and fails.
    bench.controller.faults().noiseBeforeLead = QByteArray("\x03junk\r");
    EXPECT_FALSE(bench.crc(QStringLiteral("0000AS")));
}

TEST(SimFaults, OverlongReplyNeverCompletes) {
    SimBench bench(Model::V2, Via::Pty);
    ASSERT_TRUE(bench.open());
    bench.controller.faults().overlongReply = true;
    EXPECT_FALSE(bench.crc(QStringLiteral("0000AS")));
    EXPECT_GT(bench.controller.log().last().frame.size(), 1500);
}

TEST(SimFaults, LoaderBlocksIgnoredForTheFirstAttempts) {
    SimBench bench(Model::V5);
    ASSERT_TRUE(bench.open());
    ASSERT_TRUE(bench.crc(QStringLiteral("0000Zx33BB")));
    auto& f = bench.controller.faults();
    f.silentFirstAttemptsOfBlock = 2;
    f.faultBlock = 1;
    EXPECT_TRUE(bench.crc(QStringLiteral("0000Zp0000") + zeros(512)));  // block 0 is spared
    EXPECT_FALSE(bench.crc(QStringLiteral("0000Zp0200") + zeros(512)));
    EXPECT_FALSE(bench.crc(QStringLiteral("0000Zp0200") + zeros(512)));
    EXPECT_EQ(bench.controller.flash().at(0x200), '\xFF');  // ignored attempts change nothing
    EXPECT_TRUE(bench.crc(QStringLiteral("0000Zp0200") + zeros(512)));
    EXPECT_FALSE(bench.crc(QStringLiteral("0000Zv0200")));  // verify counts its own attempts
}

TEST(SimFaults, CorruptVerifyReplyPassesItsChecksumButDiffers) {
    SimBench bench(Model::Old20, Via::Pty);
    ASSERT_TRUE(bench.open());
    ASSERT_TRUE(bench.crc(QStringLiteral("000Zx")));
    ASSERT_TRUE(bench.xorStx(QStringLiteral("E")));
    bench.controller.faults().corruptVerifyBlock = 2;
    ASSERT_TRUE(bench.xorStx(QStringLiteral("R0040")));
    EXPECT_EQ(bench.at(3, 128), QByteArray(128, 'F'));
    ASSERT_TRUE(bench.xorStx(QStringLiteral("R0080")));
    EXPECT_NE(bench.at(3, 128), QByteArray(128, 'F'));
}

class CloseMidReply : public ::testing::TestWithParam<Via> {};

TEST_P(CloseMidReply, TheToolSeesTheDeviceFail) {
    SimBench bench(Model::Kv410, GetParam());
    ASSERT_TRUE(bench.open());
    bench.controller.faults().closeMidReply = true;
    EXPECT_FALSE(bench.crc(QStringLiteral("0000DB")));
    EXPECT_EQ(bench.last.error, pb::LinkError::DeviceGone);  // not a time-out
    EXPECT_TRUE(bench.last.detail.contains(QStringLiteral("device failed")))
        << qPrintable(bench.last.detail);
    EXPECT_FALSE(bench.link.isOpen());
}

INSTANTIATE_TEST_SUITE_P(BothTransports, CloseMidReply, ::testing::Values(Via::Tcp, Via::Pty),
                         [](const ::testing::TestParamInfo<Via>& info) {
                             return viaName(info.param);
                         });

// The tool reopens the port many times: the pty stays usable, and a new TCP client
// is accepted once the previous one has left.
TEST(SimTransports, ReopenManyTimes) {
    for (Via via : {Via::Tcp, Via::Pty}) {
        SimBench bench(Model::V3, via);
        ASSERT_TRUE(bench.open());
        pb::LinkSettings s;
        if (via == Via::Tcp) {
            s.kind = pb::LinkKind::Net;
            s.ip = QStringLiteral("127.0.0.1");
            s.tcpPort = QString::number(bench.tcp.port());
        } else {
            s.kind = pb::LinkKind::Com;
            s.portName = bench.pty.slavePath();
        }
        for (int i = 0; i < 10; ++i) {
            bench.link.CloseLink();
            ASSERT_TRUE(bench.link.OpenLink(s)) << viaName(via) << i;
            ASSERT_TRUE(bench.crc(QStringLiteral("0000AC"))) << viaName(via) << i;
        }
    }
}

}  // namespace
