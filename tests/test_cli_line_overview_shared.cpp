// The line at a glance from real stations: panelbench-cli processes with station names
// of their own against simulated controllers, writing to the test cluster. One station
// tests a unit and ends; two run DI/DO loops. A minute after the ended station's last
// beat (the overview's clock set there, no waiting) the overview shows the two running
// and the ended one away with its unit of the day. A server that takes connections but
// never answers leaves a command line's test as it would be without it.
#include <gtest/gtest.h>

#include <signal.h>

#include <QDeadlineTimer>
#include <QProcessEnvironment>
#include <QTcpServer>
#include <QTest>

#include "app/LineOverviewModel.h"
#include "app/LineOverviewWindow.h"
#include "records/sync/LineOverview.h"
#include "records/store/RecordStore.h"
#include "records/sync/StationHeartbeat.h"
#include "tests/support/CliRig.h"
#include "tests/support/PgServer.h"

using namespace pbtest;
using namespace pb::records;

namespace {

struct Station {
    QTemporaryDir dir;
    QProcessEnvironment env = [this] {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
        e.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        return e;
    }();
};

std::optional<Heartbeat> BeatOf(RecordStore& server, const QString& station) {
    for (const Heartbeat& b : ReadHeartbeats(server.database()))
        if (b.station == station) return b;
    return std::nullopt;
}

template <typename F>
bool Eventually(F done, int ms = 60000) {
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QTest::qWait(100);
    }
    return true;
}

}  // namespace

TEST(CliLineOverview, TwoStationsAtWorkAndOneGoneShowAsTwoLiveAndOneAway) {
    QString why;
    const QString url = FreshDatabase(&why);
    ASSERT_FALSE(url.isEmpty()) << why.toStdString();
    SimProcess simEnded({"--model", "v5", "--serial", "LB000101"});
    SimProcess simA({"--model", "v5", "--serial", "LB000102"});
    SimProcess simB({"--model", "v5", "--serial", "LB000103"}, true);  // one on a pty
    ASSERT_TRUE(simEnded.serving() && simA.serving() && simB.serving());
    Station ended, a, b;

    // The station that ends: one unit through the bench recipe, then gone.
    const CliResult run = RunCli(QStringList{"run", PANELBENCH_SOURCE_DIR "/examples/recipes/bench-check.json",
                                             "--unit-serial", "LB000101", "--records", url, "--station",
                                             "line-ended"} +
                                     simEnded.link(),
                                 120000, ended.env);
    ASSERT_EQ(run.exitCode, 0) << run.err.constData() << run.out.constData();
    RecordStore server;
    ASSERT_TRUE(server.openUrl(url).ok()) << server.status().detail.toStdString();
    const std::optional<Heartbeat> last = BeatOf(server, "line-ended");
    ASSERT_TRUE(last) << "the ended station never beat";
    EXPECT_FALSE(last->activity.running) << "its last beat says idle";

    // Two stations at work, started after the other ended: their beats are later.
    std::vector<std::unique_ptr<QProcess>> working;
    for (auto [name, sim, station] : {std::tuple{"line-a", &simA, &a}, std::tuple{"line-b", &simB, &b}}) {
        working.push_back(std::make_unique<QProcess>());
        working.back()->setProcessEnvironment(station->env);
        working.back()->start(CliProgram(), QStringList{"dido", "--cycles", "0", "--records", url, "--station",
                                                        QString::fromLatin1(name)} +
                                                sim->link());
    }
    ASSERT_TRUE(Eventually([&] {
        const auto beatA = BeatOf(server, "line-a"), beatB = BeatOf(server, "line-b");
        return beatA && beatB && beatA->activity.running && beatB->activity.running;
    })) << working[0]->readAllStandardError().constData() << working[1]->readAllStandardError().constData();

    // The window's clock a minute and a millisecond after the ended station's last beat.
    const qint64 now = last->seenMs + kAwayAfterMs + 1;
    pb::LineOverviewWindow window(url, 0, [now] { return now; });
    const QList<StationOverview>& rows = window.model().rows();
    ASSERT_EQ(rows.size(), 3);
    int live = 0, away = 0;
    for (const StationOverview& r : rows) {
        SCOPED_TRACE(r.station.toStdString());
        (r.away ? away : live) += 1;
        if (r.station == "line-ended") {
            EXPECT_TRUE(r.away);
            EXPECT_EQ(window.model().stateText(r), "Away");
            EXPECT_EQ(r.units, 1);
            EXPECT_DOUBLE_EQ(r.firstPassYield, 1.0);
            EXPECT_EQ(r.lastFailureMs, 0);
        } else {
            EXPECT_FALSE(r.away);
            EXPECT_GT(r.seenMs, last->seenMs);
            EXPECT_EQ(window.model().stateText(r), "Running dido on 1 sockets");
        }
    }
    EXPECT_EQ(live, 2);
    EXPECT_EQ(away, 1);
    EXPECT_TRUE(window.followsNotifications());

    // Stopped with a signal, each says idle as it goes.
    for (auto& p : working) {
        ::kill(pid_t(p->processId()), SIGTERM);
        ASSERT_TRUE(p->waitForFinished(60000));
    }
    EXPECT_FALSE(BeatOf(server, "line-a")->activity.running);
    EXPECT_FALSE(BeatOf(server, "line-b")->activity.running);
}

TEST(CliLineOverview, AServerThatNeverAnswersLeavesTheTestsOutcomeAsItIs) {
    // Takes connections and says nothing: the heartbeat waits out its connect timeout.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    const QString url = QStringLiteral("postgresql://postgres@127.0.0.1:%1/records?connect_timeout=3")
                            .arg(silent.serverPort());
    Station station;
    SimProcess sim({"--model", "v5", "--serial", "LB000109"});
    ASSERT_TRUE(sim.serving());
    const CliResult r = RunCli(QStringList{"identify", "--json", "--records", url, "--station", "line-x"} + sim.link(),
                               120000, station.env);
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    const QList<QJsonObject> results = r.eventsOf(QStringLiteral("result"));
    ASSERT_EQ(results.size(), 1) << r.out.constData();
    EXPECT_TRUE(results[0].value("ok").toBool());
    // The run is kept here, waiting for the server.
    EXPECT_TRUE(r.err.contains("1 run(s) wait on this PC")) << r.err.constData();
    RecordStore local;
    ASSERT_TRUE(local.openSqlite(station.dir.filePath("data/NORDAX/PanelBench/records.sqlite")).ok());
    const QList<RunRow> runs = local.queries().runs({});
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].outcome, Outcome::Ok);
    EXPECT_EQ(runs[0].unitSerial, "LB000109");
}
