#include "cli/UnitPool.h"

#include "cli/HeadlessRun.h"
#include "cli/RecipeRun.h"

namespace cli {

void UnitWorker::run() {
    const EventSink sink = [this](const UnitEvent& e) { emit event(e); };
    if (job_.command == QLatin1String("run"))
        RunRecipeUnit(unit_, link_, job_, *cancel_, sink);
    else
        RunUnit(unit_, link_, job_, *cancel_, sink);
    emit finished();
}

UnitPool::UnitPool(const QList<UnitLink>& units, const CommandJob& job) {
    qRegisterMetaType<cli::UnitEvent>();
    for (int i = 0; i < units.size(); ++i) {
        Slot slot;
        slot.thread = std::make_unique<QThread>();
        slot.thread->setObjectName(QStringLiteral("unit%1").arg(i));
        slot.worker = new UnitWorker(i, units[i], job);
        slot.worker->moveToThread(slot.thread.get());
        connect(slot.thread.get(), &QThread::started, slot.worker, &UnitWorker::run);
        connect(slot.thread.get(), &QThread::finished, slot.worker, &QObject::deleteLater);
        connect(slot.worker, &UnitWorker::event, this, &UnitPool::event);
        connect(slot.worker, &UnitWorker::finished, this, [this, i] {
            // The worker is deleted once its thread ends: no cancel reaches it after this.
            slots_[std::size_t(i)].worker = nullptr;
            slots_[std::size_t(i)].thread->quit();
            if (--running_ == 0) emit allFinished();
        });
        slots_.push_back(std::move(slot));
    }
}

UnitPool::~UnitPool() {
    for (Slot& s : slots_) {
        s.thread->quit();
        s.thread->wait();
    }
}

void UnitPool::start() {
    running_ = int(slots_.size());
    if (running_ == 0) {
        emit allFinished();
        return;
    }
    for (Slot& s : slots_) s.thread->start();
}

void UnitPool::cancelAll() {
    for (Slot& s : slots_)
        if (s.worker)
            QMetaObject::invokeMethod(s.worker->cancel(), &Cancel::request, Qt::QueuedConnection);
}

}  // namespace cli
