// With the window's clock, events keep flowing during every reply wait and every pause:
// an event posted as each wait begins is handled before it ends, and a timer ticks.
#include <gtest/gtest.h>

#include "procedures/ConnectAndIdentify.h"
#include "procedures/DidoTest.h"
#include "procedures/SystemCommands.h"
#include "tests/support/EventWitness.h"
#include "tests/support/SimHarness.h"

using namespace pb;
using namespace pbtest;

namespace {

// The harness with the window's real event-loop clock in place of the recording one.
struct LiveHarness : SimHarness {
    // Every wait of the link and of the clock served events, and there were some.
    void expectEveryWaitServed(const WaitWitness& w, const ShortenedEventLoopClock& c) const {
        EXPECT_GT(w.waits(), 0);
        EXPECT_EQ(w.servedWaits(), w.waits());
        EXPECT_GT(c.pauses(), 0);
        EXPECT_EQ(c.servedPauses(), c.pauses());
    }
    LiveHarness(sim::Model model, const QString& id, Wire wire, Clock& clock)
        : SimHarness(model, id, wire) {
        live.emplace(ProcedureContext{link, view.settings, view, view, view, view, view, clock, state});
    }
    std::optional<ProcedureContext> live;
};

}  // namespace

TEST(Responsiveness, RealPausesAndSilentRepliesKeepEventsFlowing) {
    for (Wire wire : {Wire::Tcp, Wire::Pty}) {
        ShortenedEventLoopClock clock(1);  // real pauses
        LiveHarness h(sim::Model::Old20, "012", wire, clock);
        h.view.id = "0123";  // "AC" goes unanswered three times: three full reply waits
        WaitWitness witness(h.link);
        EXPECT_EQ(ConnectAndIdentify(*h.live), Outcome::Ok);
        const int ticksBeforeReboot = witness.ticks();
        EXPECT_EQ(Reboot(*h.live), Outcome::Ok);  // the real 3500 ms wait
        SCOPED_TRACE(WireName(wire));
        h.expectEveryWaitServed(witness, clock);
        EXPECT_GE(witness.waits(), 8);  // AC x3, AS, AV, AS; AJ, AS
        EXPECT_GT(witness.ticks() - ticksBeforeReboot, 10);  // the timer ran on in the wait
        // The status line counted the wait down by the window clock's own timer: from
        // 4 for the first half second, a lower figure at each tick that came.
        QList<int> figures;
        for (const QString& s : h.view.statuses)
            if (s.startsWith("Set reboot (")) figures.append(s.section('(', 1).section(' ', 0, 0).toInt());
        ASSERT_FALSE(figures.isEmpty());
        EXPECT_EQ(figures.first(), 4);
        for (qsizetype i = 1; i < figures.size(); ++i) EXPECT_LT(figures[i], figures[i - 1]) << i;
        EXPECT_GE(figures.last(), 1);
    }
}

TEST(Responsiveness, FactoryInitialWaitKeepsEventsFlowing) {
    ShortenedEventLoopClock clock(20);
    LiveHarness h(sim::Model::Old28, "012", Wire::Tcp, clock);
    h.state.deviceId = "012";
    h.state.modelKind = 4;
    WaitWitness witness(h.link);
    EXPECT_EQ(FactoryInitial(*h.live), Outcome::Ok);
    EXPECT_EQ(clock.asked, QList<int>({100, 16000}));
    h.expectEveryWaitServed(witness, clock);
    EXPECT_EQ(witness.waits(), 2);  // "AI", then "AS"
}

TEST(Responsiveness, DidoLoopWithASilentControllerKeepsEventsFlowingAndStopsOnClick) {
    ShortenedEventLoopClock clock(1);
    LiveHarness h(sim::Model::V6, "0123", Wire::Tcp, clock);
    h.state.deviceId = "0123";
    h.view.outputs[2] = true;
    h.controller.faults().silentPrefixes = {"DG0"};
    // The second click comes from the event loop, as a user's would, during the wait for
    // the second "DG0" (which stays unanswered for the whole reply limit).
    int statusQueries = 0;
    bool clicked = false;
    QObject::connect(&h.link, &Link::traffic, [&](const TrafficRecord& r) {
        if (r.direction != TrafficRecord::Direction::Sent || !r.bytes.contains("DG0")) return;
        if (++statusQueries == 2)
            QTimer::singleShot(0, [&] {
                clicked = true;
                DidoTestClick(*h.live);
            });
    });
    WaitWitness witness(h.link);
    EXPECT_EQ(DidoTestClick(*h.live), Outcome::Ok);  // returns only after the click came
    EXPECT_TRUE(clicked);
    h.expectEveryWaitServed(witness, clock);
    const QStringList sent = h.controller.commands();
    EXPECT_EQ(sent.count("0123DG0"), 2);  // the cycle in progress at the click finished
    EXPECT_EQ(sent.last(), "0123JD");
    EXPECT_EQ(sent.count("0123JD"), 1);
    EXPECT_FALSE(h.link.isOpen());
}
