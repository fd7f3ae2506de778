// panelbench-cli with the shared records on the test server: eight stations (eight
// processes with their own records folders) against eight simulated controllers at once,
// a station whose server is away for a while, then back, and a recipe run read back from
// the server with its steps.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcessEnvironment>
#include <QSet>
#include <QSqlQuery>

#include "records/store/RecordStore.h"
#include "settings/Settings.h"
#include "tests/support/CliRig.h"
#include "tests/support/PgServer.h"

using namespace pbtest;

namespace {

// A station: its own records and settings folders.
struct Station {
    QTemporaryDir dir;
    QProcessEnvironment env = [this] {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
        e.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        return e;
    }();
    QString localStore() const { return dir.filePath(QStringLiteral("data/NORDAX/PanelBench/records.sqlite")); }
    QString settingsFile() const { return dir.filePath(QStringLiteral("config/NORDAX/PanelBench.conf")); }
};

qint64 Count(pb::records::RecordStore& store, const QString& sql) {
    QSqlQuery q(store.database());
    return q.exec(sql) && q.next() ? q.value(0).toLongLong() : -1;
}

}  // namespace

TEST(CliSharedRecords, EightStationsAtOnceLeaveEveryRunOnceAndEachUnitOnce) {
    QString why;
    const QString url = FreshDatabase(&why);
    ASSERT_FALSE(url.isEmpty()) << why.toStdString();
    constexpr int kStations = 8;
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::vector<std::unique_ptr<Station>> stations;
    for (int i = 0; i < kStations; ++i) {
        // Two stations test each unit: the unit rows are written from two places at once.
        sims.push_back(std::make_unique<SimProcess>(
            QStringList{"--model", "v5", "--serial", QStringLiteral("SHARE%1").arg(i % 4 + 1, 3, 10, QLatin1Char('0'))}));
        ASSERT_TRUE(sims.back()->serving());
        stations.push_back(std::make_unique<Station>());
    }
    constexpr int kRounds = 2;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<std::unique_ptr<QProcess>> cli;
        for (int i = 0; i < kStations; ++i) {
            cli.push_back(std::make_unique<QProcess>());
            cli.back()->setProcessEnvironment(stations[i]->env);
            cli.back()->start(CliProgram(), QStringList{"identify", "--json", "--records", url, "--station",
                                                        QStringLiteral("bench-%1").arg(i + 1)} +
                                                sims[i]->link());
        }
        for (auto& p : cli) {
            ASSERT_TRUE(p->waitForFinished(120000));
            EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().constData();
            EXPECT_FALSE(p->readAllStandardError().contains("wait on this PC"));
        }
    }

    pb::records::RecordStore server;
    ASSERT_TRUE(server.openUrl(url).ok()) << server.status().detail.toStdString();
    EXPECT_EQ(Count(server, QStringLiteral("SELECT COUNT(*) FROM runs")), kStations * kRounds);
    EXPECT_EQ(Count(server, QStringLiteral("SELECT COUNT(DISTINCT station) FROM runs")), kStations);
    EXPECT_EQ(Count(server, QStringLiteral("SELECT COUNT(*) FROM units")), 4);
    EXPECT_EQ(Count(server, QStringLiteral("SELECT COUNT(*) FROM units WHERE serial LIKE 'SHARE%'")), 4);
    for (const pb::records::UnitRow& unit : server.queries().units()) EXPECT_EQ(unit.runCount, 2 * kRounds);
    for (int i = 0; i < kStations; ++i) {
        pb::records::RunFilter filter;
        filter.station = QStringLiteral("bench-%1").arg(i + 1);
        const QList<pb::records::RunRow> runs = server.queries().runs(filter);
        ASSERT_EQ(runs.size(), kRounds);
        for (const pb::records::RunRow& r : runs) {
            EXPECT_EQ(r.unitSerial, QStringLiteral("SHARE%1").arg(i % 4 + 1, 3, 10, QLatin1Char('0')));
            EXPECT_EQ(r.outcome, pb::records::Outcome::Ok);
            EXPECT_GT(r.frameCount, 0);
        }
        // Nothing left waiting at the station.
        pb::records::RecordStore local;
        ASSERT_TRUE(local.openSqlite(stations[i]->localStore()).ok());
        EXPECT_EQ(local.outbox().pendingUploads(), 0);
    }

    // One query on the server shows the stations' runs; `records` reads it, one station.
    const CliResult listed = RunCli({"records", "list", "--json", "--records", url, "--station", "bench-3"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err.constData();
    EXPECT_EQ(listed.eventsOf(QStringLiteral("run")).size(), kRounds);
    EXPECT_TRUE(listed.err.contains("shared records on postgresql://")) << listed.err.constData();
}

TEST(CliSharedRecords, AStationWhoseServerIsAwayKeepsItsRunsAndSendsThemInOrderWhenItIsBack) {
    QString why;
    const QString url = FreshDatabase(&why);
    ASSERT_FALSE(url.isEmpty()) << why.toStdString();
    const QString away = QStringLiteral("postgresql://postgres@%2Fnonexistent%2Fpanelbench/records?connect_timeout=2");
    Station station;
    SimProcess sim({"--model", "v5", "--serial", "AWAY0001"});
    ASSERT_TRUE(sim.serving());
    // Two runs while the server is away, each in a process of its own (a restart between).
    for (int n = 1; n <= 2; ++n) {
        const CliResult r = RunCli(QStringList{"identify", "--records", away, "--station", "bench-9"} + sim.link(),
                                   120000, station.env);
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();  // the test is not the server's business
        EXPECT_TRUE(r.err.contains(QStringLiteral("%1 run(s) wait on this PC").arg(n).toUtf8())) << r.err.constData();
        EXPECT_TRUE(r.err.contains("ServerUnreachable")) << r.err.constData();
    }
    // The server is back, named in the settings now: the third run sends all three.
    pb::Settings settings;
    settings.recordsUrl = url;
    pb::SaveRecordsUrl(settings, station.settingsFile());
    const CliResult back = RunCli(QStringList{"identify", "--station", "bench-9"} + sim.link(), 120000, station.env);
    EXPECT_EQ(back.exitCode, 0) << back.err.constData();
    EXPECT_FALSE(back.err.contains("wait on this PC")) << back.err.constData();

    pb::records::RecordStore server;
    ASSERT_TRUE(server.openUrl(url).ok());
    QSqlQuery q(server.database());
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT local_run_id, start_ms FROM runs ORDER BY id")));
    QList<qint64> localIds, starts;
    while (q.next()) {
        localIds << q.value(0).toLongLong();
        starts << q.value(1).toLongLong();
    }
    EXPECT_EQ(localIds, (QList<qint64>{1, 2, 3}));  // each once, in the order they ran
    ASSERT_EQ(starts.size(), 3);
    EXPECT_LT(starts[0], starts[1]);
    EXPECT_LT(starts[1], starts[2]);
    // `records` without --records reads the server named in the settings.
    const CliResult listed = RunCli({"records", "list", "--json"}, 120000, station.env);
    EXPECT_EQ(listed.eventsOf(QStringLiteral("run")).size(), 3);
    EXPECT_TRUE(listed.err.contains("shared records")) << listed.err.constData();
}

TEST(CliSharedRecords, ARecipeRunReachesTheServerWithItsStepsAndIsReadFromThere) {
    QString why;
    const QString url = FreshDatabase(&why);
    ASSERT_FALSE(url.isEmpty()) << why.toStdString();
    Station station;
    SimProcess sim({"--model", "v5", "--serial", "LB000042"});
    ASSERT_TRUE(sim.serving());
    const CliResult r = RunCli(QStringList{"run", PANELBENCH_SOURCE_DIR "/examples/recipes/bench-check.json",
                                           "--unit-serial", "LB000042", "--records", url, "--station", "bench-5"} +
                                   sim.link(),
                               120000, station.env);
    ASSERT_EQ(r.exitCode, 0) << r.err.constData() << r.out.constData();

    pb::records::RecordStore server;
    ASSERT_TRUE(server.openUrl(url).ok());
    const QList<pb::records::RecipeRunRow> recipeRuns = server.queries().recipeRuns({});
    ASSERT_EQ(recipeRuns.size(), 1);
    ASSERT_EQ(recipeRuns[0].steps.size(), 3);
    ASSERT_EQ(recipeRuns[0].steps[2].runIds.size(), 1);
    EXPECT_EQ(server.queries().recipeRunOf(recipeRuns[0].steps[2].runIds[0]), recipeRuns[0].id);

    const CliResult exported = RunCli({"records", "export", "--format", "json", "--records", url, "--station", "bench-5"},
                                      120000, station.env);
    ASSERT_EQ(exported.exitCode, 0) << exported.err.constData();
    const QJsonArray shown = QJsonDocument::fromJson(exported.out).object().value("recipeRuns").toArray();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].toObject().value("verdict").toString(), "pass");
    EXPECT_EQ(shown[0].toObject().value("steps").toArray().size(), 3);
}
