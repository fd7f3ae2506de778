#pragma once
// The words of the records window's charts page (yield per day, the failures by step, the
// fixtures' sockets, the distributions of unit-test time and reply latency) and of the list narrowed from it, in the three languages of the
// message table. "%1", "%2" ... filled as named.

#include <QString>

namespace pb {

enum class ChartText {
    TabList,
    TabCharts,
    YieldTitle,
    AxisDay,
    AxisUnitTests,
    AxisFirstPass,
    SeriesPassed,
    SeriesFailed,
    SeriesFirstPass,
    // "%1": day, "%2": unit tests, "%3": passed, "%4": failed, "%5": first-pass %, "%6": final %,
    // "%7": retests
    YieldTip,
    ParetoTitle,
    AxisStep,
    AxisFailures,
    AxisCumulative,
    SeriesFailures,
    SeriesCumulative,
    ParetoTip,  // "%1": step, "%2": recipe, "%3": failures, "%4": cumulative %
    HealthTitle,
    HealthTip,     // "%1": socket, "%2": fixture, "%3": failed, "%4": tests, "%5": %, "%6": the rest's %
    HealthFlagged,  // "%1": the chance of it at the rest's rate
    NoUnitTests,
    NoFailures,
    NoFixtures,
    NarrowedSocket,  // "%1": socket, "%2": fixture
    NarrowedStep,    // "%1": step, "%2": recipe, "%3": unit tests
    WholeFilter,
    // The line report over the filter, printed as HTML or PDF.
    LineReportTitle,  // "%1": the filter in words
    LineReportButton,
    LineReportSaved,  // "%1": the file
    FilterAll,
    FilterFrom,      // "%1": date
    FilterTo,        // "%1": date (its whole day) or date and time (before it)
    FilterSerial,    // "%1": part of a serial
    FilterStation,   // "%1": part of a station's name
    FilterFixture,   // "%1"
    FilterSocket,    // "%1"
    FilterOutcome,   // "%1": the outcome's name
    FilterTest,      // "%1": the test's name
    FilterUnit,      // "%1": the unit's number
    FilterChosen,    // "%1": how many runs and unit tests
    Totals,
    UnitsTested,
    Retests,
    ReasonTitle,
    ColReason,
    ColShare,
    ColFixture,
    ColSocket,
    ColFailureRate,
    ColRestOfFixture,
    ColChance,
    ColFlagged,
    FlaggedNote,
    DurationTitle,
    AxisDurationS,
    DurationCaption,  // "%1" p50, "%2" p95, "%3" p99 (s), "%4": unit tests
    DurationTip,      // "%1" from, "%2" to (s), "%3": unit tests
    LatencyTitle,
    AxisLatencyMs,
    AxisReplies,
    LatencyCaption,  // "%1" p50, "%2" p95, "%3" p99 (ms), "%4": replies
    LatencyTip,      // "%1" from, "%2" to (ms), "%3": replies
    NoReplies,
    SeriesFinal,
    // "%1": first-pass %, "%2": final %, "%3": retests, "%4": unit tests
    YieldTotals,
};

QString Text(ChartText id, int language);

}  // namespace pb
