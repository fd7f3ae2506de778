#include "records/store/RunRecordsObserver.h"

#include <QHostInfo>
#include <QJsonValue>

#include "catalogue/TestNames.h"


namespace pb::records {
namespace {

const QString kController = QStringLiteral("controller");
const QString kVersionBefore = QStringLiteral("versionBefore");
const QString kVersionAfter = QStringLiteral("versionAfter");
// Why a version was not read, when it was not (records::kNotRead*): never a blank.
const QString kVersionBeforeNotRead = QStringLiteral("versionBeforeNotRead");
const QString kVersionAfterNotRead = QStringLiteral("versionAfterNotRead");

Direction DirectionOf(pb::TrafficRecord::Direction d) {
    switch (d) {
        case pb::TrafficRecord::Direction::Sent:
            return Direction::Sent;
        case pb::TrafficRecord::Direction::Received:
            return Direction::Received;
        case pb::TrafficRecord::Direction::Failed:
            break;
    }
    return Direction::Failed;
}

}  // namespace

RunRecordsObserver::RunRecordsObserver(RecordStore& store, QObject* parent)
    : QObject(parent), store_(store), recorder_(store), station_(QHostInfo::localHostName()) {}

QString RunRecordsObserver::LinkText(const LinkSettings& settings) {
    return settings.kind == LinkKind::Net ? settings.ip + u':' + settings.tcpPort
                                          : settings.portName + u' ' + settings.speed;
}

UnitIdentity RunRecordsObserver::UnitOf(const pb::ControllerIdentity& identity) {
    UnitIdentity unit;
    unit.serial = identity.serialNumber.trimmed();
    unit.modelKind = identity.modelKind;
    // The model as the version caption names it ("KV320MX -V5.10.02": KV320MX).
    unit.modelText = identity.versionText.section(u' ', 0, 0, QString::SectionSkipEmpty);
    unit.version = identity.versionText;
    unit.deviceId = identity.deviceId;
    return unit;
}

Outcome RunRecordsObserver::OutcomeOf(pb::RunOutcome outcome) {
    switch (outcome) {
        case pb::RunOutcome::Ok:
            return Outcome::Ok;
        case pb::RunOutcome::Error:
            return Outcome::Error;
        case pb::RunOutcome::OpenFailed:
            return Outcome::OpenFailed;
        case pb::RunOutcome::Interrupted:
            return Outcome::Interrupted;
        case pb::RunOutcome::Watched:
            return Outcome::Watched;
    }
    return Outcome::Error;
}

void RunRecordsObserver::runStarted(const pb::RunStart& start) {
    const QString procedure = TestName(start.test);
    emit activity(true, procedure);
    RunStart run;
    run.procedure = procedure;
    run.linkText = LinkText(start.link);
    run.station = station_;
    run.operatorName = operator_;
    run.startMs = start.startedMs;
    // A connect asks who is there: until it says, its run is the link's, never that of the
    // unit the link had before (which may be gone).
    if (start.test == TestId::Connect) lastUnit_.remove(run.linkText);
    run.unit = lastUnit_.value(run.linkText);
    if (start.test == TestId::FirmwareUpgrade) {
        if (!run.unit.version.isEmpty()) run.details.insert(kVersionBefore, run.unit.version);
        else run.details.insert(kVersionBeforeNotRead, QLatin1String(kNotReadNoIdentifyBefore));
    }
    runLink_ = run.linkText;
    runStartMs_ = start.startedMs;
    runStartDetails_ = run.details;
    decoder_.reset();
    recorder_.begin(run);
}

void RunRecordsObserver::takeTraffic(const pb::TrafficRecord& record) {
    if (recorder_.runId() <= 0) return;
    const TrafficRow row = decoder_.decode(record, 0);
    TrafficFrame frame;
    // The link counts from its open, which follows the run's start at once.
    frame.ms = runStartMs_ + record.msSinceOpen;
    frame.direction = DirectionOf(record.direction);
    frame.bytes = record.bytes;
    frame.verdict = QString::fromLatin1(row.kind == FrameKind::Failure ? FailureWord(row) : VerdictWord(row));
    frame.note = record.note;
    if (row.latencyMs >= 0 && frame.note.isEmpty()) frame.note = QStringLiteral("%1 ms").arg(row.latencyMs);
    recorder_.frame(frame);
}

void RunRecordsObserver::runProgressed(const QJsonObject& detail) {
    QJsonObject kept = detail;
    for (auto it = runStartDetails_.constBegin(); it != runStartDetails_.constEnd(); ++it)
        kept.insert(it.key(), it.value());
    recorder_.progress(kept);
}

void RunRecordsObserver::runEnded(const pb::RunReport& report) {
    const qint64 runId = recorder_.runId();
    RunEnd end;
    end.endMs = report.endedMs;
    end.outcome = OutcomeOf(report.outcome);
    end.cause = report.cause;
    end.statusText = report.statusText;
    end.details = report.detail;
    const QString link = LinkText(report.link);
    if (report.test == TestId::FirmwareUpgrade) {
        const UnitIdentity before = lastUnit_.value(link);
        if (!before.version.isEmpty()) end.details.insert(kVersionBefore, before.version);
        else end.details.insert(kVersionBeforeNotRead, QLatin1String(kNotReadNoIdentifyBefore));
        // Read by the next identify on the link; until then the record says why not.
        end.details.insert(kVersionAfterNotRead, QLatin1String(report.outcome == pb::RunOutcome::Ok
                                                                   ? kNotReadNoIdentify
                                                                   : kNotReadUpgradeFailed));
    }
    const QJsonObject controller = report.detail.value(kController).toObject();
    if (report.outcome == pb::RunOutcome::Ok && !controller.isEmpty()) {
        pb::ControllerIdentity identity;
        identity.deviceId = controller.value(QStringLiteral("deviceId")).toString();
        identity.modelKind = controller.value(QStringLiteral("modelKind")).toInt();
        identity.versionText = controller.value(QStringLiteral("versionText")).toString();
        identity.serialNumber = controller.value(QStringLiteral("serialNumber")).toString();
        end.identity = UnitOf(identity);
    }
    recorder_.end(end);
    lastRunId_ = runId;
    runLink_.clear();
    emit activity(false, TestName(report.test));
    // An identify after an upgrade that found no controller: the upgrade's record says so.
    if (report.test == TestId::Connect && report.outcome != pb::RunOutcome::Ok) {
        const auto awaiting = awaitingVersion_.find(link);
        if (awaiting != awaitingVersion_.end()) {
            awaiting->details.insert(kVersionAfterNotRead, QLatin1String(kNotReadIdentifyFailed));
            store_.writer().updateRunDetails(awaiting->runId, awaiting->details);
        }
    }
    // The frame tells of an identify right after the run's end, without its link.
    lastEndedLink_ = link;
    if (report.test == TestId::FirmwareUpgrade && runId > 0 && report.outcome == pb::RunOutcome::Ok)
        awaitingVersion_.insert(link, AwaitingVersion{runId, end.details});
}

void RunRecordsObserver::runMeasured(const Measurements& found) {
    if (lastRunId_ > 0 && !found.isEmpty()) store_.writer().setRunMeasurements(lastRunId_, found);
}

void RunRecordsObserver::controllerIdentified(const pb::ControllerIdentity& identity) {
    const QString link = runLink_.isEmpty() ? lastEndedLink_ : runLink_;
    lastUnit_.insert(link, UnitOf(identity));
    const auto awaiting = awaitingVersion_.constFind(link);
    if (awaiting == awaitingVersion_.constEnd()) return;
    QJsonObject details = awaiting->details;
    details.remove(kVersionAfterNotRead);
    details.insert(kVersionAfter, identity.versionText);
    store_.writer().updateRunDetails(awaiting->runId, details);
    awaitingVersion_.erase(awaiting);
}

}  // namespace pb::records
