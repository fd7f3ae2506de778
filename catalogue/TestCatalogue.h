#pragma once
// The tests this tool runs, one row each: its name in each language, the parameters it
// takes, the function that runs it and the command line's words for it (its stable and
// older names are procedures/TestId.h's, beside its id). The window's buttons, the command
// line's commands and the recipe steps find their test here and run it through RunTest;
// how each front end words the result is its own.
//
//   const TestEntry* test = FindTest("poll");        // or "polling"
//   TestResult r = RunTest(rig, {test->id, params});
//   if (const PollingResult* p = r.as<PollingResult>()) ... p->recordsRead() ...

#include <QString>
#include <QStringList>
#include <optional>

#include "catalogue/TestNames.h"
#include "catalogue/TestRequest.h"
#include "i18n/TextRow.h"

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
    TextRow words;        // its name in each language (docs/glossary.md's terms)
    unsigned params = 0;  // TestParam flags
    TestResult (*run)(TestRig& rig, const TestParams& params) = nullptr;
    // The command line's words for it: what follows the command in its help ("LEVEL"), what
    // it does (lines after the first start with '\n'), and how a one-shot command that
    // ended well is told ("alarm sent"; null: the command words its ending from what the
    // test found).
    const char* usage = nullptr;
    const char* help = "";
    const char* doneText = nullptr;

    // The one stable name: "connect", "polling", ...
    QString name() const { return TestName(id); }
    // The command line's command and the recipes' step kind: "identify", "poll", "alarm", ...
    QString commandName() const { return CommandName(id); }
    // A command of the command line and a recipe step; else run only within another test.
    bool standalone() const { return NamingOf(id).standalone; }
    QString nameIn(int language) const { return RowText(words, language); }
    bool takes(TestParam p) const { return (params & unsigned(p)) != 0; }
    // The words after the command on the command line: LEVEL, TEXT, TYPE NUMBER TEXT, FILE.
    int arguments() const;
};

// A test's row.
const TestEntry& CatalogueEntry(TestId test);
// The test of a stable name or its older name; null when none is called so.
const TestEntry* FindTest(const QString& name);

// Runs the test of `request` in `rig`, on the calling thread, and returns what it found.
TestResult RunTest(TestRig& rig, const TestRequest& request);

}  // namespace pb
