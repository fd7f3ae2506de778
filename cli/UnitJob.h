#pragma once
// What one unit is asked to do, and what it reports while doing it. Plain values: they
// cross from the unit's thread to the main thread.

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QMetaType>
#include <QString>
#include <optional>

#include "evidence/Cause.h"
#include "i18n/Language.h"
#include "procedures/TestId.h"
#include "recipes/Recipe.h"

namespace cli {

// One controller's connection, as given on the command line or in a units file.
struct UnitLink {
    enum class Kind { Serial, Tcp } kind = Kind::Serial;
    QString port;   // serial: device name or path
    QString speed = QStringLiteral("19200,e,8,1");
    QString host;   // tcp
    QString tcpPort;
    QString id;     // empty: the --id option, or "0000"
    QString unitSerial;  // run: the serial on the unit's label (--unit-serial)
    bool lowLatency = true;  // serial: --no-low-latency leaves the adapter alone
    bool rs485 = false;      // serial: --rs485
    QString socket;          // run --fixture: the fixture's socket the unit sits in
    std::optional<pb::Cause> linkProblem;  // an adapter socket whose port was not found: why
    QString label() const {
        return kind == Kind::Tcp ? host + QLatin1Char(':') + tcpPort : port;
    }
};

// The command and its arguments, shared by every unit.
struct CommandJob {
    QString command;  // identify, set-date, alarm, ..., run: the command line's own name
    std::optional<pb::TestId> test;  // the test the command runs; none for ports, records, run
    pb::RecipeStep step;             // the test's step: its arguments and options
    QString id = QStringLiteral("0000");
    std::optional<int> modelKind;  // skips the identify of commands that need none
    pb::Language language = pb::Language::English;
    bool traffic = false;
    std::optional<pb::Recipe> recipe;  // run: the recipe, loaded and checked
    QString fixtureName;               // run --fixture: kept with each recipe run
    QString fixtureHash;               // and the SHA-256 of its file
    // The unit records: each unit's thread opens the store for itself.
    bool keepRecords = true;
    QString recordsPath;   // empty: the default store
    QString recordsUrl;    // the shared server the runs also go to; empty: none
    QString station;       // kept with every run; empty: the host name
    // The broker every unit test is published to (events/EventsTarget.h); empty: none.
    QString eventsUrl;
    QString eventsUser;
    QString eventsPasswordFile;
    QString operatorName;

    // What every unit runs: the recipe, or the command's one step.
    pb::Recipe plan() const { return recipe ? *recipe : pb::Recipe::ofOne(step.kind, step.params, step.retries); }
};

struct UnitEvent {
    // Live: what the unit is doing now (the step under way, the seconds a wait has left),
    // for the line under the output on a terminal only: never a line of its own, nor JSON.
    enum class Kind { Start, Step, Progress, Frame, Warning, Result, Live } kind = Kind::Step;
    int unit = 0;
    qint64 ms = 0;  // since the unit started
    QString text;   // step text; result message; frame note; warning; live text; the
                    // recipe step a progress belongs to (not in JSON)
    // progress
    QString phase;  // identify, program, verify, poll, dido
    int done = 0;
    int total = 0;  // 0: not known
    // frame
    QString direction;  // sent, received, failed
    QByteArray bytes;
    bool checksumOk = false;
    // result
    int exitCode = 0;
    QJsonObject detail;
};

}  // namespace cli

Q_DECLARE_METATYPE(cli::UnitEvent)
