#pragma once
// Each run's reply latencies, kept beside its traffic as the traffic is kept (reply_latencies,
// one row a run): the time from each command to its reply, counted by the ms. The latency
// figures read these few hundred numbers a run instead of decoding its frames again.

#include <QSqlDatabase>
#include <QSqlError>

#include "records/store/RecordTypes.h"
#include "records/store/TimeCounts.h"

namespace pb::records {

// Each reply's time since its command in one run's kept traffic, in order. A reply after
// the frames left out of the middle is not paired with a command before them.
QList<qint64> ReplyLatencies(const KeptTraffic& traffic);

// The latencies of `traffic` kept for run `runId`, in place of any kept before, in the
// caller's transaction. False with `error` set when a statement failed.
bool KeepReplyLatencies(QSqlDatabase& db, qint64 runId, const KeptTraffic& traffic, QSqlError* error);

// The latencies of every run whose traffic is kept without them: a store filled before
// they were kept, or by other means (a benchmark's generated rows).
bool FillReplyLatencies(QSqlDatabase& db, QString* error);

}  // namespace pb::records
