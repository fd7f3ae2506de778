// How the line carried a run goes with it: a peer that loses every tenth reply and
// garbles the checksum of every twentieth that goes out, noise before the lead byte and
// an echoing two-wire line are each counted in the run's port health, and an adapter's
// identity is kept with its link facts.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "catalogue/TestNames.h"
#include "link/PortHealth.h"
#include "link/ReplyBuffer.h"
#include "procedures/ConnectAndIdentify.h"
#include "procedures/SystemCommands.h"
#include "tests/support/SimHarness.h"
#include "tests/test_firmware_rig.h"

using namespace pbtest;

namespace {

pb::PortHealth HealthOf(const pb::RunReport& run) {
    EXPECT_TRUE(run.detail.contains(QStringLiteral("portHealth"))) << pb::TestName(run.test).toStdString();
    return pb::PortHealthFromJson(run.detail.value(QStringLiteral("portHealth")).toObject());
}

TEST(ReplyAssembly, CountsWhatCameBeforeTheReplyItTook) {
    pb::ReplyAssembler a;
    a.reset(pb::kEtx);
    for (char c : QByteArray("\x01" "0001AB\x02" "1234\r", 12)) a.feed(quint8(c));  // an echo of a command
    EXPECT_FALSE(a.complete());
    EXPECT_EQ(a.skipped(), 0) << "nothing is counted for a reply still to come";
    for (char c : QByteArray("\x03" "0001ab\x04" "\r", 9)) a.feed(quint8(c));
    ASSERT_TRUE(a.complete());
    EXPECT_EQ(a.skipped(), 12);
    a.reset(pb::kEtx);
    for (char c : QByteArray("\x03" "00\x03" "0001ab\x04" "\r", 12)) a.feed(quint8(c));  // a restart
    EXPECT_EQ(a.skipped(), 3);
}

// Protocol A (kind 3) and B (kind 1): every lost reply and every bad checksum is retried and
// the image still lands; the run counts exactly what the line did.
class PoorLine : public ::testing::TestWithParam<int> {};

TEST_P(PoorLine, EveryLostReplyAndBadChecksumIsCountedAndRetried) {
    FirmwareRig rig(GetParam(), Line::Pty);
    const QByteArray image = PatternImage(rig.modelCase.blockSize * 14);
    rig.writeImage(image);
    // The loader's block exchanges only: what comes before them and the restart command
    // after them have no second try.
    bool restarting = false;
    QObject::connect(&rig.controller, &sim::Controller::logged, &rig.controller, [&](const sim::LogEntry& e) {
        if (e.dir != sim::LogEntry::Received) return;
        if (e.text == rig.modelCase.id + u'X') restarting = true;
        const bool poor = !restarting && !rig.controller.loaderAddresses().isEmpty();
        rig.controller.faults().dropEveryNth = poor ? 10 : 0;
        rig.controller.faults().garbleEveryNth = poor ? 20 : 0;
    });
    ASSERT_EQ(rig.run(), pb::UpgradeOutcome::Upgraded) << rig.failure.toStdString();
    EXPECT_EQ(rig.controller.flash().left(image.size()), image);

    const pb::PortHealth h = HealthOf(rig.runs.last());
    EXPECT_GE(rig.controller.repliesLost(), 2);
    EXPECT_GE(rig.controller.repliesGarbled(), 1);
    EXPECT_EQ(h.noReplies, rig.controller.repliesLost());
    EXPECT_EQ(h.badChecksums, rig.controller.repliesGarbled());
    EXPECT_EQ(h.retries, h.noReplies + h.badChecksums);
    EXPECT_EQ(h.skippedBytes, 0);
}

INSTANTIATE_TEST_SUITE_P(LoaderProtocols, PoorLine, ::testing::Values(3, 1));

TEST(PortHealthOfARun, NoiseAndAnEchoAreSkippedBytesAndAGoodLineCountsNothing) {
    SimHarness h(sim::Model::Kv410, QStringLiteral("0001"), Wire::Pty);
    ASSERT_TRUE(h.serving());
    h.view.id = "0001";
    qint64 sentBytes = 0, answered = 0, lastSent = 0;
    QObject::connect(&h.link, &pb::Link::traffic, [&](const pb::TrafficRecord& r) {
        if (r.direction == pb::TrafficRecord::Direction::Sent) lastSent = r.bytes.size(), sentBytes += lastSent;
        if (r.direction == pb::TrafficRecord::Direction::Received) answered += lastSent;
    });

    EXPECT_EQ(pb::ConnectAndIdentify(h.ctx), pb::Outcome::Ok);
    EXPECT_EQ(HealthOf(h.runs.last()), pb::PortHealth{});

    h.controller.faults().noiseBeforeLead = "\r\n~~";
    const int repliesBefore = h.controller.log().size();
    EXPECT_EQ(pb::ConnectAndIdentify(h.ctx), pb::Outcome::Ok);
    int replies = 0;
    for (qsizetype i = repliesBefore; i < h.controller.log().size(); ++i)
        if (h.controller.log().at(i).dir == sim::LogEntry::Sent) ++replies;
    ASSERT_GT(replies, 0);
    EXPECT_EQ(HealthOf(h.runs.last()).skippedBytes, 4 * replies);

    h.controller.faults().noiseBeforeLead.clear();
    h.controller.faults().echoCommands = true;
    sentBytes = answered = 0;
    EXPECT_EQ(pb::SetDateTime(h.ctx), pb::Outcome::Ok);
    EXPECT_GT(answered, 0);
    EXPECT_EQ(HealthOf(h.runs.last()).skippedBytes, answered) << "the echo of every answered command";
    QCoreApplication::processEvents();
}

TEST(PortHealthOfARun, TheAdapterIdentityGoesWithTheLinkFactsAndAFailedOpenHasNoHealth) {
    SimHarness h(sim::Model::Kv410, QStringLiteral("0001"), Wire::Pty);
    ASSERT_TRUE(h.serving());
    h.view.id = "0001";
    const QString port = h.view.settings.portName;
    h.link.setPortList([port] {
        pb::PortFacts ftdi{port, QStringLiteral("FT232R USB UART"), QStringLiteral("FTDI"), 0x0403, 0x6001,
                           QStringLiteral("A10K3Z9Q")};
        return QList<pb::PortFacts>{ftdi};
    });
    EXPECT_EQ(pb::ConnectAndIdentify(h.ctx), pb::Outcome::Ok);
    EXPECT_EQ(h.runs.last().detail.value("link").toObject().value("adapter").toString(),
              QStringLiteral("usb:0403:6001:sn=A10K3Z9Q"));

    h.link.setPortList([] { return QList<pb::PortFacts>{}; });
    EXPECT_EQ(pb::ConnectAndIdentify(h.ctx), pb::Outcome::Ok);
    EXPECT_FALSE(h.runs.last().detail.contains("link")) << "a port the system does not list is no adapter";

    h.view.settings.portName = QStringLiteral("/dev/pts/nonesuch");
    EXPECT_EQ(pb::ConnectAndIdentify(h.ctx), pb::Outcome::OpenFailed);
    EXPECT_FALSE(h.runs.last().detail.contains("portHealth"));
    QCoreApplication::processEvents();
}

}  // namespace
