#pragma once
// A run's cancel: a flag any thread may set and read, and a signal that reaches whatever
// waits in the run's own thread (a pause, a loop between its exchanges) so that it ends
// at once. One per unit; the clock, the view and the runner all listen to it.

#include <QObject>
#include <atomic>

namespace pb {

class Cancel : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    bool requested() const { return requested_.load(); }
    // Any thread: the flag at once, the signal queued to the receivers' threads.
    void request() {
        if (requested_.exchange(true)) return;
        emit requestedNow();
    }
    // Before the next run on the same unit.
    void clear() { requested_ = false; }

signals:
    void requestedNow();

private:
    std::atomic<bool> requested_{false};
};

}  // namespace pb
