// panelbench-cli figures, with the real programs and real pauses:
//   * an upgrade of 8 simulated units at once against one unit (protocols A and B):
//     the ratio of the total times (goal: at most 1.15);
//   * start-up: from starting the program to the first frame the simulator receives;
//   * the DI/DO loop on 8 units for a given time: failed transactions and memory.
//
//   bench_cli [--units N] [--blocks N] [--dido SECONDS] [--runs N]
#include <sys/types.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <signal.h>
#include <vector>

#include "bench/BenchCli.h"
#include "bench/BenchSim.h"

namespace {

QByteArray image(int size) {
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i) b[i] = char((i * 31 + i / 64) % 251);
    return b;
}

QString firmware(const QTemporaryDir& dir, const QByteArray& header, int size) {
    QByteArray h = header;
    h.append(QByteArray(16 - h.size(), '\0'));
    const QString path = dir.filePath(QString::fromLatin1(header).simplified() + ".bin");
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(h + image(size));
    return path;
}

double upgradeSeconds(const QString& model, const QString& file, int units, int& exitCode) {
    std::vector<std::unique_ptr<Sim>> sims;
    QStringList args{"upgrade", file, "--id", "0001", "--json"};
    for (int i = 0; i < units; ++i) {
        sims.push_back(std::make_unique<Sim>(QStringList{"--model", model, "--id", "0001"}));
        args << "--tcp" << sims.back()->address();
    }
    const CliRun r = RunCli(args);
    exitCode = r.exitCode;
    return r.seconds;
}

// From the start of the program to the simulator printing the first frame it received.
double startupMs() {
    Sim sim({"--model", "kv410"}, /*quiet=*/false);
    sim.process().readAllStandardOutput();
    QProcess cli;
    QElapsedTimer t;
    t.start();
    cli.start(QStringLiteral(PANELBENCH_CLI), {"alarm", "0", "--model-kind", "7", "--tcp", sim.address()});
    double ms = -1;
    QByteArray seen;
    QDeadlineTimer d(10000);
    while (ms < 0 && !d.hasExpired()) {
        sim.process().waitForReadyRead(1);
        seen += sim.process().readAllStandardOutput();
        if (seen.contains(" <- ")) ms = double(t.nsecsElapsed()) / 1e6;
    }
    cli.waitForFinished(10000);
    return ms;
}

long rssKb(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

void dido(int units, int seconds) {
    std::vector<std::unique_ptr<Sim>> sims;
    QStringList args{"dido", "--seconds", QString::number(seconds), "--model-kind", "7", "--json", "--traffic"};
    for (int i = 0; i < units; ++i) {
        sims.push_back(std::make_unique<Sim>(QStringList{"--model", "kv410"}));
        args << "--tcp" << sims.back()->address();
    }
    QProcess p;
    p.start(QStringLiteral(PANELBENCH_CLI), args);
    p.waitForStarted();
    std::vector<long> rss;
    qint64 sent = 0, failed = 0;
    int cycles = 0, okUnits = 0;
    QByteArray pending;
    QElapsedTimer sample;
    sample.start();
    auto take = [&] {
        pending += p.readAllStandardOutput();
        qsizetype nl;
        while ((nl = pending.indexOf('\n')) >= 0) {
            const QJsonObject o = QJsonDocument::fromJson(pending.left(nl)).object();
            pending.remove(0, nl + 1);
            const QString e = o.value("event").toString();
            if (e == "frame" && o.value("dir").toString() == "sent") ++sent;
            if (e == "frame" && o.value("dir").toString() == "failed") ++failed;
            if (e == "result") {
                cycles += o.value("detail").toObject().value("cycles").toInt();
                okUnits += o.value("exit").toInt() == 0;
            }
        }
    };
    while (p.state() == QProcess::Running) {
        p.waitForReadyRead(200);
        take();
        if (sample.elapsed() >= 5000) {
            rss.push_back(rssKb(p.processId()));
            sample.restart();
        }
    }
    take();
    std::printf("dido: %d units for %d s: %lld transactions, %lld failed, %d cycles, %d/%d units ok\n", units,
                seconds, sent, failed, cycles, okUnits, units);
    if (!rss.empty())
        std::printf("dido: CLI resident memory first/last/max sample %ld/%ld/%ld kB (%zu samples)\n", rss.front(),
                    rss.back(), *std::max_element(rss.begin(), rss.end()), rss.size());
}

}  // namespace

int main(int argc, char* argv[]) {
    // The programs keep their unit records as usual, in a folder of this run's own.
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    int units = 8, blocks = 64, didoSeconds = 0, runs = 1;
    const QStringList a = app.arguments();
    for (int i = 1; i + 1 < a.size(); ++i) {
        if (a[i] == "--units") units = a[i + 1].toInt();
        if (a[i] == "--blocks") blocks = a[i + 1].toInt();
        if (a[i] == "--dido") didoSeconds = a[i + 1].toInt();
        if (a[i] == "--runs") runs = a[i + 1].toInt();
    }
    std::printf("machine: %d hardware threads\n", QThread::idealThreadCount());

    std::vector<double> starts;
    for (int i = 0; i < 10; ++i) starts.push_back(startupMs());
    std::sort(starts.begin(), starts.end());
    // The procedure itself waits 100 ms before its first command, as the window does.
    std::printf("first frame after program start: median %.1f ms, max %.1f ms (10 runs); "
                "less the procedure's 100 ms pause: start-up median %.1f ms\n",
                starts[5], starts.back(), starts[5] - 100.0);

    QTemporaryDir dir;
    struct Protocol {
        const char* name;
        const char* model;
        QByteArray header;
        int blockSize;
    };
    if (blocks > 0) {
        for (const Protocol& pr : {Protocol{"A", "v5", "KV320MX-V5", 512}, Protocol{"B", "v2", "KV200MX -V2", 256}}) {
            const QString file = firmware(dir, pr.header, blocks * pr.blockSize);
            for (int run = 0; run < runs; ++run) {
                int exitOne = -1, exitMany = -1;
                const double one = upgradeSeconds(pr.model, file, 1, exitOne);
                const double many = upgradeSeconds(pr.model, file, units, exitMany);
                std::printf("upgrade protocol %s, %d blocks: 1 unit %.2f s (exit %d), %d units %.2f s (exit %d), ratio %.3f\n",
                            pr.name, blocks, one, exitOne, units, many, exitMany, many / one);
            }
        }
    }
    if (didoSeconds > 0) dido(units, didoSeconds);
    return 0;
}
