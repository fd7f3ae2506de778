#pragma once
// Many units at once: one QThread per unit, each with its own event loop (the procedures
// wait in nested event loops, which one thread cannot interleave), made on the unit's
// first run and kept for the next. A job runs in its unit's thread with the unit's cancel;
// whatever it reports it queues to its caller itself. The command line's units, a fixture's
// sockets on the command line and the station for a fixture all run here.
//
//   UnitPool pool(4);
//   connect(&pool, &UnitPool::ended, ...);
//   pool.start(2, [](int unit, pb::Cancel& cancel) { ... RecipeRunner ... });
//   pool.cancelAll();   // every unit running stops at its next safe point

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "runner/Cancel.h"

class QThread;

namespace pb {

class UnitPool : public QObject {
    Q_OBJECT
public:
    using Job = std::function<void(int unit, Cancel& cancel)>;

    explicit UnitPool(int units, QObject* parent = nullptr);
    ~UnitPool() override;  // cancels the runs in hand and waits for them to end

    int size() const { return int(slots_.size()); }
    // Starts the job in the unit's thread; false when the unit is out of range or runs.
    bool start(int unit, Job job);
    bool running(int unit) const;
    bool running() const { return running_ > 0; }
    // The unit's run (or every run) stops at its next safe point: between exchanges,
    // upgrade blocks, DI/DO cycles; a pause ends at once.
    void cancel(int unit);
    void cancelAll();

signals:
    // In the pool's thread, after the unit's job returned.
    void ended(int unit);
    // Every unit started has ended.
    void allEnded();

private:
    struct Slot {
        std::unique_ptr<QThread> thread;
        Cancel* cancel = nullptr;  // lives in the unit's thread
        bool running = false;      // as the pool's thread knows it
        // Set from the start until the job has returned, in any thread.
        std::shared_ptr<std::atomic<bool>> busy = std::make_shared<std::atomic<bool>>(false);
    };
    void finished(int unit);

    std::vector<Slot> slots_;
    int running_ = 0;
};

}  // namespace pb
