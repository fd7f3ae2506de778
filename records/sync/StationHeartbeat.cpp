#include "records/sync/StationHeartbeat.h"

#include <QDateTime>
#include <QMutex>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QTimer>
#include <atomic>

#include "records/store/RecordStore.h"

namespace pb::records {

namespace {

// Both back ends take the same upsert (SQLite since 3.24).
constexpr char kUpsert[] =
    "INSERT INTO station_heartbeats (station, seen_ms, state, product, sockets, writer, since_ms) "
    "VALUES (?, ?, ?, ?, ?, ?, ?) ON CONFLICT (station) DO UPDATE SET seen_ms = excluded.seen_ms, "
    "state = excluded.state, product = excluded.product, sockets = excluded.sockets, "
    "writer = excluded.writer, since_ms = excluded.since_ms";

}  // namespace

bool WriteHeartbeat(RecordStore& server, const Heartbeat& beat) {
    if (!server.isOpen()) return false;
    QSqlQuery q(server.database());
    q.prepare(QLatin1String(kUpsert));
    q.addBindValue(beat.station);
    q.addBindValue(beat.seenMs);
    q.addBindValue(beat.activity.running ? QStringLiteral("running") : QStringLiteral("idle"));
    q.addBindValue(beat.activity.product);
    q.addBindValue(beat.activity.sockets);
    q.addBindValue(beat.writer);
    q.addBindValue(beat.activity.sinceMs);
    bool ok = q.exec();
    if (ok && !server.dialect().isSqlite()) {
        QSqlQuery notify(server.database());
        notify.prepare(QStringLiteral("SELECT pg_notify(?, ?)"));
        notify.addBindValue(QLatin1String(kHeartbeatChannel));
        notify.addBindValue(beat.station);
        ok = notify.exec();
    }
    if (!ok) {
        // The connection is made anew on the next beat.
        server.close();
    }
    return ok;
}

QList<Heartbeat> ReadHeartbeats(QSqlDatabase db, QString* error) {
    QList<Heartbeat> beats;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT station, seen_ms, state, product, sockets, writer, since_ms "
                               "FROM station_heartbeats ORDER BY station"))) {
        if (error) *error = q.lastError().text();
        return beats;
    }
    while (q.next()) {
        Heartbeat b;
        b.station = q.value(0).toString();
        b.seenMs = q.value(1).toLongLong();
        b.activity.running = q.value(2).toString() == QLatin1String("running");
        b.activity.product = q.value(3).toString();
        b.activity.sockets = q.value(4).toInt();
        b.writer = q.value(5).toString();
        b.activity.sinceMs = q.value(6).toLongLong();
        beats << b;
    }
    if (error) error->clear();
    return beats;
}

// Lives on the heartbeat's thread: its store belongs to that thread.
class StationHeartbeat::Worker : public QObject {
public:
    Worker(StationHeartbeat* owner, QString url, QString station, int intervalMs, NowMs now)
        : owner_(owner), url_(std::move(url)), station_(std::move(station)), interval_(intervalMs),
          now_(now ? std::move(now) : NowMs([] { return QDateTime::currentMSecsSinceEpoch(); })) {}

    void begin() {
        timer_ = new QTimer(this);
        connect(timer_, &QTimer::timeout, this, &Worker::beat);
        timer_->start(interval_);
        beat();
    }

    void beat() {
        if (stop_) return;
        if (!server_.isOpen()) server_.openUrl(url_);
        RecordsStatus state = server_.status();
        if (server_.isOpen() && !WriteHeartbeat(server_, heartbeat()))
            state = {RecordsError::WriteFailed, QStringLiteral("writing the heartbeat"), url_, {}};
        emit owner_->beaten(state);
    }

    // The last beat, only over a connection already made: stopping never waits on a
    // server that is away.
    void finish() {
        delete timer_;
        timer_ = nullptr;
        if (server_.isOpen()) {
            {
                QMutexLocker lock(&mutex_);
                activity_ = {};
            }
            WriteHeartbeat(server_, heartbeat());
        }
        server_.close();
    }

    void setActivity(const StationActivity& activity) {
        QMutexLocker lock(&mutex_);
        // Doing the same again is not a new beginning.
        const bool same = activity.running == activity_.running && activity.product == activity_.product &&
                          activity.sockets == activity_.sockets && activity_.sinceMs > 0;
        const qint64 since = same ? activity_.sinceMs : now_();
        activity_ = activity;
        if (activity_.sinceMs == 0) activity_.sinceMs = since;
    }

    std::atomic_bool stop_{false};

private:
    Heartbeat heartbeat() {
        QMutexLocker lock(&mutex_);
        return {station_, now_(), activity_, StoreConnection::writerToken()};
    }

    StationHeartbeat* owner_;
    QString url_;
    QString station_;
    int interval_;
    NowMs now_;
    QTimer* timer_ = nullptr;
    RecordStore server_;
    QMutex mutex_;
    StationActivity activity_;
};

StationHeartbeat::StationHeartbeat(const QString& url, const QString& station, int intervalMs, NowMs now,
                                   QObject* parent)
    : QObject(parent), station_(station), thread_(new QThread(this)),
      worker_(new Worker(this, url, station, intervalMs, std::move(now))) {
    qRegisterMetaType<pb::records::RecordsStatus>();
    worker_->setActivity({});
    worker_->moveToThread(thread_);
    thread_->setObjectName(QStringLiteral("station-heartbeat"));
    thread_->start();
    QMetaObject::invokeMethod(worker_, [w = worker_] { w->begin(); }, Qt::QueuedConnection);
}

StationHeartbeat::~StationHeartbeat() {
    worker_->stop_ = true;
    QMetaObject::invokeMethod(worker_, [w = worker_] { w->finish(); }, Qt::BlockingQueuedConnection);
    thread_->quit();
    thread_->wait();
    delete worker_;
}

void StationHeartbeat::setActivity(const StationActivity& activity) {
    worker_->setActivity(activity);
    QMetaObject::invokeMethod(worker_, [w = worker_] { w->beat(); }, Qt::QueuedConnection);
}

}  // namespace pb::records
