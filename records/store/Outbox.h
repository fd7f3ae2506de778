#pragma once
// The outbox of a station whose runs also go to a shared server. When on (set before the
// store opens), every run and recipe run that ends, is found interrupted or changes after
// its end is queued in the same transaction as the change, and stays queued until sent.
// A station that publishes live events keeps a second queue beside it: every unit test
// that ends, queued with its end and kept until the events broker acknowledged it.

#include <QList>
#include <QSqlQuery>
#include <QString>
#include <optional>
#include <utility>

#include "records/store/RecordTypes.h"

namespace pb::records {

class RecordQueries;
class StoreConnection;

class Outbox {
public:
    Outbox(StoreConnection& connection, RecordQueries& queries) : c_(connection), queries_(queries) {}

    void setEnabled(bool on) { enabled_ = on; }
    void setEventsEnabled(bool on) { eventsEnabled_ = on; }

    // The unit tests still to publish, oldest first, from after `afterEntry` (an entry's id).
    qint64 pendingEvents();
    QList<QueuedEvent> queuedEvents(qint64 afterEntry, int limit);
    bool dequeueEvent(qint64 entry);

    qint64 pendingUploads();
    QList<QueuedRun> queuedRuns(int limit);  // oldest first, not those a server refused
    // Keeps an entry the server refused, with the reason's code: it waits for a person.
    bool refuse(const QueuedRun& entry, const QString& reason);
    // The recipe runs refused and why, oldest first.
    QList<std::pair<qint64, QString>> refused();
    // Takes a sent run off the queue, unless it changed after it was read.
    bool dequeue(const QueuedRun& sent);
    // The run as it goes to the server; empty when it is not here.
    std::optional<RunUpload> uploadOf(qint64 runId);
    std::optional<RecipeRunUpload> recipeUploadOf(qint64 recipeRunId);
    // The random id of this store, kept in it: the origin of the runs it sends.
    QString origin() const { return origin_; }

    // Within the write in hand (`q` is free for it): queues the run (when `onlyEnded`,
    // only a run that ended) or the recipe run (only one that ended). False when failed.
    bool enqueue(QSqlQuery& q, qint64 runId, bool onlyEnded);
    bool enqueueRecipeRun(QSqlQuery& q, qint64 recipeRunId);
    // Queues an ended unit test's event once (only when events are on).
    bool enqueueEvent(QSqlQuery& q, qint64 recipeRunId);

private:
    friend class RecordStore;  // the origin is read at open and forgotten at close
    bool loadOrigin();

    StoreConnection& c_;
    RecordQueries& queries_;
    bool enabled_ = false;
    bool eventsEnabled_ = false;
    QString origin_;
};

}  // namespace pb::records
