// Records an auditor can trust: each station's unit tests as a hash chain that names an
// edit, a removal and an insertion made with plain SQL, on a station's file and on the
// shared server; the server refusing a link changed before it arrived; and the store
// keeping its records when its file vanishes, its media is read-only or its disk is full.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSqlQuery>

#include "records/store/Migrations.h"
#include "records/store/RecordChain.h"
#include "records/store/ServerAddress.h"
#include "records/sync/RecordsUploader.h"
#include "tests/support/SeededUnitTests.h"
#include "tests/support/SqlBeside.h"
#include "tests/support/StoreOnBackEnd.h"

using namespace pb::records;
using namespace pbtest;

namespace {

ChainReport Walk(RecordStore& store) {
    QSqlDatabase db = store.database();
    QSqlError error;
    ChainReport report = VerifyChains(db, &error);
    EXPECT_FALSE(error.isValid()) << error.text().toStdString();
    return report;
}

QStringList Named(const ChainReport& report) {
    static const char* const kinds[] = {"changed", "removed", "inserted"};
    QStringList named;
    for (const ChainFinding& f : report.findings)
        named << QStringLiteral("%1 %2 %3").arg(QLatin1String(kinds[f.kind]), f.station).arg(f.rowId);
    return named;
}

// Four unit tests of one station on a station's file; on the server parameter, sent there.
class RecordChain : public StoreOnBackEnd {};

TEST_P(RecordChain, AnEditARemovalAndAnInsertionAreEachNamedByStationAndRow) {
    RecordStore local;
    local.setOutbox(true);
    ASSERT_TRUE(local.openSqlite(dir.filePath("station.sqlite")).ok());
    for (int i = 0; i < 4; ++i)
        WriteUnitTest(local, {QStringLiteral("SN%1").arg(i), 1000 * (i + 1), i == 1 ? "fail" : "pass", "line-1", {}, {},
                              i == 1 ? 1 : -1});
    WriteUnitTest(local, {QStringLiteral("SN9"), 9000, "pass", "line-2"});
    RecordStore& checked = GetParam() == BackEnd::Sqlite ? local : store;
    if (GetParam() == BackEnd::Postgres) {
        ASSERT_EQ(SendQueued(local, store).sent, 5);
    }
    ChainReport whole = Walk(checked);
    EXPECT_TRUE(whole.whole()) << Named(whole).join(", ").toStdString();
    EXPECT_EQ(whole.links, 5);
    EXPECT_EQ(whole.chains, 2);

    const QString file = GetParam() == BackEnd::Sqlite ? dir.filePath("station.sqlite") : QString();
    const QString key = GetParam() == BackEnd::Sqlite ? "id" : "local_recipe_run_id";
    for (const QString& sql :
         {QStringLiteral("UPDATE recipe_runs SET verdict = 'pass', failing_step = NULL WHERE %1 = 2"),
          QStringLiteral("DELETE FROM recipe_steps WHERE recipe_run_id = (SELECT id FROM recipe_runs WHERE %1 = 3)"),
          QStringLiteral("DELETE FROM recipe_runs WHERE %1 = 3"),
          QStringLiteral("INSERT INTO recipe_runs (unit_id, recipe_name, recipe_hash, station, start_ms, end_ms, verdict) "
                         "SELECT unit_id, recipe_name, recipe_hash, station, 5000, 5500, 'pass' FROM recipe_runs "
                         "WHERE %1 = 1")})
        ASSERT_EQ(SqlBeside(file, url, sql.arg(key)), QString()) << sql.toStdString();
    QSqlQuery q(checked.database());
    ASSERT_TRUE(q.exec("SELECT MAX(id) FROM recipe_runs") && q.next());
    const qint64 inserted = q.value(0).toLongLong();
    const ChainReport broken = Walk(checked);
    EXPECT_EQ(Named(broken), (QStringList{"changed line-1 2", "removed line-1 3",
                                          QStringLiteral("inserted line-1 %1").arg(inserted)}));
}

INSTANTIATE_TEST_SUITE_P(BackEnds, RecordChain, BothBackEnds(), BackEndName);

class ServerLinks : public StoreOnBackEnd {};

TEST_P(ServerLinks, ALinkChangedBeforeItWasSentIsRefusedAndWaitsInTheOutboxWithTheReason) {
    RecordStore local;
    local.setOutbox(true);
    const QString file = dir.filePath("station.sqlite");
    ASSERT_TRUE(local.openSqlite(file).ok());
    WriteUnitTest(local, {"SN1", 1000, "fail", "line-1", {}, {}, 1});
    WriteUnitTest(local, {"SN2", 2000, "pass"});
    ASSERT_EQ(SqlBeside(file, {}, "UPDATE recipe_runs SET verdict = 'pass' WHERE id = 1"), QString());
    const UploadResult sent = SendQueued(local, store);
    EXPECT_TRUE(sent.server.ok()) << sent.server.detail.toStdString();
    EXPECT_EQ(sent.sent, 1);
    EXPECT_EQ(sent.refused, 1);
    EXPECT_EQ(local.outbox().pendingUploads(), 1);
    EXPECT_EQ(local.outbox().refused(), (QList<std::pair<qint64, QString>>{{1, QLatin1String(kRefusedChanged)}}));
    EXPECT_EQ(SendQueued(local, store).sent, 0);  // not sent again
}

INSTANTIATE_TEST_SUITE_P(Server, ServerLinks, ::testing::Values(BackEnd::Postgres), BackEndName);

TEST(RecordStoreFile, UnitTestsKeptBeforeTheChainAreChainedOldestEndFirstAndNewOnesFollow) {
    QTemporaryDir dir;
    const QString path = dir.filePath("records.sqlite");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "before-the-chain");
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(Migrate(db, SqliteDialect(), 11).ok());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec("INSERT INTO units (unit_key, serial, link_text, first_seen_ms, last_seen_ms) "
                           "VALUES ('serial:A1', 'A1', 'COM1', 5, 5)"));
        for (const char* ended : {"9000", "7000"})
            ASSERT_TRUE(q.exec(QStringLiteral("INSERT INTO recipe_runs (unit_id, recipe_name, recipe_hash, station, "
                                              "start_ms, end_ms, verdict) VALUES (1, 'KV410', 'ab', 'line-1', 5, %1, "
                                              "'pass')").arg(QLatin1String(ended))));
    }
    QSqlDatabase::removeDatabase("before-the-chain");
    RecordStore store;
    ASSERT_TRUE(store.openSqlite(path).ok()) << store.status().detail.toStdString();
    EXPECT_EQ(store.queries().recipeRun(2)->chain.seq, 1);  // ended first
    EXPECT_EQ(store.queries().recipeRun(1)->chain.prevId, 2);
    WriteUnitTest(store, {"SN3", 10000, "pass", "line-1"});
    EXPECT_EQ(store.queries().recipeRun(3)->chain.prevId, 1);
    const ChainReport report = Walk(store);
    EXPECT_TRUE(report.whole()) << Named(report).join(", ").toStdString();
    EXPECT_EQ(report.links, 3);
}

TEST(RecordStoreFile, ADeletedFileIsMadeAnewWithEveryRecordAndSaysSoOnce) {
    QTemporaryDir dir;
    const QString path = dir.filePath("records.sqlite");
    RecordStore store;
    ASSERT_TRUE(store.openSqlite(path).ok());
    WriteUnitTest(store, {"SN1", 1000, "pass"});
    for (const char* side : {"", "-wal", "-shm"}) QFile::remove(path + QLatin1String(side));
    WriteUnitTest(store, {"SN2", 2000, "pass"});
    EXPECT_EQ(store.status().error, RecordsError::Reopened);
    WriteUnitTest(store, {"SN3", 3000, "pass"});
    store.close();
    ASSERT_TRUE(store.openSqlite(path, RecordStore::Access::ReadOnly).ok());
    EXPECT_EQ(store.queries().recipeRuns({}).size(), 3);
    EXPECT_TRUE(Walk(store).whole());
}

TEST(RecordStoreFile, AStoreOnMediaItCannotWriteIsReadAsItIs) {
    QTemporaryDir dir;
    const QString path = dir.filePath("records.sqlite");
    {
        RecordStore store;
        ASSERT_TRUE(store.openSqlite(path).ok());
        WriteUnitTest(store, {"SN1", 1000, "pass"});
    }
    // The -shm file a reader of a WAL file needs can be neither made nor opened, as on
    // read-only media: its name leads into a folder that is not there.
    ASSERT_TRUE(QFile::link(dir.filePath("gone/shm"), path + "-shm"));
    RecordStore reader;
    const RecordsStatus opened = reader.openSqlite(path, RecordStore::Access::ReadOnly);
    ASSERT_TRUE(opened.ok()) << opened.detail.toStdString();
    EXPECT_EQ(reader.queries().recipeRuns({}).size(), 1);
}

TEST(RecordStoreFile, VerdictsAFullDiskHeldBackAreWrittenOnceThereIsRoomNeverAsInterrupted) {
    QTemporaryDir dir;
    const QString path = dir.filePath("records.sqlite");
    RecordStore store;
    ASSERT_TRUE(store.openSqlite(path).ok());
    RecipeRunStart start;
    start.recipeName = "KV410";
    start.recipeHash = "ab12";
    start.station = "line-1";
    const qint64 id = store.recipeWriter().beginRecipeRun(start);
    {
        QSqlQuery q(store.database());
        ASSERT_TRUE(q.exec("PRAGMA page_count") && q.next());
        ASSERT_TRUE(q.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(q.value(0).toLongLong())));
        RecipeRunEnd end;
        end.endMs = 2000;
        end.verdict = "pass";
        end.reasonText = QString(200000, u'x');
        EXPECT_FALSE(store.recipeWriter().endRecipeRun(id, end));
        EXPECT_EQ(store.status().error, RecordsError::DiskFull);
        ASSERT_TRUE(q.exec("PRAGMA max_page_count = 1000000"));  // room again
    }
    store.close();
    ASSERT_TRUE(store.openSqlite(path).ok());
    EXPECT_EQ(store.queries().recipeRun(id)->verdict, "pass");
}

TEST(RecordsUrl, NoOptionValueOrPasswordIsEverShown) {
    for (const char* url : {"postgresql://station@%2Ftmp%2Fpg:5499/pb?PASSWORD=S3cretPw!",
                            "postgresql://station@%2Ftmp%2Fpg:5499/pb?Password=S3cretPw!",
                            "postgresql://station@%2Ftmp%2Fpg:5499/pb?passfile=S3cret%20Pw!",
                            "postgresql://station@%2Ftmp%2Fpg:5499/pb?options=-c%20password%3DS3cretPw!",
                            "postgresql://station@%2Ftmp%2Fpg:5499/pb?options=password%3DS3cretPw!"}) {
        QString why, argument;
        EXPECT_FALSE(ParseServerUrl(QString::fromLatin1(url), &why, nullptr, &argument)) << url;
        RecordStore store;
        const RecordsStatus s = store.openUrl(QString::fromLatin1(url));
        for (const QString& shown : {why, argument, s.path, s.detail})
            EXPECT_FALSE(shown.contains("S3cret")) << url << ": " << shown.toStdString();
    }
}

}  // namespace
