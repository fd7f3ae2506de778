#pragma once
// The tests this tool runs, one descriptor each (catalogue/TestCatalogue.cpp): its names
// (the one stable name the records keep, the command line's and recipes' name, its words
// in each language), the parameters it takes, the function that runs its procedure, the
// step a plan runs (the procedure and its judge) and the command line's words for it. The
// window's buttons, the command line's commands, the recipe steps, the recipe loader, the
// command line's parser and help, and docs/tests.md all read them from here.
//
//   const TestDescriptor* test = FindTest("poll");        // or "polling"
//   TestResult r = RunTest(rig, {test->id, params});
//   if (const PollingResult* p = r.as<PollingResult>()) ... p->recordsRead() ...

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include "catalogue/ParamDescriptor.h"
#include "catalogue/StepContext.h"
#include "catalogue/TestNames.h"
#include "catalogue/TestRequest.h"
#include "i18n/RecipeTexts.h"
#include "i18n/TextRow.h"

namespace pb {

// A mistake a recipe step's fields make together: the field it is shown at (empty: the
// step) and what is wrong.
struct FieldProblem {
    QString field;
    RecipeProblem problem;
};

struct TestDescriptor {
    TestId id;
    const char* name;                 // the stable name: records, command line, recipes
    const char* olderName = nullptr;  // what the command line and recipes first called it
    bool standalone = true;           // run by itself (a command, a recipe step, a button); else only within others
    TextRow words = {};               // its name in each language (the window's caption)
    QList<ParamDescriptor> params = {};
    // What a recipe step's fields must say together, beyond each field on its own.
    std::optional<FieldProblem> (*checkFields)(const QJsonObject& fields, const TestParams& params) = nullptr;
    // The procedure, as the window's button runs it.
    TestResult (*run)(TestRig& rig, const TestParams& params) = nullptr;
    // The step a plan runs: the procedure and its judge. Null: the procedure alone (with the
    // controller identified first), passed when it ended well.
    StepOutcome (*step)(StepContext& run, const TestParams& params) = nullptr;
    // What a run of it found, as data, without limits (a button's or a command's run).
    Measurements (*measure)(const TestResult& found) = nullptr;
    // A test that runs until it is stopped (the DI/DO loop, polling): a cancel stops it at
    // the end of its cycle, as a second click would, and its pauses are kept to the end.
    bool (*continuous)(const TestParams& params) = nullptr;
    // The command line's words: what it does (lines after the first start with '\n'), and
    // how a one-shot command that ended well is told ("alarm sent"; none: from what it found).
    const char* help = "";
    TextRow done = {};
    // When its recipe step passes, for docs/tests.md.
    const char* passes = "";

    // The stable name: "connect", "polling", ...
    QString stableName() const { return QLatin1String(name); }
    // The command line's command and the recipes' step kind: "identify", "poll", "alarm", ...
    QString commandName() const { return QLatin1String(olderName ? olderName : name); }
    QString nameIn(int language) const { return RowText(words, language); }
    // The words after the command on the command line: LEVEL, TEXT, TYPE NUMBER TEXT, FILE.
    QList<const ParamDescriptor*> positionals() const;
    // "LEVEL", "[--time T]", "[--cycles N | --seconds S] [--outputs O]" ...
    QString usage() const;
};

// Every test, in TestId order.
const QList<TestDescriptor>& Catalogue();
// A test's descriptor.
const TestDescriptor& CatalogueEntry(TestId test);
// The test of a stable name or its older name; null when none is called so.
const TestDescriptor* FindTest(const QString& name);
// The standalone test of a stable or older name; none for any other name.
std::optional<TestId> StandaloneTest(const QString& name);

// Runs the test of `request` in `rig`, on the calling thread, and returns what it found.
TestResult RunTest(TestRig& rig, const TestRequest& request);
// What a run found, as data (the descriptor's measure; none for a test without one).
Measurements MeasurementsOf(const TestResult& found);

}  // namespace pb
