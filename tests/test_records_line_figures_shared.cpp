// The line's figures against numbers the test works out itself from the unit tests it
// wrote, on SQLite and on the PostgreSQL test cluster: yields per day and per shift across
// a night shift that runs over midnight, first passes and retests, the failure Pareto,
// and fixture health (a socket at 30 failures of 60 beside neighbours at 2 of 60 is
// flagged, one at 3 of 60 is not).
#include <gtest/gtest.h>

#include <QDateTime>
#include <QMap>
#include <QTemporaryDir>

#include "records/figures/LineFigures.h"
#include "records/store/RecordStore.h"
#include "tests/support/SeededUnitTests.h"
#include "tests/support/StoreOnBackEnd.h"

using namespace pb::records;
using pb::Cause;
using pb::CauseCode;
using pbtest::BackEnd;

namespace {

// What the test wrote, to work the figures out on its own.
using Written = pbtest::SeededTest;

class LineFiguresOn : public pbtest::StoreOnBackEnd {
protected:

    void write(const Written& w) {
        pbtest::WriteUnitTest(store, w);
        written << w;
    }

    QList<Written> written;
};

INSTANTIATE_TEST_SUITE_P(, LineFiguresOn, pbtest::BothBackEnds(), pbtest::BackEndName);

qint64 Local(int day, int hour, int minute = 0) {
    return QDateTime(QDate(2026, 12, day), QTime(hour, minute)).toMSecsSinceEpoch();
}

TEST_P(LineFiguresOn, YieldsPerDayAndShiftFollowTheUnitsAcrossMidnight) {
    // The night shift of the 8th runs from 22:00 to 06:00 on the 9th.
    const struct { const char* serial; qint64 ms; const char* verdict; } tests[] = {
        {"SN1", Local(8, 7), "pass"},     {"SN2", Local(8, 15), "fail"},   {"SN2", Local(8, 16), "pass"},
        {"SN3", Local(8, 23), "fail"},    {"SN3", Local(9, 2), "fail"},    {"SN4", Local(9, 5, 59), "pass"},
        {"SN3", Local(9, 6), "pass"},     {"SN5", Local(9, 6, 1), "interrupted"}, {"SN6", Local(9, 21, 59), "pass"},
    };
    for (const auto& t : tests) write({t.serial, t.ms, t.verdict, "line-1", {}, {}, -1, {}});

    // Worked out here: each group's tests, units, passes, fails, first tests and first passes.
    QMap<QString, YieldRow> want;
    const ShiftTimes shifts;
    QMap<QString, qint64> firstMs;
    for (const Written& w : written)
        if (!firstMs.contains(w.serial) || w.ms < firstMs[w.serial]) firstMs[w.serial] = w.ms;
    QMap<QString, QSet<QString>> unitsOf;
    for (const Written& w : written) {
        const QDateTime t = QDateTime::fromMSecsSinceEpoch(w.ms);
        QDate day = t.date();
        int shift = 3;
        if (t.time() < shifts.starts[0]) day = day.addDays(-1);
        else if (t.time() < shifts.starts[1]) shift = 1;
        else if (t.time() < shifts.starts[2]) shift = 2;
        const QString key = day.toString(Qt::ISODate) + QStringLiteral(" #%1").arg(shift);
        YieldRow& r = want[key];
        ++r.tests;
        unitsOf[key] << w.serial;
        r.passed += w.verdict == "pass";
        r.failed += w.verdict == "fail";
        r.interrupted += w.verdict == "interrupted";
        if (firstMs[w.serial] == w.ms) {
            ++r.firstTests;
            r.firstPassed += w.verdict == "pass";
        }
    }
    LineFigures figures(store.database());
    const QList<YieldRow> got = figures.yields({}, FigureBy::Shift);
    ASSERT_TRUE(figures.error().isEmpty()) << figures.error().toStdString();
    QStringList gotKeys;
    for (const YieldRow& r : got) gotKeys << r.key;
    EXPECT_EQ(gotKeys, QStringList(want.keys())) << gotKeys.join(", ").toStdString();
    for (const YieldRow& r : got) {
        SCOPED_TRACE(r.key.toStdString());
        const YieldRow& w = want[r.key];
        EXPECT_EQ(r.tests, w.tests);
        EXPECT_EQ(r.units, unitsOf[r.key].size());
        EXPECT_EQ(r.passed, w.passed);
        EXPECT_EQ(r.failed, w.failed);
        EXPECT_EQ(r.interrupted, w.interrupted);
        EXPECT_EQ(r.firstTests, w.firstTests);
        EXPECT_EQ(r.firstPassed, w.firstPassed);
    }
    // The night of the 8th holds SN3's two failures and SN4's first pass.
    EXPECT_EQ(want["2026-12-08 #3"].tests, 3);

    const QList<YieldRow> days = figures.yields({}, FigureBy::Day);
    ASSERT_EQ(days.size(), 2);
    EXPECT_EQ(days[0].key, "2026-12-08");
    EXPECT_EQ(days[0].tests, 4);
    EXPECT_EQ(days[1].tests, 5);
    EXPECT_EQ(days[1].retests(), 2) << "SN3 twice more on the 9th";

    const YieldRow all = figures.total({});
    EXPECT_EQ(all.units, 6);
    EXPECT_EQ(all.firstTests, 6);
    EXPECT_EQ(all.firstPassed, 3);  // SN1, SN4, SN6
    EXPECT_DOUBLE_EQ(all.firstPassYield().value_or(-1), 0.5);
    EXPECT_EQ(all.retests(), 3);

    // The filter narrows the figures as it narrows the list.
    RunFilter ninth;
    ninth.fromMs = Local(9, 0);
    const YieldRow later = figures.total(ninth);
    EXPECT_EQ(later.tests, 5);
    EXPECT_EQ(later.firstTests, 3) << "SN3 failed on the 8th: its tests on the 9th are retests";
    EXPECT_EQ(later.firstPassed, 2);  // SN4, SN6
}

TEST_P(LineFiguresOn, RetestsAreNumberedInTheirUnitsOrderAndTheFinalYieldFollowsTheLastTest) {
    // SN4's failure on the 8th is written last, after its pass on the 9th.
    const struct { const char* serial; qint64 ms; const char* verdict; } tests[] = {
        {"SN1", Local(8, 7), "pass"}, {"SN2", Local(8, 8), "fail"}, {"SN2", Local(8, 9), "fail"},
        {"SN2", Local(9, 7), "pass"}, {"SN3", Local(8, 10), "pass"}, {"SN3", Local(9, 8), "fail"},
        {"SN4", Local(9, 9), "pass"}, {"SN4", Local(8, 11), "fail"}};
    QStringList numbers;  // newest first
    for (const auto& t : tests) write({t.serial, t.ms, t.verdict, "line-1", {}, {}, -1, {}});
    for (const RecipeRunRow& r : store.queries().recipeRuns({})) numbers << r.scannedSerial + QString::number(r.retest);
    EXPECT_EQ(numbers.join(' '), "SN41 SN31 SN22 SN40 SN30 SN21 SN20 SN10") << "SN4's first is the one that began first";
    LineFigures figures(store.database());
    const QList<YieldRow> days = figures.yields({}, FigureBy::Day);
    ASSERT_EQ(days.size(), 2);
    EXPECT_EQ(days[0].finalPassed, 3) << "SN1, and SN2 and SN4 after their retests on the 9th; SN3 failed its retest";
    EXPECT_FALSE(days[1].finalYield()) << "no unit was first tested on the 9th";
}

TEST_P(LineFiguresOn, TheParetoCountsFailuresByStepAndCauseWithTheirShares) {
    // Failures of one cause are one row whatever their values (cycle, block) say.
    const struct { int step; CauseCode code; int count; } fails[] = {
        {1, CauseCode::InputMismatch, 5}, {2, CauseCode::NotProgrammed, 3}, {1, CauseCode::NoReply, 1},
        {0, CauseCode::NoController, 1}};
    int n = 0;
    for (const auto& f : fails)
        for (int i = 0; i < f.count; ++i) {
            const Cause cause = f.code == CauseCode::InputMismatch
                                    ? Cause::of(f.code, {i + 1, "0001", "00000100", "00000000", 3})
                                    : Cause::of(f.code, {QString::number(i + 7)});
            write({QStringLiteral("F%1").arg(n++), Local(9, 10) + n, "fail", "line-1", {}, {}, f.step, cause});
        }
    for (int i = 0; i < 7; ++i) write({QStringLiteral("P%1").arg(i), Local(9, 11) + i, "pass", "line-1", {}, {}, -1, {}});

    LineFigures figures(store.database());
    const QList<FailureRow> steps = figures.failuresByStep({});
    ASSERT_EQ(steps.size(), 3);
    EXPECT_EQ(steps[0].step, 1);
    EXPECT_EQ(steps[0].label, "DI/DO loop");
    EXPECT_EQ(steps[0].failures, 6);
    EXPECT_DOUBLE_EQ(steps[0].share, 0.6);
    EXPECT_EQ(steps[1].label, "upgrade") << "a step without a label is named by its kind";
    EXPECT_EQ(steps[2].label, "identify");
    EXPECT_DOUBLE_EQ(steps[2].cumulative, 1.0);

    // Each bar's unit tests are the ones it counts, on either back end.
    for (const FailureRow& bar : steps) {
        const QList<qint64> ids = figures.failedAtStep({}, bar.recipe, bar.step);
        EXPECT_EQ(ids.size(), bar.failures) << bar.label.toStdString();
        RunFilter behind;
        behind.recipeRunIds = ids;
        EXPECT_EQ(figures.total(behind).failed, bar.failures);
    }
    EXPECT_TRUE(figures.failedAtStep({}, "KV410", 4).isEmpty());

    const QList<FailureRow> causes = figures.failuresByCause({});
    ASSERT_EQ(causes.size(), 4);
    EXPECT_EQ(causes[0].cause, "input-mismatch");
    EXPECT_EQ(causes[0].failures, 5);
    EXPECT_EQ(causes[1].cause, "not-programmed");
    EXPECT_DOUBLE_EQ(causes[1].cumulative, 0.8);
}

TEST_P(LineFiguresOn, ASocketFailingFarMoreThanItsNeighboursIsFlagged) {
    // Four sockets of 60 tests each, the fixture's runs side by side in time: A1 at
    // `worst` failures (its first ones), the others at 2.
    const auto fill = [&](const QString& fixture, int worst, int slot) {
        const QStringList sockets{"A1", "A2", "A3", "A4"};
        for (int k = 0; k < sockets.size(); ++k) {
            const int failures = k == 0 ? worst : 2;
            for (int i = 0; i < 60; ++i)
                write({fixture + sockets[k] + QString::number(i), Local(9, 8) + i * 10 + slot + k,
                       i < failures ? "fail" : "pass", "line-1", fixture, sockets[k], i < failures ? 1 : -1, {}});
        }
    };
    fill("worn", 30, 0);
    fill("fine", 3, 4);

    LineFigures figures(store.database());
    const QList<SocketHealth> health = figures.fixtureHealth({});
    ASSERT_EQ(health.size(), 8);
    QMap<QString, SocketHealth> of;
    for (const SocketHealth& s : health) of.insert(s.fixture + "/" + s.socket, s);
    const SocketHealth worn = of["worn/A1"];
    EXPECT_EQ(worn.tests, 60);
    EXPECT_EQ(worn.failed, 30);
    EXPECT_EQ(worn.othersTests, 180);
    EXPECT_EQ(worn.othersFailed, 6);
    EXPECT_TRUE(worn.flagged);
    EXPECT_LT(worn.p, 1e-12);
    EXPECT_FALSE(of["fine/A1"].flagged) << of["fine/A1"].p;
    EXPECT_GT(of["fine/A1"].p, 0.01);
    for (const char* other : {"worn/A2", "fine/A3"}) EXPECT_FALSE(of[other].flagged) << other;

    // Too few tests to say: the first ten of each socket, A1's all failed.
    RunFilter early;
    early.toMs = Local(9, 8) + 100;
    ASSERT_EQ(figures.fixtureHealth(early).value(0).tests, 10);
    for (const SocketHealth& s : figures.fixtureHealth(early)) EXPECT_FALSE(s.flagged) << s.socket.toStdString();
}

TEST(BinomialTail, MatchesSumsWorkedByHand) {
    EXPECT_DOUBLE_EQ(BinomialUpperTail(0, 10, 0.3), 1.0);
    EXPECT_NEAR(BinomialUpperTail(1, 10, 0.5), 1.0 - 1.0 / 1024, 1e-12);
    EXPECT_NEAR(BinomialUpperTail(10, 10, 0.5), 1.0 / 1024, 1e-15);
    EXPECT_NEAR(BinomialUpperTail(2, 3, 0.5), 0.5, 1e-12);  // 3/8 + 1/8
    EXPECT_DOUBLE_EQ(BinomialUpperTail(1, 5, 0.0), 0.0);
    EXPECT_DOUBLE_EQ(BinomialUpperTail(6, 5, 0.5), 0.0);
    // Large n: the lower and upper sides agree with each other.
    const double upper = BinomialUpperTail(520, 1000, 0.5);
    const double lowerSide = 1.0 - BinomialUpperTail(481, 1000, 0.5);  // P(X <= 480) by symmetry
    EXPECT_NEAR(upper, lowerSide, 1e-9);
}

}  // namespace
