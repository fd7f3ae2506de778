#pragma once
// One socket's runs, in the socket's own thread: made there on its first run, its clock,
// recipe runner and records connection stay for the next. The runner's news leaves as
// SocketNews signals (queued to the station).

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>

#include "multiup/Fixture.h"
#include "multiup/SocketLink.h"
#include "gang/GangRunner.h"
#include "gang/SocketNews.h"
#include "runner/RecipeRunObserver.h"

namespace pb {

class CancelClock;
class RecipeRunner;
namespace records {
class RecordStore;
}

class GangWorker : public QObject, private RecipeRunObserver {
    Q_OBJECT
public:
    GangWorker(int socket, const Fixture& fixture, GangRecords records, int divisor);
    ~GangWorker() override;

    // Any thread: the run in hand (or the next, if it has not begun) stops.
    void requestCancel();
    void clearCancel() { cancel_ = false; }
    // Any thread: whether a run is in hand (set from its start to its end).
    bool busy() const { return busy_.load(); }
    void markBusy() { busy_ = true; }

public slots:
    // In the socket's thread.
    void run(const pb::SocketLink& link, const QString& scannedSerial, int language);
    // In the socket's thread (queued by requestCancel): the runner told, the pause ended.
    void cancelNow();

signals:
    void news(const pb::SocketNews& news);

private:
    void setUp();
    void tell(SocketNews n);
    void recipeStarted(const Recipe& recipe, const QString& serial) override;
    void stepStarted(int index, int attempt) override;
    void stepStatus(int index, const QString& text) override;
    void stepProgress(int index, const QString& phase, int done, int total) override;
    void stepEnded(int index, const StepResult& result, const StepMeasured& measured) override;

    int socket_;
    const Fixture& fixture_;
    GangRecords records_;
    int divisor_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> busy_{false};
    std::unique_ptr<records::RecordStore> store_;
    std::unique_ptr<CancelClock> clock_;
    std::unique_ptr<RecipeRunner> runner_;
};

}  // namespace pb

