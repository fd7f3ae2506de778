#pragma once
// Judging a step from what it found: pure functions over plain values, so the code that
// drives the controller only gathers the values and shows the verdict. Each gives a
// verdict with one cause and what it measured, with the limits the step set.

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

#include "evidence/Cause.h"
#include "evidence/Measurement.h"
#include "recipes/TestParams.h"

namespace pb {

enum class StepState { NotRun, Passed, Failed, Interrupted };

struct StepVerdict {
    StepState state = StepState::NotRun;
    Cause cause;  // why; Ok (or a passing note) for a step that passed

    static StepVerdict pass(Cause why = {}) { return {StepState::Passed, std::move(why)}; }
    static StepVerdict fail(Cause why) { return {StepState::Failed, std::move(why)}; }
    static StepVerdict interrupted() { return {StepState::Interrupted, Cause::of(CauseCode::Interrupted)}; }
    bool passed() const { return state == StepState::Passed; }
    bool ran() const { return state != StepState::NotRun; }
    bool operator==(const StepVerdict&) const = default;
};

// "pass", "fail", "not-run", "interrupted": a step's verdict as the records keep it.
QString StepStateName(StepState state);
std::optional<StepState> StepStateNamed(const QString& name);

// A verdict with what the step measured.
struct Judgement {
    StepVerdict verdict;
    Measurements measurements;
};

// What the identify procedure found, and the serial the operator scanned.
struct IdentifyFound {
    QString deviceId;
    int modelKind = 0;
    QString modelText;    // "KV740MX", "KV410 ACCESS", "KV150RB"
    QString versionText;  // the version caption ("KV740MX -V6.01.03")
    QString serial;       // as the controller reports it
    QString scannedSerial;
};

// Checks in this order: model kind, model text, version, serial; the first that fails
// names the verdict. Serials compare after trimming spaces, letter case kept.
Judgement judgeIdentify(const IdentifyParams& expect, const IdentifyFound& found);

// The inputs read after one pattern's outputs were applied: eight characters for
// inputs 1-8, '0'/'1' as read, '-' for an input the variant does not read (5 and 6 on
// the three-digit device), "" when the read failed.
struct DidoReading {
    int cycle = 1;    // from 1
    int pattern = 0;  // index into DidoParams::patterns
    QString inputs;
};

// One pattern against one reading; 'x' in the pattern is not checked.
StepVerdict judgeDidoReading(const DidoParams& step, const DidoReading& reading);
// The whole step: every cycle of every pattern must have been read and matched. A read
// that was not answered (or never made) fails the step as no reply to `readCommand`,
// even where the pattern checks no input.
Judgement judgeDido(const DidoParams& step, const QList<DidoReading>& readings, const QString& readCommand);

Judgement judgePoll(const PollParams& step, int records);

// `reply`: the reply text (after the ID); std::nullopt when nothing came back (a no-reply
// to `command`). The pattern matches anywhere in the reply unless it is anchored.
Judgement judgeReply(const ConsoleParams& step, const QString& command, const std::optional<QString>& reply);

// Whether the upgrade runs: always, or when the version found is outside the wanted
// range (an unreadable version counts as outside).
bool upgradeNeeded(const UpgradeParams& step, const QString& versionText);
// The passing verdict of an upgrade step that was not needed.
StepVerdict judgeUpgradeSkipped(const UpgradeParams& step, const QString& versionText);
// The firmware's bytes against the pinned SHA-256 (none pinned: any passes).
StepVerdict judgeFirmwareHash(const UpgradeParams& step, const QByteArray& sha256);
// The version identify reports after the upgrade.
StepVerdict judgeUpgradedVersion(const UpgradeParams& step, const QString& versionText);

// Seconds until the controller answered after a restart; std::nullopt: it never did
// within the limit.
Judgement judgeBackAfterRestart(int withinSeconds, std::optional<double> answeredAfterSeconds);

}  // namespace pb
