#pragma once
// The window's unit records: this PC's store, opened at start, and the observer that
// keeps every run the window's tests make in it; with a shared records server set, the
// uploader that sends the queued runs there from a thread of its own, and, once the
// records window asks, a second, read-only store on the server. A store that will not
// open only says so (through the observer's problem); tests run on.
//
// With a shared server the station's heartbeat tells the line's overview it is here,
// and which test it runs (from a thread of its own as well).
//
// Closed in order: the heartbeat and the uploader first (its thread finishes the run in hand and stops),
// then the server's store, the observer, and this PC's store last.

#include <QObject>
#include <QString>
#include <memory>

#include "records/store/RecordsError.h"

namespace pb::events {
class EventPublisher;
}

namespace pb::records {
class RecordStore;
class RecordsUploader;
class RunRecordsObserver;
class StationHeartbeat;
struct StationActivity;
}  // namespace pb::records

namespace pb {

struct Settings;

class WindowRecords : public QObject {
    Q_OBJECT
public:
    // Opens this PC's store (RecordStore::DefaultPath()), queueing runs for `url` when it
    // is not empty, and keeps `operatorName` with every run.
    WindowRecords(const QString& url, const QString& operatorName, QObject* parent = nullptr);
    ~WindowRecords() override;

    records::RecordStore& store() { return *store_; }
    records::RunRecordsObserver& observer() { return *observer_; }
    // With a shared server set and this PC's store open: what sends the runs; else null.
    records::RecordsUploader* uploader() const { return uploader_.get(); }
    QString url() const { return url_; }

    // The uploader's last word: the runs still waiting (-1: no shared server, or no word
    // yet) and the server's state.
    qint64 waiting() const { return waiting_; }
    const records::RecordsStatus& server() const { return server_; }

    // What the records window shows: the shared records when a server is set and
    // answers (opened read-only on first use, kept until the server changes); else this
    // PC's, the server's state then saying why.
    records::RecordStore& shownStore();
    // The store shownStore() opened on the server; null before, or when none is set.
    records::RecordStore* sharedStore() const { return shared_.get(); }

    // Another shared server (empty: none). The old uploader finishes the run in hand;
    // runs ending from now on are queued (or not) for the new one. Whatever shows the
    // old server's store must be gone first.
    void setUrl(const QString& url);
    void setOperator(const QString& name);
    // A run ended: the server gets it soon.
    // What the station does, for the line's overview (nothing without a shared server).
    void setActivity(const records::StationActivity& activity);
    void runEnded();

    // The broker of `settings` every unit test kept here goes to (none when it has none):
    // queued in this PC's store, published from a thread of its own.
    void setEvents(const Settings& settings);
    bool eventsOn() const { return events_ != nullptr; }
    // Unit tests waiting for the broker; -1 without one.
    qint64 eventsWaiting() const;

signals:
    // After every try of the uploader (on this object's thread).
    void progress(qint64 waiting, const pb::records::RecordsStatus& server);
    // Now and then while a broker is set, when the count changed.
    void eventsProgress(qint64 waiting);

private:
    void startUploader();
    void stopUploader();
    void startHeartbeat();

    QString url_;
    std::unique_ptr<records::RecordStore> store_;
    std::unique_ptr<records::RunRecordsObserver> observer_;
    std::unique_ptr<records::RecordStore> shared_;
    std::unique_ptr<records::RecordsUploader> uploader_;
    std::unique_ptr<records::StationHeartbeat> heartbeat_;
    std::unique_ptr<events::EventPublisher> events_;
    qint64 eventsShown_ = -1;
    int uploaders_ = 0;  // uploaders started so far
    qint64 waiting_ = -1;
    records::RecordsStatus server_;
};

}  // namespace pb
