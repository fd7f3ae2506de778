#include "gang/GangRunner.h"

#include <QThread>

#include "gang/GangWorker.h"

namespace pb {

GangRunner::GangRunner(Fixture fixture, GangRecords records, QObject* parent)
    : QObject(parent), fixture_(std::move(fixture)), records_(std::move(records)),
      ports_([] { return SystemPorts(); }) {
    qRegisterMetaType<pb::SocketNews>();
}

GangRunner::~GangRunner() {
    cancelAll();
    // Each run in hand ends at its next safe point and is kept as interrupted, its own
    // event loops still turning (quit() would end them under the run); its news is
    // dropped with this object.
    for (Slot& s : slots_)
        while (s.worker->busy()) QThread::msleep(2);
    for (Slot& s : slots_) {
        s.thread->quit();
        s.thread->wait();
    }
}

void GangRunner::setLanguage(Language language) {
    language_ = language;
}

bool GangRunner::running(int socket) const {
    return socket >= 0 && socket < int(slots_.size()) && slots_[std::size_t(socket)].running;
}

SocketLink GangRunner::linkOf(int socket) const {
    const FixtureSocket& s = fixture_.sockets.at(socket);
    return LinkOfSocket(s, s.link == FixtureSocket::Link::Adapter ? ports_() : QList<PortFacts>{});
}

QList<SocketLink> GangRunner::links() const {
    const QList<PortFacts> ports = HasAdapterSocket(fixture_) ? ports_() : QList<PortFacts>{};
    QList<SocketLink> out;
    for (const FixtureSocket& s : fixture_.sockets) out << LinkOfSocket(s, ports);
    return out;
}

bool GangRunner::start(const QList<GangUnit>& units) {
    QList<bool> taken(fixture_.sockets.size(), false);
    for (const GangUnit& u : units) {
        if (u.socket < 0 || u.socket >= fixture_.sockets.size() || taken[u.socket] || running(u.socket))
            return false;
        taken[u.socket] = true;
    }
    if (slots_.empty()) {
        // The threads start with the first run and wait for the next between runs.
        for (int i = 0; i < fixture_.sockets.size(); ++i) {
            Slot slot;
            slot.thread = std::make_unique<QThread>();
            slot.thread->setObjectName(QStringLiteral("socket-%1").arg(fixture_.sockets[i].name));
            slot.worker = new GangWorker(i, fixture_, records_, divisor_);
            slot.worker->moveToThread(slot.thread.get());
            connect(slot.thread.get(), &QThread::finished, slot.worker, &QObject::deleteLater);
            connect(slot.worker, &GangWorker::news, this, &GangRunner::taken, Qt::QueuedConnection);
            slot.thread->start();
            slots_.push_back(std::move(slot));
        }
    }
    const QList<SocketLink> now = links();
    for (const GangUnit& u : units) {
        Slot& slot = slots_[std::size_t(u.socket)];
        slot.running = true;
        ++running_;
        slot.worker->clearCancel();
        slot.worker->markBusy();
        const SocketLink link = now[u.socket];
        GangWorker* worker = slot.worker;
        const QString serial = u.scannedSerial;
        const int language = LanguageIndex(language_);
        QMetaObject::invokeMethod(worker, [worker, link, serial, language] { worker->run(link, serial, language); },
                                  Qt::QueuedConnection);
    }
    if (units.isEmpty()) emit allEnded();
    return true;
}

void GangRunner::cancelAll() {
    for (Slot& s : slots_)
        if (s.running) s.worker->requestCancel();
}

void GangRunner::taken(const SocketNews& n) {
    emit news(n);
    if (n.kind != SocketNews::Kind::Ended) return;
    Slot& slot = slots_[std::size_t(n.socket)];
    if (!slot.running) return;
    slot.running = false;
    if (--running_ == 0) emit allEnded();
}

}  // namespace pb
