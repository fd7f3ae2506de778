#pragma once
// The line at a glance: every station of the line as the shared server knows it, from
// its last heartbeat and from today's unit tests (recipe runs): what it does now (idle,
// running a product on so many sockets, or away when silent for over kAwayAfterMs), the
// units it tested today, their first-pass yield, and its last failure today.

#include <QList>
#include <QString>

#include "evidence/Cause.h"
#include "records/sync/StationHeartbeat.h"

namespace pb::records {

class RecordStore;

struct StationOverview {
    QString station;
    qint64 seenMs = 0;  // 0: no heartbeat (a station that only left unit tests)
    bool away = true;
    StationActivity activity;
    qint64 units = 0;       // distinct units tested today
    qint64 firstTests = 0;  // of which first tested today (the yield's base)
    double firstPassYield = 0;
    // The last failed unit test today: when, the failing step's label (or its number
    // from 1 when it has none) and why; lastFailureMs 0 when none.
    qint64 lastFailureMs = 0;
    QString lastFailureStep;
    Cause lastFailureCause;
};

// At `nowMs`, over the unit tests since `dayStartMs`; by station. `error` is set when a
// query failed (the rows then hold what could be read).
QList<StationOverview> ReadLineOverview(RecordStore& server, qint64 nowMs, qint64 dayStartMs,
                                        QString* error = nullptr);

// Local midnight before `nowMs`.
qint64 DayStartMs(qint64 nowMs);

}  // namespace pb::records
