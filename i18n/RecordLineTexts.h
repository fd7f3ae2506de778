#pragma once
// The words of `panelbench-cli records list` and `records show` for a person (the JSON
// stays language-free), in the three languages of the message table: the lists' heads and
// the names of a run's fields.

#include <QString>

namespace pb {

enum class RecordLine {
    HeadRun, HeadStarted, HeadUnit, HeadProcedure, HeadOutcome, HeadTime, HeadOperator, HeadStation, HeadSocket,
    NoRuns, NoRunsThatMatch,
    RecipeNamed,  // "%1": the recipe
    SocketNamed,  // "%1": the socket
    Run, RecipeRun, Unit, Model, Procedure, UnitTest, Outcome, Cause, Found, Status, Started, Time, Link, Station,
    Operator, Details, Frames, Recipe, Scanned, Verdict, FailedAt, Fixture,
    ModelOf,      // "%1" version, "%2" kind, "%3" ID
    RecipeOf,     // "%1" recipe, "%2" hash
    FixtureOf,    // "%1" fixture, "%2" socket
    UnitTestOf,   // "%1" unit test, "%2" recipe, "%3" step, "%4" verdict, "%5" why
    StepOf,       // ", step %1 %2"
    RunsOfStep,   // "(run %1)"
    Attempts,     // "%1 tries: %2"
    FramesLeftOut,   // " (%1 in the middle not kept)"
    FramesNotKept,   // "... %1 frames not kept"
};
inline constexpr int kRecordLineCount = int(RecordLine::FramesNotKept) + 1;

QString Text(RecordLine id, int language);

}  // namespace pb
