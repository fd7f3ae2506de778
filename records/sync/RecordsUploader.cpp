#include "records/sync/RecordsUploader.h"

#include <QThread>
#include <QTimer>

namespace pb::records {

UploadResult SendQueued(RecordStore& local, RecordStore& server, const std::atomic_bool* stop) {
    UploadResult result;
    for (;;) {
        const QList<QueuedRun> queued = local.outbox().queuedRuns(200);
        if (queued.isEmpty()) break;
        for (const QueuedRun& entry : queued) {
            if (stop && *stop) return result.waiting = local.outbox().pendingUploads(), result;
            bool refused = false;
            if (entry.recipeRunId > 0) {
                const std::optional<RecipeRunUpload> upload = local.outbox().recipeUploadOf(entry.recipeRunId);
                refused = upload && server.recipeWriter().importRecipeRun(*upload) == 0;
                if (refused && !server.recipeWriter().refusal().isEmpty()) {
                    if (!local.outbox().refuse(entry, server.recipeWriter().refusal()))
                        return result.server = local.status(), result;
                    ++result.refused;
                    result.refusedNow.append({entry.recipeRunId, server.recipeWriter().refusal()});
                    continue;
                }
            } else {
                const std::optional<RunUpload> upload = local.outbox().uploadOf(entry.runId);
                refused = upload && server.writer().importRun(*upload) == 0;
            }
            if (refused) {
                result.server = server.status();
                result.waiting = local.outbox().pendingUploads();
                return result;
            }
            if (!local.outbox().dequeue(entry)) return result.server = local.status(), result;
            ++result.sent;
        }
    }
    result.waiting = local.outbox().pendingUploads();
    return result;
}

UploadResult SendQueued(const QString& localPath, const QString& url) {
    RecordStore local;
    if (!local.openSqlite(localPath).ok() && !local.isOpen()) return {0, 0, local.status()};
    if (local.outbox().pendingUploads() == 0) return {};
    RecordStore server;
    if (!server.openUrl(url).ok()) return {0, local.outbox().pendingUploads(), server.status()};
    return SendQueued(local, server);
}

// Lives on the uploader's thread: every store it opens belongs to that thread.
class RecordsUploader::Worker : public QObject {
public:
    Worker(RecordsUploader* owner, QString localPath, QString url, int intervalMs)
        : owner_(owner), localPath_(std::move(localPath)), url_(std::move(url)), interval_(intervalMs) {}

    void begin() {
        timer_ = new QTimer(this);
        connect(timer_, &QTimer::timeout, this, &Worker::tryNow);
        timer_->start(interval_);
        tryNow();
    }

    void tryNow() {
        if (stop_) return;
        if (!local_.isOpen() && !local_.openSqlite(localPath_).ok() && !local_.isOpen()) {
            emit owner_->progress(0, local_.status());
            return;
        }
        RecordsStatus state;
        if (local_.outbox().pendingUploads() > 0 || !server_.isOpen()) {
            if (!server_.isOpen()) server_.openUrl(url_);
            state = server_.status();
            if (server_.isOpen()) state = SendQueued(local_, server_, &stop_).server;
            // A connection that failed is made anew on the next try.
            if (!state.ok()) server_.close();
        }
        emit owner_->progress(local_.outbox().pendingUploads(), state);
    }

    void finish() {
        delete timer_;
        timer_ = nullptr;
        local_.close();
        server_.close();
    }

    std::atomic_bool stop_{false};

private:
    RecordsUploader* owner_;
    QString localPath_;
    QString url_;
    int interval_;
    QTimer* timer_ = nullptr;
    RecordStore local_;
    RecordStore server_;
};

RecordsUploader::RecordsUploader(const QString& localPath, const QString& url, int intervalMs,
                                 QObject* parent)
    : QObject(parent), url_(url), thread_(new QThread(this)),
      worker_(new Worker(this, localPath, url, intervalMs)) {
    qRegisterMetaType<pb::records::RecordsStatus>();
    worker_->moveToThread(thread_);
    thread_->setObjectName(QStringLiteral("records-uploader"));
    thread_->start();
    QMetaObject::invokeMethod(worker_, [w = worker_] { w->begin(); }, Qt::QueuedConnection);
}

RecordsUploader::~RecordsUploader() {
    worker_->stop_ = true;
    QMetaObject::invokeMethod(worker_, [w = worker_] { w->finish(); }, Qt::BlockingQueuedConnection);
    thread_->quit();
    thread_->wait();
    delete worker_;
}

void RecordsUploader::kick() {
    QMetaObject::invokeMethod(worker_, [w = worker_] { w->tryNow(); }, Qt::QueuedConnection);
}

}  // namespace pb::records
