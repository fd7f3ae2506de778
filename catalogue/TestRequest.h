#pragma once
// What a test is asked to do, where it runs, and what it found: the values every front end
// hands to the catalogue and gets back from it.

#include <variant>

#include "firmware/FirmwareUpgrade.h"
#include "procedures/DidoPatterns.h"
#include "procedures/DidoTest.h"
#include "procedures/Procedure.h"
#include "procedures/RunResult.h"
#include "procedures/TestId.h"
#include "recipes/TestParams.h"

namespace pb {

struct TestRequest {
    TestId test = TestId::Connect;
    TestParams params;
};

// Where a test runs: the procedures' context, the bars an upgrade moves and its block
// buffer (the window's own; null: one of the run's own).
struct TestRig {
    ProcedureContext& procedures;
    FirmwareProgressView& firmwareBars;
    FirmwareBuffer* firmwareBuffer = nullptr;
};

// What a test found: the procedure's own result, as a value.
using TestFound = std::variant<RunResult, SetDateResult, IdentifyResult, DidoResult, DidoPatternResult, PollingResult,
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
