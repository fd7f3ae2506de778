#include "pool/UnitPool.h"

#include <QThread>

namespace pb {

UnitPool::UnitPool(int units, QObject* parent) : QObject(parent), slots_(std::size_t(qMax(0, units))) {}

UnitPool::~UnitPool() {
    cancelAll();
    // Each run in hand ends at its next safe point, its own event loops still turning
    // (quit() would end them under the run), then its thread is let go.
    for (Slot& s : slots_)
        while (s.busy->load()) QThread::msleep(2);
    for (Slot& s : slots_) {
        if (!s.thread) continue;
        s.thread->quit();
        s.thread->wait();
    }
}

bool UnitPool::running(int unit) const {
    return unit >= 0 && unit < size() && slots_[std::size_t(unit)].running;
}

bool UnitPool::start(int unit, Job job) {
    if (unit < 0 || unit >= size() || running(unit)) return false;
    Slot& slot = slots_[std::size_t(unit)];
    if (!slot.thread) {
        // The thread starts with the unit's first run and waits for the next between runs.
        slot.thread = std::make_unique<QThread>();
        slot.thread->setObjectName(QStringLiteral("unit-%1").arg(unit));
        slot.cancel = new Cancel;
        slot.cancel->moveToThread(slot.thread.get());
        connect(slot.thread.get(), &QThread::finished, slot.cancel, &QObject::deleteLater);
        slot.thread->start();
    }
    slot.running = true;
    ++running_;
    slot.cancel->clear();
    slot.busy->store(true);
    Cancel* cancel = slot.cancel;
    QMetaObject::invokeMethod(
        cancel,
        [this, unit, cancel, busy = slot.busy, job = std::move(job)] {
            job(unit, *cancel);
            busy->store(false);
            QMetaObject::invokeMethod(this, [this, unit] { finished(unit); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    return true;
}

void UnitPool::finished(int unit) {
    Slot& slot = slots_[std::size_t(unit)];
    if (!slot.running) return;
    slot.running = false;
    emit ended(unit);
    if (--running_ == 0) emit allEnded();
}

void UnitPool::cancel(int unit) {
    if (running(unit)) slots_[std::size_t(unit)].cancel->request();
}

void UnitPool::cancelAll() {
    for (int i = 0; i < size(); ++i) cancel(i);
}

}  // namespace pb
