#include "events/EventPublisher.h"

#include <mosquitto.h>

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "events/UnitTestEvent.h"
#include "records/store/RecordStore.h"

namespace pb::events {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kInflightMax = 20;
constexpr int kFillEveryMs = 200;

qint64 NowMs() { return QDateTime::currentMSecsSinceEpoch(); }

void InitLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

}  // namespace

QString StateName(StationState state) {
    switch (state) {
        case StationState::Online: return QStringLiteral("online");
        case StationState::Testing: return QStringLiteral("testing");
        case StationState::Idle: return QStringLiteral("idle");
        case StationState::Offline: return QStringLiteral("offline");
    }
    return QStringLiteral("online");
}

struct EventPublisher::Impl {
    explicit Impl(PublisherOptions o) : options(std::move(o)) {}

    PublisherOptions options;
    std::mutex mutex;
    std::condition_variable wake;     // the worker: stop, kick, state
    std::condition_variable changed;  // finish(): a round, an acknowledgement
    bool stop = false;
    bool kicked = false;
    bool done = false;
    std::atomic<int> state{int(StationState::Online)};
    std::atomic<qint64> waiting{0};
    std::atomic<qint64> sent{0};
    std::atomic<qint64> rounds{0};
    std::atomic_bool connected{false};
    std::atomic_bool holdsRecords{false};  // the records are open on the worker's thread

    // The worker's own, touched on its thread only (libmosquitto calls back from
    // mosquitto_loop on it).
    mosquitto* mosq = nullptr;
    bool sessionUp = false;  // CONNACK seen
    bool lost = false;
    bool triedOnce = false;  // a session ended: the queue is read from now on, connected or not
    Clock::time_point sessionStart;
    Clock::time_point nextTry;
    Clock::time_point lastFill;
    Clock::time_point lastBeat;
    int stateSent = -1;
    struct Flight {
        qint64 entry;
        Clock::time_point at;
    };
    QHash<int, Flight> inflight;  // by message id
    qint64 lastQueued = 0;        // the newest entry published in this session
    QList<int> acked;
    records::RecordStore store;

    QString topic(const char* leaf) const {
        return StationTopic(options.target, options.station, QString::fromLatin1(leaf));
    }

    QByteArray stateBody(StationState s) const {
        return QJsonDocument(QJsonObject{{"station", options.station}, {"state", StateName(s)}, {"ms", NowMs()}})
            .toJson(QJsonDocument::Compact);
    }

    int publish(const QString& topicName, const QByteArray& body, bool retain) {
        int mid = 0;
        const QByteArray t = topicName.toUtf8();
        const int rc = mosquitto_publish(mosq, &mid, t.constData(), int(body.size()), body.constData(), 1, retain);
        return rc == MOSQ_ERR_SUCCESS ? mid : -1;
    }

    void startSession() {
        InitLibrary();
        mosq = mosquitto_new(nullptr, true, this);
        if (!mosq) return;
        mosquitto_int_option(mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        mosquitto_max_inflight_messages_set(mosq, kInflightMax);
        mosquitto_connect_callback_set(mosq, [](mosquitto*, void* self, int rc) {
            auto* d = static_cast<Impl*>(self);
            if (rc == 0) d->sessionUp = true;
            else d->lost = true;
        });
        mosquitto_disconnect_callback_set(mosq, [](mosquitto*, void* self, int) { static_cast<Impl*>(self)->lost = true; });
        mosquitto_publish_callback_set(mosq, [](mosquitto*, void* self, int mid) { static_cast<Impl*>(self)->acked << mid; });
        const QByteArray will = stateBody(StationState::Offline);
        const QByteArray willTopic = topic("state").toUtf8();
        mosquitto_will_set(mosq, willTopic.constData(), int(will.size()), will.constData(), 1, true);
        if (!options.target.user.isEmpty()) {
            QByteArray password;
            if (!options.target.passwordFile.isEmpty()) {
                QFile f(options.target.passwordFile);
                if (f.open(QIODevice::ReadOnly)) password = f.readLine().trimmed();
            }
            mosquitto_username_pw_set(mosq, options.target.user.toUtf8().constData(),
                                      password.isEmpty() ? nullptr : password.constData());
        }
        if (options.target.tls) mosquitto_int_option(mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        sessionUp = false;
        lost = false;
        stateSent = -1;
        inflight.clear();
        acked.clear();
        lastQueued = 0;
        sessionStart = Clock::now();
        const QByteArray host = options.target.host.toUtf8();
        if (mosquitto_connect(mosq, host.constData(), options.target.port, options.keepAliveS) != MOSQ_ERR_SUCCESS)
            endSession();
    }

    void endSession() {
        if (mosq) mosquitto_destroy(mosq);
        mosq = nullptr;
        sessionUp = false;
        connected = false;
        inflight.clear();
        acked.clear();
        triedOnce = true;
        nextTry = Clock::now() + milliseconds(options.retryMs);
    }

    void takeAcks() {
        bool any = false;
        for (int mid : std::exchange(acked, {})) {
            const auto it = inflight.constFind(mid);
            if (it == inflight.cend()) continue;  // the state or a heartbeat
            if (it->entry > 0) {
                store.outbox().dequeueEvent(it->entry);
                ++sent;
                any = true;
            }
            inflight.erase(it);
        }
        if (any) waiting = store.outbox().pendingEvents();
    }

    void fill() {
        lastFill = Clock::now();
        if (!store.isOpen()) return;
        int room = kInflightMax - int(inflight.size());
        if (room <= 0) return;
        for (const records::QueuedEvent& e : store.outbox().queuedEvents(lastQueued, room)) {
            const std::optional<QJsonObject> body = UnitTestPayload(store, e.recipeRunId, e.entry, options.station, NowMs());
            if (!body) {  // gone from the store: nothing to say
                store.outbox().dequeueEvent(e.entry);
                lastQueued = e.entry;
                continue;
            }
            const int mid = publish(topic("unit-test"), QJsonDocument(*body).toJson(QJsonDocument::Compact), false);
            if (mid < 0) return;
            inflight.insert(mid, {e.entry, Clock::now()});
            lastQueued = e.entry;
        }
        waiting = store.outbox().pendingEvents();
    }

    bool hung() const {
        const auto limit = milliseconds(options.ackTimeoutMs);
        for (const Flight& f : inflight)
            if (Clock::now() - f.at > limit) return true;
        return false;
    }

    void round() {
        if (!mosq) {
            std::unique_lock lock(mutex);
            wake.wait_until(lock, nextTry, [this] { return stop; });
            if (stop) return;
            lock.unlock();
            startSession();
            return;
        }
        const int rc = mosquitto_loop(mosq, 20, 1);
        takeAcks();
        if (rc != MOSQ_ERR_SUCCESS || lost || hung() ||
            (!sessionUp && Clock::now() - sessionStart > milliseconds(options.connectTimeoutMs))) {
            endSession();
            return;
        }
        if (!sessionUp) return;
        connected = true;
        const int s = state.load();
        if (s != stateSent && publish(topic("state"), stateBody(StationState(s)), true) >= 0) stateSent = s;
        bool fillNow = Clock::now() - lastFill > milliseconds(kFillEveryMs);
        {
            std::lock_guard lock(mutex);
            fillNow = fillNow || std::exchange(kicked, false);
        }
        if (fillNow) fill();
        if (Clock::now() - lastBeat > milliseconds(options.heartbeatMs)) {
            lastBeat = Clock::now();
            const QJsonObject beat{{"station", options.station},  {"state", StateName(StationState(s))},
                                   {"ms", NowMs()},              {"waiting", waiting.load()},
                                   {"toolVersion", ToolVersion()}};
            publish(topic("heartbeat"), QJsonDocument(beat).toJson(QJsonDocument::Compact), false);
        }
    }

    void sayOffline() {
        if (!mosq || !sessionUp) return;
        publish(topic("state"), stateBody(StationState::Offline), true);
        // A moment for it to go; a broker that does not take it has the last will.
        const auto until = Clock::now() + milliseconds(500);
        acked.clear();
        while (acked.isEmpty() && Clock::now() < until && mosquitto_loop(mosq, 50, 1) == MOSQ_ERR_SUCCESS) {
        }
        takeAcks();
        mosquitto_disconnect(mosq);
        mosquitto_loop(mosq, 50, 1);
    }

    void run() {
        lastBeat = Clock::now() - milliseconds(options.heartbeatMs);
        nextTry = Clock::now();
        for (;;) {
            {
                std::lock_guard lock(mutex);
                if (stop) break;
            }
            // The records are opened once a broker answered or a try ended: a broker that
            // hangs from the start costs the units' own opening of them nothing.
            if (!store.isOpen() && (sessionUp || triedOnce)) {
                holdsRecords = true;
                store.openSqlite(options.storePath);
            }
            if (store.isOpen() && !mosq) waiting = store.outbox().pendingEvents();
            round();
            {
                std::lock_guard lock(mutex);
                ++rounds;
            }
            changed.notify_all();
        }
        sayOffline();
        if (mosq) mosquitto_destroy(mosq);
        mosq = nullptr;
        connected = false;
        store.close();
        std::lock_guard lock(mutex);
        done = true;
        changed.notify_all();
    }
};

EventPublisher::EventPublisher(PublisherOptions options) : impl_(std::make_shared<Impl>(std::move(options))) {
    std::thread([d = impl_] { d->run(); }).detach();
}

EventPublisher::~EventPublisher() {
    std::unique_lock lock(impl_->mutex);
    impl_->stop = true;
    impl_->wake.notify_all();
    // A connect that hangs in the kernel keeps the thread; it ends on its own, owning
    // its half of the state. One that never reached the broker nor opened the records
    // has nothing to say or close: no wait for it.
    if (!impl_->holdsRecords && !impl_->connected) return;
    impl_->changed.wait_for(lock, milliseconds(1500), [this] { return impl_->done; });
}

void EventPublisher::setState(StationState state) {
    impl_->state = int(state);
    kick();
}

void EventPublisher::kick() {
    std::lock_guard lock(impl_->mutex);
    impl_->kicked = true;
    impl_->wake.notify_all();
}

qint64 EventPublisher::waiting() const { return impl_->waiting; }
bool EventPublisher::connected() const { return impl_->connected; }
qint64 EventPublisher::sent() const { return impl_->sent; }

qint64 EventPublisher::finish(int quietMs) {
    // No session, no wait: what is queued goes next time.
    if (!impl_->connected) return impl_->waiting;
    kick();
    std::unique_lock lock(impl_->mutex);
    // Two rounds, so that the unit tests ended just now are read.
    const qint64 from = impl_->rounds;
    impl_->changed.wait_for(lock, milliseconds(quietMs), [&] { return impl_->rounds >= from + 2 || impl_->done; });
    qint64 sentBefore = -1;
    while (impl_->connected && impl_->waiting > 0 && impl_->sent != sentBefore) {
        sentBefore = impl_->sent;
        impl_->changed.wait_for(lock, milliseconds(quietMs), [&] {
            return !impl_->connected || impl_->waiting == 0 || impl_->sent != sentBefore;
        });
    }
    return impl_->waiting;
}

}  // namespace pb::events
