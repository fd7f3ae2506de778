#pragma once
// The values the records keep and hand out. Plain structs: the test-run frame and the
// traffic decoder convert their own values into these in one thin adapter.

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "evidence/Cause.h"
#include "evidence/Measurement.h"
#include "records/store/RecordChain.h"

namespace pb::records {

// Watched: a test with no verdict of its own, read by the technician as it ran (the
// window's DI/DO test).
enum class Outcome { Running, Ok, Error, OpenFailed, Interrupted, Watched };

// Stored codes: "running", "ok", "error", "open-failed", "interrupted", "watched".
QString OutcomeCode(Outcome outcome);
std::optional<Outcome> OutcomeFromCode(const QString& code);

// A recipe run (one unit test) stands in every list beside the procedure runs, under this
// procedure id, with the outcome of its verdict: "pass" is ok, "fail" an error, "running"
// and "interrupted" as they are.
inline constexpr char kRecipeProcedure[] = "recipe";
Outcome RecipeOutcome(const QString& verdict);
// The verdicts whose outcome is `outcome` (none for open-failed).
QStringList RecipeVerdictsOf(Outcome outcome);

// Why an upgrade's version after (or before) was not read, as its details keep it
// ("versionAfterNotRead"): language-free codes, shown by records::NotReadText.
inline constexpr char kNotReadUpgradeFailed[] = "upgrade-failed";
inline constexpr char kNotReadNoIdentify[] = "no-identify";
inline constexpr char kNotReadIdentifyFailed[] = "identify-failed";
inline constexpr char kNotReadNoIdentifyBefore[] = "no-identify-before";

// What an identify learnt of a controller. An empty serial means none is known.
struct UnitIdentity {
    QString serial;
    int modelKind = -1;  // -1: not known
    QString modelText;
    QString version;
    QString deviceId;
};

// What is known when a run starts.
struct RunStart {
    QString procedure;  // e.g. "firmware-upgrade"
    QString linkText;   // "/dev/ttyUSB0 9600" or "10.0.0.5:4001"
    QString station;    // host name; empty: this machine's
    QString operatorName;
    qint64 startMs = 0;  // ms since the epoch
    UnitIdentity unit;   // as far as known; empty serial: the link's unidentified unit
    QJsonObject details;
};

// What is known when it ends.
struct RunEnd {
    qint64 endMs = 0;
    Outcome outcome = Outcome::Ok;
    QString statusText;
    QJsonObject details;                  // replaces the run's details when not empty
    std::optional<UnitIdentity> identity;  // the identity after the run, when it identified
    Cause cause = {};  // why it ended so
};

enum class Direction { Sent, Received, Failed };
QString DirectionCode(Direction direction);  // "sent", "received", "failed"

struct TrafficFrame {
    qint64 ms = 0;  // ms since the epoch
    Direction direction = Direction::Sent;
    QByteArray bytes;
    QString verdict;  // checksum verdict or failure kind, as the decoder names it
    QString note;
};

// A run's frames as kept: the first and the last, and how many between were dropped.
struct KeptTraffic {
    QList<TrafficFrame> frames;
    qint64 dropped = 0;
    qint64 droppedAfter = -1;  // index in frames after which the dropped ones were; -1: none
};

// A unit is a controller: its model family (the model kind) and serial number; two
// controllers of different families that report the same serial are two units.
// "unit:<model kind>:<serial>"; "serial:<serial>" for a serial whose family is not known;
// "link:<link text>" holds the runs of a link before anything was identified on it (not a
// unit: it is listed with no unit).
QString UnitKey(const UnitIdentity& identity, const QString& linkText);

struct UnitRow {
    qint64 id = 0;
    QString key;  // as UnitKey
    bool identified = false;
    UnitIdentity identity;
    QString linkText;  // of an unidentified unit
    qint64 firstSeenMs = 0;
    qint64 lastSeenMs = 0;
    qint64 runCount = 0;
};

struct RunRow {
    qint64 id = 0;
    qint64 unitId = 0;
    QString unitSerial;  // empty for an unidentified unit
    QString station;
    QString operatorName;
    QString linkText;
    QString procedure;
    qint64 startMs = 0;
    qint64 endMs = 0;  // 0 while running
    Outcome outcome = Outcome::Running;
    QString statusText;
    QJsonObject details;
    qint64 frameCount = 0;
    qint64 framesDropped = 0;
    qint64 recipeRunId = 0;  // the unit test it belongs to; 0: none
    int recipeStep = -1;
    int recipeAttempt = 0;  // the try of its step that made it, from 1; 0: not known
    Cause cause = {};  // Unknown for a run kept before causes were (its status text kept as it was)
    Measurements measurements = {};  // what it found, as data
};

// A selection of runs. Empty fields select everything.
struct RunFilter {
    qint64 unitId = 0;
    QString serial;        // part of the serial number
    qint64 fromMs = 0;     // start at or after
    qint64 toMs = 0;       // start before; 0: no bound
    std::optional<Outcome> outcome;
    QString procedure;
    QList<qint64> runIds;  // only these runs
    QString station;       // part of the station's name
    // Only these recipe runs (and their runs); with runIds, the runs of either.
    QList<qint64> recipeRunIds;
    // The fixture and its socket, each whole (a socket "A1" is not "A10"): the recipe runs
    // made there and their runs.
    QString fixture = {};
    QString socket = {};
    bool selects() const { return !runIds.isEmpty() || !recipeRunIds.isEmpty(); }
};

// A run waiting in a station's outbox, and how often it changed while it waited.
// One entry of the outbox: a run, or a recipe run (queued when it ends, after its runs).
struct QueuedRun {
    qint64 runId = 0;
    int changes = 0;
    qint64 recipeRunId = 0;  // set instead of runId for a recipe run
};

// A unit test waiting in the events' queue: the entry's place and the recipe run.
struct QueuedEvent {
    qint64 entry = 0;
    qint64 recipeRunId = 0;
};

// A finished run as a station sends it to the shared server: its unit, the run and its
// traffic as stored (compressed), with the key that makes a second sending an update.
struct RunUpload {
    QString origin;       // the station's store (a random id kept in it)
    qint64 localRunId = 0;
    UnitRow unit;
    RunRow run;
    QByteArray traffic;   // empty: none kept
    qint64 frameCount = 0;
    qint64 framesDropped = 0;
    qint64 localRecipeRunId = 0;  // the station's recipe run holding it; 0: none
    int recipeStep = -1;
    int recipeAttempt = 0;
};

// A recipe run: one unit test of a product's recipe, grouping the runs of its steps.
// Verdict codes: "running", "pass", "fail", "interrupted"; a step's: "pass", "fail",
// "not-run" (a step the run never reached), "running" (the step in hand), "interrupted".
struct RecipeStepRow {
    int index = 0;  // from 0, in the recipe's order; shown and exported from 1
    QString kind = {};   // "identify", "dido", ...
    QString label = {};
    QString verdict = QStringLiteral("not-run");
    QString reasonText = {};  // kept before causes were: the words as they were
    int attempts = 0;
    QString measured = {}; // kept before measurements were: the words as they were
    QList<qint64> runIds = {}; // the procedure runs of the step, oldest first (when read)
    Cause cause = {};    // why (Ok for a step that passed; a note may ride on a pass)
    QList<Cause> attemptCauses = {};  // why each try ended, in order
    Measurements measurements = {};
};

struct RecipeRunStart {
    QString recipeName;  // the product
    QString recipeHash;  // SHA-256 of the recipe file, hex
    QString scannedSerial;
    QString linkText;
    QString station;
    QString operatorName;
    qint64 startMs = 0;
    QList<RecipeStepRow> steps;  // every step, not run yet
    QString fixture;  // the fixture and socket the unit sat in; empty: tested alone
    QString socket;
    QString fixtureHash = {};  // SHA-256 of the fixture file, hex; empty: none
    QString toolVersion = {};  // the tool that ran it; empty: this program's version
};

struct RecipeRunEnd {
    qint64 endMs = 0;
    QString verdict;  // "pass", "fail", "interrupted"
    int failingStep = -1;
    QString reasonText;
    QList<RecipeStepRow> steps;
    std::optional<UnitIdentity> identity;  // the unit as identified during the run
    Cause cause = {};  // the failing step's
};

struct RecipeRunRow {
    qint64 id = 0;
    qint64 unitId = 0;
    QString unitSerial;
    QString recipeName;
    QString recipeHash;
    QString scannedSerial;
    QString station;
    QString operatorName;
    QString linkText;
    qint64 startMs = 0;
    qint64 endMs = 0;
    QString verdict;
    int failingStep = -1;
    QString reasonText;  // kept before causes were
    QList<RecipeStepRow> steps;
    QString fixture;  // empty: the unit was tested alone
    QString socket;
    Cause cause = {};  // the failing step's (Ok for a pass)
    // Its unit's ended tests of its recipe that began before it: 0 for the first test, 1 for
    // the first retest; -1 while it runs.
    int retest = -1;
    QString fixtureHash = {};
    QString toolVersion = {};
    ChainLink chain = {};  // its link in its station's chain (RecordChain.h)
    bool unitIdentified() const { return !unitSerial.isEmpty(); }
    Outcome outcome() const { return RecipeOutcome(verdict); }
    // The failing step's row; null when none failed.
    const RecipeStepRow* failing() const {
        for (const RecipeStepRow& s : steps)
            if (s.index == failingStep) return &s;
        return nullptr;
    }
};

// A finished recipe run as a station sends it: keyed on the server like a run, its steps'
// run ids the station's own (the server links its copies of those runs).
struct RecipeRunUpload {
    QString origin;
    qint64 localRecipeRunId = 0;
    UnitRow unit;
    RecipeRunRow recipeRun;
    // Every column of the row and of its steps as the chain covers them (RecordChain.h):
    // the server takes the columns it has that the fields above do not carry, so that a
    // column a later schema step adds arrives and its link checks.
    QByteArray content = {};
};

}  // namespace pb::records

