// Firmware upgrade figures over TCP loopback against the simulated controller, which
// runs on its own thread:
//  1. A full upgrade with the real pauses: total time beside the sum of the pauses the
//     protocol asks for.
//  2. The same upgrade with the pauses recorded instead of slept: the tool's cost per
//     block beside a plain blocking-socket client that sends the very same frames and
//     waits for the same replies, in alternating rounds.
//
//  3. With the real pauses, the protocol A upgrade twice more as the window runs it: the
//     run and its frames kept in the unit records (a fresh SQLite store) and every frame
//     shown in an open traffic monitor (offscreen); the ratio of each to the plain run.
//     The first pays for the monitor's first paints of such frames (font and glyph
//     caches), the second is the steady state.
//
//  4. The progress writes (phase, blocks, the traffic in batches, so that a killed
//     upgrade keeps how far it came): the recorded protocol A upgrade with them and with
//     them dropped, in alternating rounds, with real pauses and with pauses recorded.
//
//   bench_firmware [--skip-real] [--progress-only] [rounds, default 5]

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <numeric>
#include <vector>

#include "app/TrafficMonitorWindow.h"
#include "firmware/FirmwareUpgrade.h"
#include "records/store/RecordStore.h"
#include "records/store/RunRecordsObserver.h"
#include "traffic/TrafficLog.h"
#include "link/Clock.h"
#include "link/Link.h"
#include "sim/SimController.h"
#include "sim/SimServers.h"

namespace {

// The simulated controller with its own event loop, so a blocking client may wait on it.
class SimThread : public QThread {
public:
    SimThread(sim::Model model, QString id) : model_(model), id_(std::move(id)) {
        start();
        ready_.acquire();
    }
    ~SimThread() override {
        quit();
        wait();
    }
    quint16 port() const { return port_; }

protected:
    void run() override {
        sim::Controller controller(model_, id_);
        sim::TcpServer server(controller);
        server.listen(0);
        port_ = server.port();
        ready_.release();
        exec();
    }

private:
    sim::Model model_;
    QString id_;
    quint16 port_ = 0;
    QSemaphore ready_;
};

class BenchView : public pb::TestRunView {
public:
    explicit BenchView(quint16 port) {
        settings_.kind = pb::LinkKind::Net;
        settings_.ip = QStringLiteral("127.0.0.1");
        settings_.tcpPort = QString::number(port);
    }
    void setStatus(const QString&) override {}
    void setLamp(pb::LampColour) override {}
    void setBusy(bool) override {}
    void setWaitCursor(bool) override {}
    void beep(int, int) override {}
    void processEvents() override { QCoreApplication::processEvents(); }
    pb::Language language() const override { return pb::Language::English; }
    const pb::LinkSettings& settings() const { return settings_; }

private:
    pb::LinkSettings settings_;
};

class NoBars : public pb::FirmwareProgressView {
public:
    void setProgramMaximum(int) override {}
    void setProgramPosition(int) override {}
    void setVerifyMaximum(int) override {}
    void setVerifyPosition(int) override {}
};

struct Scenario {
    const char* name;
    sim::Model model;
    int kind;
    QString id;
    QString version;
    QByteArray header;
    int blockSize;
    int blocks;
};

struct ToolRun {
    bool upgraded = false;
    double ms = 0;
    QList<int> pauses;         // what a recording clock saw
    QList<QByteArray> frames;  // every frame the tool sent
};

QString writeFirmware(const QTemporaryDir& dir, const Scenario& s) {
    QByteArray file = s.header.leftJustified(16, '\0', true);
    for (int i = 0; i < s.blocks * s.blockSize; ++i) file.append(char((i * 31 + i / 64) % 251));
    const QString name = dir.filePath(QStringLiteral("%1.KVF").arg(s.kind));
    QFile f(name);
    f.open(QIODevice::WriteOnly);
    f.write(file);
    return name;
}

// The unit records and the open traffic monitor, as the window has them.
struct Recording {
    Recording() : observer(store), monitor(&log) {
        store.openSqlite(dir.filePath(QStringLiteral("records.sqlite")));
        monitor.resize(900, 500);
        monitor.show();
        // Open and painted before the upgrade starts, as a technician would have it.
        QCoreApplication::processEvents();
        monitor.repaint();
    }
    // The records' run and the monitor, for the next upgrade on `link`.
    void listen(pb::Link& link) {
        QObject::disconnect(traffic[0]);
        QObject::disconnect(traffic[1]);
        traffic[0] = QObject::connect(&link, &pb::Link::traffic, &log, &pb::TrafficLog::add);
        traffic[1] = QObject::connect(&link, &pb::Link::traffic, &observer,
                                      &pb::records::RunRecordsObserver::takeTraffic);
    }
    QMetaObject::Connection traffic[2];
    QTemporaryDir dir;
    pb::records::RecordStore store;
    pb::records::RunRecordsObserver observer;
    pb::TrafficLog log;
    pb::TrafficMonitorWindow monitor;
};

ToolRun runTool(const Scenario& s, const QString& fileName, bool realPauses,
               Recording* recording = nullptr) {
    SimThread controller(s.model, s.id);
    BenchView view(controller.port());
    NoBars bars;
    pb::Link link;
    if (recording) recording->listen(link);
    pb::EventLoopClock realClock;
    pb::RecordingClock recordingClock;
    ToolRun run;
    QObject::connect(&link, &pb::Link::traffic, [&](const pb::TrafficRecord& r) {
        if (r.direction == pb::TrafficRecord::Direction::Sent) run.frames.append(r.bytes);
    });
    pb::Clock& clock = realPauses ? static_cast<pb::Clock&>(realClock) : recordingClock;
    pb::FirmwareBuffer buffer;
    const pb::FirmwareJob job{fileName, s.id, s.kind, s.version};
    QElapsedTimer t;
    t.start();
    pb::FirmwareUpgrade upgrade(link, view.settings(), view, bars, clock);
    if (recording) upgrade.setObserver(&recording->observer);
    run.upgraded = upgrade.run(job, buffer) == pb::UpgradeOutcome::Upgraded;
    run.ms = t.nsecsElapsed() / 1e6;
    if (recording && !recording->store.isOpen()) std::printf("  (records were off)\n");
    run.pauses = recordingClock.pauses();
    return run;
}

// The baseline: connect, then for each frame send it and read until the reply's CR.
double runPlainClient(const Scenario& s, const QList<QByteArray>& frames, bool* allAnswered) {
    SimThread controller(s.model, s.id);
    QElapsedTimer t;
    t.start();
    const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(controller.port());
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    *allAnswered = ::connect(sock, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    char buf[1500];
    for (const QByteArray& frame : frames) {
        (void)!::send(sock, frame.constData(), size_t(frame.size()), 0);
        for (bool done = false; !done;) {
            const ssize_t n = ::recv(sock, buf, sizeof buf, 0);
            if (n <= 0) {
                *allAnswered = false;
                break;
            }
            done = buf[n - 1] == '\r';
        }
    }
    ::close(sock);
    return t.nsecsElapsed() / 1e6;
}

// The records' observer with its progress writes timed, or dropped: the baseline they
// are measured on.
class ProgressGate : public pb::RunObserver {
public:
    ProgressGate(pb::RunObserver& kept, bool write) : kept_(kept), write_(write) {}
    void runStarted(const pb::RunStart& start) override { kept_.runStarted(start); }
    void runEnded(const pb::RunReport& report) override { kept_.runEnded(report); }
    void controllerIdentified(const pb::ControllerIdentity& identity) override {
        kept_.controllerIdentified(identity);
    }
    void runProgressed(const QJsonObject& detail) override {
        if (!write_) return;
        QElapsedTimer t;
        t.start();
        kept_.runProgressed(detail);
        writeMs += t.nsecsElapsed() / 1e6;
        ++writes;
    }
    double writeMs = 0;
    int writes = 0;

private:
    pb::RunObserver& kept_;
    bool write_;
};

double median(std::vector<double> v);

// Section 4: the same recorded upgrade with and without its progress writes.
void measureProgressWrites(const Scenario& s, const QString& file, bool realPauses, int rounds) {
    Recording recording;
    ProgressGate timed(recording.observer, true), quiet(recording.observer, false);
    std::vector<double> with, without;
    bool upgraded = true;
    for (int round = 0; round < rounds; ++round) {
        for (bool progress : {round % 2 == 0, round % 2 != 0}) {
            SimThread controller(s.model, s.id);
            BenchView view(controller.port());
            NoBars bars;
            pb::Link link;
            recording.listen(link);
            pb::EventLoopClock realClock;
            pb::RecordingClock recordingClock;
            pb::Clock& clock = realPauses ? static_cast<pb::Clock&>(realClock) : recordingClock;
            pb::FirmwareBuffer buffer;
            pb::FirmwareUpgrade upgrade(link, view.settings(), view, bars, clock);
            upgrade.setObserver(progress ? &timed : &quiet);
            QElapsedTimer t;
            t.start();
            upgraded = upgrade.run({file, s.id, s.kind, s.version}, buffer) == pb::UpgradeOutcome::Upgraded &&
                       upgraded;
            (progress ? with : without).push_back(t.nsecsElapsed() / 1e6);
        }
    }
    const double a = median(with), b = median(without);
    std::printf("  progress writes, %s (median of %d rounds each): with %9.1f ms, without %9.1f ms, "
                "%+7.1f ms, ratio %.4f%s\n",
                realPauses ? "real pauses   " : "pauses recorded", rounds, a, b, a - b, a / b,
                upgraded ? "" : " (FAILED)");
    std::printf("    the writes themselves: %d per upgrade, %.2f ms per upgrade, %.3f %% of its time\n",
                timed.writes / rounds, timed.writeMs / rounds, 100.0 * timed.writeMs / rounds / a);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    // The traffic monitor is a window: offscreen unless a display is chosen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bool real = true;
    bool progressOnly = false;
    int rounds = 5;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--skip-real")
            real = false;
        else if (QByteArray(argv[i]) == "--progress-only")
            progressOnly = true;
        else
            rounds = std::max(1, atoi(argv[i]));
    }

    const Scenario scenarios[] = {
        {"protocol A (kind 3)", sim::Model::V5, 3, "0001", "KV320MX -V5.10.02", "KV320MX-V5", 512,
         124},
        {"protocol B (kind 1)", sim::Model::V3, 1, "0001", "KV300MX -V3.21.05", "KV300MX -V3", 256,
         248},
    };
    QTemporaryDir dir;

    for (const Scenario& s : scenarios) {
        const QString file = writeFirmware(dir, s);
        std::printf("%s, %d blocks of %d bytes, TCP loopback\n", s.name, s.blocks, s.blockSize);
        if (s.kind == 3) {
            if (real) measureProgressWrites(s, file, true, rounds);
            measureProgressWrites(s, file, false, std::max(rounds, 9));
        }
        if (progressOnly) continue;

        // The pauses the protocol asks for, and the frames to replay.
        const ToolRun reference = runTool(s, file, false);
        if (!reference.upgraded) {
            std::printf("  upgrade failed\n");
            return 1;
        }
        const int pauseSum = std::accumulate(reference.pauses.begin(), reference.pauses.end(), 0);

        if (real) {
            const ToolRun r = runTool(s, file, true);
            std::printf(
                "  real pauses:   total %9.1f ms, protocol pauses %6d ms, rest %7.1f ms%s\n", r.ms,
                pauseSum, r.ms - pauseSum, r.upgraded ? "" : " (FAILED)");
            if (s.kind == 3) {
                Recording recording;
                for (const char* which : {"recorded, 1st", "recorded, 2nd"}) {
                    const ToolRun kept = runTool(s, file, true, &recording);
                    std::printf("  %-14s total %9.1f ms, %+7.1f ms, ratio %.4f (records and open monitor)%s\n",
                                which, kept.ms, kept.ms - r.ms, kept.ms / r.ms,
                                kept.upgraded ? "" : " (FAILED)");
                }
                std::printf("  records kept: %lld runs\n", qlonglong(recording.store.queries().runs({}).size()));
            }
        }

        std::vector<double> tool, plain;
        bool answered = true;
        for (int round = 0; round < rounds; ++round) {
            const ToolRun r = runTool(s, file, false);
            if (!r.upgraded) std::printf("  round %d: upgrade failed\n", round);
            tool.push_back(r.ms);
            bool ok = false;
            plain.push_back(runPlainClient(s, reference.frames, &ok));
            answered = answered && ok;
        }
        const double toolMs = median(tool), plainMs = median(plain);
        std::printf("  pauses recorded (median of %d rounds, %lld frames):\n", rounds,
                    qlonglong(reference.frames.size()));
        std::printf("    tool          %8.1f ms  %6.3f ms/block\n", toolMs, toolMs / s.blocks);
        std::printf("    plain client  %8.1f ms  %6.3f ms/block%s\n", plainMs, plainMs / s.blocks,
                    answered ? "" : " (some frames unanswered)");
        std::printf("    tool adds     %8.3f ms/block, ratio %.2fx\n\n",
                    (toolMs - plainMs) / s.blocks, toolMs / plainMs);
    }
    return 0;
}
