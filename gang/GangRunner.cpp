#include "gang/GangRunner.h"

#include "pool/UnitPool.h"
#include "records/store/RecordStore.h"
#include "runner/RecipeRunner.h"
#include "runner/RunClock.h"

namespace pb {
namespace {

// The runner's news of one socket, as SocketNews values.
class SocketObserver final : public RecipeRunObserver {
public:
    SocketObserver(int socket, std::function<void(SocketNews)> tell) : socket_(socket), tell_(std::move(tell)) {}

    void recipeStarted(const Recipe&, const QString&) override { send({.kind = SocketNews::Kind::Started}); }
    void stepStarted(int index, int attempt) override {
        send({.kind = SocketNews::Kind::StepStarted, .step = index, .attempt = attempt});
    }
    void stepStatus(int index, const QString& text, bool) override {
        send({.kind = SocketNews::Kind::StepStatus, .step = index, .text = text});
    }
    void stepProgress(int index, const QString& phase, int done, int total) override {
        send({.kind = SocketNews::Kind::StepProgress, .step = index, .phase = phase, .done = done, .total = total});
    }
    void awaitingReply(int index, const AwaitedReply& awaited) override {
        SocketNews n{.kind = SocketNews::Kind::AwaitingReply, .step = index, .text = awaited.commandText};
        n.unansweredMs = awaited.unansweredMs;
        send(n);
    }
    void answeredAgain(int index) override { send({.kind = SocketNews::Kind::AnsweredAgain, .step = index}); }
    void stepEnded(int index, const StepResult& result) override {
        SocketNews n{.kind = SocketNews::Kind::StepEnded, .step = index, .attempt = result.attempts};
        n.stepVerdict = result.verdict;
        send(n);
    }

    void send(SocketNews n) {
        n.socket = socket_;
        tell_(std::move(n));
    }

private:
    int socket_;
    std::function<void(SocketNews)> tell_;
};

}  // namespace

GangRunner::GangRunner(Fixture fixture, GangRecords records, QObject* parent)
    : QObject(parent), fixture_(std::move(fixture)), records_(std::move(records)),
      ports_([] { return SystemPorts(); }), pool_(std::make_unique<UnitPool>(int(fixture_.sockets.size()))) {
    qRegisterMetaType<pb::SocketNews>();
    connect(pool_.get(), &UnitPool::allEnded, this, &GangRunner::allEnded);
}

// The pool stops the runs in hand and waits for their threads; their news is dropped.
GangRunner::~GangRunner() = default;

void GangRunner::setLanguage(Language language) { language_ = language; }

bool GangRunner::running(int socket) const { return pool_->running(socket); }

bool GangRunner::running() const { return pool_->running(); }

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
        if (u.socket < 0 || u.socket >= fixture_.sockets.size() || taken[u.socket] || running(u.socket)) return false;
        taken[u.socket] = true;
    }
    const QList<SocketLink> now = links();
    const int language = LanguageIndex(language_);
    for (const GangUnit& u : units) {
        const SocketLink link = now[u.socket];
        const QString serial = u.scannedSerial;
        pool_->start(u.socket, [this, link, serial, language](int socket, Cancel& cancel) {
            runSocket(socket, link, serial, language, cancel);
        });
    }
    if (units.isEmpty()) emit allEnded();
    return true;
}

void GangRunner::cancelAll() { pool_->cancelAll(); }

void GangRunner::tell(SocketNews n) {
    QMetaObject::invokeMethod(this, [this, n] { emit news(n); }, Qt::QueuedConnection);
}

void GangRunner::runSocket(int socket, const SocketLink& link, const QString& scannedSerial, int language, Cancel& cancel) {
    // A store that will not open never stops a unit: its runs are not kept.
    std::unique_ptr<records::RecordStore> store;
    if (!records_.path.isEmpty()) {
        store = std::make_unique<records::RecordStore>();
        store->setOutbox(records_.outbox);
        store->setEventOutbox(records_.events);
        store->openSqlite(records_.path);
        if (!store->isOpen()) store.reset();
    }
    RunClock clock(&cancel, divisor_);
    RecipeRunner runner(fixture_.recipe, clock, cancel);
    SocketObserver observer(socket, [this](SocketNews n) { tell(std::move(n)); });
    runner.setObserver(&observer);
    runner.setLanguage(LanguageAt(language));
    runner.setRecords(store.get(), records_.operatorName, records_.station);
    runner.setPorts(ports_);
    const FixtureSocket& s = fixture_.sockets.at(socket);
    RecipeUnit unit;
    unit.link = link.settings;
    if (!s.id.isEmpty()) unit.id = s.id;
    unit.scannedSerial = scannedSerial;
    unit.fixture = fixture_.name;
    unit.fixtureHash = fixture_.sha256Hex;
    unit.socket = s.name;
    // No port to open: the unit fails as a link that cannot be opened, kept nowhere (as on
    // the command line), and the other sockets run.
    unit.linkProblem = link.failureCause();
    const RecipeRunResult r = runner.run(unit);
    SocketNews end{.kind = SocketNews::Kind::Ended};
    end.verdict = r.verdict;
    end.cancelled = r.cancelled;
    end.recordId = r.recordId;
    observer.send(end);
}

}  // namespace pb
