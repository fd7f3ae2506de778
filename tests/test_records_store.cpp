// The unit records' store on real SQLite files: schema steps, units, runs written as they
// go, a program killed mid-run, and every way the file can be unusable.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include "i18n/RecordsTexts.h"
#include "records/store/Migrations.h"
#include "records/store/RecordStore.h"
#include "records/store/RecordsStatusText.h"
#include "records/store/RunRecorder.h"
#include "records/store/CappedTraffic.h"
#include "tests/support/PgServer.h"
#include "tests/support/SqlBeside.h"

using namespace pb::records;

namespace {

constexpr char kChildVariable[] = "PANELBENCH_RECORDS_CHILD";

RunStart Start(const QString& procedure, qint64 ms, const QString& serial = {},
               const QString& link = QStringLiteral("/dev/pts/7 9600")) {
    RunStart start;
    start.procedure = procedure;
    start.linkText = link;
    start.station = QStringLiteral("bench-1");
    start.operatorName = QStringLiteral("Li Wei");
    start.startMs = ms;
    start.unit.serial = serial;
    return start;
}

UnitIdentity Identity(const QString& serial, const QString& version) {
    return {serial, 3, QStringLiteral("KV410"), version, QStringLiteral("01")};
}

RunEnd End(qint64 ms, Outcome outcome, const QJsonObject& details = {}) {
    RunEnd end;
    end.endMs = ms;
    end.outcome = outcome;
    end.statusText = QStringLiteral("Command finished.");
    end.details = details;
    return end;
}

// Runs this test program again with only `test` and `mode` in the environment variable.
void StartChild(QProcess& child, const QString& test, const QString& mode) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QLatin1String(kChildVariable), mode);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=") + test});
}

QString ChildMode(const char* prefix) {
    const QString mode = qEnvironmentVariable(kChildVariable);
    return mode.startsWith(QLatin1String(prefix)) ? mode.mid(qsizetype(strlen(prefix))) : QString();
}

TrafficFrame Frame(qint64 ms, Direction direction, const QByteArray& bytes) {
    return {ms, direction, bytes, QStringLiteral("good"), {}};
}

class RecordStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("records.sqlite")); }
};

// The store's behaviour that is the same on every back end: SQLite files, and a database
// of its own on the test's PostgreSQL server.
enum class BackEnd { Sqlite, Postgres };

class StoreOnBothBackEnds : public ::testing::TestWithParam<BackEnd> {
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
    QTemporaryDir dir;
    QString url;
};

INSTANTIATE_TEST_SUITE_P(, StoreOnBothBackEnds, ::testing::Values(BackEnd::Sqlite, BackEnd::Postgres),
                         [](const ::testing::TestParamInfo<BackEnd>& info) {
                             return info.param == BackEnd::Sqlite ? "Sqlite" : "Postgres";
                         });

TEST_P(StoreOnBothBackEnds, SerialAndStationPartsAreLiteralNotPatterns) {
    RecordStore store;
    ASSERT_TRUE(open(store).ok()) << store.status().detail.toStdString();
    const char* serials[] = {"SN_00001", "SN%00002", "SNA00003", "SN!00004"};
    const char* stations[] = {"line_1", "line%2", "lineA3", "line!4"};
    for (int i = 0; i < 4; ++i) {
        RunStart start = Start(QStringLiteral("connect"), 1000 + i, QLatin1String(serials[i]));
        start.station = QLatin1String(stations[i]);
        store.writer().endRun(store.writer().beginRun(start), End(2000 + i, Outcome::Ok));
    }
    const auto serialsOf = [&](const QString& part) {
        RunFilter filter;
        filter.serial = part;
        QStringList found;
        for (const RunRow& r : store.queries().runs(filter)) found << r.unitSerial;
        return found;
    };
    EXPECT_EQ(serialsOf(QStringLiteral("_")), QStringList{"SN_00001"});
    EXPECT_EQ(serialsOf(QStringLiteral("%")), QStringList{"SN%00002"});
    EXPECT_EQ(serialsOf(QStringLiteral("!")), QStringList{"SN!00004"});
    EXPECT_EQ(serialsOf(QStringLiteral("n_0")), QStringList{"SN_00001"});  // case-blind still
    EXPECT_EQ(serialsOf(QStringLiteral("SN")).size(), 4);
    EXPECT_EQ(store.queries().units(QStringLiteral("_")).size(), 1);
    EXPECT_EQ(store.queries().units(QStringLiteral("%")).size(), 1);
    RunFilter byStation;
    byStation.station = QStringLiteral("_");
    EXPECT_EQ(store.queries().runs(byStation).size(), 1);
    byStation.station = QStringLiteral("%2");
    EXPECT_EQ(store.queries().runs(byStation).size(), 1);
    QSqlQuery q = store.queries().runsQuery(byStation);
    int rows = 0;
    while (q.next()) ++rows;
    EXPECT_EQ(rows, 1);
    RunFilter recipes;
    recipes.serial = QStringLiteral("%");
    EXPECT_TRUE(store.queries().recipeRuns(recipes).isEmpty());
    EXPECT_TRUE(store.status().ok()) << store.status().detail.toStdString();
}

TEST_P(StoreOnBothBackEnds, AReaderMakesNothingAndWritesNothing) {
    const QString file = dir.filePath(QStringLiteral("records.sqlite"));
    const auto openToRead = [&](RecordStore& store) {
        return GetParam() == BackEnd::Sqlite ? store.openSqlite(file, RecordStore::Access::ReadOnly)
                                             : store.openUrl(url, RecordStore::Access::ReadOnly);
    };
    {
        RecordStore reader;
        EXPECT_EQ(openToRead(reader).error, RecordsError::Missing);
        EXPECT_FALSE(reader.isOpen());
    }
    EXPECT_FALSE(QFileInfo::exists(file));
    RecordStore writer;
    ASSERT_TRUE(open(writer).ok());
    const qint64 id = writer.writer().beginRun(Start(QStringLiteral("connect"), 1000, QStringLiteral("SN000001")));
    ASSERT_GT(id, 0);
    RecordStore reader;
    ASSERT_TRUE(openToRead(reader).ok()) << reader.status().detail.toStdString();
    EXPECT_EQ(reader.queries().runs({}).size(), 1);
    EXPECT_EQ(reader.writer().beginRun(Start(QStringLiteral("dido"), 2000)), 0);
    EXPECT_FALSE(reader.status().ok());
    EXPECT_EQ(writer.queries().runs({}).size(), 1);
    // A run whose writer is gone reads as interrupted, and stays "running" in the store
    // until a program that records opens it.
    QSqlQuery q(writer.database());
    ASSERT_TRUE(q.exec(QStringLiteral("UPDATE runs SET writer = 'elsewhere/1/1'")));
    RecordStore again;
    ASSERT_TRUE(openToRead(again).ok());
    EXPECT_EQ(again.queries().runs({}).value(0).outcome, Outcome::Interrupted);
    EXPECT_EQ(writer.queries().run(id)->outcome, Outcome::Interrupted);
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT outcome FROM runs")) && q.next());
    EXPECT_EQ(q.value(0).toString(), "running");
}

TEST_F(RecordStoreTest, AStoreAndTheFoldersMadeForItAreTheOwnersAloneWhateverTheUmask) {
    const auto mode = [](const QString& path) {
        struct stat st {};
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 07777u;
    };
    const QString nested = dir.filePath(QStringLiteral("kept/a/b/records.sqlite"));
    const mode_t before = ::umask(0);
    ASSERT_EQ(::mkdir(QFile::encodeName(dir.filePath(QStringLiteral("kept"))).constData(), 0755), 0);
    RecordStore store;
    const RecordsStatus status = store.openSqlite(nested);
    const qint64 id = store.writer().beginRun(Start(QStringLiteral("connect"), 1000));
    ::umask(before);
    ASSERT_TRUE(status.ok()) << status.detail.toStdString();
    ASSERT_GT(id, 0);
    EXPECT_EQ(mode(nested), 0600u);
    EXPECT_EQ(mode(nested + QStringLiteral("-wal")), 0600u);
    EXPECT_EQ(mode(nested + QStringLiteral("-shm")), 0600u);
    EXPECT_EQ(mode(dir.filePath(QStringLiteral("kept/a"))), 0700u);
    EXPECT_EQ(mode(dir.filePath(QStringLiteral("kept/a/b"))), 0700u);
    EXPECT_EQ(mode(dir.filePath(QStringLiteral("kept"))), 0755u);  // a folder that was there stays as it was
}

TEST_F(RecordStoreTest, FreshFileGetsTheLatestSchemaInTheDefaultPlace) {
    EXPECT_TRUE(RecordStore::DefaultPath().endsWith(QLatin1String("/NORDAX/PanelBench/records.sqlite")));
    EXPECT_TRUE(RecordStore::DefaultPath().startsWith(qEnvironmentVariable("XDG_DATA_HOME")));
    const QString nested = dir.filePath(QStringLiteral("a/b/records.sqlite"));
    RecordStore store;
    ASSERT_TRUE(store.openSqlite(nested).ok()) << store.status().detail.toStdString();
    QSqlDatabase db = store.database();
    EXPECT_EQ(SchemaVersion(db, store.dialect()), LatestSchemaVersion());
    QSqlQuery q(db);
    ASSERT_TRUE(q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next());
    EXPECT_EQ(q.value(0).toString(), "wal");
    // Two stores on one file have connections of their own.
    RecordStore second;
    ASSERT_TRUE(second.openSqlite(nested).ok());
    EXPECT_NE(store.connectionName(), second.connectionName());
}

TEST_F(RecordStoreTest, UpgradesAFileOfThePreviousSchemaKeepingItsRows) {
    {
        RecordStore store;
        ASSERT_TRUE(store.openSqlite(path()).ok());
    }
    // Made anew at the version before the latest, with a run in it.
    QFile::remove(path());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
        db.setDatabaseName(path());
        ASSERT_TRUE(db.open());
        // The step before the latest (the numbers may have gaps).
        const int previous = Migrations()[Migrations().size() - 2].version;
        ASSERT_TRUE(Migrate(db, SqliteDialect(), previous).ok());
        EXPECT_EQ(SchemaVersion(db, SqliteDialect()), previous);
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral(
            "INSERT INTO units (unit_key, serial, link_text, first_seen_ms, last_seen_ms) "
            "VALUES ('serial:A1', 'A1', 'COM1', 5, 5)")));
        ASSERT_TRUE(q.exec(QStringLiteral(
            "INSERT INTO runs (unit_id, procedure_id, start_ms, end_ms, outcome) "
            "VALUES (1, 'reboot', 5, 9, 'ok')")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("old"));
    RecordStore store;
    ASSERT_TRUE(store.openSqlite(path()).ok()) << store.status().detail.toStdString();
    QSqlDatabase db = store.database();
    EXPECT_EQ(SchemaVersion(db, store.dialect()), LatestSchemaVersion());
    const QList<RunRow> runs = store.queries().runs({});
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].unitSerial, "A1");
    EXPECT_EQ(runs[0].outcome, Outcome::Ok);
    // What the newer step added works on the old rows.
    EXPECT_TRUE(store.writer().saveTraffic(runs[0].id, {{Frame(6, Direction::Sent, "x")}, 0, -1}));
    EXPECT_EQ(store.queries().traffic(runs[0].id).frames.size(), 1);
}

TEST_P(StoreOnBothBackEnds, RunsAreWrittenAsTheyGoAndFindTheirUnit) {
    RecordStore store;
    ASSERT_TRUE(open(store).ok());
    // Before any identify: the link's unidentified unit.
    const qint64 connect = store.writer().beginRun(Start(QStringLiteral("connect"), 1000));
    ASSERT_GT(connect, 0);
    std::optional<RunRow> row = store.queries().run(connect);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->outcome, Outcome::Running);
    EXPECT_TRUE(row->unitSerial.isEmpty());
    const qint64 unidentified = row->unitId;
    // The identify at its end moves it to the unit with the serial number.
    RunEnd end = End(1800, Outcome::Ok);
    end.identity = Identity(QStringLiteral("KV-0042"), QStringLiteral("V1.20"));
    ASSERT_TRUE(store.writer().endRun(connect, end));
    row = store.queries().run(connect);
    EXPECT_EQ(row->unitSerial, "KV-0042");
    EXPECT_EQ(row->endMs, 1800);
    EXPECT_EQ(row->statusText, "Command finished.");
    const qint64 unitId = row->unitId;
    EXPECT_NE(unitId, unidentified);

    // The upgrade: progress mid-run, then the version after.
    const qint64 upgrade = store.writer().beginRun(Start(QStringLiteral("firmware-upgrade"), 2000, QStringLiteral("KV-0042")));
    ASSERT_TRUE(store.writer().updateRunDetails(upgrade, {{"blocksVerified", 12}}));
    EXPECT_EQ(store.queries().run(upgrade)->details.value("blocksVerified").toInt(), 12);
    end = End(9000, Outcome::Ok, {{"blocksVerified", 124}, {"versionAfter", "V1.30"}});
    end.identity = UnitIdentity{QStringLiteral("KV-0042"), -1, {}, QStringLiteral("V1.30"), {}};
    ASSERT_TRUE(store.writer().endRun(upgrade, end));
    EXPECT_EQ(store.queries().run(upgrade)->unitId, unitId);
    EXPECT_EQ(store.queries().run(upgrade)->details.value("blocksVerified").toInt(), 124);
    // The unit: the version as last identified; what this identify did not say is kept.
    const std::optional<UnitRow> unit = store.queries().unit(unitId);
    ASSERT_TRUE(unit);
    EXPECT_EQ(unit->identity.version, "V1.30");
    EXPECT_EQ(unit->identity.modelText, "KV410");
    EXPECT_EQ(unit->identity.modelKind, 3);
    EXPECT_EQ(unit->firstSeenMs, 1800);
    EXPECT_EQ(unit->lastSeenMs, 9000);
    EXPECT_EQ(unit->runCount, 2);

    // A run on another link that never identified stays under its link: no unit is made
    // up for it (nor is the first link's, now that its run moved away, a unit).
    const qint64 other = store.writer().beginRun(Start(QStringLiteral("reboot"), 3000, {}, QStringLiteral("127.0.0.1:4001")));
    ASSERT_TRUE(store.writer().endRun(other, End(3100, Outcome::OpenFailed)));
    EXPECT_EQ(store.queries().units().size(), 1);
    EXPECT_EQ(store.queries().units(QStringLiteral("kv-00")).size(), 1);  // part, any case
    QSqlQuery listed = store.queries().unitsQuery({});
    int unitRows = 0;
    while (listed.next()) ++unitRows;
    EXPECT_EQ(unitRows, 1);
    EXPECT_EQ(store.queries().run(other)->unitSerial, "");
    EXPECT_EQ(store.queries().run(other)->linkText, "127.0.0.1:4001");

    // Filters, newest first.
    QList<RunRow> runs = store.queries().runs({});
    ASSERT_EQ(runs.size(), 3);
    EXPECT_EQ(runs[0].id, other);
    EXPECT_EQ(runs[2].id, connect);
    RunFilter filter;
    filter.serial = QStringLiteral("0042");
    EXPECT_EQ(store.queries().runs(filter).size(), 2);
    filter = {};
    filter.outcome = Outcome::OpenFailed;
    EXPECT_EQ(store.queries().runs(filter).size(), 1);
    filter = {};
    filter.procedure = QStringLiteral("firmware-upgrade");
    EXPECT_EQ(store.queries().runs(filter).constFirst().id, upgrade);
    filter = {};
    filter.fromMs = 1500;
    filter.toMs = 3000;
    EXPECT_EQ(store.queries().runs(filter).size(), 1);
    filter = {};
    filter.runIds = {connect, other};
    EXPECT_EQ(store.queries().runs(filter).size(), 2);
    filter = {};
    filter.unitId = unitId;
    EXPECT_EQ(store.queries().runs(filter).size(), 2);
    EXPECT_EQ(store.queries().runs({}, 1).size(), 1);
}

TEST_P(StoreOnBothBackEnds, TwoControllersOfDifferentFamiliesWithOneSerialAreTwoUnits) {
    RecordStore store;
    ASSERT_TRUE(open(store).ok());
    RunEnd kv410 = End(1100, Outcome::Ok);
    kv410.identity = UnitIdentity{QStringLiteral("20250001"), 7, QStringLiteral("KV410"), QStringLiteral("0470"), {}};
    const qint64 first = store.writer().beginRun(Start(QStringLiteral("connect"), 1000));
    ASSERT_TRUE(store.writer().endRun(first, kv410));
    RunEnd kv740 = End(2100, Outcome::Ok);
    kv740.identity = UnitIdentity{QStringLiteral("20250001"), 6, QStringLiteral("KV740MX"), QStringLiteral("V6.01.03"), {}};
    const qint64 second = store.writer().beginRun(Start(QStringLiteral("connect"), 2000));
    ASSERT_TRUE(store.writer().endRun(second, kv740));
    const QList<UnitRow> units = store.queries().units(QStringLiteral("20250001"));
    ASSERT_EQ(units.size(), 2);
    EXPECT_NE(store.queries().run(first)->unitId, store.queries().run(second)->unitId);
    EXPECT_EQ(store.queries().unit(store.queries().run(first)->unitId)->identity.modelText, "KV410");
    EXPECT_EQ(store.queries().unit(store.queries().run(second)->unitId)->identity.modelText, "KV740MX");
    EXPECT_EQ(store.queries().unit(store.queries().run(first)->unitId)->runCount, 1);
    // A later run of the KV410, known by its serial and family, joins its own history.
    RunStart again = Start(QStringLiteral("reboot"), 3000, QStringLiteral("20250001"));
    again.unit.modelKind = 7;
    EXPECT_EQ(store.queries().run(store.writer().beginRun(again))->unitId, store.queries().run(first)->unitId);
}

// The rows of a store at schema 4 (units keyed by serial alone), written by hand.
TEST_P(StoreOnBothBackEnds, AStoreOfTheSchemaBeforeKeysUnitsByFamilyAndSerialKeepingEveryRun) {
    {
        RecordStore fresh;
        ASSERT_TRUE(open(fresh).ok());
    }
    const auto sql = [this](const QString& statement) {
        return pbtest::SqlBeside(dir.filePath(QStringLiteral("records.sqlite")),
                                 GetParam() == BackEnd::Postgres ? url : QString(), statement);
    };
    // Back to schema 4: the later steps' columns undone, then the version.
    for (const QString& statement : pbtest::LaterColumnsUndone(false))
        ASSERT_EQ(sql(statement), QString()) << qPrintable(statement);
    for (const char* statement : {
             "DROP TABLE recipe_time_hours", "DROP TABLE reply_latencies", "DROP TABLE station_heartbeats",
             "DROP TABLE recipe_run_hours", "DROP TABLE recipe_failure_hours",
             "DROP INDEX recipe_runs_by_unit_recipe", "ALTER TABLE recipe_runs DROP COLUMN first_test",
             "DROP INDEX recipe_runs_by_fixture", "ALTER TABLE recipe_runs DROP COLUMN socket_name",
             "ALTER TABLE recipe_runs DROP COLUMN fixture_name",
             "UPDATE schema_info SET value = '4' WHERE name = 'version'",
             "INSERT INTO units (unit_key, serial, link_text, model_kind, model_text, first_seen_ms, last_seen_ms) "
             "VALUES ('serial:A1', 'A1', 'COM1', 3, 'KV320MX', 5, 5)",
             // A serial scanned from a label, its family never read.
             "INSERT INTO units (unit_key, serial, link_text, first_seen_ms, last_seen_ms) "
             "VALUES ('serial:B2', 'B2', 'COM1', 6, 6)",
             "INSERT INTO runs (unit_id, procedure_id, start_ms, end_ms, outcome) "
             "SELECT id, 'connect', 5, 9, 'ok' FROM units WHERE serial = 'A1'",
             "INSERT INTO runs (unit_id, procedure_id, start_ms, end_ms, outcome) "
             "SELECT id, 'reboot', 10, 19, 'error' FROM units WHERE serial = 'A1'"})
        ASSERT_EQ(sql(QLatin1String(statement)), QString()) << statement;

    RecordStore store;
    ASSERT_TRUE(open(store).ok()) << store.status().detail.toStdString();
    QSqlDatabase db = store.database();
    EXPECT_EQ(SchemaVersion(db, store.dialect()), LatestSchemaVersion());
    const QList<UnitRow> a1 = store.queries().units(QStringLiteral("A1"));
    ASSERT_EQ(a1.size(), 1);
    EXPECT_EQ(a1[0].key, "unit:3:A1");
    EXPECT_EQ(a1[0].runCount, 2);
    EXPECT_EQ(store.queries().units(QStringLiteral("B2")).value(0).key, "serial:B2");
    EXPECT_EQ(store.queries().runs({}).size(), 2);
    // The unit's family identified again: the same unit; another family: a unit of its own.
    RunEnd same = End(30, Outcome::Ok);
    same.identity = UnitIdentity{QStringLiteral("A1"), 3, QStringLiteral("KV320MX"), QStringLiteral("V5.10.02"), {}};
    const qint64 sameRun = store.writer().beginRun(Start(QStringLiteral("connect"), 25));
    ASSERT_TRUE(store.writer().endRun(sameRun, same));
    EXPECT_EQ(store.queries().run(sameRun)->unitId, a1[0].id);
    RunEnd other = same;
    other.identity->modelKind = 6;
    const qint64 otherRun = store.writer().beginRun(Start(QStringLiteral("connect"), 35));
    ASSERT_TRUE(store.writer().endRun(otherRun, other));
    EXPECT_NE(store.queries().run(otherRun)->unitId, a1[0].id);
    EXPECT_EQ(store.queries().units(QStringLiteral("A1")).size(), 2);
}

TEST_P(StoreOnBothBackEnds, AStoreOnAnotherThreadWritesTheSameFileWithoutInterruptingThisOne) {
    RecordStore store;
    ASSERT_TRUE(open(store).ok());
    const qint64 mine = store.writer().beginRun(Start(QStringLiteral("dido"), 100, QStringLiteral("S1")));
    qint64 theirs = 0;
    int interrupted = -1;
    QThread* thread = QThread::create([&] {
        RecordStore other;
        if (!open(other).ok()) return;
        interrupted = other.interruptedAtOpen();
        theirs = other.writer().beginRun(Start(QStringLiteral("polling"), 200, QStringLiteral("S2")));
        other.writer().endRun(theirs, End(300, Outcome::Ok));
    });
    thread->start();
    thread->wait();
    delete thread;
    EXPECT_EQ(interrupted, 0);
    ASSERT_GT(theirs, 0);
    EXPECT_EQ(store.queries().run(mine)->outcome, Outcome::Running);
    EXPECT_EQ(store.queries().run(theirs)->outcome, Outcome::Ok);
}

TEST_P(StoreOnBothBackEnds, TrafficIsKeptCompressedWithinItsBound) {
    // A small bound: the first frames and the last ones, the count between.
    CappedTraffic log(4000);
    for (int i = 0; i < 200; ++i)
        log.add(Frame(i, i % 2 ? Direction::Received : Direction::Sent,
                      QByteArray("\x01" "0001AS") + QByteArray::number(i) + '\r'));
    KeptTraffic kept = log.kept();
    qint64 bytes = 0;
    for (const TrafficFrame& f : kept.frames) bytes += CappedTraffic::Cost(f);
    EXPECT_LE(bytes, 4000);
    EXPECT_EQ(kept.frames.size() + kept.dropped, 200);
    EXPECT_GT(kept.dropped, 0);
    EXPECT_EQ(kept.frames.first().ms, 0);
    EXPECT_EQ(kept.frames.last().ms, 199);
    EXPECT_EQ(kept.frames[kept.droppedAfter + 1].ms, kept.droppedAfter + 1 + kept.dropped);

    // The real bound, through the store: 6 MiB of frames in, at most 4 MiB kept.
    CappedTraffic big;
    const QByteArray block(1024, 'A');
    for (int i = 0; i < 6 * 1024; ++i) big.add(Frame(i, Direction::Sent, block));
    kept = big.kept();
    EXPECT_LE(kept.frames.size() * CappedTraffic::Cost(Frame(0, Direction::Sent, block)), kTrafficCapBytes);
    EXPECT_GT(kept.dropped, 2000);
    RecordStore store;
    ASSERT_TRUE(open(store).ok());
    const qint64 run = store.writer().beginRun(Start(QStringLiteral("firmware-upgrade"), 1));
    ASSERT_TRUE(store.writer().saveTraffic(run, kept));
    EXPECT_LT(EncodeTraffic(kept).size(), 1024 * 1024);  // compressed
    const KeptTraffic back = store.queries().traffic(run);
    EXPECT_EQ(back.frames.size(), kept.frames.size());
    EXPECT_EQ(back.dropped, kept.dropped);
    EXPECT_EQ(back.frames.last().ms, 6 * 1024 - 1);
    EXPECT_EQ(back.frames.first().bytes, block);
    EXPECT_EQ(store.queries().run(run)->frameCount, kept.frames.size());
    EXPECT_EQ(store.queries().run(run)->framesDropped, kept.dropped);
    EXPECT_FALSE(DecodeTraffic("not traffic"));
}

TEST_P(StoreOnBothBackEnds, TheRecorderKeepsARunWithItsTrafficAndNamesAProblemOnce) {
    RecordStore store;
    ASSERT_TRUE(open(store).ok());
    RunRecorder recorder(store);
    EXPECT_FALSE(recorder.takeNewProblem());
    recorder.frame(Frame(1, Direction::Sent, "lost"));  // no run open: not kept
    recorder.begin(Start(QStringLiteral("dido"), 100, QStringLiteral("KV-9")));
    const qint64 run = recorder.runId();
    ASSERT_GT(run, 0);
    recorder.frame(Frame(101, Direction::Sent, "\x01" "0001DI\r"));
    recorder.frame(Frame(102, Direction::Received, "\x02" "0001OK\r"));
    recorder.progress({{"cycles", 1}});
    EXPECT_EQ(store.queries().run(run)->details.value("cycles").toInt(), 1);
    recorder.end(End(200, Outcome::Ok, {{"cycles", 3}}));
    EXPECT_EQ(recorder.runId(), 0);
    const std::optional<RunRow> row = store.queries().run(run);
    EXPECT_EQ(row->outcome, Outcome::Ok);
    EXPECT_EQ(row->details.value("cycles").toInt(), 3);
    const KeptTraffic traffic = store.queries().traffic(run);
    ASSERT_EQ(traffic.frames.size(), 2);
    EXPECT_EQ(traffic.frames[1].direction, Direction::Received);

    // A store that is off: nothing happens, and the reason comes out once.
    RecordStore off;
    QFile blocker(dir.filePath(QStringLiteral("a-file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    off.openSqlite(dir.filePath(QStringLiteral("a-file/inside")));
    RunRecorder quiet(off);
    quiet.begin(Start(QStringLiteral("dido"), 300));
    quiet.frame(Frame(301, Direction::Sent, "x"));
    quiet.end(End(400, Outcome::Ok));
    const std::optional<RecordsStatus> problem = quiet.takeNewProblem();
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->error, RecordsError::FolderNotWritable);
    EXPECT_FALSE(quiet.takeNewProblem());
}

// The child half of the next test: begins an upgrade, records progress and traffic, says
// so and waits to be killed.
TEST(RecordsChild, HoldsAnUpgradeOpen) {
    const QString file = ChildMode("hold:");
    if (file.isEmpty()) GTEST_SKIP() << "runs as the child of KilledMidRunLeavesAnInterruptedRun";
    RecordStore store;
    ASSERT_TRUE(store.openSqlite(file).ok());
    const qint64 run = store.writer().beginRun(Start(QStringLiteral("firmware-upgrade"), 5000, QStringLiteral("KV-7")));
    ASSERT_TRUE(store.writer().updateRunDetails(run, {{"blocksVerified", 37}}));
    ASSERT_TRUE(store.writer().saveTraffic(run, {{Frame(5001, Direction::Sent, "\x01" "0001UP\r")}, 0, -1}));
    printf("READY %lld\n", static_cast<long long>(run));
    fflush(stdout);
    QEventLoop().exec();  // until SIGKILL
}

TEST_P(StoreOnBothBackEnds, ARecipeRunGroupsItsStepsAndRunsAndIsFoundByItsUnitAndRuns) {
    RecordStore store;
    ASSERT_TRUE(open(store).ok());
    RecipeRunStart start;
    start.recipeName = QStringLiteral("KV410-standard");
    start.recipeHash = QStringLiteral("cafe");
    start.scannedSerial = QStringLiteral(" KV-0050 ");
    start.linkText = QStringLiteral("/dev/pts/7 9600");
    start.station = QStringLiteral("bench-3");
    start.startMs = 5000;
    start.steps = {{0, QStringLiteral("identify"), QStringLiteral("Identify"), QStringLiteral("not-run"), {}, 0, {}, {}},
                   {1, QStringLiteral("dido"), QStringLiteral("Inputs"), QStringLiteral("not-run"), {}, 0, {}, {}}};
    const qint64 recipeRun = store.recipeWriter().beginRecipeRun(start);
    ASSERT_GT(recipeRun, 0);
    EXPECT_EQ(store.queries().recipeRun(recipeRun)->verdict, "running");
    EXPECT_EQ(store.queries().recipeRun(recipeRun)->scannedSerial, "KV-0050");

    // Step 1 tried twice; an unrelated run stays out of it.
    QList<qint64> runs;
    for (qint64 ms : {5100, 5300, 5500}) {
        runs << store.writer().beginRun(Start(QStringLiteral("dido"), ms, QStringLiteral("KV-0050")));
        ASSERT_TRUE(store.writer().endRun(runs.last(), End(ms + 50, Outcome::Error)));
    }
    ASSERT_TRUE(store.recipeWriter().linkRunToRecipe(runs[0], recipeRun, 1));
    ASSERT_TRUE(store.recipeWriter().linkRunToRecipe(runs[1], recipeRun, 1));
    EXPECT_EQ(store.queries().recipeRunOf(runs[1]), recipeRun);
    EXPECT_EQ(store.queries().recipeRunOf(runs[2]), 0);

    // The controller names another serial than the scanned one: the unit is the controller's.
    RecipeRunEnd end;
    end.endMs = 6000;
    end.verdict = QStringLiteral("fail");
    end.failingStep = 1;
    end.reasonText = QStringLiteral("Input 2 stuck");
    end.steps = start.steps;
    end.steps[0].verdict = QStringLiteral("pass");
    end.steps[1].verdict = QStringLiteral("fail");
    end.steps[1].attempts = 2;
    end.identity = Identity(QStringLiteral("KV-0051"), QStringLiteral("V1.30"));
    ASSERT_TRUE(store.recipeWriter().endRecipeRun(recipeRun, end));
    const std::optional<RecipeRunRow> row = store.queries().recipeRun(recipeRun);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->unitSerial, "KV-0051");
    EXPECT_EQ(row->scannedSerial, "KV-0050");
    EXPECT_EQ(row->failingStep, 1);
    EXPECT_EQ(row->endMs, 6000);
    ASSERT_EQ(row->steps.size(), 2);
    EXPECT_TRUE(row->steps[0].runIds.isEmpty());
    EXPECT_EQ(row->steps[1].runIds, (QList<qint64>{runs[0], runs[1]}));
    EXPECT_EQ(row->steps[1].attempts, 2);

    // Found by either serial, its station, the unit and a run of it; not by another run.
    RunFilter filter;
    filter.serial = QStringLiteral("kv-0050");
    EXPECT_EQ(store.queries().recipeRuns(filter).size(), 1);
    filter = {};
    filter.unitId = row->unitId;
    filter.station = QStringLiteral("BENCH-3");
    EXPECT_EQ(store.queries().recipeRuns(filter).size(), 1);
    filter = {};
    filter.runIds = {runs[2]};
    EXPECT_TRUE(store.queries().recipeRuns(filter).isEmpty());
    filter.runIds = {runs[2], runs[1]};
    EXPECT_EQ(store.queries().recipeRuns(filter).value(0).id, recipeRun);
    filter = {};
    filter.fromMs = 5001;
    EXPECT_TRUE(store.queries().recipeRuns(filter).isEmpty());
}

TEST_F(RecordStoreTest, KilledMidRunLeavesAnInterruptedRunAndASoundFile) {
    {
        RecordStore store;  // an earlier, finished run
        ASSERT_TRUE(store.openSqlite(path()).ok());
        store.writer().endRun(store.writer().beginRun(Start(QStringLiteral("connect"), 10, QStringLiteral("KV-7"))),
                     End(20, Outcome::Ok));
    }
    QProcess child;
    StartChild(child, QStringLiteral("RecordsChild.HoldsAnUpgradeOpen"), QStringLiteral("hold:") + path());
    QByteArray output;
    while (!output.contains("READY") && child.waitForReadyRead(30000)) output += child.readAll();
    ASSERT_TRUE(output.contains("READY")) << output.toStdString();
    child.kill();  // SIGKILL
    ASSERT_TRUE(child.waitForFinished(30000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);

    RecordStore store;
    ASSERT_TRUE(store.openSqlite(path()).ok());
    EXPECT_EQ(store.interruptedAtOpen(), 1);
    const QList<RunRow> runs = store.queries().runs({});
    ASSERT_EQ(runs.size(), 2);
    EXPECT_EQ(runs[0].outcome, Outcome::Interrupted);
    EXPECT_EQ(runs[0].details.value("blocksVerified").toInt(), 37);
    EXPECT_EQ(runs[0].unitSerial, "KV-7");
    EXPECT_EQ(store.queries().traffic(runs[0].id).frames.size(), 1);
    EXPECT_EQ(runs[1].outcome, Outcome::Ok);
    QSqlDatabase db = store.database();
    QString detail;
    EXPECT_TRUE(store.dialect().integrityOk(db, &detail)) << detail.toStdString();
    // Marked once: opening again finds nothing left running.
    RecordStore again;
    ASSERT_TRUE(again.openSqlite(path()).ok());
    EXPECT_EQ(again.interruptedAtOpen(), 0);
}

TEST_F(RecordStoreTest, AFolderThatCannotBeMadeTurnsTheRecordsOffQuietly) {
    // A regular file where the folder should be: no folder can be made under it, even as root.
    QFile blocker(dir.filePath(QStringLiteral("data")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString file = dir.filePath(QStringLiteral("data/NORDAX/PanelBench/records.sqlite"));
    RecordStore store;
    const RecordsStatus status = store.openSqlite(file);
    EXPECT_EQ(status.error, RecordsError::FolderNotWritable);
    EXPECT_FALSE(store.isOpen());
    // Every call is a quiet no-op.
    EXPECT_EQ(store.writer().beginRun(Start(QStringLiteral("reboot"), 1)), 0);
    EXPECT_FALSE(store.writer().endRun(1, End(2, Outcome::Ok)));
    EXPECT_TRUE(store.queries().runs({}).isEmpty());
    EXPECT_TRUE(store.queries().units().isEmpty());
    // The line the status bar shows, in each language, names the folder.
    for (int language = 0; language < 3; ++language) {
        const QString text = StatusText(status, language);
        EXPECT_TRUE(text.contains(QLatin1String("NORDAX/PanelBench"))) << text.toStdString();
        EXPECT_TRUE(text.startsWith(pb::Text(pb::RecordText::RecordsOff, language).section(u'%', 0, 0)));
    }
    EXPECT_TRUE(StatusText({}, 0).isEmpty());
}

// The child half of the next test: writes under a file size limit until the disk is "full".
TEST(RecordsChild, WritesUnderAFileSizeLimit) {
    const QString folder = ChildMode("full:");
    if (folder.isEmpty()) GTEST_SKIP() << "runs as the child of AFullDiskTurnsTheRecordsOff";
    // Past the limit a write fails instead of killing the process.
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{48 * 1024, 48 * 1024};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    // Too small even for the schema of a new file with a large first run.
    RecordStore store;
    RecordsStatus status = store.openSqlite(folder + QStringLiteral("/records.sqlite"));
    QJsonObject big{{"pad", QString(20000, u'x')}};
    for (int i = 0; status.ok() && i < 40; ++i) {
        RunStart start = Start(QStringLiteral("polling"), i + 1);
        start.details = big;
        if (store.writer().beginRun(start) == 0) status = store.status();
    }
    EXPECT_EQ(status.error, RecordsError::DiskFull) << status.detail.toStdString();
    EXPECT_FALSE(store.isOpen());
    EXPECT_EQ(store.writer().beginRun(Start(QStringLiteral("polling"), 99)), 0);
    EXPECT_TRUE(StatusText(status, 1).contains(pb::Text(pb::RecordText::ReasonDiskFull, 1)));
}

TEST_F(RecordStoreTest, AFullDiskTurnsTheRecordsOff) {
    QProcess child;
    StartChild(child, QStringLiteral("RecordsChild.WritesUnderAFileSizeLimit"), QStringLiteral("full:") + dir.path());
    ASSERT_TRUE(child.waitForFinished(60000));
    const QByteArray output = child.readAll();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

TEST_F(RecordStoreTest, ASmallFileSystemThatFillsUpRefusesWhatHasNoRoomAndKeepsWhatFits) {
    // A real full disk: a 512 KiB tmpfs, where the system answers "no space left" (the
    // schema's making takes about 220 KiB of it in the journal).
    const QString mountPoint = dir.filePath(QStringLiteral("small"));
    ASSERT_TRUE(QDir().mkpath(mountPoint));
    if (::geteuid() != 0 ||
        ::mount("tmpfs", mountPoint.toLocal8Bit().constData(), "tmpfs", 0, "size=512k") != 0)
        GTEST_SKIP() << "mounting a tmpfs needs root; the file size limit test covers the rest";
    struct Unmount {
        QByteArray path;
        ~Unmount() { ::umount2(path.constData(), MNT_DETACH); }
    } unmount{mountPoint.toLocal8Bit()};
    RecordStore store;
    RecordsStatus status = store.openSqlite(mountPoint + QStringLiteral("/records.sqlite"));
    ASSERT_TRUE(status.ok()) << status.detail.toStdString();
    RunStart start = Start(QStringLiteral("polling"), 1);
    start.details = {{"pad", QString(20000, u'x')}};
    int written = 0;
    for (; written < 100 && store.writer().beginRun(start) > 0; ++written) {
    }
    EXPECT_GT(written, 0);
    EXPECT_LT(written, 100);
    EXPECT_EQ(store.status().error, RecordsError::DiskFull) << store.status().detail.toStdString();
    // Off for the write that found no room only: a run's end that fits is still kept.
    EXPECT_TRUE(store.isOpen());
    EXPECT_TRUE(store.writer().endRun(1, End(2, Outcome::Ok)));
}

TEST_F(RecordStoreTest, ADamagedFileIsKeptAsideAndAFreshOneMade) {
    QFile damaged(path());
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    const QByteArray garbage = QByteArray("this was a records file\n").repeated(400);
    damaged.write(garbage);
    damaged.close();
    RecordStore store;
    const RecordsStatus status = store.openSqlite(path());
    EXPECT_EQ(status.error, RecordsError::NotAStore) << status.detail.toStdString();
    ASSERT_FALSE(status.movedAsideTo.isEmpty());
    EXPECT_TRUE(status.movedAsideTo.startsWith(path() + QStringLiteral(".damaged-")));
    QFile kept(status.movedAsideTo);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), garbage);
    // The fresh file works, and the status line says where the old one went.
    EXPECT_TRUE(store.isOpen());
    EXPECT_GT(store.writer().beginRun(Start(QStringLiteral("alarm"), 1)), 0);
    EXPECT_TRUE(StatusText(status, 2).contains(QDir::toNativeSeparators(status.movedAsideTo)));
}

TEST_F(RecordStoreTest, AFileWithASoundHeaderButATornSchemaIsKeptAsideToo) {
    {
        RecordStore store;
        ASSERT_TRUE(store.openSqlite(path()).ok());
        store.writer().beginRun(Start(QStringLiteral("alarm"), 1, QStringLiteral("KV-1")));
    }
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.seek(100));  // past the 100-byte header: the schema's page
    file.write(QByteArray(4096 - 100, '\xA5'));
    file.close();
    RecordStore store;
    const RecordsStatus status = store.openSqlite(path());
    EXPECT_EQ(status.error, RecordsError::Damaged) << status.detail.toStdString();
    EXPECT_FALSE(status.movedAsideTo.isEmpty());
    EXPECT_TRUE(store.isOpen());
    EXPECT_TRUE(store.queries().runs({}).isEmpty());
}

TEST_F(RecordStoreTest, AnotherProgramsDatabaseIsLeftAsItWasAndKeptAside) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("foreign"));
        db.setDatabaseName(path());
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("CREATE TABLE contacts (name TEXT)")));
        ASSERT_TRUE(q.exec(QStringLiteral("INSERT INTO contacts VALUES ('Zhang San')")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("foreign"));
    RecordStore store;
    const RecordsStatus status = store.openSqlite(path());
    EXPECT_EQ(status.error, RecordsError::Foreign);
    ASSERT_FALSE(status.movedAsideTo.isEmpty());
    EXPECT_TRUE(store.isOpen());
    EXPECT_TRUE(StatusText(status, 0).contains(QLatin1String("another program")));
    // Untouched: still its table, still in its own journal mode (header bytes 18 and 19).
    QFile kept(status.movedAsideTo);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    const QByteArray header = kept.read(20);
    EXPECT_EQ(header.at(18), 1);
    EXPECT_EQ(header.at(19), 1);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("kept"));
        db.setDatabaseName(status.movedAsideTo);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT name FROM contacts")) && q.next());
        EXPECT_EQ(q.value(0).toString(), "Zhang San");
    }
    QSqlDatabase::removeDatabase(QStringLiteral("kept"));
}

TEST_F(RecordStoreTest, AFileOfANewerVersionIsLeftAlone) {
    {
        RecordStore store;
        ASSERT_TRUE(store.openSqlite(path()).ok());
        QSqlQuery q(store.database());
        ASSERT_TRUE(q.exec(QStringLiteral("UPDATE schema_info SET value = '99' WHERE name = 'version'")));
    }
    RecordStore store;
    const RecordsStatus status = store.openSqlite(path());
    EXPECT_EQ(status.error, RecordsError::NewerSchema);
    EXPECT_TRUE(status.movedAsideTo.isEmpty());
    EXPECT_FALSE(store.isOpen());
    EXPECT_TRUE(QFile::exists(path()));
    EXPECT_FALSE(StatusText(status, 1).isEmpty());
}

}  // namespace
