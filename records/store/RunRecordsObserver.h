#pragma once
// The test-run frame's observer that keeps every run in the records: the one adapter
// between the frame's values (pb::RunStart, pb::RunReport, the link's traffic) and the
// store's (records::RunStart, RunEnd, TrafficFrame). No widgets: the window and the
// command line both use it.
//
// Which unit a run belongs to: the unit last identified on the run's link (by serial),
// else the link's unidentified unit; a connect run that identifies a unit moves its own
// run to that unit. An upgrade's "versionAfter" comes from the next identify on its link.

#include <QHash>
#include <QObject>
#include <optional>

#include "link/Link.h"
#include "procedures/RunObserver.h"
#include "records/store/RecordStore.h"
#include "records/store/RunRecorder.h"
#include "traffic/TrafficFrame.h"

namespace pb::records {

class RunRecordsObserver : public QObject, public pb::RunObserver {
    Q_OBJECT
public:
    explicit RunRecordsObserver(RecordStore& store, QObject* parent = nullptr);

    // Kept with every run from now on; empty by default.
    void setOperator(const QString& name) { operator_ = name; }
    QString operatorName() const { return operator_; }
    // The host name unless set (tests, a bench station with a name of its own).
    void setStation(const QString& station) { station_ = station; }

    void runStarted(const pb::RunStart& start) override;
    void runEnded(const pb::RunReport& report) override;
    // Written at once, over the run's details so far (with what its start kept).
    void runProgressed(const QJsonObject& detail) override;
    void controllerIdentified(const pb::ControllerIdentity& identity) override;
    // What the run that ended last found, kept with it.
    void runMeasured(const Measurements& found) override;

    // The run being recorded; 0 when none (or the records are off).
    qint64 currentRunId() const { return recorder_.runId(); }
    // The run that ended last; 0 when none was kept.
    qint64 lastRunId() const { return lastRunId_; }
    // The store's problem the first time it is seen, to show once in the status line.
    std::optional<RecordsStatus> takeNewProblem() { return recorder_.takeNewProblem(); }

    // "COM1 19200,e,8,1" or "10.0.0.5:4001".
    static QString LinkText(const LinkSettings& settings);
    static UnitIdentity UnitOf(const pb::ControllerIdentity& identity);
    static Outcome OutcomeOf(pb::RunOutcome outcome);

signals:
    // A run began (running, its procedure) or ended: what the station's heartbeat says.
    void activity(bool running, const QString& procedure);

public slots:
    // Connect to Link::traffic: the frame goes with the running run, with its verdict.
    void takeTraffic(const pb::TrafficRecord& record);

private:
    RecordStore& store_;
    RunRecorder recorder_;
    TrafficDecoder decoder_;
    QString operator_;
    QString station_;
    QString runLink_;      // link text of the run being recorded
    qint64 runStartMs_ = 0;
    QJsonObject runStartDetails_;  // what the run began with, kept through its progress
    QString lastEndedLink_;
    qint64 lastRunId_ = 0;
    QHash<QString, UnitIdentity> lastUnit_;  // by link text
    // An upgrade run waiting for the version its unit reports next, by link text.
    struct AwaitingVersion {
        qint64 runId = 0;
        QJsonObject details;
    };
    QHash<QString, AwaitingVersion> awaitingVersion_;
};

}  // namespace pb::records
