#pragma once
// Writing units and their procedure runs, each call its own transaction; on a shared
// server, taking in the runs the stations send. 0 / false when the store is off or failed.

#include <QJsonObject>
#include <QSqlQuery>
#include <QString>

#include "records/store/RecordTypes.h"

namespace pb::records {

class Outbox;
class StoreConnection;

class RunWriter {
public:
    RunWriter(StoreConnection& connection, Outbox& outbox) : c_(connection), outbox_(outbox) {}

    qint64 beginRun(const RunStart& start);
    bool updateRunDetails(qint64 runId, const QJsonObject& details);  // progress mid-run
    bool endRun(qint64 runId, const RunEnd& end);
    // What the run found, as data, once it has been judged (after its end).
    bool setRunMeasurements(qint64 runId, const Measurements& found);
    bool saveTraffic(qint64 runId, const KeptTraffic& traffic);  // replaces the run's traffic
    // Records an identify outside a run; returns the unit's id.
    qint64 upsertUnit(const UnitIdentity& identity, const QString& linkText, qint64 seenMs);
    // On the server: adds or updates the uploaded run (keyed by origin and local id) with
    // its unit and traffic, in one transaction. The server's run id, or 0 when failed.
    qint64 importRun(const RunUpload& upload);

    // Within the write in hand: the unit of this identity (or of the link, before any
    // identify), added or brought up to date; its id, or 0 when failed.
    qint64 ensureUnit(const UnitIdentity& identity, const QString& linkText, qint64 seenMs,
                      qint64 firstSeenMs = 0);

private:
    friend class RecordStore;  // marks the runs of a writer that died, at open
    int markInterrupted();

    StoreConnection& c_;
    Outbox& outbox_;
};

}  // namespace pb::records
