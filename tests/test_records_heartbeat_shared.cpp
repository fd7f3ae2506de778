// The stations' heartbeats and the line's overview read from them, on SQLite and on the
// PostgreSQL test cluster: a beat replaces the station's last one, a station silent for
// over a minute is away, today's units and first-pass yield per station, and the last
// failure is the station's own even beside a station whose name holds its name. On the
// cluster, the heartbeat's thread beats again, tells a new activity, and says idle when
// it stops; the notification reaches a listener.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDeadlineTimer>
#include <QSqlDriver>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>

#include <QHeaderView>
#include <QPixmap>
#include <QTableView>

#include "app/LineOverviewModel.h"
#include "app/LineOverviewWindow.h"
#include "records/sync/LineOverview.h"
#include "records/store/RecordStore.h"
#include "records/sync/StationHeartbeat.h"
#include "tests/support/SeededUnitTests.h"
#include "tests/support/StoreOnBackEnd.h"

using namespace pb::records;
using pbtest::BackEnd;

namespace {

class HeartbeatsOn : public pbtest::StoreOnBackEnd {
protected:

};

INSTANTIATE_TEST_SUITE_P(, HeartbeatsOn, pbtest::BothBackEnds(), pbtest::BackEndName);

const qint64 kNoon = QDateTime(QDate(2026, 12, 9), QTime(12, 0)).toMSecsSinceEpoch();

const Heartbeat* Find(const QList<Heartbeat>& beats, const QString& station) {
    for (const Heartbeat& b : beats)
        if (b.station == station) return &b;
    return nullptr;
}

const StationOverview* Find(const QList<StationOverview>& rows, const QString& station) {
    for (const StationOverview& r : rows)
        if (r.station == station) return &r;
    return nullptr;
}

// Polls `done` while the event loop runs, up to `ms`.
template <typename F>
bool Eventually(F done, int ms = 30000) {
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QTest::qWait(50);
    }
    return true;
}

}  // namespace

TEST_P(HeartbeatsOn, ABeatReplacesTheStationsLastOne) {
    ASSERT_TRUE(WriteHeartbeat(store, {"line-1", kNoon, {true, "KV410", 4, kNoon - 5000}, "w1"}));
    ASSERT_TRUE(WriteHeartbeat(store, {"line-2", kNoon + 1, {}, "w2"}));
    ASSERT_TRUE(WriteHeartbeat(store, {"line-1", kNoon + 10000, {false, {}, 0, kNoon + 9000}, "w3"}));
    QString error;
    const QList<Heartbeat> beats = ReadHeartbeats(store.database(), &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    ASSERT_EQ(beats.size(), 2);
    const Heartbeat* one = Find(beats, "line-1");
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->seenMs, kNoon + 10000);
    EXPECT_FALSE(one->activity.running);
    EXPECT_EQ(one->activity.sockets, 0);
    EXPECT_EQ(one->writer, "w3");
    EXPECT_EQ(one->activity.sinceMs, kNoon + 9000);

    ASSERT_TRUE(WriteHeartbeat(store, {"line-2", kNoon + 2, {true, "KV320", 8, kNoon}, "w2"}));
    const QList<Heartbeat> again = ReadHeartbeats(store.database());
    const Heartbeat* two = Find(again, "line-2");
    ASSERT_NE(two, nullptr);
    EXPECT_TRUE(two->activity.running);
    EXPECT_EQ(two->activity.product, "KV320");
    EXPECT_EQ(two->activity.sockets, 8);
}

TEST_P(HeartbeatsOn, TheOverviewTellsEachStationsDayAndWhetherItIsAway) {
    const qint64 day = DayStartMs(kNoon);
    ASSERT_EQ(day, QDateTime(QDate(2026, 12, 9), QTime(0, 0)).toMSecsSinceEpoch());
    // line-1: SN1 passes, SN2 fails at the DI/DO loop then passes: 2 units, 1 first pass.
    // A failure of line-10 after line-1's must not be taken for line-1's.
    // Yesterday's failure of line-1 is not today's.
    const pbtest::SeededTest tests[] = {
        {"SN1", day + 3600000, "pass", "line-1"},
        {"SN2", day + 7200000, "fail", "line-1", {}, {}, 1, pb::Cause::of(pb::CauseCode::InputMismatch, {4, "0001", "00000100", "00000000", 3})},
        {"SN2", day + 7300000, "pass", "line-1"},
        {"SN9", day + 8000000, "fail", "line-10", {}, {}, 0, pb::Cause::of(pb::CauseCode::NoReply, {"DG"})},
        {"SN8", day - 3600000, "fail", "line-1", {}, {}, 0, pb::Cause::of(pb::CauseCode::NoController, {"0001"})},
        {"SN7", day + 3600000, "fail", "line-3", {}, {}, 0, pb::Cause::of(pb::CauseCode::NoReply, {"DG"})},
    };
    for (const auto& t : tests) pbtest::WriteUnitTest(store, t);
    ASSERT_TRUE(WriteHeartbeat(store, {"line-1", kNoon - 5000, {true, "KV410", 4, kNoon - 60000}, "w"}));
    ASSERT_TRUE(WriteHeartbeat(store, {"line-10", kNoon - kAwayAfterMs, {}, "w"}));
    ASSERT_TRUE(WriteHeartbeat(store, {"line-2", kNoon - kAwayAfterMs - 1, {true, "KV320", 1, 0}, "w"}));

    QString error;
    const QList<StationOverview> rows = ReadLineOverview(store, kNoon, day, &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    QStringList names;
    for (const StationOverview& r : rows) names << r.station;
    EXPECT_EQ(names, (QStringList{"line-1", "line-10", "line-2", "line-3"}));

    const StationOverview* one = Find(rows, "line-1");
    ASSERT_NE(one, nullptr);
    EXPECT_FALSE(one->away);
    EXPECT_TRUE(one->activity.running);
    EXPECT_EQ(one->activity.product, "KV410");
    EXPECT_EQ(one->units, 2);
    EXPECT_EQ(one->firstTests, 2);
    EXPECT_DOUBLE_EQ(one->firstPassYield, 0.5);
    EXPECT_EQ(one->lastFailureStep, "DI/DO loop");
    EXPECT_EQ(one->lastFailureCause.code, pb::CauseCode::InputMismatch);
    EXPECT_GE(one->lastFailureMs, day + 7200000);
    EXPECT_LT(one->lastFailureMs, day + 7300000);

    // Silent for exactly a minute is still here; a millisecond more is away.
    EXPECT_FALSE(Find(rows, "line-10")->away);
    EXPECT_EQ(Find(rows, "line-10")->lastFailureCause.code, pb::CauseCode::NoReply);
    EXPECT_TRUE(Find(rows, "line-2")->away);
    EXPECT_EQ(Find(rows, "line-2")->units, 0);
    // A station that only left unit tests never beat: away, seen never.
    const StationOverview* three = Find(rows, "line-3");
    ASSERT_NE(three, nullptr);
    EXPECT_TRUE(three->away);
    EXPECT_EQ(three->seenMs, 0);
    EXPECT_DOUBLE_EQ(three->firstPassYield, 0.0);

    // The window's words for them.
    pb::LineOverviewModel model;
    model.setRows(rows, kNoon);
    ASSERT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.stateText(*one), "Running KV410 on 4 sockets");
    EXPECT_EQ(model.stateText(*Find(rows, "line-10")), "Idle");
    EXPECT_EQ(model.stateText(*Find(rows, "line-2")), "Away");
    EXPECT_EQ(model.index(0, pb::LineOverviewModel::FirstPass).data().toString(), "50.0%");
    EXPECT_TRUE(model.index(0, pb::LineOverviewModel::LastSeen).data().toString().endsWith("(5 s ago)"));
    EXPECT_EQ(model.index(3, pb::LineOverviewModel::LastSeen).data().toString(), "Never");
    model.setLanguage(1);
    EXPECT_EQ(model.stateText(*Find(rows, "line-2")), QString::fromUtf8("离线"));
}

TEST(StationHeartbeatShared, BeatsAgainTellsANewActivityAndSaysIdleWhenItStops) {
    QString why;
    const QString url = pbtest::FreshDatabase(&why);
    ASSERT_FALSE(url.isEmpty()) << why.toStdString();
    RecordStore reader;
    ASSERT_TRUE(reader.openUrl(url).ok()) << reader.status().detail.toStdString();
    // A listener hears every beat.
    std::atomic_int heard{0};
    QSqlDriver* driver = reader.database().driver();
    ASSERT_TRUE(driver->subscribeToNotification(QLatin1String(kHeartbeatChannel)));
    QObject::connect(driver, &QSqlDriver::notification, [&](const QString&, QSqlDriver::NotificationSource,
                                                            const QVariant& payload) {
        if (payload.toString() == QLatin1String("bench-7")) ++heard;
    });
    std::atomic<qint64> clock{kNoon};
    QList<Heartbeat> last;
    const auto read = [&] {
        last = ReadHeartbeats(reader.database());
        return Find(last, "bench-7");
    };
    {
        StationHeartbeat heartbeat(url, "bench-7", 100, [&] { return clock.load(); });
        heartbeat.setActivity({true, "KV410", 3, 0});
        ASSERT_TRUE(Eventually([&] { return read() && read()->activity.running; })) << "never beat";
        EXPECT_EQ(read()->activity.product, "KV410");
        EXPECT_EQ(read()->activity.sockets, 3);
        EXPECT_EQ(read()->activity.sinceMs, kNoon);
        // The clock moves on: the timer's beats carry it, the activity keeps its start.
        clock = kNoon + 20000;
        ASSERT_TRUE(Eventually([&] { return read()->seenMs == kNoon + 20000; })) << "beat once only";
        EXPECT_EQ(read()->activity.sinceMs, kNoon);
        heartbeat.setIdle();
        ASSERT_TRUE(Eventually([&] { return !read()->activity.running; }));
        EXPECT_EQ(read()->activity.sinceMs, kNoon + 20000);
        heartbeat.setActivity({true, "KV320", 1, 0});
        ASSERT_TRUE(Eventually([&] { return read()->activity.product == "KV320"; }));
        EXPECT_TRUE(Eventually([&] { return heard.load() >= 3; })) << heard.load();
        clock = kNoon + 30000;
    }
    // Stopped: the last beat says idle, at the stop's time.
    const Heartbeat* stopped = read();
    ASSERT_NE(stopped, nullptr);
    EXPECT_FALSE(stopped->activity.running);
    EXPECT_EQ(stopped->seenMs, kNoon + 30000);
}

// The window over a line of four stations in each language, at 1x and at the width of a
// 2x screen's half: every column head and cell is whole. Shots go to
// PANELBENCH_SCREENSHOT_DIR when set.
TEST(LineOverviewWindowShared, EveryTextFitsInEachLanguage) {
    QString why;
    const QString url = pbtest::FreshDatabase(&why);
    ASSERT_FALSE(url.isEmpty()) << why.toStdString();
    RecordStore store;
    ASSERT_TRUE(store.openUrl(url).ok());
    const qint64 day = DayStartMs(kNoon);
    const pbtest::SeededTest tests[] = {
        {"SN1", day + 3600000, "pass", "line-1"},
        {"SN2", day + 7200000, "fail", "line-1", {}, {}, 1, pb::Cause::of(pb::CauseCode::InputMismatch, {4, "0001", "00000100", "00000000", 3})},
        {"SN3", day + 7300000, "pass", "line-2"},
    };
    for (const auto& t : tests) pbtest::WriteUnitTest(store, t);
    ASSERT_TRUE(WriteHeartbeat(store, {"line-1", kNoon - 4000, {true, "KV410", 4, 0}, "w"}));
    ASSERT_TRUE(WriteHeartbeat(store, {"line-2", kNoon - 9000, {}, "w"}));
    ASSERT_TRUE(WriteHeartbeat(store, {"line-3", kNoon - 300000, {true, "KV320", 1, 0}, "w"}));
    ASSERT_TRUE(WriteHeartbeat(store, {"gang-16", kNoon - 2000, {true, "KV410-PLUS", 16, 0}, "w"}));
    static const char* const names[] = {"en", "zh-hans", "zh-hant"};
    for (int language = 0; language < 3; ++language) {
        pb::LineOverviewWindow window(url, language, [] { return kNoon; });
        window.show();
        QCoreApplication::processEvents();
        ASSERT_EQ(window.model().rowCount(), 4);
        QTableView* table = window.table();
        for (int c = 0; c < pb::LineOverviewModel::Columns; ++c) {
            const QFontMetrics fm(table->font());
            int widest = QFontMetrics(table->horizontalHeader()->font())
                             .horizontalAdvance(window.model().headerData(c, Qt::Horizontal).toString());
            for (int r = 0; r < window.model().rowCount(); ++r)
                widest = std::max(widest, fm.horizontalAdvance(window.model().index(r, c).data().toString()));
            EXPECT_GE(table->columnWidth(c), widest) << "language " << language << " column " << c;
        }
        EXPECT_LE(table->horizontalHeader()->length(), window.width()) << "language " << language;
        if (const QString shots = qEnvironmentVariable("PANELBENCH_SCREENSHOT_DIR"); !shots.isEmpty()) {
            EXPECT_TRUE(window.grab().save(shots + QStringLiteral("/line-overview-%1.png").arg(names[language])));
            if (language == 0) {
                QPixmap twice(window.size() * 2);
                twice.setDevicePixelRatio(2);
                twice.fill(Qt::transparent);
                window.render(&twice);
                EXPECT_TRUE(twice.save(shots + QStringLiteral("/line-overview-en-2x.png")));
            }
        }
    }
}
