// A unit tested on a fixture keeps the fixture's and the socket's names with its recipe
// run, on both back ends: kept, selected by the filter (its runs with it), carried by the
// exports and to the shared server; unit tests kept before schema 6 read as tested alone.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include "records/figures/LineFigures.h"
#include "records/store/Migrations.h"
#include "records/store/RecordStore.h"
#include "records/exports/RecordsExport.h"
#include "records/sync/RecordsUploader.h"
#include "tests/support/PgServer.h"
#include "tests/support/SqlBeside.h"

using namespace pb::records;

namespace {

enum class BackEnd { Sqlite, Postgres };

class FixtureRecords : public ::testing::TestWithParam<BackEnd> {
protected:
    void SetUp() override {
        if (GetParam() != BackEnd::Postgres) return;
        QString why;
        url = pbtest::FreshDatabase(&why);
        ASSERT_FALSE(url.isEmpty()) << why.toStdString();
    }
    RecordsStatus open(RecordStore& store) {
        return GetParam() == BackEnd::Sqlite ? store.openSqlite(dir.filePath(QStringLiteral("records.sqlite")))
                                             : store.openUrl(url);
    }
    // A statement run beside the store, as an older program left the rows.
    QString sql(const QString& statement) {
        return pbtest::SqlBeside(dir.filePath(QStringLiteral("records.sqlite")),
                                 GetParam() == BackEnd::Postgres ? url : QString(), statement);
    }
    QTemporaryDir dir;
    QString url;
};

INSTANTIATE_TEST_SUITE_P(, FixtureRecords, ::testing::Values(BackEnd::Sqlite, BackEnd::Postgres),
                         [](const ::testing::TestParamInfo<BackEnd>& info) {
                             return info.param == BackEnd::Sqlite ? "Sqlite" : "Postgres";
                         });

// One unit test of one step with its run, at `socket` of `fixture` (both empty: alone).
qint64 UnitTest(RecordStore& store, const QString& serial, qint64 ms, const QString& fixture,
                const QString& socket, qint64* runId = nullptr) {
    RecipeRunStart start;
    start.recipeName = QStringLiteral("KV410");
    start.recipeHash = QStringLiteral("ab12");
    start.scannedSerial = serial;
    start.linkText = QStringLiteral("127.0.0.1:4001");
    start.station = QStringLiteral("line-2");
    start.startMs = ms;
    start.fixture = fixture;
    start.socket = socket;
    start.steps = {{0, QStringLiteral("identify"), QStringLiteral("identify"), QStringLiteral("not-run"), {}, 0, {}, {}}};
    const qint64 recipeRun = store.recipeWriter().beginRecipeRun(start);
    RunStart run;
    run.procedure = QStringLiteral("connect");
    run.linkText = start.linkText;
    run.station = start.station;
    run.startMs = ms + 10;
    const qint64 id = store.writer().beginRun(run);
    store.recipeWriter().linkRunToRecipe(id, recipeRun, 0);
    RunEnd runEnd;
    runEnd.endMs = ms + 50;
    runEnd.outcome = Outcome::Ok;
    store.writer().endRun(id, runEnd);
    RecipeRunEnd end;
    end.endMs = ms + 100;
    end.verdict = QStringLiteral("pass");
    end.steps = start.steps;
    end.steps[0].verdict = QStringLiteral("pass");
    end.identity = UnitIdentity{serial, 3, QStringLiteral("KV410"), QStringLiteral("0470"), QStringLiteral("0001")};
    store.recipeWriter().endRecipeRun(recipeRun, end);
    if (runId) *runId = id;
    return recipeRun;
}

QStringList SocketsOf(const QList<RecipeRunRow>& rows) {
    QStringList sockets;
    for (const RecipeRunRow& r : rows) sockets << r.fixture + u'/' + r.socket;
    sockets.sort();
    return sockets;
}

}  // namespace

TEST_P(FixtureRecords, TheFixtureAndSocketAreKeptAndSelectTheUnitTestsAndTheirRuns) {
    RecordStore store;
    ASSERT_TRUE(open(store).ok()) << store.status().detail.toStdString();
    qint64 a1Run = 0;
    const qint64 a1 = UnitTest(store, QStringLiteral("SN1"), 1000, QStringLiteral("KV410 4-up"), QStringLiteral("A1"), &a1Run);
    UnitTest(store, QStringLiteral("SN2"), 1000, QStringLiteral("KV410 4-up"), QStringLiteral("A10"));
    UnitTest(store, QStringLiteral("SN3"), 1000, QStringLiteral("KV410 8-up"), QStringLiteral("A1"));
    const qint64 alone = UnitTest(store, QStringLiteral("SN4"), 2000, {}, {});

    const std::optional<RecipeRunRow> row = store.queries().recipeRun(a1);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->fixture, "KV410 4-up");
    EXPECT_EQ(row->socket, "A1");
    EXPECT_TRUE(store.queries().recipeRun(alone)->fixture.isEmpty());
    EXPECT_TRUE(store.queries().recipeRun(alone)->socket.isEmpty());

    // Each name whole: socket A1 is not A10; the fixture and socket together.
    RunFilter filter;
    filter.socket = QStringLiteral("A1");
    EXPECT_EQ(SocketsOf(store.queries().recipeRuns(filter)), QStringList({"KV410 4-up/A1", "KV410 8-up/A1"}));
    filter.fixture = QStringLiteral("KV410 4-up");
    EXPECT_EQ(SocketsOf(store.queries().recipeRuns(filter)), QStringList({"KV410 4-up/A1"}));
    // A procedure run is where its unit test was.
    const QList<RunRow> runs = store.queries().runs(filter);
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].id, a1Run);
    // The records window's list: the unit test and its run.
    QSqlQuery listed = store.queries().runsQuery(filter);
    int rows = 0;
    while (listed.next()) ++rows;
    EXPECT_EQ(rows, 2);
    filter = {};
    filter.fixture = QStringLiteral("KV410 4-up");
    filter.serial = QStringLiteral("SN2");
    EXPECT_EQ(SocketsOf(store.queries().recipeRuns(filter)), QStringList({"KV410 4-up/A10"}));
    filter = {};
    filter.fixture = QStringLiteral("KV410");  // not a part of a name
    EXPECT_TRUE(store.queries().recipeRuns(filter).isEmpty());
    EXPECT_TRUE(store.queries().runs(filter).isEmpty());
    EXPECT_EQ(store.queries().recipeRuns({}).size(), 4);

    // The exports carry both: JSON (null for a unit tested alone) and two CSV columns.
    filter = {};
    filter.recipeRunIds = {a1, alone};
    const QJsonObject json = QJsonDocument::fromJson(ExportJson(store, filter)).object();
    const QJsonArray tests = json.value("recipeRuns").toArray();
    ASSERT_EQ(tests.size(), 2);
    for (const QJsonValue& t : tests) {
        const QJsonObject o = t.toObject();
        if (o.value("id").toInteger() == a1) {
            EXPECT_EQ(o.value("fixture").toString(), "KV410 4-up");
            EXPECT_EQ(o.value("socket").toString(), "A1");
        } else {
            EXPECT_TRUE(o.value("fixture").isNull());
            EXPECT_TRUE(o.value("socket").isNull());
        }
    }
    const QStringList lines = QString::fromUtf8(ExportCsv(store, filter)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5);  // the head, the two unit tests and their runs
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(",warning,fixture,socket,cause,cause_values,recipe_sha256,fixture_sha256,tool_version,attempt,retest")));
    int atA1 = 0;
    for (const QString& line : lines) atA1 += line.contains(QStringLiteral(",KV410 4-up,A1,"));
    EXPECT_EQ(atA1, 2) << lines.join(u'\n').toStdString();  // the unit test and its run
}

TEST_P(FixtureRecords, UnitTestsKeptBeforeFixturesReadAsTestedAlone) {
    {
        RecordStore fresh;
        ASSERT_TRUE(open(fresh).ok());
    }
    // The store as schema 5 left it: no fixture columns, one unit test in it.
    for (const QString& statement : pbtest::LaterColumnsUndone(false))
        ASSERT_EQ(sql(statement), QString()) << qPrintable(statement);
    for (const char* statement :
         {"DROP TABLE recipe_time_hours", "DROP TABLE reply_latencies", "DROP TABLE station_heartbeats",
          "DROP TABLE recipe_run_hours", "DROP TABLE recipe_failure_hours",
          "DROP INDEX recipe_runs_by_unit_recipe", "ALTER TABLE recipe_runs DROP COLUMN first_test",
          "DROP INDEX recipe_runs_by_fixture", "ALTER TABLE recipe_runs DROP COLUMN socket_name",
          "ALTER TABLE recipe_runs DROP COLUMN fixture_name",
          "UPDATE schema_info SET value = '5' WHERE name = 'version'",
          "INSERT INTO units (unit_key, serial, link_text, model_kind, first_seen_ms, last_seen_ms) "
          "VALUES ('unit:3:OLD1', 'OLD1', 'COM1', 3, 5, 5)",
          "INSERT INTO recipe_runs (unit_id, recipe_name, recipe_hash, start_ms, end_ms, verdict) "
          "SELECT id, 'KV410', 'ab12', 5, 9, 'pass' FROM units WHERE serial = 'OLD1'"})
        ASSERT_EQ(sql(QLatin1String(statement)), QString()) << statement;

    RecordStore store;
    ASSERT_TRUE(open(store).ok()) << store.status().detail.toStdString();
    QSqlDatabase db = store.database();
    EXPECT_EQ(SchemaVersion(db, store.dialect()), LatestSchemaVersion());
    const QList<RecipeRunRow> old = store.queries().recipeRuns({});
    ASSERT_EQ(old.size(), 1);
    EXPECT_EQ(old[0].unitSerial, "OLD1");
    EXPECT_TRUE(old[0].fixture.isEmpty());
    // The line's counts take in what was kept before them.
    LineFigures figures(db);
    figures.setCountUnits(false);
    const YieldRow kept = figures.total({});
    EXPECT_EQ(kept.tests, 1);
    EXPECT_EQ(kept.firstPassed, 1);
    RunFilter filter;
    filter.socket = QStringLiteral("A1");
    EXPECT_TRUE(store.queries().recipeRuns(filter).isEmpty());
    // And a new one is kept at its socket beside it.
    UnitTest(store, QStringLiteral("SN1"), 1000, QStringLiteral("KV410 4-up"), QStringLiteral("A1"));
    EXPECT_EQ(SocketsOf(store.queries().recipeRuns(filter)), QStringList({"KV410 4-up/A1"}));
}

// A station's unit tests reach the shared server with their fixture and socket.
TEST(FixtureRecordsShared, TheServerKeepsTheFixtureAndSocketOfAStationsUnitTests) {
    QString why;
    const QString url = pbtest::FreshDatabase(&why);
    ASSERT_FALSE(url.isEmpty()) << why.toStdString();
    QTemporaryDir dir;
    RecordStore local;
    local.setOutbox(true);
    ASSERT_TRUE(local.openSqlite(dir.filePath(QStringLiteral("station.sqlite"))).ok());
    UnitTest(local, QStringLiteral("SN1"), 1000, QStringLiteral("KV410 4-up"), QStringLiteral("A1"));
    UnitTest(local, QStringLiteral("SN2"), 1000, QStringLiteral("KV410 4-up"), QStringLiteral("A2"));
    UnitTest(local, QStringLiteral("SN3"), 2000, {}, {});

    RecordStore server;
    ASSERT_TRUE(server.openUrl(url).ok()) << server.status().detail.toStdString();
    EXPECT_EQ(SendQueued(local, server).sent, 6);
    EXPECT_EQ(SocketsOf(server.queries().recipeRuns({})), QStringList({"/", "KV410 4-up/A1", "KV410 4-up/A2"}));
    RunFilter filter;
    filter.fixture = QStringLiteral("KV410 4-up");
    filter.socket = QStringLiteral("A2");
    const QList<RecipeRunRow> a2 = server.queries().recipeRuns(filter);
    ASSERT_EQ(a2.size(), 1);
    EXPECT_EQ(a2[0].unitSerial, "SN2");
    ASSERT_EQ(server.queries().runs(filter).size(), 1);  // its run, tied to the server's copy
}
