#include "gang/GangWorker.h"

#include <QMutex>
#include <QScopeGuard>

#include "gang/CancelClock.h"
#include "records/store/RecordStore.h"
#include "runner/RecipeRunner.h"

namespace pb {

GangWorker::GangWorker(int socket, const Fixture& fixture, GangRecords records, int divisor)
    : socket_(socket), fixture_(fixture), records_(std::move(records)), divisor_(divisor) {}

// In the socket's thread (deleted there once it ends): the store's connection is its own.
GangWorker::~GangWorker() = default;

void GangWorker::requestCancel() {
    cancel_ = true;
    QMetaObject::invokeMethod(this, &GangWorker::cancelNow, Qt::QueuedConnection);
}

void GangWorker::cancelNow() {
    // A cancel that arrives after its run has ended must not stop the next one.
    if (!runner_ || !runner_->running()) return;
    runner_->cancel();
    clock_->interrupt();
}

void GangWorker::setUp() {
    if (runner_) return;
    if (!records_.path.isEmpty()) {
        store_ = std::make_unique<records::RecordStore>();
        store_->setOutbox(records_.outbox);
        // One at a time, as the command line's units: a file to be set aside is set aside
        // once, by the first, and the others open the new one.
        static QMutex opening;
        const QMutexLocker lock(&opening);
        store_->openSqlite(records_.path);
        // A store that will not open never stops a unit: its runs are not kept.
        if (!store_->isOpen()) store_.reset();
    }
    clock_ = std::make_unique<CancelClock>(cancel_, divisor_);
    runner_ = std::make_unique<RecipeRunner>(fixture_.recipe, *clock_);
    runner_->setObserver(this);
    runner_->setRecords(store_.get(), records_.operatorName, records_.station);
}

void GangWorker::tell(SocketNews n) {
    n.socket = socket_;
    emit news(n);
}

void GangWorker::run(const SocketLink& link, const QString& scannedSerial, int language) {
    // Not busy once the news of the end is out.
    const auto idle = qScopeGuard([this] { busy_ = false; });
    setUp();
    if (!link.ok()) {
        // No port to open: the unit fails as a link that cannot be opened, kept nowhere
        // (as on the command line), and the other sockets run.
        tell({.kind = SocketNews::Kind::Started});
        SocketNews end{.kind = SocketNews::Kind::Ended};
        end.verdict.reason = StepVerdict::fail(RecipeReason::LinkNotOpened, {link.failureText(0)});
        tell(end);
        return;
    }
    const FixtureSocket& socket = fixture_.sockets.at(socket_);
    RecipeUnit unit;
    unit.link = link.settings;
    if (!socket.id.isEmpty()) unit.id = socket.id;
    unit.scannedSerial = scannedSerial;
    unit.fixture = fixture_.name;
    unit.socket = socket.name;
    runner_->setLanguage(LanguageAt(language));
    if (cancel_.load()) runner_->cancel();  // asked before the run began
    const RecipeRunResult r = runner_->run(unit);
    SocketNews end{.kind = SocketNews::Kind::Ended};
    end.verdict = r.verdict;
    end.cancelled = r.cancelled;
    end.recordId = r.recordId;
    tell(end);
}

void GangWorker::recipeStarted(const Recipe& /*recipe*/, const QString& /*serial*/) {
    tell({.kind = SocketNews::Kind::Started});
}

void GangWorker::stepStarted(int index, int attempt) {
    tell({.kind = SocketNews::Kind::StepStarted, .step = index, .attempt = attempt});
}

void GangWorker::stepStatus(int index, const QString& text) {
    tell({.kind = SocketNews::Kind::StepStatus, .step = index, .text = text});
}

void GangWorker::stepProgress(int index, const QString& phase, int done, int total) {
    tell({.kind = SocketNews::Kind::StepProgress, .step = index, .phase = phase, .done = done, .total = total});
}

void GangWorker::stepEnded(int index, const StepResult& result, const StepMeasured& /*measured*/) {
    SocketNews n{.kind = SocketNews::Kind::StepEnded, .step = index, .attempt = result.attempts,
                 .text = result.verdict.text(0)};
    n.stepVerdict = result.verdict;
    tell(n);
}

}  // namespace pb
