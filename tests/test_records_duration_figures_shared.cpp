// How long the line's work takes, against numbers the test works out itself from the runs
// it wrote with known times, on SQLite and on the PostgreSQL test cluster: upgrades per
// protocol and block count (the failed one left out), unit tests overall and per recipe
// (an odd and an even count, the interrupted one left out), and reply latency per station
// and link kind from the traffic kept with each run (a serial and a TCP station, a run
// without traffic, a failure that is no reply, a reply after frames left out that has no
// command to be paired with). The latencies are kept with the traffic: by the station that
// writes it, by the server that takes a station's run in (once, however often it is sent),
// and for the traffic of a store kept before they were. And the bins of a distribution and
// the stored form of counted times.
#include <gtest/gtest.h>

#include <QMap>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>

#include "records/figures/DurationFigures.h"
#include "records/store/Migrations.h"
#include "records/store/Outbox.h"
#include "records/store/RecordStore.h"
#include "tests/support/PgServer.h"
#include "tests/support/SqlBeside.h"
#include "tests/support/StoreOnBackEnd.h"

using namespace pb::records;
using pbtest::BackEnd;

namespace {

constexpr qint64 kBase = 1796000000000;  // 2026-12-01 or so

// The percentile as a person picks it from the sorted list: the value at rank ceil(q n).
qint64 Pick(QList<qint64> times, double q) {
    std::sort(times.begin(), times.end());
    const int rank = int(std::ceil(q * double(times.size()) - 1e-9));
    return times[std::max(rank, 1) - 1];
}

void ExpectTimes(const Durations& got, const QList<qint64>& times) {
    ASSERT_FALSE(times.isEmpty());
    EXPECT_EQ(got.count, times.size());
    EXPECT_EQ(got.minMs, *std::min_element(times.begin(), times.end()));
    EXPECT_EQ(got.maxMs, *std::max_element(times.begin(), times.end()));
    EXPECT_EQ(got.p50Ms, Pick(times, 0.5));
    EXPECT_EQ(got.p95Ms, Pick(times, 0.95));
    EXPECT_EQ(got.p99Ms, Pick(times, 0.99));
    double sum = 0;
    for (qint64 t : times) sum += double(t);
    EXPECT_NEAR(got.meanMs, sum / double(times.size()), 1e-9);
}

class DurationFiguresOn : public pbtest::StoreOnBackEnd {
protected:

    void unitTest(const QString& recipe, const QString& serial, qint64 startMs, qint64 tookMs, const char* verdict) {
        RecipeRunStart start;
        start.recipeName = recipe;
        start.recipeHash = QStringLiteral("ab12");
        start.scannedSerial = serial;
        start.linkText = QStringLiteral("127.0.0.1:4001");
        start.station = QStringLiteral("line-1");
        start.startMs = startMs;
        start.steps = {{0, "identify", "identify", "not-run", {}, 0, {}, {}}};
        const qint64 id = store.recipeWriter().beginRecipeRun(start);
        ASSERT_GT(id, 0);
        RecipeRunEnd end;
        end.endMs = startMs + tookMs;
        end.verdict = QString::fromLatin1(verdict);
        end.steps = start.steps;
        end.steps[0].verdict = QStringLiteral("pass");
        end.identity = UnitIdentity{serial, 3, "KV410", "0470", "0001"};
        store.recipeWriter().endRecipeRun(id, end);
    }

    qint64 run(const QString& procedure, const QString& station, const QString& link, qint64 startMs, qint64 tookMs,
               Outcome outcome, const QJsonObject& details = {}) {
        RunStart start;
        start.procedure = procedure;
        start.linkText = link;
        start.station = station;
        start.startMs = startMs;
        start.unit = UnitIdentity{QStringLiteral("SN-") + station, 3, "KV410", "0470", "0001"};
        const qint64 id = store.writer().beginRun(start);
        RunEnd end;
        end.endMs = startMs + tookMs;
        end.outcome = outcome;
        end.details = details;
        EXPECT_TRUE(store.writer().endRun(id, end));
        return id;
    }

    // Exchanges of a command and its reply `latencies` ms later, a second apart.
    static KeptTraffic Exchanges(qint64 startMs, const QList<qint64>& latencies) {
        KeptTraffic t;
        qint64 at = startMs;
        for (qint64 latency : latencies) {
            t.frames << TrafficFrame{at, Direction::Sent, QByteArray("\x01" "0000AC\x02" "DE5B\r"), "good", {}};
            t.frames << TrafficFrame{at + latency, Direction::Received, QByteArray("\x03" "OK\x04" "1234\r"), "good", {}};
            at += 1000;
        }
        return t;
    }

};

INSTANTIATE_TEST_SUITE_P(, DurationFiguresOn, pbtest::BothBackEnds(), pbtest::BackEndName);

TEST_P(DurationFiguresOn, UpgradeTimesPerProtocolAndBlocks) {
    const auto upgrade = [](const char* loader, int blocks) {
        return QJsonObject{{"loader", loader}, {"blocks", blocks}, {"programmed", blocks}};
    };
    const QList<qint64> a120 = {61000, 59500, 63000};
    const QList<qint64> c64 = {30000, 34000};
    qint64 at = kBase;
    for (qint64 ms : a120) run("firmware-upgrade", "line-1", "/dev/pts/3 9600", at += 100000, ms, Outcome::Ok, upgrade("A", 120));
    for (qint64 ms : c64) run("firmware-upgrade", "line-2", "127.0.0.1:4001", at += 100000, ms, Outcome::Ok, upgrade("C", 64));
    // Failed partway, and another procedure: neither is an upgrade's time.
    run("firmware-upgrade", "line-1", "/dev/pts/3 9600", at += 100000, 5000, Outcome::Error, upgrade("A", 120));
    run("dido", "line-1", "/dev/pts/3 9600", at += 100000, 7000, Outcome::Ok, upgrade("A", 120));

    DurationFigures figures(store.database());
    const QList<UpgradeTimes> rows = figures.upgradeTimes({});
    ASSERT_TRUE(figures.error().isEmpty()) << figures.error().toStdString();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].protocol, "A");
    EXPECT_EQ(rows[0].blocks, 120);
    ExpectTimes(rows[0].times, a120);
    EXPECT_EQ(rows[1].protocol, "C");
    EXPECT_EQ(rows[1].blocks, 64);
    ExpectTimes(rows[1].times, c64);

    // The records list's filter holds: one station's upgrades alone.
    RunFilter lineTwo;
    lineTwo.station = QStringLiteral("line-2");
    const QList<UpgradeTimes> narrowed = figures.upgradeTimes(lineTwo);
    ASSERT_EQ(narrowed.size(), 1);
    EXPECT_EQ(narrowed[0].protocol, "C");
}

TEST_P(DurationFiguresOn, UnitTestTimesOverallAndPerRecipe) {
    const QList<qint64> kv410 = {12000, 15000, 11000, 30000, 14000};  // odd
    const QList<qint64> kv320 = {8000, 9500, 7000, 9000};             // even
    qint64 at = kBase;
    int n = 0;
    for (qint64 ms : kv410) {
        ++n;
        unitTest("KV410", QStringLiteral("A%1").arg(n), at += 60000, ms, n % 2 ? "pass" : "fail");
    }
    for (qint64 ms : kv320) unitTest("KV320", QStringLiteral("B%1").arg(++n), at += 60000, ms, "pass");
    unitTest("KV320", "C1", at += 60000, 500, "interrupted");  // stopped by hand

    DurationFigures figures(store.database());
    const QList<RecipeTimes> rows = figures.recipeTimes({});
    ASSERT_TRUE(figures.error().isEmpty()) << figures.error().toStdString();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_TRUE(rows[0].recipe.isEmpty());
    ExpectTimes(rows[0].times, kv410 + kv320);
    EXPECT_EQ(TotalCount(rows[0].counts), 9);
    EXPECT_TRUE(std::is_sorted(rows[0].counts.begin(), rows[0].counts.end(),
                               [](const TimeCount& a, const TimeCount& b) { return a.ms < b.ms; }));
    EXPECT_EQ(rows[1].recipe, "KV320");
    ExpectTimes(rows[1].times, kv320);
    EXPECT_EQ(rows[1].times.p50Ms, 8000) << "of four, the second";
    EXPECT_EQ(rows[2].recipe, "KV410");
    ExpectTimes(rows[2].times, kv410);
    EXPECT_EQ(rows[2].times.p50Ms, 14000) << "of five, the third";

    // Only the failed ones: the filter's outcome is the verdict's.
    RunFilter failed;
    failed.outcome = Outcome::Error;
    const QList<RecipeTimes> narrowed = figures.recipeTimes(failed);
    ASSERT_EQ(narrowed.size(), 2);
    ExpectTimes(narrowed[0].times, {15000, 30000});

    // Every unit test read alone, as the charts read it, is the first row.
    const std::pair<RunFilter, QList<qint64>> everyOf[] = {{RunFilter{}, kv410 + kv320}, {failed, {15000, 30000}}};
    for (const auto& [filter, times] : everyOf) {
        const RecipeTimes every = figures.everyRecipeTimes(filter);
        EXPECT_TRUE(every.recipe.isEmpty());
        ExpectTimes(every.times, times);
        EXPECT_EQ(every.counts, figures.recipeTimes(filter).value(0).counts);
    }

    RunFilter nothing;
    nothing.serial = QStringLiteral("no such unit");
    EXPECT_TRUE(figures.recipeTimes(nothing).isEmpty());
    EXPECT_TRUE(figures.everyRecipeTimes(nothing).counts.isEmpty());
    EXPECT_EQ(figures.everyRecipeTimes(nothing).times.count, 0);
}

TEST_P(DurationFiguresOn, ReplyLatencyPerStationAndLinkKind) {
    const QList<qint64> serialRun1 = {42, 40, 55}, serialRun2 = {38, 120};
    const QList<qint64> tcpRun = {9, 12, 7, 30};
    const QString serialLink = QStringLiteral("/dev/pts/3 9600"), tcpLink = QStringLiteral("127.0.0.1:4001");
    qint64 at = kBase;
    const qint64 s1 = run("connect", "line-1", serialLink, at += 100000, 5000, Outcome::Ok,
                          {{"link", QJsonObject{{"rs485", true}}}});
    ASSERT_TRUE(store.writer().saveTraffic(s1, Exchanges(at, serialRun1)));
    const qint64 s2 = run("dido", "line-1", serialLink, at += 100000, 5000, Outcome::Ok);
    KeptTraffic t2 = Exchanges(at, serialRun2);
    // A command that got no reply: a failure, not a latency.
    t2.frames << TrafficFrame{at + 5000, Direction::Sent, QByteArray("\x01" "0000AC\x02" "DE5B\r"), "good", {}};
    t2.frames << TrafficFrame{at + 5300, Direction::Failed, {}, "no-reply", QStringLiteral("no reply")};
    ASSERT_TRUE(store.writer().saveTraffic(s2, t2));
    const qint64 t1 = run("connect", "line-2", tcpLink, at += 100000, 5000, Outcome::Ok);
    KeptTraffic t3 = Exchanges(at, tcpRun);
    // Frames left out after the first command: the next reply kept is not its reply.
    KeptTraffic cut = Exchanges(at + 10000, {4000});
    t3.frames << cut.frames.first();
    const qsizetype gapAfter = t3.frames.size() - 1;
    t3.frames << TrafficFrame{at + 20000, Direction::Received, QByteArray("\x03" "OK\x04" "1234\r"), "good", {}};
    t3.dropped = 50;
    t3.droppedAfter = gapAfter;
    ASSERT_TRUE(store.writer().saveTraffic(t1, t3));
    run("connect", "line-3", tcpLink, at += 100000, 5000, Outcome::Ok);  // no traffic kept

    DurationFigures figures(store.database());
    const QList<LatencyTimes> rows = figures.latencies({});
    ASSERT_TRUE(figures.error().isEmpty()) << figures.error().toStdString();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_TRUE(rows[0].station.isEmpty());
    EXPECT_EQ(rows[0].runs, 3);
    ExpectTimes(rows[0].times, serialRun1 + serialRun2 + tcpRun);
    EXPECT_EQ(rows[1].station, "line-1");
    EXPECT_EQ(rows[1].linkKind, kLinkSerial);
    EXPECT_EQ(rows[1].runs, 2);
    ExpectTimes(rows[1].times, serialRun1 + serialRun2);
    EXPECT_EQ(rows[2].station, "line-2");
    EXPECT_EQ(rows[2].linkKind, kLinkTcp);
    ExpectTimes(rows[2].times, tcpRun);

    RunFilter lineTwo;
    lineTwo.station = QStringLiteral("line-2");
    const QList<LatencyTimes> narrowed = figures.latencies(lineTwo);
    ASSERT_EQ(narrowed.size(), 2);
    ExpectTimes(narrowed[1].times, tcpRun);
    RunFilter lineThree;
    lineThree.station = QStringLiteral("line-3");
    EXPECT_TRUE(figures.latencies(lineThree).isEmpty());
}

TEST_P(DurationFiguresOn, LatenciesAreKeptWithTheTrafficWhereverItIsWritten) {
    const QList<qint64> mine = {42, 40, 55, 40}, theirs = {9, 12, 7};
    qint64 at = kBase;
    const qint64 local = run("connect", "line-1", QStringLiteral("/dev/pts/3 9600"), at += 100000, 5000, Outcome::Ok);
    ASSERT_TRUE(store.writer().saveTraffic(local, Exchanges(at, mine)));

    // A station's run taken in, with its traffic, sent twice (its acknowledgement lost).
    RecordStore station;
    station.setOutbox(true);
    ASSERT_TRUE(station.openSqlite(dir.filePath(QStringLiteral("station.sqlite"))).ok());
    RunStart start;
    start.procedure = QStringLiteral("connect");
    start.linkText = QStringLiteral("127.0.0.1:4001");
    start.station = QStringLiteral("line-2");
    start.startMs = at += 100000;
    start.unit = UnitIdentity{QStringLiteral("SN-9"), 3, "KV410", "0470", "0001"};
    const qint64 sent = station.writer().beginRun(start);
    ASSERT_TRUE(station.writer().saveTraffic(sent, Exchanges(at, theirs)));
    RunEnd end;
    end.endMs = at + 5000;
    end.outcome = Outcome::Ok;
    ASSERT_TRUE(station.writer().endRun(sent, end));
    for (int times = 0; times < 2; ++times) {
        const std::optional<RunUpload> upload = station.outbox().uploadOf(sent);
        ASSERT_TRUE(upload);
        ASSERT_GT(store.writer().importRun(*upload), 0) << store.status().detail.toStdString();
    }
    const auto expectBoth = [&](RecordStore& s) {
        DurationFigures figures(s.database());
        const QList<LatencyTimes> rows = figures.latencies({});
        ASSERT_TRUE(figures.error().isEmpty()) << figures.error().toStdString();
        ASSERT_EQ(rows.size(), 3);
        EXPECT_EQ(rows[0].runs, 2);
        ExpectTimes(rows[0].times, mine + theirs);
        EXPECT_EQ(rows[0].counts, CountTimes(mine + theirs));
        EXPECT_EQ(rows[1].station, "line-1");
        ExpectTimes(rows[1].times, mine);
        EXPECT_EQ(rows[2].station, "line-2");
        EXPECT_EQ(rows[2].linkKind, kLinkTcp);
        ExpectTimes(rows[2].times, theirs);
    };
    expectBoth(store);

    // The same traffic in a store of the schema before: its latencies are made on upgrade.
    const auto sql = [this](const QString& statement) {
        return pbtest::SqlBeside(dir.filePath(QStringLiteral("records.sqlite")),
                                 GetParam() == BackEnd::Postgres ? url : QString(), statement);
    };
    store.close();
    for (const QString& statement : pbtest::LaterColumnsUndone(true))
        ASSERT_EQ(sql(statement), QString()) << qPrintable(statement);
    for (const char* statement : {"DROP TABLE recipe_time_hours", "DROP TABLE reply_latencies",
                                  "DROP INDEX recipe_run_hours_by_socket",
                                  "UPDATE schema_info SET value = '8' WHERE name = 'version'"})
        ASSERT_EQ(sql(QLatin1String(statement)), QString()) << statement;
    RecordStore upgraded;
    ASSERT_TRUE((GetParam() == BackEnd::Sqlite ? upgraded.openSqlite(dir.filePath("records.sqlite"))
                                               : upgraded.openUrl(url))
                    .ok())
        << upgraded.status().detail.toStdString();
    QSqlDatabase db = upgraded.database();
    EXPECT_EQ(SchemaVersion(db, upgraded.dialect()), LatestSchemaVersion());
    expectBoth(upgraded);
}

TEST(CountedTimes, KeepTheirStoredFormAndRefuseAnother) {
    const TimeCounts counts = CountTimes({40, 7, 40, 1200, 7, 7});
    EXPECT_EQ(counts, (TimeCounts{{7, 3}, {40, 2}, {1200, 1}}));
    EXPECT_EQ(DecodeTimeCounts(EncodeTimeCounts(counts)), counts);
    EXPECT_EQ(DecodeTimeCounts(EncodeTimeCounts({})), TimeCounts{});
    const QByteArray blob = EncodeTimeCounts(counts);
    EXPECT_FALSE(DecodeTimeCounts(blob.left(blob.size() - 1)));  // cut short
    EXPECT_FALSE(DecodeTimeCounts(QByteArray("not counted times at all")));
    EXPECT_FALSE(DecodeTimeCounts(EncodeTimeCounts({{40, 2}, {7, 3}})));  // out of order
    EXPECT_FALSE(DecodeTimeCounts(EncodeTimeCounts({{7, 0}})));           // a count of none
}

TEST(DurationBins, EvenBinsHoldEveryTimeOnce) {
    const QList<qint64> times = {100, 105, 109, 110, 150, 199, 200};
    for (int bins : {1, 2, 3, 7, 10, 200}) {
        SCOPED_TRACE(bins);
        const QList<DurationBin> got = EvenBins(times, bins);
        ASSERT_EQ(got.size(), bins);
        EXPECT_EQ(got.first().fromMs, 100);
        EXPECT_GT(got.last().toMs, 200);
        const qint64 width = got.first().toMs - got.first().fromMs;
        qint64 total = 0;
        for (int i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].toMs - got[i].fromMs, width);
            if (i > 0) {
                EXPECT_EQ(got[i].fromMs, got[i - 1].toMs);
            }
            qint64 inside = 0;
            for (qint64 t : times) inside += t >= got[i].fromMs && t < got[i].toMs;
            EXPECT_EQ(got[i].count, inside) << "bin " << i;
            total += got[i].count;
        }
        EXPECT_EQ(total, times.size());
    }
    EXPECT_EQ(EvenBins(QList<qint64>{}, 5).size(), 0);
    const QList<DurationBin> same = EvenBins(QList<qint64>{7, 7, 7}, 4);
    ASSERT_EQ(same.size(), 4);
    EXPECT_EQ(same[0].count, 3);
}

TEST(DurationBins, RoundBinsStartAndStepOnRoundNumbersAndHoldEveryTime) {
    const QList<std::tuple<QList<qint64>, qint64, qint64>> cases = {
        {{10, 20, 90, 400}, 50, 0}, {{1234, 1900}, 100, 1200}, {{7, 7}, 1, 7}, {{0, 9}, 1, 0}};
    for (const auto& [times, width, from] : cases) {
        const QList<DurationBin> got = RoundBins(CountTimes(times), 10);
        ASSERT_LE(got.size(), 10);
        EXPECT_EQ(got.first().fromMs, from);
        EXPECT_EQ(got.first().toMs - got.first().fromMs, width);
        qint64 total = 0;
        for (const DurationBin& bin : got) total += bin.count;
        EXPECT_EQ(total, times.size());
    }
}

TEST(LinkKinds, SerialByItsFactsOrPortTextTcpByAddress) {
    EXPECT_EQ(LinkKindOf(QStringLiteral("/dev/ttyUSB0 9600"), {}), kLinkSerial);
    EXPECT_EQ(LinkKindOf(QStringLiteral("10.0.0.5:4001"), {}), kLinkTcp);
    EXPECT_EQ(LinkKindOf(QStringLiteral("10.0.0.5:4001"), {{"link", QJsonObject{{"adapter", "x"}}}}), kLinkSerial);
}

}  // namespace
