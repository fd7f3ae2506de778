#pragma once
// The tests this tool runs, one row each: the stable name its records, the command line and
// recipes know it by (TestName), the older name the command line and recipes also accept,
// its name in each language, the parameters it takes, and the function that runs it. The
// window's buttons, the command line's commands and the recipe steps find their test here
// and run it through RunTest; how each front end words the result is its own.
//
//   const TestEntry* test = FindTest("poll");        // or "polling"
//   TestResult r = RunTest(rig, {test->id, params});
//   if (const PollingResult* p = r.as<PollingResult>()) ... p->recordsRead() ...

#include <QString>
#include <QStringList>
#include <optional>

#include "catalogue/TestNames.h"
#include "catalogue/TestRequest.h"
#include "i18n/RecordsTexts.h"
#include "recipes/Recipe.h"

namespace pb {

// The parameters a test takes, as flags of TestEntry::params.
enum class TestParam : unsigned {
    AlarmLevel = 1u << 0,     // LEVEL
    CommandText = 1u << 1,    // TEXT
    ModuleAddress = 1u << 2,  // TYPE NUMBER
    DidoRun = 1u << 3,        // cycles, seconds, outputs; or patterns
    FirmwareFile = 1u << 4,   // FILE
    Within = 1u << 5,         // how long to wait
};

struct TestEntry {
    TestId id;
    RecordText text;              // its name in each language
    const char* alias = nullptr;  // the older name of the command line and recipes; null: none
    bool command = false;         // a command of the command line
    std::optional<StepKind> step;  // the recipe step that runs it; none: no recipe step
    unsigned params = 0;          // TestParam flags
    TestResult (*run)(TestRig& rig, const TestParams& params) = nullptr;

    // The one stable name: "connect", "polling", ...
    QString name() const { return TestName(id); }
    QString nameIn(int language) const { return Text(text, language); }
    bool takes(TestParam p) const { return (params & unsigned(p)) != 0; }
    // The words after the command on the command line: LEVEL, TEXT, TYPE NUMBER TEXT, FILE.
    int arguments() const;
};

// A test's row.
const TestEntry& CatalogueEntry(TestId test);
// The test of a stable name or its older name; null when none is called so.
const TestEntry* FindTest(const QString& name);
// The test a recipe step kind runs.
const TestEntry& EntryOfStep(StepKind kind);

// Runs the test of `request` in `rig`, on the calling thread, and returns what it found.
TestResult RunTest(TestRig& rig, const TestRequest& request);

}  // namespace pb
