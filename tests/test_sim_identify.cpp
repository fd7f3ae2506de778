// Every model answers the identify sequence with the lengths and positions the
// tool reads, over TCP loopback and over a pseudo-terminal, through the tool's link.
#include <gtest/gtest.h>

#include <QSet>

#include "test_sim_harness.h"

using namespace simtest;
using sim::Model;

namespace {

// The version rule of the identify step, applied to a "DB" reply.
int kindFromDb(const QByteArray& code, const QByteArray& model) {
    int kind = 0;
    if (code == "V6" || code == "R6")
        kind = 6;
    else if (code == "V5" || code == "R5")
        kind = 3;
    else if (code == "V4" || code == "R4")
        kind = 2;
    else if (code == "V2")
        kind = 5;
    else if (code == "V3" || code == "R3")
        kind = 1;
    if (model == "KV410") kind = 7;
    return kind;
}

struct Case {
    Model model;
    Via via;
};

class Identify : public ::testing::TestWithParam<Case> {};

TEST_P(Identify, AnswersTheSequenceTheToolReads) {
    const Case c = GetParam();
    const bool old = sim::hasThreeDigitId(c.model);
    SimBench bench(c.model, c.via, old ? QStringLiteral("042") : QStringLiteral("0042"));
    ASSERT_TRUE(bench.open()) << qPrintable(bench.opened.detail);

    if (!old) {
        // Addressed with the all-zero ID, answered with the own ID.
        ASSERT_TRUE(bench.crc(QStringLiteral("0000AC")));
        EXPECT_TRUE(bench.length() == 17 || bench.length() == 15) << bench.length();
        EXPECT_EQ(bench.at(2, 4), "0042");

        ASSERT_TRUE(bench.crc(QStringLiteral("0042DB")));
        ASSERT_EQ(bench.length(), 29);
        EXPECT_EQ(kindFromDb(bench.at(16, 2), bench.at(8, 5)), sim::modelKind(c.model));
        if (c.model == Model::Kv410) {
            EXPECT_EQ(bench.at(8, 12) + "  " + bench.at(20, 4), "KV410 ACCESS  0470");
        }
        if (c.model == Model::V5) {
            EXPECT_EQ(bench.at(8, 8) + "-" + bench.at(16, 8), "KV320MX -V5.10.02");
        }

        ASSERT_TRUE(bench.crc(QStringLiteral("0042AS")));
        ASSERT_EQ(bench.length(), 21);
        EXPECT_EQ(bench.at(8, 8), QString::fromLatin1(sim::defaultSerial(c.model, QStringLiteral("0042"))));
        if (c.model == Model::V5) {
            EXPECT_EQ(bench.at(8, 8), "25V50042");
        }
        // Another controller's ID gets no answer; neither does the three-digit query.
        EXPECT_FALSE(bench.crc(QStringLiteral("0043AC")));
        EXPECT_FALSE(bench.crc(QStringLiteral("000AS")));
    } else {
        EXPECT_FALSE(bench.crc(QStringLiteral("0000AC")));  // the older device knows no "AC"
        ASSERT_TRUE(bench.crc(QStringLiteral("000AS")));
        ASSERT_EQ(bench.length(), 20);
        EXPECT_EQ(bench.at(2, 3), "042");

        ASSERT_TRUE(bench.crc(QStringLiteral("042AV")));
        if (c.model == Model::Old20) {
            ASSERT_EQ(bench.length(), 20);
            EXPECT_EQ("KV150RB " + bench.at(7, 8), "KV150RB V1.20.05");
        } else {
            ASSERT_EQ(bench.length(), 28);
            EXPECT_EQ(bench.at(7, 16), "KV150RB V2.03.11");
        }
        ASSERT_TRUE(bench.crc(QStringLiteral("042AS")));
        ASSERT_EQ(bench.length(), 20);
        EXPECT_EQ(bench.at(7, 8), c.model == Model::Old20 ? "25O20042" : "25O80042");
        EXPECT_FALSE(bench.crc(QStringLiteral("043AS")));
    }
    bench.link.CloseLink();
}

std::vector<Case> allCases() {
    std::vector<Case> cases;
    for (Via via : {Via::Tcp, Via::Pty})
        for (Model m :
             {Model::Kv410, Model::V6, Model::R6, Model::V5, Model::R5, Model::V4, Model::R4,
              Model::V3, Model::R3, Model::V2, Model::Old20, Model::Old28, Model::Unknown})
            cases.push_back({m, via});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(AllModels, Identify, ::testing::ValuesIn(allCases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return (sim::modelName(info.param.model) + QLatin1Char('_') +
                                     QLatin1String(viaName(info.param.via)))
                                 .toStdString();
                         });

TEST(IdentifyModels, EveryModelHasASerialOfItsOwn) {
    // Two simulated controllers of different models with the same ID are two units.
    QSet<QByteArray> serials;
    for (const QString& name : sim::modelNames()) {
        const Model m = *sim::modelFromName(name);
        const QByteArray serial = sim::defaultSerial(m, sim::hasThreeDigitId(m) ? QStringLiteral("001") : QStringLiteral("0001"));
        EXPECT_EQ(serial.size(), 8) << serial.constData();
        serials.insert(serial);
    }
    EXPECT_EQ(serials.size(), sim::modelNames().size());
}

TEST(IdentifyModels, NamesKindsAndLoaders) {
    EXPECT_EQ(sim::modelFromName(QStringLiteral("KV410")), Model::Kv410);
    EXPECT_EQ(sim::modelFromName(QStringLiteral("old28")), Model::Old28);
    EXPECT_FALSE(sim::modelFromName(QStringLiteral("v7")).has_value());
    const std::vector<int> kinds{7, 6, 6, 3, 3, 2, 2, 1, 1, 5, 4, 4, 0};
    for (int i = 0; i < 13; ++i) EXPECT_EQ(sim::modelKind(Model(i)), kinds[size_t(i)]) << i;
    EXPECT_EQ(sim::loaderOf(Model::R6), sim::Loader::A);
    EXPECT_EQ(sim::loaderOf(Model::V2), sim::Loader::B);
    EXPECT_EQ(sim::loaderOf(Model::Old20), sim::Loader::C);
    EXPECT_EQ(sim::loaderOf(Model::Kv410), sim::Loader::None);
}

TEST(IdentifyAddressing, ZeroIdCanBeRefused) {
    SimBench bench(Model::V3, Via::Tcp, QStringLiteral("0007"));
    bench.controller.setAnswerZeroId(false);
    ASSERT_TRUE(bench.open());
    EXPECT_FALSE(bench.crc(QStringLiteral("0000AC")));
    ASSERT_TRUE(bench.crc(QStringLiteral("0007AC")));
    EXPECT_EQ(bench.length(), 15);
}

// The product text can be set so the tool's "KV580" firmware rule can be exercised.
TEST(IdentifyAddressing, ProductTextOverride) {
    SimBench bench(Model::V4);
    bench.controller.setProduct("KV580MX");
    ASSERT_TRUE(bench.open());
    ASSERT_TRUE(bench.crc(QStringLiteral("0000DB")));
    EXPECT_EQ(bench.at(8, 8), "KV580MX ");
    EXPECT_EQ(bench.at(16, 2), "V4");
}

}  // namespace
