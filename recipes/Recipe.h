#pragma once
// A plan of tests for one unit: a product's recipe (the steps an operator's scan runs on
// every unit, each with the limits that make it pass), or one command of the command
// line or one button of the window as a plan of one step. Plain values; the catalogue's
// recipe loader reads them from JSON (docs/recipes.md), recipes/RecipeJudge.h judges
// what a step found.

#include <QByteArray>
#include <QList>
#include <QString>

#include "procedures/TestId.h"
#include "recipes/TestParams.h"

namespace pb {

enum class OnFailure { Stop, GoOn };

// Steps tried again together when the last of them (the step that holds the group) has
// failed: a restart, then the identify, say.
struct RetryGroup {
    int first = 0;  // the group's first step, from 0
    int times = 0;  // further runs of the group, at most
    bool operator==(const RetryGroup&) const = default;
};

struct RecipeStep {
    // The test the step runs (procedures/TestId.h): in a recipe file its kind, by the
    // test's command name ("identify", "poll") or its stable name.
    TestId kind = TestId::Connect;
    QString label;  // the engineer's name for the step; empty: the test's name
    OnFailure onFailure = OnFailure::Stop;
    int retries = 0;  // further tries after a failed one
    std::optional<RetryGroup> retryGroup;  // run from its first step again after this one failed
    int line = 0;     // where the step starts in the recipe file
    TestParams params;
};

struct Recipe {
    static constexpr int kSchema = 1;

    int schema = kSchema;
    QString product;  // empty for a plan of one command
    QList<RecipeStep> steps;
    QByteArray sha256;   // of the file's bytes, recorded with every run
    QString sourcePath;  // empty when loaded from bytes

    QString hashHex() const { return QString::fromLatin1(sha256.toHex()); }
    // The firmware file of an upgrade step, resolved against the recipe's folder.
    QString firmwarePath(const UpgradeParams& upgrade) const;
    // Every firmware upgrade of the plan trusts these minisign public key files too, and
    // with signedOnly refuses an unsigned file (a recipe step's own "signed" stays).
    void trustFirmware(const QStringList& keyFiles, bool signedOnly);
    // A plan of one test, as a command or a button runs it.
    static Recipe ofOne(TestId test, const TestParams& params, int retries = 0);
};

}  // namespace pb
