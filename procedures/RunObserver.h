#pragma once
// What a test run tells whoever keeps records of runs, as plain values. The procedures
// never see the observer; the test-run frame calls it.

#include <QJsonObject>
#include <QString>

#include "evidence/Cause.h"
#include "evidence/Measurement.h"
#include "link/LinkSettings.h"
#include "procedures/TestId.h"

namespace pb {

// How a run ended, as a record keeps it. Interrupted: stopped by the user before the test
// reached its own end (the window shows it as "Command ok.", like Ok). Watched: a test
// with no verdict of its own, read by the technician as it ran (the window's DI/DO test:
// the lamps), shown as "Command ok." too.
enum class RunOutcome { Ok, Error, OpenFailed, Interrupted, Watched };

// "ok", "error", "open-failed", "interrupted", "watched".
QString RunOutcomeName(RunOutcome outcome);

struct RunStart {
    TestId test = TestId::Connect;
    qint64 startedMs = 0;  // ms since the epoch
    LinkSettings link;     // as the link selector held them when the run began
};

struct RunReport {
    TestId test = TestId::Connect;
    qint64 startedMs = 0;
    qint64 endedMs = 0;
    RunOutcome outcome = RunOutcome::Error;
    QString statusText;  // the status line the run ended with
    LinkSettings link;
    // What the test itself adds: DI/DO cycles, records read, blocks programmed, the
    // controller identified, ...
    QJsonObject detail;
    // Why it ended so (Ok for a run that ended well), decided by the test-run frame.
    Cause cause = {};
};

// The controller a connect run identified.
struct ControllerIdentity {
    QString deviceId;
    int modelKind = 0;
    QString versionText;  // as pnVER shows it: model and version
    QString serialNumber;
};

QJsonObject ToJson(const ControllerIdentity& identity);

class RunObserver {
public:
    virtual ~RunObserver() = default;
    virtual void runStarted(const RunStart& start) = 0;
    virtual void runEnded(const RunReport& report) = 0;
    // How far a long run has come (its detail so far: phase, blocks done, ...), now and
    // then while it runs: a keeper writes it at once, so that a run killed before its end
    // still says how far it came.
    virtual void runProgressed(const QJsonObject& /*detail*/) {}
    // After a connect run that identified the controller (also in its detail, "controller").
    virtual void controllerIdentified(const ControllerIdentity& /*identity*/) {}
    // After runEnded: what the run (or the plan's step it was) found, as data.
    virtual void runMeasured(const Measurements& /*found*/) {}
};

}  // namespace pb
