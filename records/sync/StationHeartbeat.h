#pragma once
// A station's sign of life on the shared server, for the line's overview: every few
// seconds, while a window is open or a command line runs, one row a station in
// station_heartbeats says when it was last seen and what it does (idle, or running a
// product on so many sockets). On PostgreSQL each beat also notifies kHeartbeatChannel,
// so an overview follows at once.
//
// Off every run's path, as the uploader: the beats go from a thread of their own over a
// connection of their own; setting the state only hands it over. A server that is away
// leaves the beats unwritten, never a run held up.

#include <QList>
#include <QObject>
#include <QString>
#include <functional>

#include "records/store/RecordsError.h"

class QSqlDatabase;
class QThread;

namespace pb::records {

class RecordStore;

inline constexpr char kHeartbeatChannel[] = "station_heartbeats";
// How often a station beats; one silent for more than kAwayAfterMs is away.
inline constexpr int kHeartbeatIntervalMs = 10000;
inline constexpr qint64 kAwayAfterMs = 60000;

// What a station does now. "idle" or "running"; the product is the recipe's name (or the
// command, for a command line that runs no recipe), on `sockets` units at once.
struct StationActivity {
    bool running = false;
    QString product;
    int sockets = 0;
    qint64 sinceMs = 0;  // when it began doing this
    bool operator==(const StationActivity&) const = default;
};

struct Heartbeat {
    QString station;
    qint64 seenMs = 0;  // on the writer's clock, ms since the epoch
    StationActivity activity;
    QString writer;  // StoreConnection::writerToken() of the process
};

// Upserts the station's row (and notifies on PostgreSQL); false with the store's status
// saying why.
bool WriteHeartbeat(RecordStore& server, const Heartbeat& beat);
// Every station's last beat, by station.
QList<Heartbeat> ReadHeartbeats(QSqlDatabase db, QString* error = nullptr);

class StationHeartbeat : public QObject {
    Q_OBJECT
public:
    using NowMs = std::function<qint64()>;
    // Beats at once and then every `intervalMs`; `now` (any thread) stamps each beat.
    StationHeartbeat(const QString& url, const QString& station, int intervalMs = kHeartbeatIntervalMs,
                     NowMs now = {}, QObject* parent = nullptr);
    // Writes a last beat when the server is at hand, then stops.
    ~StationHeartbeat() override;

    QString station() const { return station_; }

public slots:
    // From any thread: a change beats at once.
    void setActivity(const pb::records::StationActivity& activity);
    void setIdle() { setActivity({}); }

signals:
    // After every try (on the beat's thread): ok when written.
    void beaten(const pb::records::RecordsStatus& server);

private:
    class Worker;
    QString station_;
    QThread* thread_;
    Worker* worker_;
};

}  // namespace pb::records

Q_DECLARE_METATYPE(pb::records::StationActivity)
