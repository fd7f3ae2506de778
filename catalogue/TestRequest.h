#pragma once
// What a test is asked to do, where it runs, and what it found: the values every front end
// hands to the catalogue and gets back from it.

#include <QString>
#include <optional>
#include <variant>

#include "firmware/FirmwareUpgrade.h"
#include "procedures/DidoPatterns.h"
#include "procedures/DidoTest.h"
#include "procedures/Procedure.h"
#include "procedures/RunResult.h"
#include "procedures/TestId.h"

namespace pb {

// An upgrade's file and how it is checked.
struct FirmwareTask {
    QString file;
    QString versionBefore;  // the identify's version caption
    // Refuse a file with no image, or with more blocks than the model reads, before the
    // link opens; the window's button leaves this off and lets the loader say so.
    bool checkFitFirst = false;
    bool allowPartial = false;  // with checkFitFirst: program the blocks the model takes
    FirmwareBuffer* buffer = nullptr;  // the window's block buffer; null: one of the run's own
};

// The parameters of every test; each test reads only its own (TestEntry::params).
struct TestParams {
    int alarmLevel = 0;    // alarm: 0 (off) .. 6
    QString command;       // controller command: as typed; module command: after type and number
    int moduleType = 0;    // module command: index of the type list (A B H I J E)
    QString moduleNumber;  // module command
    DidoEnding didoEnding = DidoEnding::UserReadsLamps;  // DI/DO as the button runs it
    std::optional<DidoPatternPlan> didoPatterns;  // DI/DO: set these patterns and read back instead
    FirmwareTask firmware;
    int withinMs = 30000;  // await answer: how long to keep asking
};

struct TestRequest {
    TestId test = TestId::Connect;
    TestParams params;
};

// Where a test runs: the procedures' context, and the bars an upgrade moves.
struct TestRig {
    ProcedureContext& procedures;
    FirmwareProgressView& firmwareBars;
};

// What a test found: the procedure's own result, as a value.
using TestFound = std::variant<RunResult, IdentifyResult, DidoResult, DidoPatternResult, PollingResult,
                               ConsoleResult, AnswerResult, UpgradeResult>;

struct TestResult {
    TestId test = TestId::Connect;
    TestFound found;

    // The part every run has (an upgrade's as any test run's).
    RunResult run() const;
    operator Outcome() const { return run().outcome; }
    // The procedure's own result when it is of type T; null otherwise.
    template <class T>
    const T* as() const {
        return std::get_if<T>(&found);
    }
};

}  // namespace pb
