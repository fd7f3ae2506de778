#pragma once
// Judging a step from what it measured: pure functions over plain values, so the code
// that drives the controller only gathers the values and shows the verdict.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "i18n/RecipeTexts.h"
#include "recipes/Recipe.h"

namespace pb {

struct StepVerdict {
    bool passed = false;
    RecipeReason reason = RecipeReason::NotRun;
    QStringList args;  // the values the reason's text names, language-free

    static StepVerdict pass(RecipeReason r = RecipeReason::Passed, QStringList a = {}) {
        return {true, r, std::move(a)};
    }
    static StepVerdict fail(RecipeReason r, QStringList a = {}) { return {false, r, std::move(a)}; }
    QString text(int language) const { return Text(reason, args, language); }
};

// What a step read, language-free: shown in the station's language, kept in records in
// English (language 0).
struct StepMeasured {
    RecipeMeasure id = RecipeMeasure::None;
    QStringList args;

    bool isEmpty() const { return id == RecipeMeasure::None; }
    QString text(int language) const { return Text(id, args, language); }
    bool operator==(const StepMeasured&) const = default;
};

// What the identify procedure found, and the serial the operator scanned.
struct IdentifyMeasured {
    int modelKind = 0;
    QString modelText;    // "KV740MX", "KV410 ACCESS", "KV150RB"
    QString versionText;  // "V6.01.03", "0470", or the whole version field
    QString serial;       // as the controller reports it
    QString scannedSerial;
};

// Checks in this order: model kind, model text, version, serial; the first that fails
// names the verdict. Serials compare after trimming spaces, letter case kept.
StepVerdict judgeIdentify(const IdentifyExpect& expect, const IdentifyMeasured& measured);

// The inputs read after one pattern's outputs were applied: eight characters for
// inputs 1-8, '0'/'1' as read, '-' for an input the variant does not read (5 and 6 on
// the three-digit device), "" when the read failed.
struct DidoReading {
    int cycle = 1;    // from 1
    int pattern = 0;  // index into DidoStep::patterns
    QString inputs;
};

// One pattern against one reading; 'x' in the pattern is not checked.
StepVerdict judgeDidoReading(const DidoStep& step, const DidoReading& reading);
// The whole step: every cycle of every pattern must have been read and matched. A read
// that was not answered fails the step even where the pattern checks no input; when
// none was, the verdict says so, naming `readCommand` (what the inputs are read with).
StepVerdict judgeDido(const DidoStep& step, const QList<DidoReading>& readings,
                      const QString& readCommand);

StepVerdict judgePoll(const PollStep& step, int records);

// `reply`: the reply text (after the ID); std::nullopt when nothing came back. The
// pattern matches anywhere in the reply unless it is anchored.
StepVerdict judgeReply(const ReplyStep& step, const std::optional<QString>& reply);

// Whether the upgrade runs: always, or when the version found is outside the wanted
// range (an unreadable version counts as outside).
bool upgradeNeeded(const UpgradeStep& step, const QString& versionText);
// The passing verdict of an upgrade step that was not needed ("version V6.01.03 is
// already in ...").
StepVerdict judgeUpgradeSkipped(const UpgradeStep& step, const QString& versionText);
// The firmware file's bytes against the recipe's SHA-256.
StepVerdict judgeFirmwareFile(const UpgradeStep& step, const QByteArray& bytes);
// The version identify reports after the upgrade.
StepVerdict judgeUpgradedVersion(const UpgradeStep& step, const QString& versionText);

// Seconds until the controller answered after a reboot; std::nullopt: it never did
// within the limit.
StepVerdict judgeReboot(const RebootStep& step, std::optional<double> answeredAfterSeconds);

}  // namespace pb
