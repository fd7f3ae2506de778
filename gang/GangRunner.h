#pragma once
// A fixture's units at once, a socket a unit of the pool (pool/UnitPool.h): each run in
// the socket's thread with its own clock, runner (and so link) and records connection,
// opened in that thread. What each run reports comes back as SocketNews on the runner's
// own thread (queued); a socket that fails, even to open its link, never stops the others.
//
//   GangRunner gang(fixture, {recordsPath, outbox, operatorName, station});
//   connect(&gang, &GangRunner::news, view, &View::show);
//   gang.start({{0, "SN1"}, {2, "SN3"}});   // socket index and scanned serial
//   gang.cancelAll();                        // every running unit at its next safe point

#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "multiup/Fixture.h"
#include "multiup/SocketLink.h"
#include "gang/SocketNews.h"
#include "i18n/Language.h"
#include "runner/Cancel.h"

namespace pb {

class UnitPool;

// Where the runs are kept: a SQLite file each socket's thread opens for itself.
struct GangRecords {
    QString path;          // empty: no records
    bool outbox = false;   // queue every run for the shared server too
    QString operatorName;
    QString station;       // empty: the host name
    bool events = false;   // queue every unit test for the events broker too
};

struct GangUnit {
    int socket = 0;         // index in the fixture
    QString scannedSerial;  // empty: serials not compared
};

class GangRunner : public QObject {
    Q_OBJECT
public:
    GangRunner(Fixture fixture, GangRecords records, QObject* parent = nullptr);
    ~GangRunner() override;  // stops the runs in hand and waits for their threads

    const Fixture& fixture() const { return fixture_; }
    void setLanguage(Language language);
    // Pauses shortened by this factor (tests); 1: real time. Before start().
    void setPauseDivisor(int divisor) { divisor_ = divisor < 1 ? 1 : divisor; }
    // The ports adapter sockets are looked for among, at each start; default SystemPorts().
    void setPorts(std::function<QList<PortFacts>()> ports) { ports_ = std::move(ports); }

    // Starts these units (each socket at most once, none already running); false and
    // nothing started otherwise.
    bool start(const QList<GangUnit>& units);
    bool running() const;
    bool running(int socket) const;
    // Every unit running stops at its next safe point (told in its own thread: between
    // exchanges, upgrade blocks, DI/DO cycles; a pause ends at once) as interrupted.
    void cancelAll();
    // The link a socket runs on now (an adapter looked for again), and every socket's,
    // the ports listed once.
    SocketLink linkOf(int socket) const;
    QList<SocketLink> links() const;

signals:
    void news(const pb::SocketNews& news);
    // Every unit started by the last start() has ended.
    void allEnded();

private:
    // In the socket's thread: one unit's recipe run, its news queued to this thread.
    void runSocket(int socket, const SocketLink& link, const QString& scannedSerial, int language, Cancel& cancel);
    void tell(SocketNews n);

    Fixture fixture_;
    GangRecords records_;
    Language language_ = Language::English;
    int divisor_ = 1;
    std::function<QList<PortFacts>()> ports_;
    std::unique_ptr<UnitPool> pool_;
};

}  // namespace pb
