// The window's records with the test server as the shared one: the second store opened
// when the records window first asks (once, and anew for another server), and a close
// while the uploader is sending stops it after the run in hand, every run then on the
// server or still queued here, no connection left open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTime>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTest>

#include "app/WindowRecords.h"
#include "records/store/RecordStore.h"
#include "records/sync/RecordsUploader.h"
#include "tests/support/PgServer.h"

using namespace pb;
using namespace pbtest;

namespace {

struct Scratch {
    Scratch() { qputenv("XDG_DATA_HOME", data.path().toLocal8Bit()); }
    ~Scratch() { qputenv("XDG_DATA_HOME", oldData); }
    QByteArray oldData = qgetenv("XDG_DATA_HOME");
    QTemporaryDir data;
};

void WriteRun(records::RecordStore& store) {
    records::RunStart start;
    start.procedure = QStringLiteral("set-date");
    start.linkText = QStringLiteral("127.0.0.1:5003");
    start.startMs = QDateTime::currentMSecsSinceEpoch();
    store.writer().endRun(store.writer().beginRun(start), {start.startMs + 10, records::Outcome::Ok, {}, {}, {}});
}

qint64 ServerRunCount(const QString& url) {
    records::RecordStore server;
    return server.openUrl(url).ok() ? server.queries().runs({}).size() : -1;
}

}  // namespace

TEST(WindowRecordsOwnerShared, AServerSetLaterOpensTheSecondStoreOnceAndAnotherOneAnew) {
    QString why;
    const QString url = FreshDatabase(&why);
    ASSERT_FALSE(url.isEmpty()) << why.toStdString();
    const QString other = FreshDatabase(&why);
    ASSERT_FALSE(other.isEmpty()) << why.toStdString();
    Scratch scratch;
    WindowRecords records({}, {});
    EXPECT_EQ(&records.shownStore(), &records.store());

    bool answered = false;
    QObject::connect(&records, &WindowRecords::progress,
                     [&](qint64, const records::RecordsStatus& server) { answered = server.ok(); });
    records.setUrl(url);
    EXPECT_EQ(records.sharedStore(), nullptr);  // not before the records window asks
    // The uploader makes the records on the server; the window only reads them.
    ASSERT_TRUE(QTest::qWaitFor([&] { return answered; }, 60000));
    records::RecordStore& shown = records.shownStore();
    ASSERT_EQ(&shown, records.sharedStore());
    EXPECT_TRUE(shown.isServer());
    const QString connection = shown.connectionName();
    EXPECT_EQ(records.shownStore().connectionName(), connection);

    // A run ended now reaches it.
    WriteRun(records.store());
    records.runEnded();
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.queries().runs({}).size() == 1; }, 60000));

    answered = false;
    records.setUrl(other);
    EXPECT_EQ(records.sharedStore(), nullptr);
    EXPECT_FALSE(QSqlDatabase::connectionNames().contains(connection));
    ASSERT_TRUE(QTest::qWaitFor([&] { return answered; }, 60000));
    EXPECT_TRUE(records.shownStore().isServer());
    EXPECT_NE(records.shownStore().connectionName(), connection);
    EXPECT_EQ(records.shownStore().queries().runs({}).size(), 0);
}

TEST(WindowRecordsOwnerShared, ClosedWhileSendingEveryRunIsOnTheServerOrStillQueued) {
    QString why;
    const QString url = FreshDatabase(&why);
    ASSERT_FALSE(url.isEmpty()) << why.toStdString();
    Scratch scratch;
    constexpr int kRuns = 300;
    {
        records::RecordStore local;
        local.setOutbox(true);
        ASSERT_TRUE(local.openSqlite().ok());
        for (int i = 0; i < kRuns; ++i) WriteRun(local);
        ASSERT_EQ(local.outbox().pendingUploads(), kRuns);
    }
    ASSERT_EQ(QSqlDatabase::connectionNames(), QStringList());
    {
        // The uploader starts sending the queue at once; closed as soon as it is at it.
        WindowRecords records(url, {});
        ASSERT_NE(records.uploader(), nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return ServerRunCount(url) > 0; }, 60000));
    }
    EXPECT_EQ(QSqlDatabase::connectionNames(), QStringList());

    records::RecordStore local;
    local.setOutbox(true);
    ASSERT_TRUE(local.openSqlite().ok());
    EXPECT_EQ(local.queries().runs({}).size(), kRuns);
    const qint64 sent = ServerRunCount(url);
    EXPECT_GT(sent, 0);
    EXPECT_EQ(sent + local.outbox().pendingUploads(), kRuns);
}
