#pragma once
// What a test is asked to do: one shape for every front end. The window fills it from its
// controls, the command line from its arguments and a recipe from a step's fields, each
// through the test's parameters in the catalogue (catalogue/TestCatalogue.h); a test reads
// only its own part. The limits a recipe sets (what the controller must report, which
// inputs a pattern must light) are parameters too: the judge of the step reads them.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

#include "recipes/RecipeVersion.h"

namespace pb {

struct FirmwareRelease;

// Connect and identify: what the controller must be (a recipe step; nothing for the
// window's button and the command line's identify).
struct IdentifyParams {
    QList<int> modelKinds;  // empty: any kind
    QString modelText;      // empty: any; else the reported model text begins with it
    std::optional<VersionRange> version;
    bool checkSerial = true;  // the reported serial must equal the scanned one
};

struct SetDateParams {
    // The time to set; empty: this PC's clock at the moment the command goes out.
    std::optional<QDateTime> time;
};

struct AlarmParams {
    int level = 0;  // 0 (off) .. 6
};

// A restart (reboot, factory initial): how long the controller has to answer again; none:
// the command ends once the controller took it (the window's buttons, the command line).
struct RestartParams {
    std::optional<int> withinSeconds;
};

struct DidoPattern {
    QString outputs;  // four '0'/'1', outputs 1-4
    QString inputs;   // eight '0'/'1'/'x' (x: not checked), inputs 1-8
};

// The DI/DO test: set patterns, each read back and judged (a recipe), or the button's loop
// over the ticked outputs until it is stopped.
struct DidoParams {
    int cycles = 1;               // patterns: each cycle applies every pattern; loop: 0 until stopped
    QList<DidoPattern> patterns;  // empty: the loop
    QString outputs = QStringLiteral("1111");  // the loop: '1' for each output ticked
    int seconds = 0;  // the loop: ends after this long instead of a count, when > 0
    // The loop's run ends well only with an answered read (a caller with no one to read the
    // lamps); the window's technician reads them and no verdict is given.
    bool needsAnsweredRead = true;
};

struct UpgradeParams {
    QString file;       // as written; a recipe's relative to its folder
    QByteArray sha256;  // 32 bytes: the file must be this one (a recipe); empty: any
    std::optional<VersionRange> wanted;  // the version it must report after (and the
                                         // range that makes an upgrade unneeded)
    bool always = true;  // upgrade even when the version is already wanted
    // Program the blocks the model takes of a file that has more; without it such a file
    // is refused before the loader is entered (the window's button leaves the fit to the
    // loader: checkFitFirst false).
    bool allowPartial = false;
    bool checkFitFirst = true;
    // Refuse a file without a signature ("signed": true, --signed-only, the settings'
    // SignedFirmwareOnly); a signature present is checked either way, against these
    // minisign public key files (--trust, the settings' TrustedKeys).
    bool signedOnly = false;
    QStringList trustedKeys;
    // The file as read once at the edge of the run (none: the step reads it, once).
    std::shared_ptr<const FirmwareRelease> release;
};

struct PollParams {
    std::optional<int> atLeast;  // records
    std::optional<int> atMost;
    bool pauseBetweenRecords = true;  // each record shown a moment (a station shows none)
};

// A console command: the text after the device ID (controller) or after the module's
// type letter and number (module), and the reply a recipe expects.
struct ConsoleParams {
    QString text;
    int moduleType = 0;     // the module's type, as the type list's index (A B H I J E)
    QString moduleNumber;   // "1" .. "8"
    QString replyPattern;   // a regular expression the reply must match; empty: any reply
};

struct AwaitParams {
    int withinMs = 30000;  // how long to keep asking
};

struct TestParams {
    IdentifyParams identify;
    SetDateParams setDate;
    AlarmParams alarm;
    RestartParams restart;
    DidoParams dido;
    UpgradeParams upgrade;
    PollParams poll;
    ConsoleParams console;
    AwaitParams await;
};

}  // namespace pb
