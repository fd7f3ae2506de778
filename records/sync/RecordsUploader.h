#pragma once
// Sends a station's queued runs and recipe runs to the shared server: oldest first, each
// once (the server keys them by the station's store and their id there, so one sent again
// after a lost acknowledgement updates itself). Off every test's path: the uploader works on a
// thread of its own with its own connections, tries now and then and when kicked, and
// never holds a run up; a server that is away only leaves the runs queued.

#include <QObject>
#include <QString>
#include <atomic>
#include <utility>

#include "records/store/RecordStore.h"

class QThread;
class QTimer;

namespace pb::records {

struct UploadResult {
    qint64 sent = 0;
    qint64 waiting = 0;    // still queued afterwards
    RecordsStatus server;  // why it stopped early; ok when the queue was emptied
    qint64 refused = 0;    // unit tests the server refused now (they stay queued, with the reason)
    QList<std::pair<qint64, QString>> refusedNow = {};  // each one's id and reason code
};

// Sends what `local` has queued to `server` (both open, on this thread), in order,
// stopping at the first failure or when `stop` becomes true. A unit test the server
// refuses as breaking its chain stays in the outbox with the reason, and is not sent again.
UploadResult SendQueued(RecordStore& local, RecordStore& server, const std::atomic_bool* stop = nullptr);

// Opens both stores, sends, and closes them: the command line's last act. Waits at most
// the URL's connect_timeout for a server that does not answer.
UploadResult SendQueued(const QString& localPath, const QString& url);

class RecordsUploader : public QObject {
    Q_OBJECT
public:
    RecordsUploader(const QString& localPath, const QString& url, int intervalMs = 10000,
                    QObject* parent = nullptr);
    ~RecordsUploader() override;  // stops after the run being sent

    QString url() const { return url_; }

public slots:
    // Tries at once (from any thread), e.g. when a run ended.
    void kick();

signals:
    // After every try: how many runs wait, and the server's state (ok when it answered).
    void progress(qint64 waiting, const pb::records::RecordsStatus& server);

private:
    class Worker;
    QString url_;
    QThread* thread_;
    Worker* worker_;
};

}  // namespace pb::records

Q_DECLARE_METATYPE(pb::records::RecordsStatus)
