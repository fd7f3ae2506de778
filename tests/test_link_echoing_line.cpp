// A two-wire RS-485 line whose adapter hears itself: every command comes back before its
// reply. Over a pty, identify, the system commands, DI/DO, the consoles and an upgrade of
// each loader protocol pass, and the link takes each reply byte for byte as the controller
// sent it, the echo skipped.
#include <gtest/gtest.h>

#include "catalogue/TestNames.h"
#include "procedures/CommandConsoles.h"
#include "procedures/ConnectAndIdentify.h"
#include "procedures/DidoTest.h"
#include "procedures/SystemCommands.h"
#include "tests/support/SimHarness.h"
#include "tests/test_firmware_rig.h"

using namespace pb;
using namespace pbtest;

namespace {

// What crossed the line: the frames the link sent and the replies it took, beside what
// the controller received and sent (the echo is the line's, not the controller's).
struct Wire {
    QList<QByteArray> linkSent, linkReceived, simReceived, simSent;
    void follow(pb::Link& link, sim::Controller& controller) {
        QObject::connect(&link, &pb::Link::traffic, [this](const pb::TrafficRecord& r) {
            if (r.direction == TrafficRecord::Direction::Sent) linkSent << r.bytes;
            if (r.direction == TrafficRecord::Direction::Received) linkReceived << r.bytes;
        });
        QObject::connect(&controller, &sim::Controller::logged, [this](const sim::LogEntry& e) {
            (e.dir == sim::LogEntry::Received ? simReceived : simSent) << e.frame;
        });
    }
    void expectByteExact() const {
        EXPECT_FALSE(linkSent.isEmpty());
        EXPECT_EQ(linkSent, simReceived);
        EXPECT_EQ(linkReceived, simSent);
    }
};

TEST(EchoingLine, EveryTestPassesAndEveryReplyIsTakenAsSent) {
    SimHarness h(sim::Model::V5, QStringLiteral("0123"), pbtest::Wire::Pty);
    ASSERT_TRUE(h.serving());
    h.controller.faults().echoCommands = true;
    Wire wire;
    wire.follow(h.link, h.controller);
    h.view.id = "0123";
    h.controller.setInputs("10100001");

    EXPECT_EQ(ConnectAndIdentify(h.ctx), Outcome::Ok);
    EXPECT_EQ(h.view.version, "KV320MX -V5.10.02");
    EXPECT_EQ(SetDateTime(h.ctx), Outcome::Ok);
    EXPECT_EQ(AlarmTest(h.ctx, 3), Outcome::Ok);
    EXPECT_EQ(h.controller.alarm(), 3);
    EXPECT_EQ(FactoryInitial(h.ctx), Outcome::Ok);
    EXPECT_EQ(Reboot(h.ctx), Outcome::Ok);

    h.view.outputs = {false, true, false, true, false};
    QObject::connect(&h.controller, &sim::Controller::logged, &h.controller, [&h](const sim::LogEntry& e) {
        if (e.dir == sim::LogEntry::Received && e.text == "0123DG0" && h.state.didoRunning) DidoTestClick(h.ctx);
    });
    EXPECT_EQ(DidoTestClick(h.ctx), Outcome::Ok);
    EXPECT_EQ(h.runs.last().detail.value("cycles").toInt(), 1);

    EXPECT_EQ(ControllerCommand(h.ctx, "AB"), Outcome::Ok);
    EXPECT_TRUE(h.view.controllerReply.startsWith("<ETX>0123")) << h.view.controllerReply.toStdString();
    EXPECT_EQ(ModuleCommand(h.ctx, 0, "1", "B"), Outcome::Ok);
    EXPECT_TRUE(h.view.moduleReply.contains("KVPA1")) << h.view.moduleReply.toStdString();

    QStringList runs;
    for (const RunReport& r : h.runs.reports) runs << TestName(r.test) + ":" + RunOutcomeName(r.outcome);
    EXPECT_EQ(runs, QStringList({"connect:ok", "set-date:ok", "alarm:ok", "factory-initial:ok", "reboot:ok",
                                 "dido:watched", "controller-command:ok", "module-command:ok"}));
    wire.expectByteExact();
}

// Protocol A (kind 3), B (kind 1) and C (kind 4).
class EchoingUpgrade : public ::testing::TestWithParam<int> {};

TEST_P(EchoingUpgrade, TheImageLandsWhole) {
    FirmwareRig rig(GetParam(), Line::Pty);
    rig.controller.faults().echoCommands = true;
    Wire wire;
    wire.follow(rig.link, rig.controller);
    const QByteArray image = PatternImage(rig.modelCase.blockSize * 6);
    rig.writeImage(image);
    ASSERT_EQ(rig.run(), pb::UpgradeOutcome::Upgraded) << rig.failure.toStdString();
    EXPECT_EQ(rig.controller.flash().left(image.size()), image);
    wire.expectByteExact();
}

INSTANTIATE_TEST_SUITE_P(EachProtocol, EchoingUpgrade, ::testing::Values(3, 1, 4));

}  // namespace
