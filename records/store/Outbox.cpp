#include "records/store/Outbox.h"

#include <QDateTime>
#include <QSqlError>
#include <QUuid>

#include "records/store/RecordChain.h"
#include "records/store/RecordQueries.h"
#include "records/store/StoreConnection.h"

namespace pb::records {

bool Outbox::loadOrigin() {
    // Made once per file; two connections making it at once keep the first.
    QSqlDatabase db = c_.database();
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT value FROM schema_info WHERE name = 'origin'")))
        return c_.failed(q, QStringLiteral("reading the store's id"));
    if (q.next()) {
        origin_ = q.value(0).toString();
        return true;
    }
    q.finish();
    q.prepare(QStringLiteral("INSERT INTO schema_info (name, value) VALUES ('origin', ?) "
                             "ON CONFLICT (name) DO NOTHING"));
    q.addBindValue(QUuid::createUuid().toString(QUuid::WithoutBraces));
    if (!q.exec()) return c_.failed(q, QStringLiteral("keeping the store's id"));
    return loadOrigin();
}

bool Outbox::enqueue(QSqlQuery& q, qint64 runId, bool onlyEnded) {
    if (!enabled_) return true;
    // Queued once: a run already waiting keeps its place, and counts the change, so that
    // a sending that read it before the change leaves it queued.
    q.prepare(QStringLiteral("INSERT INTO outbox (run_id, queued_ms) SELECT id, ? FROM runs "
                             "WHERE id = ?%1 ON CONFLICT (run_id) DO UPDATE SET "
                             "changes = outbox.changes + 1")
                  .arg(onlyEnded ? QStringLiteral(" AND outcome <> 'running'") : QString()));
    q.addBindValue(QDateTime::currentMSecsSinceEpoch());
    q.addBindValue(runId);
    if (!q.exec()) return c_.failed(q, QStringLiteral("queueing the run for the server"));
    return true;
}

bool Outbox::enqueueRecipeRun(QSqlQuery& q, qint64 recipeRunId) {
    if (!enabled_) return true;
    q.prepare(QStringLiteral("INSERT INTO outbox (recipe_run_id, queued_ms) SELECT id, ? FROM recipe_runs "
                             "WHERE id = ? AND verdict <> 'running' ON CONFLICT (recipe_run_id) DO UPDATE SET "
                             "changes = outbox.changes + 1"));
    q.addBindValue(QDateTime::currentMSecsSinceEpoch());
    q.addBindValue(recipeRunId);
    if (!q.exec()) return c_.failed(q, QStringLiteral("queueing the recipe run for the server"));
    return true;
}

bool Outbox::enqueueEvent(QSqlQuery& q, qint64 recipeRunId) {
    if (!eventsEnabled_) return true;
    q.prepare(QStringLiteral("INSERT INTO event_outbox (recipe_run_id, queued_ms) SELECT id, ? FROM recipe_runs "
                             "WHERE id = ? AND verdict <> 'running' ON CONFLICT (recipe_run_id) DO NOTHING"));
    q.addBindValue(QDateTime::currentMSecsSinceEpoch());
    q.addBindValue(recipeRunId);
    if (!q.exec()) return c_.failed(q, QStringLiteral("queueing the unit test's event"));
    return true;
}

qint64 Outbox::pendingEvents() {
    if (!c_.isOpen()) return 0;
    QSqlQuery q(c_.database());
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM event_outbox")))
        return c_.failed(q, QStringLiteral("reading the events' queue")), 0;
    return q.next() ? q.value(0).toLongLong() : 0;
}

QList<QueuedEvent> Outbox::queuedEvents(qint64 afterEntry, int limit) {
    QList<QueuedEvent> queued;
    if (!c_.isOpen()) return queued;
    QSqlQuery q(c_.database());
    q.prepare(QStringLiteral("SELECT id, recipe_run_id FROM event_outbox WHERE id > ? ORDER BY id LIMIT %1").arg(limit));
    q.addBindValue(afterEntry);
    if (!q.exec()) return c_.failed(q, QStringLiteral("reading the events' queue")), queued;
    while (q.next()) queued.append({q.value(0).toLongLong(), q.value(1).toLongLong()});
    return queued;
}

bool Outbox::dequeueEvent(qint64 entry) {
    if (!c_.isOpen()) return false;
    QSqlQuery q(c_.database());
    q.prepare(QStringLiteral("DELETE FROM event_outbox WHERE id = ?"));
    q.addBindValue(entry);
    if (!q.exec()) return c_.failed(q, QStringLiteral("emptying the events' queue"));
    return true;
}

qint64 Outbox::pendingUploads() {
    if (!c_.isOpen()) return 0;
    QSqlQuery q(c_.database());
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM outbox"))) return c_.failed(q, QStringLiteral("reading the outbox")), 0;
    return q.next() ? q.value(0).toLongLong() : 0;
}

QList<QueuedRun> Outbox::queuedRuns(int limit) {
    QList<QueuedRun> queued;
    if (!c_.isOpen()) return queued;
    QSqlQuery q(c_.database());
    if (!q.exec(QStringLiteral("SELECT run_id, changes, recipe_run_id FROM outbox WHERE refused IS NULL ORDER BY id LIMIT %1").arg(limit)))
        return c_.failed(q, QStringLiteral("reading the outbox")), queued;
    while (q.next()) queued.append({q.value(0).toLongLong(), q.value(1).toInt(), q.value(2).toLongLong()});
    return queued;
}

bool Outbox::refuse(const QueuedRun& entry, const QString& reason) {
    if (!c_.isOpen()) return false;
    QSqlQuery q(c_.database());
    q.prepare(entry.recipeRunId > 0 ? QStringLiteral("UPDATE outbox SET refused = ? WHERE recipe_run_id = ?")
                                    : QStringLiteral("UPDATE outbox SET refused = ? WHERE run_id = ?"));
    q.addBindValue(reason);
    q.addBindValue(entry.recipeRunId > 0 ? entry.recipeRunId : entry.runId);
    if (!q.exec()) return c_.failed(q, QStringLiteral("keeping a refused entry"));
    return true;
}

QList<std::pair<qint64, QString>> Outbox::refused() {
    QList<std::pair<qint64, QString>> found;
    if (!c_.isOpen()) return found;
    QSqlQuery q(c_.database());
    if (!q.exec(QStringLiteral("SELECT recipe_run_id, refused FROM outbox WHERE refused IS NOT NULL ORDER BY id")))
        return c_.failed(q, QStringLiteral("reading the outbox")), found;
    while (q.next()) found.append({q.value(0).toLongLong(), q.value(1).toString()});
    return found;
}

bool Outbox::dequeue(const QueuedRun& sent) {
    if (!c_.isOpen()) return false;
    QSqlQuery q(c_.database());
    q.prepare(sent.recipeRunId > 0 ? QStringLiteral("DELETE FROM outbox WHERE recipe_run_id = ? AND changes = ?")
                                   : QStringLiteral("DELETE FROM outbox WHERE run_id = ? AND changes = ?"));
    q.addBindValue(sent.recipeRunId > 0 ? sent.recipeRunId : sent.runId);
    q.addBindValue(sent.changes);
    if (!q.exec()) return c_.failed(q, QStringLiteral("emptying the outbox"));
    return true;
}

std::optional<RunUpload> Outbox::uploadOf(qint64 runId) {
    const std::optional<RunRow> row = queries_.run(runId);
    if (!row) return std::nullopt;
    const std::optional<UnitRow> owner = queries_.unit(row->unitId);
    if (!owner) return std::nullopt;
    RunUpload upload{origin_, runId, *owner, *row, {}, 0, 0};
    QSqlQuery q(c_.database());
    q.prepare(QStringLiteral("SELECT data, frame_count, dropped FROM traffic WHERE run_id = ?"));
    q.addBindValue(runId);
    if (!q.exec()) return c_.failed(q, QStringLiteral("reading traffic")), std::nullopt;
    if (q.next()) {
        upload.traffic = q.value(0).toByteArray();
        upload.frameCount = q.value(1).toLongLong();
        upload.framesDropped = q.value(2).toLongLong();
    }
    q.finish();
    q.prepare(QStringLiteral("SELECT recipe_run_id, recipe_step, recipe_attempt FROM runs WHERE id = ?"));
    q.addBindValue(runId);
    if (!q.exec()) return c_.failed(q, QStringLiteral("reading a run")), std::nullopt;
    if (q.next() && !q.value(0).isNull()) {
        upload.localRecipeRunId = q.value(0).toLongLong();
        upload.recipeStep = q.value(1).isNull() ? -1 : q.value(1).toInt();
        upload.recipeAttempt = q.value(2).toInt();
    }
    return upload;
}

std::optional<RecipeRunUpload> Outbox::recipeUploadOf(qint64 recipeRunId) {
    std::optional<RecipeRunRow> row = queries_.recipeRun(recipeRunId);
    if (!row) return std::nullopt;
    const std::optional<UnitRow> owner = queries_.unit(row->unitId);
    if (!owner) return std::nullopt;
    QSqlDatabase db = c_.database();
    QSqlError error;
    QByteArray content = UnitTestContent(db, recipeRunId, &error);
    if (error.isValid()) return c_.fail(error, QStringLiteral("reading a recipe run")), std::nullopt;
    return RecipeRunUpload{origin_, recipeRunId, *owner, *row, content};
}

}  // namespace pb::records
