// What a USB-serial adapter's latency timer costs, with the real programs and real pauses:
// the simulated controller holds every reply until the next tick (--adapter-tick), as an
// FTDI chip holds a short reply until its latency timer runs out: 16 ms (the driver's
// default), 1 ms (low latency) and no hold, side by side, for
//   * an upgrade of each loader protocol (A: kind 3, B: kind 1, C: kind 4), of --blocks
//     blocks each (the whole images are 124, 248 and 248 blocks: the figures per block
//     carry over);
//   * the DI/DO loop (KV410) for --dido seconds, scaled to a minute.
//
//   bench_adapter [--blocks N, default 16] [--dido SECONDS, default 10] [--runs N, default 1]
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/BenchCli.h"
#include "bench/BenchSim.h"

namespace {

QString firmware(const QTemporaryDir& dir, const QByteArray& header, int size) {
    QByteArray file = header;
    file.append(QByteArray(16 - file.size(), '\0'));
    for (int i = 0; i < size; ++i) file.append(char((i * 31 + i / 64) % 251));
    const QString path = dir.filePath(QString::fromLatin1(header).simplified() + QStringLiteral(".KVF"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(file);
    return path;
}

QStringList tickArgs(int tick) {
    return tick > 0 ? QStringList{QStringLiteral("--adapter-tick"), QString::number(tick)} : QStringList{};
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char* argv[]) {
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    int blocks = 16, didoSeconds = 10, runs = 1;
    const QStringList a = app.arguments();
    for (int i = 1; i + 1 < a.size(); ++i) {
        if (a[i] == "--blocks") blocks = a[i + 1].toInt();
        if (a[i] == "--dido") didoSeconds = a[i + 1].toInt();
        if (a[i] == "--runs") runs = std::max(1, a[i + 1].toInt());
    }
    std::printf("machine: %d hardware threads; %d run(s) each, median\n", QThread::idealThreadCount(), runs);
    const int ticks[] = {0, 1, 16};

    QTemporaryDir dir;
    struct Protocol {
        const char* name;
        const char* model;
        const char* id;
        QByteArray header;
        int blockSize;
        int wholeBlocks;
    };
    const Protocol protocols[] = {{"A (kind 3)", "v5", "0001", "KV320MX-V5", 512, 124},
                                  {"B (kind 1)", "v3", "0001", "KV300MX -V3", 256, 248},
                                  {"C (kind 4)", "old20", "012", "KV150RB", 64, 248}};
    if (blocks > 0) {
        for (const Protocol& pr : protocols) {
            const QString file = firmware(dir, pr.header, blocks * pr.blockSize);
            double seconds[3] = {};
            for (int t = 0; t < 3; ++t) {
                std::vector<double> times;
                int exitCode = 0;
                for (int run = 0; run < runs; ++run) {
                    Sim sim(QStringList{"--model", pr.model, "--id", pr.id} + tickArgs(ticks[t]));
                    const CliRun r = RunCli({"upgrade", file, "--id", pr.id, "--json", "--no-records", "--tcp", sim.address()});
                    times.push_back(r.seconds);
                    exitCode = std::max(exitCode, r.exitCode);
                }
                seconds[t] = median(times);
                std::printf("upgrade protocol %s, %d blocks, hold %2d ms: %.2f s (exit %d)\n", pr.name, blocks,
                            ticks[t], seconds[t], exitCode);
            }
            const double perBlock16 = (seconds[2] - seconds[0]) / blocks, perBlock1 = (seconds[1] - seconds[0]) / blocks;
            std::printf("  protocol %s: 16 ms hold costs %.1f ms a block (%.2fx), 1 ms %.1f ms a block (%.2fx); "
                        "whole image of %d blocks: +%.1f s at 16 ms, +%.1f s at 1 ms\n",
                        pr.name, perBlock16 * 1000, seconds[2] / seconds[0], perBlock1 * 1000,
                        seconds[1] / seconds[0], pr.wholeBlocks, perBlock16 * pr.wholeBlocks,
                        perBlock1 * pr.wholeBlocks);
        }
    }
    if (didoSeconds > 0) {
        double perMinute[3] = {};
        for (int t = 0; t < 3; ++t) {
            std::vector<double> rates;
            for (int run = 0; run < runs; ++run) {
                Sim sim(QStringList{"--model", "kv410"} + tickArgs(ticks[t]));
                const CliRun r = RunCli({"dido", "--seconds", QString::number(didoSeconds), "--model-kind", "7", "--json",
                                      "--no-records", "--tcp", sim.address()});
                rates.push_back(r.resultDetail().value(QStringLiteral("cycles")).toInt() * 60.0 / didoSeconds);
            }
            perMinute[t] = median(rates);
            std::printf("dido %d s, hold %2d ms: %.0f cycles a minute (%.1f ms a cycle)\n", didoSeconds, ticks[t],
                        perMinute[t], 60000.0 / perMinute[t]);
        }
        std::printf("  a minute of DI/DO does %.0f%% of its cycles at 16 ms, %.0f%% at 1 ms (%.2fx the time per cycle at 16 ms)\n",
                    100.0 * perMinute[2] / perMinute[0], 100.0 * perMinute[1] / perMinute[0],
                    perMinute[0] / perMinute[2]);
    }
    return 0;
}
