#pragma once
// Many units at once: each in its own thread with its own event loop, link, clock and
// view, since the procedures wait in nested event loops that one thread cannot interleave.

#include <QList>
#include <QObject>
#include <QThread>
#include <memory>
#include <vector>

#include "cli/Cancel.h"
#include "cli/UnitJob.h"

namespace cli {

class UnitWorker : public QObject {
    Q_OBJECT
public:
    UnitWorker(int unit, UnitLink link, CommandJob job)
        : unit_(unit), link_(std::move(link)), job_(std::move(job)), cancel_(new Cancel(this)) {}
    Cancel* cancel() const { return cancel_; }

public slots:
    void run();

signals:
    void event(const cli::UnitEvent& e);
    void finished();

private:
    int unit_;
    UnitLink link_;
    CommandJob job_;
    Cancel* cancel_;
};

class UnitPool : public QObject {
    Q_OBJECT
public:
    UnitPool(const QList<UnitLink>& units, const CommandJob& job);
    ~UnitPool() override;

    void start();
    // Asks every unit to stop: loops end their cycle, upgrades stop between blocks.
    void cancelAll();

signals:
    void event(const cli::UnitEvent& e);
    void allFinished();

private:
    struct Slot {
        std::unique_ptr<QThread> thread;
        UnitWorker* worker = nullptr;
    };
    std::vector<Slot> slots_;
    int running_ = 0;
};

}  // namespace cli
