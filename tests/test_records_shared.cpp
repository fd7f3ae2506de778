// The shared records on a real PostgreSQL server (the test cluster): addresses, stations
// starting at once, the outbox sending each run once and in order, a server that refuses
// or is away, and a station restarted while it was away.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "i18n/RecordsTexts.h"
#include "records/store/Migrations.h"
#include "records/store/RecordStore.h"
#include "records/store/RecordsStatusText.h"
#include "records/sync/RecordsUploader.h"
#include "records/store/ServerAddress.h"
#include "tests/support/PgServer.h"

using namespace pb::records;

namespace {

RunStart Start(const QString& serial, qint64 ms, const QString& station = QStringLiteral("bench-1")) {
    RunStart start;
    start.procedure = QStringLiteral("firmware-upgrade");
    start.linkText = QStringLiteral("127.0.0.1:4001");
    start.station = station;
    start.operatorName = QStringLiteral("Li Wei");
    start.startMs = ms;
    start.unit.serial = serial;
    return start;
}

// One run from start to end, with a frame of traffic.
qint64 WholeRun(RecordStore& store, const QString& serial, qint64 ms, const QString& station = QStringLiteral("bench-1")) {
    const qint64 id = store.writer().beginRun(Start(serial, ms, station));
    store.writer().saveTraffic(id, {{{ms + 1, Direction::Sent, QByteArray("\x01" "0001AS\r"), QStringLiteral("good"), {}}}, 0, -1});
    RunEnd end;
    end.endMs = ms + 100;
    end.outcome = Outcome::Ok;
    end.statusText = QStringLiteral("Firmware upgrade finished.");
    end.identity = UnitIdentity{serial, 3, QStringLiteral("KV410"), QStringLiteral("V1.30"), QStringLiteral("01")};
    store.writer().endRun(id, end);
    return id;
}

// The server's runs, oldest id first: "station/local id/start".
QStringList ServerRuns(RecordStore& server) {
    QStringList rows;
    QSqlQuery q(server.database());
    q.exec(QStringLiteral("SELECT station, local_run_id, start_ms FROM runs ORDER BY id"));
    while (q.next())
        rows << QStringLiteral("%1/%2/%3").arg(q.value(0).toString()).arg(q.value(1).toLongLong()).arg(q.value(2).toLongLong());
    return rows;
}

class SharedRecords : public ::testing::Test {
protected:
    void SetUp() override {
        QString why;
        url = pbtest::FreshDatabase(&why);
        ASSERT_FALSE(url.isEmpty()) << why.toStdString();
    }
    QString localPath(const QString& name = QStringLiteral("station.sqlite")) const { return dir.filePath(name); }
    QTemporaryDir dir;
    QString url;
};

}  // namespace

TEST(ServerAddressTest, ReadsUrlsAsLibpqWritesThemAndRefusesPasswords) {
    auto a = ParseServerUrl(QStringLiteral("postgresql://station@db.line.example:6543/records?sslmode=require&connect_timeout=3"));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->user, "station");
    EXPECT_EQ(a->host, "db.line.example");
    EXPECT_EQ(a->port, 6543);
    EXPECT_EQ(a->database, "records");
    EXPECT_EQ(a->options, (QStringList{"sslmode=require", "connect_timeout=3"}));
    // A socket folder as host, percent-encoded; no port; and back again.
    a = ParseServerUrl(QStringLiteral("postgres://panel%20bench@%2Frun%2Fpostgresql/line"));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->user, "panel bench");
    EXPECT_EQ(a->host, "/run/postgresql");
    EXPECT_EQ(a->port, -1);
    EXPECT_EQ(ParseServerUrl(a->display())->host, "/run/postgresql");
    a = ParseServerUrl(QStringLiteral("postgresql://[::1]:5433/r?host=%2Ftmp%2Fs"));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->host, "/tmp/s");  // libpq's host= wins
    EXPECT_EQ(a->port, 5433);

    QString why;
    EXPECT_FALSE(ParseServerUrl(QStringLiteral("postgresql://station:secret@db/records"), &why));
    EXPECT_TRUE(why.contains(QLatin1String(".pgpass")));
    EXPECT_FALSE(ParseServerUrl(QStringLiteral("postgresql://db/records?password=secret")));
    EXPECT_FALSE(ParseServerUrl(QStringLiteral("postgresql://db:99999/records")));
    EXPECT_FALSE(ParseServerUrl(QStringLiteral("postgresql://db/records?sslmode=x%20y")));
    EXPECT_FALSE(ParseServerUrl(QStringLiteral("/home/me/records.sqlite")));
    EXPECT_FALSE(IsServerUrl(QStringLiteral("records.sqlite")));

    // Neither in the status: a refused URL shows without what came before the '@'.
    RecordStore store;
    const RecordsStatus status = store.openUrl(QStringLiteral("postgresql://station:secret@db/records"));
    EXPECT_EQ(status.error, RecordsError::BadAddress);
    EXPECT_FALSE(status.path.contains(QLatin1String("secret")));
}

TEST_F(SharedRecords, StationsStartingAtOnceMakeTheSchemaOnce) {
    constexpr int kStations = 6;
    std::atomic_int ok{0};
    QList<QThread*> threads;
    for (int i = 0; i < kStations; ++i)
        threads << QThread::create([&] {
            RecordStore store;
            if (store.openUrl(url).ok()) ++ok;
        });
    for (QThread* t : threads) t->start();
    for (QThread* t : threads) {
        t->wait();
        delete t;
    }
    EXPECT_EQ(ok, kStations);
    RecordStore store;
    ASSERT_TRUE(store.openUrl(url).ok());
    QSqlDatabase db = store.database();
    EXPECT_EQ(SchemaVersion(db, store.dialect()), LatestSchemaVersion());
    QSqlQuery q(db);
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT COUNT(*) FROM schema_info WHERE name = 'version'")) && q.next());
    EXPECT_EQ(q.value(0).toInt(), 1);
}

TEST_F(SharedRecords, QueuedRunsReachTheServerInOrderAndOnceEvenWhenSentAgain) {
    RecordStore local;
    local.setOutbox(true);
    ASSERT_TRUE(local.openSqlite(localPath()).ok());
    EXPECT_FALSE(local.outbox().origin().isEmpty());
    const qint64 first = WholeRun(local, QStringLiteral("KV-0001"), 1000);
    const qint64 running = local.writer().beginRun(Start(QStringLiteral("KV-0002"), 2000));  // not queued yet
    const qint64 third = WholeRun(local, QStringLiteral("KV-0001"), 3000);
    EXPECT_EQ(local.outbox().pendingUploads(), 2);

    RecordStore server;
    ASSERT_TRUE(server.openUrl(url).ok()) << server.status().detail.toStdString();
    UploadResult sent = SendQueued(local, server);
    EXPECT_TRUE(sent.server.ok());
    EXPECT_EQ(sent.sent, 2);
    EXPECT_EQ(local.outbox().pendingUploads(), 0);
    EXPECT_EQ(ServerRuns(server), (QStringList{QStringLiteral("bench-1/%1/1000").arg(first),
                                               QStringLiteral("bench-1/%1/3000").arg(third)}));
    // The server's copy is whole: unit, outcome, traffic.
    const QList<RunRow> runs = server.queries().runs({});
    EXPECT_EQ(runs[0].unitSerial, "KV-0001");
    EXPECT_EQ(runs[0].outcome, Outcome::Ok);
    EXPECT_EQ(server.queries().traffic(runs[0].id).frames.size(), 1);
    EXPECT_EQ(server.queries().units().size(), 1);

    // Its acknowledgement lost: sent again, it is the same row.
    ASSERT_GT(server.writer().importRun(*local.outbox().uploadOf(first)), 0);
    EXPECT_EQ(server.queries().runs({}).size(), 2);

    // The run still open ends; an upgrade's run learns its version after its end: both go
    // (again), as updates. A change while a sending had it in hand keeps it queued.
    RunEnd end;
    end.endMs = 2500;
    end.outcome = Outcome::Error;
    ASSERT_TRUE(local.writer().endRun(running, end));
    ASSERT_TRUE(local.writer().updateRunDetails(first, {{"versionAfter", "V1.30"}}));
    const QList<QueuedRun> queued = local.outbox().queuedRuns(10);
    ASSERT_EQ(queued.size(), 2);
    EXPECT_EQ(queued[0].runId, running);
    ASSERT_TRUE(local.writer().updateRunDetails(first, {{"versionAfter", "V1.31"}}));
    ASSERT_TRUE(local.outbox().dequeue(queued[1]));  // read before the second change
    EXPECT_EQ(local.outbox().pendingUploads(), 2);
    sent = SendQueued(local, server);
    EXPECT_EQ(sent.sent, 2);
    EXPECT_EQ(server.queries().runs({}).size(), 3);
    RunFilter filter;
    filter.serial = QStringLiteral("KV-0001");
    filter.fromMs = 1000;
    filter.toMs = 1001;
    EXPECT_EQ(server.queries().runs(filter).value(0).details.value("versionAfter").toString(), "V1.31");

    // A second station: its runs beside the first's, the shared unit once, and the
    // station filter tells them apart.
    RecordStore other;
    other.setOutbox(true);
    ASSERT_TRUE(other.openSqlite(localPath(QStringLiteral("other.sqlite"))).ok());
    EXPECT_NE(other.outbox().origin(), local.outbox().origin());
    const qint64 theirs = WholeRun(other, QStringLiteral("KV-0001"), 1000, QStringLiteral("bench-2"));
    EXPECT_EQ(theirs, first);  // the same local id, another origin
    EXPECT_EQ(SendQueued(other, server).sent, 1);
    EXPECT_EQ(server.queries().runs({}).size(), 4);
    EXPECT_EQ(server.queries().units(QStringLiteral("KV-0001")).size(), 1);
    filter = {};
    filter.station = QStringLiteral("ench-2");
    ASSERT_EQ(server.queries().runs(filter).size(), 1);
    EXPECT_EQ(server.queries().runs(filter)[0].station, "bench-2");
}

TEST_F(SharedRecords, AServerThatRefusesSaysWhyWhileTheStationKeepsItsRuns) {
    const QString role = QStringLiteral("station_%1").arg(::getpid());
    const QString database = ParseServerUrl(url)->database;
    ASSERT_EQ(pbtest::ServerSql(QStringLiteral("DO $$BEGIN CREATE ROLE %1 LOGIN PASSWORD 'right'; "
                                               "EXCEPTION WHEN duplicate_object THEN NULL; END$$").arg(role)), "");
    ASSERT_EQ(pbtest::ServerSql(QStringLiteral("GRANT ALL ON SCHEMA public TO %1").arg(role), database), "");
    const QString roleUrl = pbtest::ServerUrl(database, role);

    // No password, then a wrong one: refused, and said so.
    qunsetenv("PGPASSWORD");
    const QByteArray savedPassFile = qgetenv("PGPASSFILE");
    qputenv("PGPASSFILE", QFile::encodeName(dir.filePath(QStringLiteral("none"))));
    RecordStore store;
    EXPECT_EQ(store.openUrl(roleUrl).error, RecordsError::AuthFailed);
    qputenv("PGPASSWORD", "wrong");
    EXPECT_EQ(store.openUrl(roleUrl).error, RecordsError::AuthFailed) << store.status().detail.toStdString();
    const RecordsStatus refused = store.status();
    EXPECT_FALSE(store.isOpen());
    EXPECT_TRUE(store.queries().runs({}).isEmpty());  // a store that is off does nothing
    // The right one from a password file, as libpq reads it.
    qunsetenv("PGPASSWORD");
    QFile passFile(dir.filePath(QStringLiteral("pgpass")));
    ASSERT_TRUE(passFile.open(QIODevice::WriteOnly));
    passFile.write(QStringLiteral("*:*:%1:%2:right\n").arg(database, role).toUtf8());
    passFile.close();
    passFile.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    qputenv("PGPASSFILE", QFile::encodeName(passFile.fileName()));
    EXPECT_TRUE(store.openUrl(roleUrl).ok()) << store.status().detail.toStdString();
    store.close();

    // No such database; nothing answers; a schema from a newer Panel Bench (left alone).
    const RecordsStatus missing = store.openUrl(pbtest::ServerUrl(QStringLiteral("no_such_records")));
    EXPECT_EQ(missing.error, RecordsError::NoDatabase);
    const RecordsStatus away = store.openUrl(QStringLiteral("postgresql://postgres@%2Fnonexistent%2Fpb/records"));
    EXPECT_EQ(away.error, RecordsError::ServerUnreachable);
    ASSERT_EQ(pbtest::ServerSql(QStringLiteral("UPDATE schema_info SET value = '99' WHERE name = 'version'"), database), "");
    const RecordsStatus newer = store.openUrl(url);
    EXPECT_EQ(newer.error, RecordsError::NewerSchema);
    qputenv("PGPASSFILE", savedPassFile);

    // Each reason in each language, naming the server's trouble, not records turned off.
    for (int language = 0; language < 3; ++language) {
        QStringList texts;
        for (const RecordsStatus& s : {refused, missing, away, newer}) texts << StatusText(s, language);
        texts.removeDuplicates();
        EXPECT_EQ(texts.size(), 4);
        for (const QString& t : texts) {
            EXPECT_TRUE(t.startsWith(pb::Text(pb::RecordText::ServerAway, language).section(QLatin1String("%1"), 0, 0)))
                << t.toStdString();
        }
    }

    // Meanwhile the station keeps its runs, queued; the uploader says why they wait.
    RecordStore local;
    local.setOutbox(true);
    ASSERT_TRUE(local.openSqlite(localPath()).ok());
    WholeRun(local, QStringLiteral("KV-0009"), 1000);
    qputenv("PGPASSWORD", "wrong");
    RecordsUploader uploader(localPath(), roleUrl, 60000);
    qint64 waiting = -1;
    RecordsStatus said;
    QObject::connect(&uploader, &RecordsUploader::progress, [&](qint64 n, const RecordsStatus& s) {
        waiting = n;
        said = s;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return waiting >= 0; }, 60000));
    qunsetenv("PGPASSWORD");
    EXPECT_EQ(waiting, 1);
    EXPECT_EQ(said.error, RecordsError::AuthFailed);
    EXPECT_EQ(local.queries().runs({}).size(), 1);
}

TEST(SharedRecordsOutage, ARunEndingWhileTheServerIsAwayGetsThereLaterOnceAndInOrderAcrossARestart) {
    pbtest::PrivateCluster cluster;
    ASSERT_TRUE(cluster.started()) << cluster.log().toStdString();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("station.sqlite"));
    qint64 waiting = -1;
    RecordsStatus said;
    const auto follow = [&](RecordsUploader& uploader) {
        waiting = -1;
        QObject::connect(&uploader, &RecordsUploader::progress, [&](qint64 n, const RecordsStatus& s) {
            waiting = n;
            said = s;
        });
    };
    QList<qint64> order;
    {
        RecordStore local;
        local.setOutbox(true);
        ASSERT_TRUE(local.openSqlite(path).ok());
        RecordsUploader uploader(path, cluster.url(), 200);
        follow(uploader);
        order << WholeRun(local, QStringLiteral("KV-0001"), 1000);
        uploader.kick();
        ASSERT_TRUE(QTest::qWaitFor([&] { return local.outbox().pendingUploads() == 0; }, 60000));

        // The server goes away in the middle of a run.
        const qint64 mid = local.writer().beginRun(Start(QStringLiteral("KV-0002"), 2000));
        ASSERT_TRUE(cluster.pause()) << cluster.log().toStdString();
        RunEnd end;
        end.endMs = 2100;
        end.outcome = Outcome::Ok;
        ASSERT_TRUE(local.writer().endRun(mid, end));
        order << mid;
        order << WholeRun(local, QStringLiteral("KV-0003"), 3000);
        uploader.kick();
        ASSERT_TRUE(QTest::qWaitFor([&] { return waiting == 2 && !said.ok(); }, 60000));
        EXPECT_EQ(said.error, RecordsError::ServerUnreachable) << said.detail.toStdString();
    }
    // The station restarts while the server is still away: its queue is in its file.
    {
        RecordStore local;
        local.setOutbox(true);
        ASSERT_TRUE(local.openSqlite(path).ok());
        EXPECT_EQ(local.outbox().pendingUploads(), 2);
        order << WholeRun(local, QStringLiteral("KV-0001"), 4000);
        ASSERT_TRUE(cluster.resume()) << cluster.log().toStdString();
        RecordsUploader uploader(path, cluster.url(), 200);
        follow(uploader);
        ASSERT_TRUE(QTest::qWaitFor([&] { return waiting == 0 && said.ok(); }, 60000)) << said.detail.toStdString();
    }
    RecordStore server;
    ASSERT_TRUE(server.openUrl(cluster.url()).ok());
    QStringList expected;
    const qint64 starts[] = {1000, 2000, 3000, 4000};
    for (int i = 0; i < order.size(); ++i) expected << QStringLiteral("bench-1/%1/%2").arg(order[i]).arg(starts[i]);
    EXPECT_EQ(ServerRuns(server), expected);
    EXPECT_EQ(server.queries().units().size(), 3);
}

namespace {

// A recipe run of two steps at a station, a run in each, ended with the unit identified.
qint64 WholeRecipeRun(RecordStore& store, const QString& serial, qint64 ms, QList<qint64>* runIds) {
    RecipeRunStart start;
    start.recipeName = QStringLiteral("KV410-standard");
    start.recipeHash = QStringLiteral("ab12");
    start.scannedSerial = serial;
    start.station = QStringLiteral("bench-1");
    start.startMs = ms;
    start.steps = {{0, QStringLiteral("identify"), QStringLiteral("Identify"), QStringLiteral("not-run"), {}, 0, {}, {}},
                   {1, QStringLiteral("firmware"), QStringLiteral("Upgrade"), QStringLiteral("not-run"), {}, 0, {}, {}}};
    const qint64 recipeRun = store.recipeWriter().beginRecipeRun(start);
    for (int step = 0; step < 2; ++step) {
        const qint64 run = store.writer().beginRun(Start(serial, ms + 10 + step * 200));
        store.recipeWriter().linkRunToRecipe(run, recipeRun, step);
        RunEnd end;
        end.endMs = ms + 100 + step * 200;
        end.outcome = Outcome::Ok;
        store.writer().endRun(run, end);
        *runIds << run;
    }
    RecipeRunEnd end;
    end.endMs = ms + 500;
    end.verdict = QStringLiteral("pass");
    end.steps = start.steps;
    for (RecipeStepRow& s : end.steps) s.verdict = QStringLiteral("pass"), s.attempts = 1;
    end.identity = UnitIdentity{serial, 3, QStringLiteral("KV410"), QStringLiteral("V1.30"), QStringLiteral("01")};
    store.recipeWriter().endRecipeRun(recipeRun, end);
    return recipeRun;
}

// The server's recipe run as "recipe verdict: step:verdict[run starts]...".
QString Shown(RecordStore& server, const RecipeRunRow& row) {
    QString text = row.recipeName + u' ' + row.verdict + u':';
    for (const RecipeStepRow& s : row.steps) {
        QStringList starts;
        for (qint64 id : s.runIds) starts << QString::number(server.queries().run(id)->startMs);
        text += QStringLiteral(" %1:%2[%3]").arg(s.index).arg(s.verdict, starts.join(u','));
    }
    return text;
}

}  // namespace

TEST_F(SharedRecords, RecipeRunsReachTheServerOnceWithTheirStepsAndRunsLinked) {
    RecordStore local;
    local.setOutbox(true);
    ASSERT_TRUE(local.openSqlite(localPath()).ok());
    QList<qint64> runIds;
    const qint64 recipeRun = WholeRecipeRun(local, QStringLiteral("KV-0007"), 10000, &runIds);
    // Its runs first, then the recipe run, queued when it ended.
    const QList<QueuedRun> queued = local.outbox().queuedRuns(10);
    ASSERT_EQ(queued.size(), 3);
    EXPECT_EQ(queued[2].recipeRunId, recipeRun);

    RecordStore server;
    ASSERT_TRUE(server.openUrl(url).ok()) << server.status().detail.toStdString();
    EXPECT_EQ(SendQueued(local, server).sent, 3);
    EXPECT_EQ(local.outbox().pendingUploads(), 0);
    RunFilter station;
    station.station = QStringLiteral("bench-1");
    QList<RecipeRunRow> shown = server.queries().recipeRuns(station);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].unitSerial, "KV-0007");
    EXPECT_EQ(Shown(server, shown[0]), "KV410-standard pass: 0:pass[10010] 1:pass[10210]");
    EXPECT_EQ(server.queries().recipeRunOf(server.queries().runs({}).value(0).id), shown[0].id);  // the server's own id

    // Sent again (acknowledgement lost), and its runs too: still one, the same.
    ASSERT_EQ(server.recipeWriter().importRecipeRun(*local.outbox().recipeUploadOf(recipeRun)), shown[0].id);
    for (qint64 id : runIds) ASSERT_GT(server.writer().importRun(*local.outbox().uploadOf(id)), 0);
    shown = server.queries().recipeRuns({});
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(Shown(server, shown[0]), "KV410-standard pass: 0:pass[10010] 1:pass[10210]");

    // A run tied to it after its end sends it again; a recipe run arriving before its
    // runs (another station's order) links them as they come.
    const qint64 late = local.writer().beginRun(Start(QStringLiteral("KV-0007"), 10600));
    ASSERT_TRUE(local.recipeWriter().linkRunToRecipe(late, recipeRun, 1));
    RunEnd end;
    end.endMs = 10700;
    end.outcome = Outcome::Ok;
    ASSERT_TRUE(local.writer().endRun(late, end));
    const QList<QueuedRun> again = local.outbox().queuedRuns(10);
    ASSERT_EQ(again.size(), 2);
    ASSERT_EQ(server.recipeWriter().importRecipeRun(*local.outbox().recipeUploadOf(recipeRun)), shown[0].id);  // recipe first
    EXPECT_EQ(SendQueued(local, server).sent, 2);
    shown = server.queries().recipeRuns({});
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(Shown(server, shown[0]), "KV410-standard pass: 0:pass[10010] 1:pass[10210,10600]");
    EXPECT_EQ(server.queries().runs({}).size(), 3);
}
