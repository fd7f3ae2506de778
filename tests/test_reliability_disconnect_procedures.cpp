// The line to the controller dies under a procedure, headless: the link and the DI/DO
// loop against the simulated controller over TCP on 127.0.0.1 and over a pty.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "i18n/Messages.h"
#include "procedures/DidoTest.h"
#include "tests/support/FdCount.h"
#include "tests/support/SimHarness.h"

using namespace pb;
using namespace pbtest;

namespace {

// The peer resets its socket, or the adapter is pulled.
void hangUp(SimHarness& h) {
    if (h.tcp) h.tcp->close();
    if (h.pty) h.pty->closeMaster();
}

// Lets events flow for ms, as a pause in the window would.
void idle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

class LineGone : public ::testing::TestWithParam<Wire> {};

// Gone while nobody waits for a reply: the next transaction fails at once and the link
// lets go of the device.
TEST_P(LineGone, BetweenTransactionsTheNextOneFailsAtOnce) {
    SimHarness h(sim::Model::V5, "0123", GetParam());
    const int fdsBefore = OpenFdCount();
    ASSERT_TRUE(h.link.OpenLink(h.view.settings));
    ASSERT_TRUE(h.link.SendCrcCommand("0123AC"));
    hangUp(h);
    idle(50);

    // Not a time-out: the device is seen gone, or the link already let go of it.
    const Exchange x = h.link.SendCrcCommand("0123DB");
    EXPECT_TRUE(x.error == LinkError::DeviceGone || x.error == LinkError::NotOpen)
        << LinkErrorName(x.error).toStdString() << " " << x.detail.toStdString();
    EXPECT_TRUE(x.command.isEmpty());  // nothing went out
    EXPECT_FALSE(h.link.isOpen());
    EXPECT_EQ(h.link.SendCrcCommand("0123DB").error, LinkError::NotOpen);
    h.link.CloseLink();
    h.tcp.reset();
    h.pty.reset();
    EXPECT_EQ(OpenFdCount(), fdsBefore - (GetParam() == Wire::Tcp ? 1 : 2));
}

// Gone with no turn of the event loop in between (a pause that does not let events
// flow): the transaction still fails at once, named as the device failing, and the link
// lets go of the device.
TEST_P(LineGone, WithNoEventsInBetweenTheNextOneFailsAsADeviceFailure) {
    SimHarness h(sim::Model::V5, "0123", GetParam());
    ASSERT_TRUE(h.link.OpenLink(h.view.settings));
    ASSERT_TRUE(h.link.SendCrcCommand("0123AC"));
    hangUp(h);

    const Exchange x = h.link.SendCrcCommand("0123DB");
    EXPECT_EQ(x.error, LinkError::DeviceGone) << x.detail.toStdString();
    EXPECT_TRUE(x.detail.startsWith("device failed")) << x.detail.toStdString();
    EXPECT_FALSE(h.link.isOpen());
}

// Gone half-way through a reply: the transaction fails when the line does, not at the
// reply limit, and the link closes itself.
TEST_P(LineGone, MidReplyTheTransactionFailsWhenTheLineDoes) {
    SimHarness h(sim::Model::V5, "0123", GetParam());
    ASSERT_TRUE(h.link.OpenLink(h.view.settings));
    h.controller.faults().closeMidReply = true;
    // Named as the device failing, not as the reply limit running out.
    const Exchange x = h.link.SendCrcCommand("0123DB");
    EXPECT_EQ(x.error, LinkError::DeviceGone) << x.detail.toStdString();
    EXPECT_FALSE(x.command.isEmpty());
    EXPECT_FALSE(h.link.isOpen());
}

// The DI/DO loop does not report failed replies, but a line that is gone ends it: it
// stops by itself and says so, instead of cycling on and ending with "Command ok.".
TEST_P(LineGone, TheDidoLoopEndsByItselfWithAnError) {
    SimHarness h(sim::Model::V5, "0123", GetParam());
    h.state.deviceId = "0123";
    h.view.outputs[1] = true;
    h.controller.setInputs("11111111");
    int inputQueries = 0;
    QObject::connect(
        &h.controller, &sim::Controller::logged, &h.controller, [&](const sim::LogEntry& e) {
            if (e.dir == sim::LogEntry::Received && e.text == "0123DG0" && ++inputQueries == 3)
                QTimer::singleShot(0, &h.controller, [&h] { hangUp(h); });
        });
    // A guard only: should the loop cycle on, it is cancelled after many more cycles.
    bool cancelledByGuard = false;
    h.view.onProcessEvents = [&] {
        if (h.view.processEventsCalls > 2000 && h.state.didoRunning) {
            cancelledByGuard = true;
            h.state.didoRunning = false;
        }
    };

    EXPECT_EQ(DidoTestClick(h.ctx), Outcome::Error);
    EXPECT_FALSE(cancelledByGuard);
    EXPECT_TRUE(h.view.status().startsWith("Command error! the line was lost after ")) << h.view.status().toStdString();
    EXPECT_EQ(h.view.lamp(), LampColour::Red);
    EXPECT_EQ(h.view.lastBeepHz(), kLowBeepHz);
    EXPECT_FALSE(h.view.busy);
    EXPECT_FALSE(h.view.waitCursor);
    EXPECT_FALSE(h.link.isOpen());
    EXPECT_FALSE(h.state.didoRunning);
    EXPECT_TRUE(h.view.allInputsWhite());
    EXPECT_FALSE(h.view.outputs[1]);
    EXPECT_FALSE(h.view.testRunning());
    EXPECT_EQ(h.runs.last().outcome, RunOutcome::Error);
    // Nothing was sent once the line was gone: the closing "JD" cannot reach anyone.
    EXPECT_EQ(h.controller.commands().count("0123JD"), 0);
}

INSTANTIATE_TEST_SUITE_P(BothLines, LineGone, ::testing::Values(Wire::Tcp, Wire::Pty),
                         [](const auto& info) { return std::string(WireName(info.param)); });

}  // namespace
