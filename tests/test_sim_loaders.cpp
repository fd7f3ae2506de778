// The three boot loaders: each programs a block through the tool's link and reads
// it back, with the flash behaving as flash.
#include <gtest/gtest.h>

#include "sim/SimChecksum.h"
#include "test_sim_harness.h"

using namespace simtest;
using sim::Model;

namespace {

QByteArray pattern(int size, int seed) {
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i) b[i] = char((i * 7 + seed) & 0xFF);
    return b;
}

QString hexOf(const QByteArray& b) {
    return QString::fromLatin1(b.toHex().toUpper());
}

class Loaders : public ::testing::TestWithParam<Via> {};

TEST_P(Loaders, ProtocolAProgramsAndVerifiesA512ByteBlock) {
    SimBench bench(Model::V6, GetParam(), QStringLiteral("0009"));
    ASSERT_TRUE(bench.open());
    ASSERT_TRUE(bench.crc(QStringLiteral("0009Zx33BB")));
    EXPECT_EQ(bench.controller.activeLoader(), sim::Loader::A);
    const QByteArray block = pattern(512, 3);
    ASSERT_TRUE(bench.crc(QStringLiteral("0009ZpFE00") + hexOf(block)));
    ASSERT_TRUE(bench.crc(QStringLiteral("0009ZvFE00")));
    EXPECT_EQ(bench.at(8, 1024), hexOf(block).toLatin1());
    EXPECT_EQ(bench.controller.flash().mid(0xFE00, 512), block);
    EXPECT_EQ(bench.controller.loaderAddresses(), QStringList({"FE00", "FE00"}));
    // Normal commands go unanswered inside the loader; the finish command leaves it.
    EXPECT_FALSE(bench.crc(QStringLiteral("0009AS")));
    ASSERT_TRUE(bench.crc(QStringLiteral("0009ZrAA55")));
    EXPECT_EQ(bench.controller.activeLoader(), sim::Loader::None);
    EXPECT_TRUE(bench.crc(QStringLiteral("0009AS")));
}

TEST_P(Loaders, ProtocolBErasesProgramsAndReadsBack) {
    SimBench bench(Model::V3, GetParam());
    bench.controller.setFlash(QByteArray(sim::Controller::kFlashSize, '\x5A'));  // old firmware
    ASSERT_TRUE(bench.open());
    ASSERT_TRUE(bench.crc(QStringLiteral("0000ZxA5")));
    ASSERT_TRUE(bench.crc(QStringLiteral("0000ZxA5")));  // sent twice by the tool
    ASSERT_TRUE(bench.xorEtx(QStringLiteral("0000A")));
    EXPECT_EQ(bench.length(), 17);
    const QByteArray block = pattern(256, 9);
    // Without an erase, programming can only clear bits: the read-back differs.
    ASSERT_TRUE(bench.xorEtx(QStringLiteral("0000P0100") + hexOf(block)));
    ASSERT_TRUE(bench.xorEtx(QStringLiteral("0000R0100")));
    EXPECT_NE(bench.at(7, 512), hexOf(block).toLatin1());
    // One erase covers two 256-byte blocks.
    ASSERT_TRUE(bench.xorEtx(QStringLiteral("0000E0a00")));
    EXPECT_EQ(bench.controller.flash().mid(0x0A00, 512), QByteArray(512, '\xFF'));
    EXPECT_EQ(bench.controller.flash().mid(0x0C00, 1), QByteArray(1, '\x5A'));
    ASSERT_TRUE(bench.xorEtx(QStringLiteral("0000P0b00") + hexOf(block)));
    ASSERT_TRUE(bench.xorEtx(QStringLiteral("0000R0b00")));
    EXPECT_EQ(bench.length(), 521);
    EXPECT_EQ(bench.at(7, 512), hexOf(block).toLatin1());
    EXPECT_EQ(bench.controller.loaderAddresses(),
              QStringList({"0100", "0100", "0a00", "0b00", "0b00"}));
    // Replies led by 0x02 are not what this loader sends.
    EXPECT_FALSE(bench.xorStx(QStringLiteral("0000A")));
    ASSERT_TRUE(bench.xorEtx(QStringLiteral("0000X")));
    EXPECT_EQ(bench.controller.activeLoader(), sim::Loader::None);
}

TEST_P(Loaders, ProtocolCUsesNoIdAndSmallBlocks) {
    SimBench bench(Model::Old28, GetParam(), QStringLiteral("321"));
    bench.controller.setFlash(QByteArray(sim::Controller::kFlashSize, '\0'));
    ASSERT_TRUE(bench.open());
    EXPECT_FALSE(bench.xorStx(QStringLiteral("A")));  // not in the loader yet
    ASSERT_TRUE(bench.crc(QStringLiteral("321Zx")));
    ASSERT_TRUE(bench.xorStx(QStringLiteral("A")));
    EXPECT_EQ(bench.length(), 13);
    ASSERT_TRUE(bench.xorStx(QStringLiteral("E")));
    EXPECT_EQ(bench.length(), 5);
    EXPECT_EQ(bench.controller.flash(), QByteArray(sim::Controller::kFlashSize, '\xFF'));
    const QByteArray block = pattern(64, 1);
    ASSERT_TRUE(bench.xorStx(QStringLiteral("P00c0") + hexOf(block)));
    EXPECT_EQ(bench.length(), 9);
    ASSERT_TRUE(bench.xorStx(QStringLiteral("R00c0")));
    EXPECT_EQ(bench.length(), 133);
    EXPECT_EQ(bench.at(3, 128), hexOf(block).toLatin1());
    EXPECT_FALSE(bench.xorStx(QStringLiteral("P00c0ABCD")));  // short data: no answer
    ASSERT_TRUE(bench.xorStx(QStringLiteral("X")));
    EXPECT_EQ(bench.controller.commands().mid(0, 2), QStringList({"A", "321Zx"}));
}

INSTANTIATE_TEST_SUITE_P(BothTransports, Loaders, ::testing::Values(Via::Tcp, Via::Pty),
                         [](const ::testing::TestParamInfo<Via>& info) {
                             return viaName(info.param);
                         });

TEST(LoaderEntry, OnlyTheModelsOwnLoaderIsEntered) {
    SimBench bench(Model::Kv410);
    ASSERT_TRUE(bench.open());
    EXPECT_FALSE(bench.crc(QStringLiteral("0000Zx33BB")));
    EXPECT_EQ(bench.controller.activeLoader(), sim::Loader::None);
    SimBench v5(Model::V5);
    ASSERT_TRUE(v5.open());
    EXPECT_FALSE(v5.crc(QStringLiteral("0000ZxA5")));
    EXPECT_FALSE(v5.crc(QStringLiteral("0000Zp0000")));
}

}  // namespace
