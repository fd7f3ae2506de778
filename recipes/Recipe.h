#pragma once
// A product's test recipe: the steps an operator's scan runs on every unit, each with
// the limits that make it pass. Plain values; recipes/RecipeLoader.h reads them from
// JSON (docs/recipes.md), recipes/RecipeJudge.h judges what a step measured.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

#include "procedures/TestId.h"
#include "recipes/RecipeVersion.h"

namespace pb {

struct IdentifyExpect {
    QList<int> modelKinds;  // empty: any kind
    QString modelText;      // empty: any; else the reported model text begins with it
    std::optional<VersionRange> version;
    bool checkSerial = true;  // the reported serial must equal the scanned one
};

struct SetDateStep {
    std::optional<QDateTime> time;  // empty: the PC's clock at the moment of the step
};

struct AlarmStep {
    int level = 0;  // 0-6
};

struct RebootStep {
    int withinSeconds = 30;  // the controller must answer again within this
};

struct DidoPattern {
    QString outputs;  // four '0'/'1', outputs 1-4
    QString inputs;   // eight '0'/'1'/'x' (x: not checked), inputs 1-8
};

struct DidoStep {
    int cycles = 1;
    QList<DidoPattern> patterns;  // each cycle applies every pattern in order
};

struct UpgradeStep {
    QString file;       // as written; relative to the recipe's folder
    QByteArray sha256;  // 32 bytes
    VersionRange wanted;
    bool always = false;  // upgrade even when the version is already wanted
    // Program the blocks the model takes of a file that has more; without it such a file
    // is refused before the loader is entered.
    bool allowPartial = false;
};

struct PollStep {
    std::optional<int> atLeast;  // records
    std::optional<int> atMost;
};

// "send" (a command after the device ID) and "module" (a module command).
struct ReplyStep {
    QString command;
    QString replyPattern;  // a regular expression the reply text must match
};

enum class OnFailure { Stop, GoOn };

struct RecipeStep {
    // The standalone test the step runs (procedures/TestId.h): in a recipe file its kind,
    // by the kind's own name ("identify", "poll": CommandName) or the test's stable name.
    TestId kind = TestId::Connect;
    QString label;  // the engineer's name for the step; empty: the kind's name
    OnFailure onFailure = OnFailure::Stop;
    int retries = 0;  // further tries after a failed one
    int line = 0;     // where the step starts in the recipe file

    // The part that belongs to `kind`; the others stay default.
    IdentifyExpect identify;
    SetDateStep setDate;
    AlarmStep alarm;
    RebootStep reboot;
    DidoStep dido;
    UpgradeStep upgrade;
    PollStep poll;
    ReplyStep reply;  // send and module
};

struct Recipe {
    static constexpr int kSchema = 1;

    int schema = kSchema;
    QString product;
    QList<RecipeStep> steps;
    QByteArray sha256;   // of the file's bytes, recorded with every run
    QString sourcePath;  // empty when loaded from bytes

    QString hashHex() const { return QString::fromLatin1(sha256.toHex()); }
    // The firmware file of an upgrade step, resolved against the recipe's folder.
    QString firmwarePath(const UpgradeStep& step) const;
};

}  // namespace pb
