#pragma once
// A unit's cancel request: a flag any thread may read, and a signal delivered in the
// unit's own thread so that a pause there ends at once.

#include <QObject>
#include <atomic>

namespace cli {

class Cancel : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    bool requested() const { return requested_.load(); }

public slots:
    // Call through a queued connection from another thread.
    void request() {
        if (requested_.exchange(true)) return;
        emit requestedNow();
    }

signals:
    void requestedNow();

private:
    std::atomic<bool> requested_{false};
};

}  // namespace cli
