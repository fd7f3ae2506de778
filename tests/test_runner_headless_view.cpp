// The one headless view, as the command line and the recipe runs use it, against the
// simulated controller: what it hands its sink (statuses once each, bars, polled records
// and messages, DI/DO cycles), when a DI/DO run stops by itself, how a cancel is honoured
// and how the runs reach the keepers.
#include <gtest/gtest.h>

#include "firmware/FirmwareUpgrade.h"
#include "procedures/CommandConsoles.h"
#include "procedures/DidoTest.h"
#include "procedures/PollingTest.h"
#include "runner/HeadlessView.h"
#include "tests/support/SimHarness.h"
#include "tests/test_firmware_rig.h"

using namespace pb;
using namespace pbtest;

namespace {

class RecordingSink : public HeadlessSink {
public:
    void status(const QString& text, bool) override { statuses << text; }
    void progress(const QString& phase, int done, int total) override {
        moves << QStringLiteral("%1 %2/%3").arg(phase).arg(done).arg(total);
    }
    void phaseBegins(const QString& phase, int total) override {
        moves << QStringLiteral("%1 begins %2").arg(phase).arg(total);
    }
    void polled(const PollingShown& shown) override { shownInPanels << shown; }
    qint64 elapsedMs() const override { return elapsed; }

    QStringList statuses;
    QStringList moves;
    QList<PollingShown> shownInPanels;
    qint64 elapsed = 0;
};

// The view over a simulated controller, with a cancel the test asks for.
struct Bench {
    explicit Bench(sim::Model model, const QString& id = QString()) : controller(model, id) {
        ServeSim(controller, Wire::Tcp, tcp, pty, settings);
        view.keepers << &runs;
    }

    sim::Controller controller;
    std::unique_ptr<sim::TcpServer> tcp;
    std::unique_ptr<sim::PtyServer> pty;
    Link link;
    LinkSettings settings;
    ControllerState state;
    RecordingSink sink;
    bool cancel = false;
    HeadlessView view{link, state, sink, [this] { return cancel; }};
    RecordingClock clock;
    RecordingRunObserver runs;
    ProcedureContext ctx{link, settings, view, view, view, view, view, clock, state, &view};
};

}  // namespace

TEST(HeadlessView, PolledRecordsAndMessagesGoToTheSinkWithTheCountsOfTheirRun) {
    Bench b(sim::Model::Kv410);
    const PollingResult r = PollingTestClick(b.ctx);
    ASSERT_EQ(r, Outcome::Ok);
    ASSERT_EQ(b.sink.shownInPanels.size(), 5);
    for (int i = 0; i < 5; ++i) {
        const PollingShown& s = b.sink.shownInPanels[i];
        EXPECT_TRUE(s.record);
        EXPECT_EQ(s.records, i + 1);
        EXPECT_EQ(s.texts, i + 1);
        EXPECT_EQ(s.stored, 5);  // told before the first record
        EXPECT_EQ(s.date, r.records[i].dateText);
        EXPECT_EQ(s.text, r.records[i].text);
    }
    // Once each, in order: a repeat of the last status is not told again.
    EXPECT_EQ(b.sink.statuses, QStringList({"Connecting device ...", "Pooling data test", "Command ok."}));

    // A second run counts from one again; an empty store is a message, not a record.
    b.sink.shownInPanels.clear();
    b.controller.events().clear();
    ASSERT_EQ(PollingTestClick(b.ctx), Outcome::Ok);
    ASSERT_EQ(b.sink.shownInPanels.size(), 1);
    EXPECT_FALSE(b.sink.shownInPanels[0].record);
    EXPECT_EQ(b.sink.shownInPanels[0].date, "");
    EXPECT_EQ(b.sink.shownInPanels[0].text, "No records stored");
    EXPECT_EQ(b.sink.shownInPanels[0].records, 0);
    EXPECT_EQ(b.sink.shownInPanels[0].texts, 1);
    EXPECT_EQ(b.sink.shownInPanels[0].stored, 0);
}

TEST(HeadlessView, ADidoRunStopsByItselfAfterItsCyclesWithTheTickedOutputs) {
    Bench b(sim::Model::Kv410, "0123");
    b.state.deviceId = "0123";
    b.state.modelKind = 7;
    b.view.continuous = true;
    b.view.dido = {QStringLiteral("0101"), 3, 0};

    const DidoResult r = DidoTestClick(b.ctx, DidoEnding::NeedsAnsweredRead);
    b.view.didoEnded();

    EXPECT_EQ(r, Outcome::Ok);
    EXPECT_EQ(r.cycles, 3);
    EXPECT_TRUE(r.closingSent);
    EXPECT_EQ(b.sink.moves, QStringList({"dido 1/3", "dido 2/3", "dido 3/3"}));
    QStringList cycle{"0123JC00210002", "0123JC00410002", "0123DG0"};
    EXPECT_EQ(b.controller.commands(), cycle + cycle + cycle + QStringList{"0123JD"});
}

TEST(HeadlessView, ADidoRunOfSomeSecondsEndsOnceTheyHavePassed) {
    Bench b(sim::Model::Kv410, "0123");
    b.state.deviceId = "0123";
    b.state.modelKind = 7;
    b.view.dido = {QStringLiteral("0000"), 0, 2};
    int reads = 0;
    QObject::connect(&b.controller, &sim::Controller::logged, &b.controller, [&](const sim::LogEntry& e) {
        if (e.dir == sim::LogEntry::Received && e.text == "0123DG0" && ++reads == 2) b.sink.elapsed = 2000;
    });
    const DidoResult r = DidoTestClick(b.ctx);
    b.view.didoEnded();
    EXPECT_EQ(r.cycles, 3);  // the third cycle began after the time was up, and is the last
    EXPECT_EQ(b.sink.moves.last(), "dido 3/0");  // no count to reach: no total
}

TEST(HeadlessView, ACancelStopsALoopAtItsCycleAndClosesTheLinkOfAnythingElse) {
    {
        SCOPED_TRACE("DI/DO: the loop ends its cycle and switches everything off");
        Bench b(sim::Model::Kv410, "0123");
        b.state.deviceId = "0123";
        b.state.modelKind = 7;
        b.view.continuous = true;
        QObject::connect(&b.controller, &sim::Controller::logged, &b.controller, [&](const sim::LogEntry& e) {
            if (e.dir == sim::LogEntry::Received && e.text == "0123DG0") b.cancel = true;
        });
        const DidoResult r = DidoTestClick(b.ctx, DidoEnding::NeedsAnsweredRead);
        EXPECT_EQ(r, Outcome::Ok);
        EXPECT_TRUE(r.closingSent);
        EXPECT_FALSE(b.view.closedLinkOnCancel());
        EXPECT_EQ(b.runs.last().outcome, RunOutcome::Interrupted);  // a cancel is no verdict
    }
    {
        SCOPED_TRACE("an upgrade: the link closes at the next block, the run is kept as interrupted");
        FirmwareRig rig(6);
        rig.writeImage(PatternImage(6 * 512));
        ControllerState state;
        RecordingSink sink;
        bool cancel = false;
        HeadlessView view(rig.link, state, sink, [&] { return cancel; });
        view.keepers << &rig.runs;
        QObject::connect(&rig.controller, &sim::Controller::logged, &rig.controller, [&](const sim::LogEntry& e) {
            if (e.dir == sim::LogEntry::Received && e.text.startsWith("0001Zp0400")) cancel = true;
        });
        FirmwareUpgrade upgrade(rig.link, rig.view.settings, view, view, rig.clock);
        upgrade.setObserver(&view);
        const UpgradeResult r = upgrade.run(rig.job, rig.buffer);
        EXPECT_TRUE(view.closedLinkOnCancel());
        EXPECT_FALSE(rig.link.isOpen());
        EXPECT_EQ(r.phase, "program");
        EXPECT_EQ(r.blocksProgrammed, 3);
        EXPECT_TRUE(rig.commandsStarting("Zp0600").isEmpty());  // nothing after the stop
        // The bars as the sink saw them: the phase's total first, then block by block.
        EXPECT_EQ(sink.moves, QStringList({"program begins 6", "program 1/6", "program 2/6", "program 3/6"}));
        ASSERT_FALSE(rig.runs.reports.isEmpty());
        EXPECT_EQ(rig.runs.last().outcome, RunOutcome::Interrupted);
    }
}
