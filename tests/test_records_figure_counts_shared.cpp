// The hours' counts the line's figures read give the same figures as the unit tests they
// count, on SQLite and on the PostgreSQL test cluster: under every filter they answer,
// after unit tests written by a station, taken in from others out of order, sent twice
// and changed, and after a unit test's unit became known only at its end.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QMap>
#include <QSqlQuery>
#include <QTemporaryDir>

#include "records/figures/DurationFigures.h"
#include "records/figures/LineFigures.h"
#include "records/store/FigureRollup.h"
#include "records/store/RecordStore.h"
#include "tests/support/SeededUnitTests.h"
#include "tests/support/StoreOnBackEnd.h"

using namespace pb::records;
using pbtest::BackEnd;

namespace {

class FigureCountsOn : public pbtest::StoreOnBackEnd {
protected:

    // A unit test another station sent: `localId` is its id there.
    qint64 takeIn(qint64 localId, const pbtest::SeededTest& w) {
        RecipeRunUpload u;
        u.origin = QStringLiteral("station-b");
        u.localRecipeRunId = localId;
        u.unit.identity = UnitIdentity{w.serial, 3, "KV410", "0470", "0001"};
        u.unit.identified = true;
        u.unit.firstSeenMs = u.unit.lastSeenMs = w.ms;
        RecipeRunRow& r = u.recipeRun;
        r.recipeName = QStringLiteral("KV410");
        r.recipeHash = QStringLiteral("ab12");
        r.station = w.station;
        r.startMs = w.ms;
        r.endMs = w.ms + w.tookMs;
        r.verdict = w.verdict;
        r.failingStep = w.failingStep;
        r.cause = w.cause;
        r.fixture = w.fixture;
        r.socket = w.socket;
        r.steps = {{.index = 0, .kind = "identify", .label = "identify", .verdict = w.failingStep == 0 ? "fail" : "pass",
                    .attempts = 1},
                   {.index = 1, .kind = "dido", .label = "DI/DO loop", .verdict = w.failingStep == 1 ? "fail" : "pass",
                    .attempts = 1}};
        if (w.failingStep >= 0) r.steps[w.failingStep].cause = w.cause;
        return store.recipeWriter().importRecipeRun(u);
    }

};

INSTANTIATE_TEST_SUITE_P(, FigureCountsOn, pbtest::BothBackEnds(), pbtest::BackEndName);

qint64 At(int day, int hour, int minute) {
    return QDateTime(QDate(2026, 12, day), QTime(hour, minute), Qt::UTC).toMSecsSinceEpoch();
}

// Every field but the distinct units, which only the unit tests themselves can count.
void ExpectSameYields(const QList<YieldRow>& counted, const QList<YieldRow>& read, const std::string& what) {
    ASSERT_EQ(counted.size(), read.size()) << what;
    for (int i = 0; i < counted.size(); ++i) {
        SCOPED_TRACE(what + " " + read[i].key.toStdString());
        EXPECT_EQ(counted[i].key, read[i].key);
        EXPECT_EQ(counted[i].tests, read[i].tests);
        EXPECT_EQ(counted[i].passed, read[i].passed);
        EXPECT_EQ(counted[i].failed, read[i].failed);
        EXPECT_EQ(counted[i].interrupted, read[i].interrupted);
        EXPECT_EQ(counted[i].firstTests, read[i].firstTests);
        EXPECT_EQ(counted[i].firstPassed, read[i].firstPassed);
        EXPECT_EQ(counted[i].finalPassed, read[i].finalPassed);
    }
}

void ExpectSameFailures(const QList<FailureRow>& counted, const QList<FailureRow>& read, const std::string& what) {
    ASSERT_EQ(counted.size(), read.size()) << what;
    for (int i = 0; i < counted.size(); ++i) {
        EXPECT_EQ(counted[i].recipe, read[i].recipe) << what;
        EXPECT_EQ(counted[i].step, read[i].step) << what;
        EXPECT_EQ(counted[i].label, read[i].label) << what;
        EXPECT_EQ(counted[i].cause, read[i].cause) << what;
        EXPECT_EQ(counted[i].failures, read[i].failures) << what;
    }
}

TEST_P(FigureCountsOn, EveryFilterTheCountsAnswerGivesTheFiguresOfTheUnitTests) {
    // Three days of two stations and a bench, a 4-socket fixture on the first, in minutes
    // off the hour; one unit in three tested again later, some failing twice.
    QList<pbtest::SeededTest> written;
    const char* stations[] = {"line-1", "line-2", "bench-3"};
    const pb::Cause causes[] = {pb::Cause::of(pb::CauseCode::NoReply, {"DG"}),
                                pb::Cause::of(pb::CauseCode::InputNotRead, {1, 3}),
                                pb::Cause::of(pb::CauseCode::SerialMismatch, {"SN1", "SN2"})};
    for (int i = 0; i < 150; ++i) {
        pbtest::SeededTest w;
        w.serial = QStringLiteral("SN%1").arg(i % 100);
        w.ms = At(7 + i / 50, (i * 7) % 24, (i * 13) % 60) + i;
        w.station = QLatin1String(stations[i % 3]);
        w.tookMs = 1000 + (i * 37) % 400;  // some alike
        if (i % 3 == 0) {
            w.fixture = QStringLiteral("F4");
            w.socket = QStringLiteral("A%1").arg(1 + (i / 3) % 4);
        }
        const bool fails = i % 5 == 1 || (w.socket == QLatin1String("A3") && i % 2 == 0);
        w.verdict = fails ? QStringLiteral("fail") : i % 17 == 4 ? QStringLiteral("interrupted") : QStringLiteral("pass");
        if (fails) {
            w.failingStep = i % 2;
            w.cause = causes[i % 3];
        }
        pbtest::WriteUnitTest(store, w);
        written << w;
    }
    // From another station, late: SN5 was tested there first, and one unit test arrives
    // twice, the second time with the verdict it ended with.
    pbtest::SeededTest early{QStringLiteral("SN5"), At(6, 23, 10), QStringLiteral("fail"), QStringLiteral("line-9"),
                             {}, {}, 1, causes[0]};
    ASSERT_GT(takeIn(1, early), 0);
    written << early;
    pbtest::SeededTest twice{QStringLiteral("SN200"), At(8, 4, 30), QStringLiteral("fail"), QStringLiteral("line-9"),
                             QStringLiteral("F4"), QStringLiteral("A2"), 0, causes[0]};
    ASSERT_GT(takeIn(2, twice), 0);
    twice.verdict = QStringLiteral("pass");
    twice.failingStep = -1;
    twice.cause = {};
    ASSERT_GT(takeIn(2, twice), 0);
    written << twice;

    LineFigures exact(store.database());
    LineFigures quick(store.database());
    quick.setCountUnits(false);
    DurationFigures durations(store.database());

    // Worked out here for the whole store: a unit's earliest test is its first.
    QMap<QString, const pbtest::SeededTest*> first;
    for (const pbtest::SeededTest& w : written)
        if (!first.contains(w.serial) || w.ms < first[w.serial]->ms) first[w.serial] = &w;
    QMap<QString, const pbtest::SeededTest*> last;
    for (const pbtest::SeededTest& w : written)
        if (!last.contains(w.serial) || w.ms > last[w.serial]->ms) last[w.serial] = &w;
    qint64 firstPassed = 0, finalPassed = 0;
    for (const pbtest::SeededTest* w : first) firstPassed += w->verdict == QLatin1String("pass");
    for (const pbtest::SeededTest* w : last) finalPassed += w->verdict == QLatin1String("pass");
    const YieldRow all = quick.total({});
    EXPECT_EQ(all.tests, written.size()) << "a unit test sent twice is counted once";
    EXPECT_EQ(all.firstTests, first.size());
    EXPECT_EQ(all.firstPassed, firstPassed) << "SN5's first test is the one that arrived late";
    EXPECT_EQ(all.finalPassed, finalPassed) << "by each unit's last test, the late ones too";
    EXPECT_EQ(all.units, -1);
    EXPECT_EQ(exact.total({}).units, first.size());

    // Whole hours answer from the counts; the same filter a millisecond off them reads the
    // unit tests. Both must agree.
    using Named = std::pair<std::string, RunFilter>;
    QList<Named> filters;
    filters << Named{"everything", {}};
    RunFilter f;
    f.station = QStringLiteral("LINE");
    filters << Named{"stations named line", f};
    f.station = QStringLiteral("nowhere");
    filters << Named{"no such station", f};
    f = {};
    f.fixture = QStringLiteral("F4");
    f.socket = QStringLiteral("A3");
    filters << Named{"one socket", f};
    f = {};
    f.outcome = Outcome::Error;
    filters << Named{"failed", f};
    f.outcome = Outcome::Interrupted;
    filters << Named{"interrupted", f};
    f = {};
    f.fromMs = At(8, 0, 0);
    f.toMs = At(9, 6, 0);
    f.procedure = QLatin1String(kRecipeProcedure);
    filters << Named{"a day and a bit", f};
    for (const auto& [what, filter] : filters) {
        RunFilter offHour = filter;
        offHour.toMs = filter.toMs > 0 ? filter.toMs - 1 : At(31, 0, 0) + 1;
        for (FigureBy by : {FigureBy::Day, FigureBy::Shift, FigureBy::Station, FigureBy::Fixture, FigureBy::Socket,
                            FigureBy::Recipe})
            ExpectSameYields(exact.yields(offHour, by), quick.yields(filter, by),
                             what + " by " + FigureByName(by).toStdString());
        ExpectSameYields({exact.total(offHour)}, {quick.total(filter)}, what + " total");
        ExpectSameFailures(exact.failuresByStep(offHour), quick.failuresByStep(filter), what + " by step");
        ExpectSameFailures(exact.failuresByCause(offHour), quick.failuresByCause(filter), what + " by cause");
        const QList<SocketHealth> a = exact.fixtureHealth(offHour), b = quick.fixtureHealth(filter);
        ASSERT_EQ(a.size(), b.size()) << what;
        for (int i = 0; i < a.size(); ++i) {
            EXPECT_EQ(a[i].socket, b[i].socket) << what;
            EXPECT_EQ(a[i].tests, b[i].tests) << what;
            EXPECT_EQ(a[i].failed, b[i].failed) << what;
            EXPECT_EQ(a[i].flagged, b[i].flagged) << what;
        }
        EXPECT_TRUE(quick.error().isEmpty() && exact.error().isEmpty()) << what << quick.error().toStdString();
        // The unit tests' times, counted by the hour, and read one by one.
        const QList<RecipeTimes> timesRead = durations.recipeTimes(offHour), timesCounted = durations.recipeTimes(filter);
        ASSERT_EQ(timesRead.size(), timesCounted.size()) << what;
        for (int i = 0; i < timesRead.size(); ++i) {
            EXPECT_EQ(timesRead[i].recipe, timesCounted[i].recipe) << what;
            EXPECT_EQ(timesRead[i].counts, timesCounted[i].counts) << what;
        }
        EXPECT_EQ(durations.everyRecipeTimes(offHour).counts, durations.everyRecipeTimes(filter).counts) << what;
        EXPECT_TRUE(durations.error().isEmpty()) << what << durations.error().toStdString();
    }
    // Every passed and failed unit test has its time counted once, the one sent twice too.
    qint64 timed = 0;
    for (const pbtest::SeededTest& w : written) timed += w.verdict != QLatin1String("interrupted");
    QSqlQuery counted(store.database());
    ASSERT_TRUE(counted.exec(QStringLiteral("SELECT SUM(tests) FROM recipe_time_hours")) && counted.next());
    EXPECT_EQ(counted.value(0).toLongLong(), timed);
    EXPECT_EQ(durations.everyRecipeTimes({}).times.count, timed);
    // The filters were not empty of what they test.
    RunFilter failed;
    failed.outcome = Outcome::Error;
    EXPECT_GT(quick.total(failed).tests, 10);
    EXPECT_EQ(quick.total(failed).passed, 0);

    // Made again from the rows as a schema step makes them: the marks and counts kept one by one.
    QList<int> kept;
    for (const RecipeRunRow& row : store.queries().recipeRuns({})) kept << row.retest;
    const QList<YieldRow> keptDays = quick.yields({}, FigureBy::Day);
    QSqlDatabase db = store.database();
    QString why;
    ASSERT_TRUE(RebuildFigures(db, &why)) << why.toStdString();
    for (const RecipeRunRow& row : store.queries().recipeRuns({})) EXPECT_EQ(row.retest, kept.takeFirst());
    ExpectSameYields(keptDays, quick.yields({}, FigureBy::Day), "rebuilt");
}

TEST_P(FigureCountsOn, AUnitKnownOnlyAtTheEndTakesItsFirstTestFromTheLinksPlaceholder) {
    // Two unit tests on one link before the controller said who it was: the first ends as
    // SN1, the second as SN2; each is its own unit's first test.
    for (const char* serial : {"SN1", "SN2"}) {
        const qint64 ms = At(8, 10, serial[2] == '1' ? 5 : 20);
        RecipeRunStart start;  // no label scanned
        start.recipeName = QStringLiteral("KV410");
        start.recipeHash = QStringLiteral("ab12");
        start.linkText = QStringLiteral("127.0.0.1:4001");
        start.station = QStringLiteral("line-1");
        start.startMs = ms;
        const qint64 id = store.recipeWriter().beginRecipeRun(start);
        ASSERT_GT(id, 0);
        RecipeRunEnd end;
        end.endMs = ms + 1000;
        end.verdict = QStringLiteral("pass");
        end.identity = UnitIdentity{QLatin1String(serial), 3, "KV410", "0470", "0001"};
        ASSERT_TRUE(store.recipeWriter().endRecipeRun(id, end));
    }
    LineFigures quick(store.database());
    quick.setCountUnits(false);
    const YieldRow all = quick.total({});
    EXPECT_EQ(all.tests, 2);
    EXPECT_EQ(all.firstTests, 2);
    EXPECT_EQ(all.firstPassed, 2);
}

}  // namespace
