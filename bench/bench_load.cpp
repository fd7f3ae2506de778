// Load figure: transactions per second the link sustains against the simulated
// controller over TCP loopback and over a pseudo-terminal, back to back for a given time,
// with every failure counted and the round trip's median and 99th percentile.
//
// The controller is panelbench-sim in its own process, as a real controller has its own
// processor: the tool's event loop and the controller's never share a thread, and the
// figure is the tool's whole path (frame, write, nested wait, reply check) plus the
// kernel's loopback or pty, not a shortcut inside one process.
//
//   bench_load [seconds, default 60] [--tcp | --pty] [--sim PATH] [--baud N] [--record]
//
// --baud N makes the simulator pace its replies as a serial line of that speed would.
// --record measures each transport twice, alone and then as the window runs it: every
// frame kept in the unit records (a run begun in a fresh SQLite store) and shown in an
// open traffic monitor (offscreen); it prints what that adds per transaction.
// The exit status is 1 if any transaction failed.

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <memory>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/TrafficMonitorWindow.h"
#include "link/Link.h"
#include "link/LinkSettings.h"
#include "records/store/RecordStore.h"
#include "records/store/RunRecordsObserver.h"
#include "traffic/TrafficLog.h"

namespace {

struct Options {
    int seconds = 60;
    bool tcp = true;
    bool pty = true;
    QString simPath;
    int baud = 0;
    bool record = false;
};

struct Figures {
    qint64 transactions = 0;
    qint64 failures = 0;
    double seconds = 0;
    std::vector<qint64> roundTripNs;
    QString firstFailure;
};

// The commands of one DI/DO cycle with every output ticked: four pulses, one input query.
const QStringList kCycle = {QStringLiteral("0000JC00110002"), QStringLiteral("0000JC00210002"),
                            QStringLiteral("0000JC00310002"), QStringLiteral("0000JC00410002"),
                            QStringLiteral("0000DG0")};

// The simulator as a child process; its first lines say where it listens.
class SimProcess {
public:
    bool start(const QString& program, bool tcp, int baud) {
        QStringList args = tcp ? QStringList{QStringLiteral("--tcp"), QStringLiteral("0")}
                               : QStringList{QStringLiteral("--pty")};
        args << QStringLiteral("--quiet");
        if (baud > 0) args << QStringLiteral("--baud") << QString::number(baud);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(program, args);
        if (!process_.waitForStarted(5000)) return false;

        // Read its lines until READY, event-driven, within a limit.
        QEventLoop loop;
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(&process_, &QProcess::finished, &loop, &QEventLoop::quit);
        QObject::connect(&process_, &QProcess::readyReadStandardOutput, &loop, [&] {
            while (process_.canReadLine()) {
                const QString line = QString::fromLocal8Bit(process_.readLine()).trimmed();
                if (line.startsWith(QLatin1String("TCP 127.0.0.1:"))) {
                    settings_.kind = pb::LinkKind::Net;
                    settings_.ip = QStringLiteral("127.0.0.1");
                    settings_.tcpPort = line.section(QLatin1Char(':'), 1);
                } else if (line.startsWith(QLatin1String("PTY "))) {
                    settings_.kind = pb::LinkKind::Com;
                    settings_.portName = line.mid(4);
                    settings_.speed = QStringLiteral("19200,n,8,1");
                } else if (line == QLatin1String("READY")) {
                    ready_ = true;
                    loop.quit();
                }
            }
        });
        limit.start(5000);
        loop.exec();
        return ready_;
    }
    ~SimProcess() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.terminate();
        if (!process_.waitForFinished(3000)) process_.kill();
        process_.waitForFinished(1000);
    }
    pb::LinkSettings settings() const { return settings_; }

private:
    QProcess process_;
    pb::LinkSettings settings_;
    bool ready_ = false;
};

Figures runLoad(pb::Link& link, int seconds) {
    Figures f;
    f.roundTripNs.reserve(size_t(seconds) * 20000);
    QElapsedTimer total, one;
    total.start();
    const qint64 endNs = qint64(seconds) * 1'000'000'000;
    for (qsizetype i = 0; total.nsecsElapsed() < endNs; ++i) {
        one.start();
        const pb::Exchange x = link.SendCrcCommand(kCycle[i % kCycle.size()]);
        f.roundTripNs.push_back(one.nsecsElapsed());
        ++f.transactions;
        if (!x) {
            if (f.failures++ == 0) f.firstFailure = x.detail;
            if (!link.isOpen()) break;  // the device went away: nothing more to measure
        }
    }
    f.seconds = double(total.nsecsElapsed()) / 1e9;
    return f;
}

double percentileUs(std::vector<qint64> v, double p) {
    if (v.empty()) return 0;
    const size_t k = std::min(v.size() - 1, size_t(p * double(v.size())));
    std::nth_element(v.begin(), v.begin() + qsizetype(k), v.end());
    return double(v[k]) / 1000.0;
}

// What the window adds to every transaction: the records' run and the open monitor.
class Recording {
public:
    explicit Recording(pb::Link& link) : observer_(store_), monitor_(&log_) {
        store_.openSqlite(dir_.filePath(QStringLiteral("records.sqlite")));
        QObject::connect(&link, &pb::Link::traffic, &log_, &pb::TrafficLog::add);
        QObject::connect(&link, &pb::Link::traffic, &observer_, &pb::records::RunRecordsObserver::takeTraffic);
        monitor_.resize(900, 500);
        monitor_.show();
        // Open and painted before the load starts, as a technician would have it.
        QCoreApplication::processEvents();
        monitor_.repaint();
    }
    void begin(const pb::LinkSettings& settings) {
        observer_.runStarted({pb::TestId::Dido, QDateTime::currentMSecsSinceEpoch(), settings});
    }
    void end(const pb::LinkSettings& settings) {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        observer_.runEnded({pb::TestId::Dido, now, now, pb::RunOutcome::Ok, {}, settings, {}});
    }
    bool recorded() const { return store_.isOpen(); }

private:
    QTemporaryDir dir_;
    pb::records::RecordStore store_;
    pb::records::RunRecordsObserver observer_;
    pb::TrafficLog log_;
    pb::TrafficMonitorWindow monitor_;
};

// Mean time per transaction, in microseconds.
double meanUs(const Figures& f) {
    return f.transactions > 0 ? f.seconds * 1e6 / double(f.transactions) : 0;
}

bool measure(const Options& o, bool tcp, bool record, double* mean) {
    const char* name = record ? (tcp ? "tcp, recorded" : "pty, recorded") : (tcp ? "tcp" : "pty");
    SimProcess sim;
    if (!sim.start(o.simPath, tcp, o.baud)) {
        std::fprintf(stderr, "bench_load: the simulator %s did not get ready\n",
                     qPrintable(o.simPath));
        return false;
    }
    pb::Link link;
    if (const pb::OpenResult opened = link.OpenLink(sim.settings()); !opened) {
        std::fprintf(stderr, "bench_load: %s link did not open: %s\n", name,
                     qPrintable(opened.detail));
        return false;
    }
    std::unique_ptr<Recording> recording;
    if (record) {
        recording = std::make_unique<Recording>(link);
        recording->begin(sim.settings());
    }
    const Figures f = runLoad(link, o.seconds);
    if (recording) recording->end(sim.settings());
    link.CloseLink();

    std::printf(
        "load %s: %.1f s, %lld transactions, %.0f transactions/s, %lld failures, "
        "round trip p50 %.1f us, p99 %.1f us, max %.1f us\n",
        name, f.seconds, f.transactions, double(f.transactions) / f.seconds, f.failures,
        percentileUs(f.roundTripNs, 0.50), percentileUs(f.roundTripNs, 0.99),
        percentileUs(f.roundTripNs, 1.0));
    *mean = meanUs(f);
    std::printf("load %s: mean %.2f us per transaction%s\n", name, meanUs(f),
                recording && !recording->recorded() ? " (records were off)" : "");
    if (f.failures > 0)
        std::printf("load %s: first failure: %s\n", name, qPrintable(f.firstFailure));
    std::fflush(stdout);
    return f.failures == 0;
}

Options parse(const QStringList& args) {
    Options o;
    o.simPath = QCoreApplication::applicationDirPath() + QStringLiteral("/../sim/panelbench-sim");
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--tcp")) {
            o.pty = false;
        } else if (a == QLatin1String("--pty")) {
            o.tcp = false;
        } else if (a == QLatin1String("--sim") && i + 1 < args.size()) {
            o.simPath = args[++i];
        } else if (a == QLatin1String("--baud") && i + 1 < args.size()) {
            o.baud = args[++i].toInt();
        } else if (a == QLatin1String("--record")) {
            o.record = true;
        } else if (a.toInt() > 0) {
            o.seconds = a.toInt();
        }
    }
    o.simPath = QFileInfo(o.simPath).absoluteFilePath();
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    // The monitor is a window: offscreen unless a display is chosen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const Options o = parse(app.arguments());
    bool ok = true;
    for (const bool tcp : {true, false}) {
        if (!(tcp ? o.tcp : o.pty)) continue;
        double plain = 0, recorded = 0;
        ok = measure(o, tcp, false, &plain) && ok;
        if (!o.record) continue;
        ok = measure(o, tcp, true, &recorded) && ok;
        std::printf("load %s: recording and the open monitor add %.2f us per transaction (%.1f%%)\n",
                    tcp ? "tcp" : "pty", recorded - plain, plain > 0 ? 100.0 * (recorded - plain) / plain : 0.0);
    }
    return ok ? 0 : 1;
}
