#include "app/WindowRecords.h"

#include <QTimer>

#include "app/WindowEvents.h"

#include "records/store/RecordStore.h"
#include "records/sync/RecordsUploader.h"
#include "records/store/RunRecordsObserver.h"
#include "records/sync/StationHeartbeat.h"

#include <QHostInfo>

namespace pb {

namespace {
// How often the uploader tries on its own, besides each kick after a run.
constexpr int kUploadIntervalMs = 30000;
}  // namespace

WindowRecords::WindowRecords(const QString& url, const QString& operatorName, QObject* parent)
    : QObject(parent), url_(url), store_(std::make_unique<records::RecordStore>()) {
    // With a shared server every run is kept here first and queued; the uploader sends
    // them from a thread of its own, so a test never waits on the server.
    store_->setOutbox(!url_.isEmpty());
    store_->openSqlite();
    startUploader();
    observer_ = std::make_unique<records::RunRecordsObserver>(*store_);
    observer_->setOperator(operatorName);
    startHeartbeat();
}

void WindowRecords::startHeartbeat() {
    heartbeat_.reset();
    if (url_.isEmpty()) return;
    heartbeat_ = std::make_unique<records::StationHeartbeat>(url_, QHostInfo::localHostName());
    connect(observer_.get(), &records::RunRecordsObserver::activity, heartbeat_.get(),
            [h = heartbeat_.get()](bool running, const QString& procedure) {
                h->setActivity({running, running ? procedure : QString(), running ? 1 : 0, 0});
            });
}

void WindowRecords::setActivity(const records::StationActivity& activity) {
    if (heartbeat_) heartbeat_->setActivity(activity);
    if (events_) events_->setState(activity.running ? events::StationState::Testing : events::StationState::Idle);
}

void WindowRecords::setEvents(const Settings& settings) {
    events_.reset();
    if (store_->isOpen() && !store_->isServer()) events_ = StartEvents(settings, store_->where());
    store_->setEventOutbox(events_ != nullptr);
    if (!events_) return;
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] {
        if (const qint64 now = eventsWaiting(); now != eventsShown_) emit eventsProgress(eventsShown_ = now);
    });
    timer->start(2000);
}

qint64 WindowRecords::eventsWaiting() const { return events_ ? events_->waiting() : -1; }

WindowRecords::~WindowRecords() {
    events_.reset();
    heartbeat_.reset();
    stopUploader();
    shared_.reset();
    observer_.reset();
    store_.reset();
}

void WindowRecords::startUploader() {
    if (url_.isEmpty() || !store_->isOpen()) return;
    uploader_ = std::make_unique<records::RecordsUploader>(records::RecordStore::DefaultPath(),
                                                           url_, kUploadIntervalMs);
    // A word still on its way from an uploader stopped since is not this one's.
    connect(uploader_.get(), &records::RecordsUploader::progress, this,
            [this, from = ++uploaders_](qint64 waiting, const records::RecordsStatus& server) {
                if (from != uploaders_ || !uploader_) return;
                waiting_ = waiting;
                server_ = server;
                emit progress(waiting, server);
            });
}

void WindowRecords::stopUploader() {
    // Waits for the run being sent; the rest stay queued.
    uploader_.reset();
    waiting_ = -1;
    server_ = {};
}

records::RecordStore& WindowRecords::shownStore() {
    if (!uploader_) return *store_;
    if (shared_ && shared_->isOpen()) return *shared_;
    shared_ = std::make_unique<records::RecordStore>();
    // Read here, kept by the stations: the window neither makes nor upgrades it.
    if (shared_->openUrl(url_, records::RecordStore::Access::ReadOnly).ok()) return *shared_;
    if (server_.ok()) server_ = shared_->status();
    return *store_;
}

void WindowRecords::setUrl(const QString& url) {
    if (url == url_) return;
    url_ = url;
    stopUploader();
    shared_.reset();
    store_->setOutbox(!url_.isEmpty());
    startUploader();
    startHeartbeat();
}

void WindowRecords::setOperator(const QString& name) {
    observer_->setOperator(name);
}

void WindowRecords::runEnded() {
    if (uploader_) uploader_->kick();
    if (events_) events_->kick();
}

}  // namespace pb
