// With the window's clock, events keep flowing during every reply wait and every pause:
// a 10 ms timer is never held up for 50 ms while a procedure runs.
#include <gtest/gtest.h>

#include "procedures/ConnectAndIdentify.h"
#include "procedures/DidoTest.h"
#include "procedures/SystemCommands.h"
#include "tests/support/GapMeter.h"
#include "tests/support/SimHarness.h"

using namespace pb;
using namespace pbtest;

namespace {

constexpr qint64 kMaxGapMs = 50;

// The harness with the window's real event-loop clock in place of the recording one.
struct LiveHarness : SimHarness {
    LiveHarness(sim::Model model, const QString& id, Wire wire, Clock& clock)
        : SimHarness(model, id, wire) {
        live.emplace(ProcedureContext{link, view, view, view, view, view, clock, state});
    }
    std::optional<ProcedureContext> live;
};

}  // namespace

TEST(Responsiveness, RealPausesAndSilentRepliesKeepEventsFlowing) {
    for (Wire wire : {Wire::Tcp, Wire::Pty}) {
        EventLoopClock clock;
        LiveHarness h(sim::Model::Old20, "012", wire, clock);
        h.view.id = "0123";  // "AC" goes unanswered three times: three full reply waits
        GapMeter meter;
        EXPECT_EQ(ConnectAndIdentify(*h.live), Outcome::Ok);
        EXPECT_EQ(Reboot(*h.live), Outcome::Ok);  // the real 3500 ms wait
        EXPECT_LT(meter.longestGapMs(), kMaxGapMs) << WireName(wire);
        EXPECT_GT(meter.ticks(), 100);
    }
}

TEST(Responsiveness, FactoryInitialWaitKeepsEventsFlowing) {
    ShortenedEventLoopClock clock(20);
    LiveHarness h(sim::Model::Old28, "012", Wire::Tcp, clock);
    h.state.deviceId = "012";
    h.state.modelKind = 4;
    GapMeter meter;
    EXPECT_EQ(FactoryInitial(*h.live), Outcome::Ok);
    EXPECT_EQ(clock.asked, QList<int>({100, 16000}));
    EXPECT_LT(meter.longestGapMs(), kMaxGapMs);
}

TEST(Responsiveness, DidoLoopWithASilentControllerKeepsEventsFlowingAndStopsOnClick) {
    EventLoopClock clock;
    LiveHarness h(sim::Model::V6, "0123", Wire::Tcp, clock);
    h.state.deviceId = "0123";
    h.view.outputs[2] = true;
    h.controller.faults().silentPrefixes = {"DG0"};
    QTimer click;  // the second click, from the event loop as a user's would come
    click.setSingleShot(true);
    QObject::connect(&click, &QTimer::timeout, [&] { DidoTestClick(*h.live); });
    click.start(1500);
    GapMeter meter;
    EXPECT_EQ(DidoTestClick(*h.live), Outcome::Ok);
    EXPECT_LT(meter.longestGapMs(), kMaxGapMs);
    const QStringList sent = h.controller.commands();
    EXPECT_EQ(sent.count("0123DG0"), 2);  // the cycle in progress at the click finished
    EXPECT_EQ(sent.last(), "0123JD");
    EXPECT_EQ(sent.count("0123JD"), 1);
    EXPECT_FALSE(h.link.isOpen());
}
