// The test-run frame: the endings as the window shows them, in order, and the run as an
// observer hears it (name, times, outcome, status, link, detail).
#include <gtest/gtest.h>

#include "catalogue/TestNames.h"
#include "procedures/TestRunFrame.h"
#include "tests/support/ProcedureHarness.h"

using namespace pb;
using namespace pbtest;

namespace {

const QDateTime kStart(QDate(2026, 12, 8), QTime(9, 30, 0));

struct FrameRig {
    FrameRig() { h.clock.setNow(kStart); }
    Outcome run(TestId test, const std::function<RunOutcome(TestRunFrame&)>& body) {
        TestRunFrame frame(test, h.link, h.view.settings, h.view, h.clock, &h.runs);
        return frame.run([&] { return body(frame); });
    }
    ProcedureHarness h;
};

}  // namespace

TEST(TestRunFrame, EachEndingShowsAndReportsItsOwnOutcome) {
    struct Case {
        RunOutcome body;
        Outcome shown;
        const char* status;
        LampColour lamp;
        int beepHz;
    };
    for (const Case c :
         {Case{RunOutcome::Ok, Outcome::Ok, "Command ok.", LampColour::Yellow, 1000},
          Case{RunOutcome::Interrupted, Outcome::Ok, "Command ok.", LampColour::Yellow, 1000},
          Case{RunOutcome::Error, Outcome::Error, "Command error!", LampColour::Red, 300}}) {
        FrameRig r;
        bool openInBody = false;
        const Outcome shown = r.run(TestId::SetDate, [&](TestRunFrame& frame) {
            openInBody = r.h.link.isOpen();
            frame.detail().insert("note", "body ran");
            r.h.clock.setNow(kStart.addMSecs(1500));
            return c.body;
        });
        SCOPED_TRACE(RunOutcomeName(c.body).toStdString());
        EXPECT_EQ(shown, c.shown);
        EXPECT_TRUE(openInBody);
        EXPECT_FALSE(r.h.link.isOpen());
        EXPECT_EQ(r.h.view.statuses, QStringList({"Connecting device ...", c.status}));
        EXPECT_EQ(r.h.view.busyChanges, QList<bool>({true, false}));
        EXPECT_EQ(r.h.view.lamp(), c.lamp);
        EXPECT_EQ(r.h.view.lastBeepHz(), c.beepHz);
        EXPECT_FALSE(r.h.view.waitCursor);
        EXPECT_EQ(r.h.view.log, QStringList({"started set-date", "ended set-date"}));

        ASSERT_EQ(r.h.runs.starts.size(), 1);
        EXPECT_EQ(pb::TestName(r.h.runs.starts[0].test), "set-date");
        EXPECT_EQ(r.h.runs.starts[0].startedMs, kStart.toMSecsSinceEpoch());
        ASSERT_EQ(r.h.runs.reports.size(), 1);
        const RunReport& report = r.h.runs.last();
        EXPECT_EQ(report.test, TestId::SetDate);
        EXPECT_EQ(report.outcome, c.body);
        EXPECT_EQ(report.statusText, c.status);
        EXPECT_EQ(report.endedMs - report.startedMs, 1500);
        EXPECT_EQ(report.link.ip, "127.0.0.1");
        EXPECT_EQ(report.link.tcpPort, r.h.view.settings.tcpPort);
        EXPECT_EQ(report.detail.value("note").toString(), "body ran");
    }
}

TEST(TestRunFrame, ALinkThatDoesNotOpenNeverRunsTheBody) {
    FrameRig r;
    r.h.view.settings.tcpPort = "0";
    bool bodyRan = false;
    EXPECT_EQ(r.run(TestId::Reboot,
                    [&](TestRunFrame&) {
                        bodyRan = true;
                        return RunOutcome::Ok;
                    }),
              Outcome::OpenFailed);
    EXPECT_FALSE(bodyRan);
    EXPECT_TRUE(r.h.view.status().startsWith("Connect device error!")) << r.h.view.status().toStdString();
    EXPECT_EQ(r.h.view.lamp(), LampColour::Red);
    EXPECT_EQ(r.h.view.lastBeepHz(), 300);
    EXPECT_FALSE(r.h.view.busy);
    EXPECT_FALSE(r.h.view.waitCursor);
    ASSERT_EQ(r.h.runs.reports.size(), 1);
    EXPECT_EQ(r.h.runs.last().outcome, RunOutcome::OpenFailed);
    EXPECT_TRUE(r.h.runs.last().statusText.startsWith("Connect device error!")) << r.h.runs.last().statusText.toStdString();
    EXPECT_EQ(r.h.runs.last().link.tcpPort, "0");  // the settings that failed
    EXPECT_EQ(r.h.runs.last().cause.code, CauseCode::LinkOpenFailed);
    EXPECT_FALSE(r.h.runs.last().cause.text("kind").isEmpty());
}

TEST(TestRunFrame, RunsWithoutAnObserverAndNamesEveryTestStably) {
    ProcedureHarness h;
    TestRunFrame frame(TestId::Alarm, h.link, h.view.settings, h.view, h.clock);
    EXPECT_EQ(frame.run([] { return RunOutcome::Ok; }), Outcome::Ok);
    EXPECT_TRUE(h.runs.reports.isEmpty());

    QStringList names;
    for (TestId t : {TestId::Connect, TestId::SetDate, TestId::Alarm, TestId::FactoryInitial,
                     TestId::Reboot, TestId::Dido, TestId::Polling, TestId::ControllerCommand,
                     TestId::ModuleCommand, TestId::FirmwareUpgrade})
        names << TestName(t);
    EXPECT_EQ(names,
              QStringList({"connect", "set-date", "alarm", "factory-initial", "reboot", "dido",
                           "polling", "controller-command", "module-command", "firmware-upgrade"}));
}
