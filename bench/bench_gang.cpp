// A fixture of 1, 8 and 16 sockets through the gang runner, each socket's controller a
// simulator process of its own on 127.0.0.1, real pauses: a recipe of identify, DI/DO and a
// protocol A upgrade (kind 6). Prints each fixture run's time and its ratio to one socket,
// how late a timer of the runner's thread (the window's, in the station) was served while
// the units ran, and the memory over many fixture runs of a short recipe.
//   bench_gang [--blocks N] [--runs N]     (defaults 16 blocks, 50 runs)
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench/BenchSim.h"
#include "multiup/FixtureLoader.h"
#include "gang/GangRunner.h"
#include "sim/SimFirmwareFile.h"

namespace {

long RssKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(bytes);
}

// A firmware file the simulated V6 takes: its header, then `blocks` 512-byte blocks.
QByteArray Firmware(const QString& path, int blocks) {
    const std::optional<QByteArray> model = sim::firmwareFileFor(sim::Model::V6);
    if (!model) return {};
    QByteArray bytes = model->left(16);
    for (int i = 0; i < blocks * 512; ++i) bytes.append(char((i * 7 + i / 512) & 0xFF));
    Write(path, bytes);
    return bytes;
}

struct Timed {
    double seconds = 0;
    double latestMs = 0;  // the worst lateness of a 20 ms timer meanwhile
    int passed = 0;
};

Timed RunFixture(const QString& fixturePath, int sockets, const QString& records) {
    const pb::FixtureLoad load = pb::loadFixtureFile(fixturePath);
    if (!load.fixture) {
        for (const auto& m : load.mistakes) std::fprintf(stderr, "%s\n", qPrintable(m.text(0)));
        return {};
    }
    pb::GangRunner gang(*load.fixture, {records, false, QStringLiteral("bench"), QStringLiteral("bench")});
    Timed t;
    QObject::connect(&gang, &pb::GangRunner::news, [&t](const pb::SocketNews& n) {
        if (n.kind == pb::SocketNews::Kind::Ended && n.verdict.passed) ++t.passed;
    });
    QList<pb::GangUnit> units;
    for (int i = 0; i < sockets; ++i) units.append(pb::GangUnit{i, QString()});
    QEventLoop loop;
    QObject::connect(&gang, &pb::GangRunner::allEnded, &loop, &QEventLoop::quit);
    QElapsedTimer since, tick;
    QTimer probe;
    probe.setInterval(20);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        t.latestMs = std::max(t.latestMs, double(tick.nsecsElapsed()) / 1e6 - 20.0);
        tick.restart();
    });
    since.start();
    tick.start();
    probe.start();
    if (!gang.start(units)) return {};
    loop.exec();
    t.seconds = double(since.nsecsElapsed()) / 1e9;
    return t;
}

QString FixtureText(const std::vector<std::unique_ptr<Sim>>& sims, int sockets, const QString& recipe) {
    QStringList list;
    for (int i = 0; i < sockets; ++i)
        list << QStringLiteral(R"({"name": "S%1", "tcp": "%2"})").arg(i + 1).arg(sims[size_t(i)]->address());
    return QStringLiteral(R"({"schema": 1, "fixture": "bench", "recipe": "%1", "sockets": [%2]})")
        .arg(recipe, list.join(QStringLiteral(", ")));
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    int blocks = 16, runs = 50;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (QByteArray(argv[i]) == "--blocks") blocks = std::atoi(argv[i + 1]);
        if (QByteArray(argv[i]) == "--runs") runs = std::atoi(argv[i + 1]);
    }
    QTemporaryDir dir;
    const QString firmware = dir.filePath(QStringLiteral("fw.KVF"));
    const QByteArray image = Firmware(firmware, blocks);
    if (image.isEmpty()) return std::fprintf(stderr, "no firmware file\n"), 1;
    const QByteArray sha = QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex();
    Write(dir.filePath(QStringLiteral("full.json")),
          R"({"schema": 1, "product": "bench", "steps": [{"kind": "identify"},
              {"kind": "dido", "cycles": 3, "patterns": [{"outputs": "0000", "inputs": "00000000"}]},
              {"kind": "upgrade", "file": "fw.KVF", "sha256": ")" + sha +
              R"(", "version": {"min": "V6.01.00"}, "always": true}]})");
    Write(dir.filePath(QStringLiteral("short.json")),
          R"({"schema": 1, "product": "bench", "steps": [{"kind": "identify"},
              {"kind": "dido", "cycles": 1, "patterns": [{"outputs": "0000", "inputs": "00000000"}]}]})");

    std::vector<std::unique_ptr<Sim>> sims;
    for (int i = 0; i < 16; ++i) sims.push_back(std::make_unique<Sim>(QStringList{"--model", "v6"}));

    std::printf("identify, DI/DO and a %d-block protocol A upgrade, real pauses\n", blocks);
    double one = 0;
    for (int sockets : {1, 8, 16}) {
        const QString path = dir.filePath(QStringLiteral("fixture%1.json").arg(sockets));
        Write(path, FixtureText(sims, sockets, QStringLiteral("full.json")).toUtf8());
        const Timed t = RunFixture(path, sockets, dir.filePath(QStringLiteral("records.sqlite")));
        if (sockets == 1) one = t.seconds;
        std::printf("  %2d sockets: %.2f s, ratio %.3f, %d passed; the runner's thread served a 20 ms timer at most "
                    "%.1f ms late\n",
                    sockets, t.seconds, one > 0 ? t.seconds / one : 0.0, t.passed, t.latestMs);
    }

    const QString shortPath = dir.filePath(QStringLiteral("fixture-short.json"));
    Write(shortPath, FixtureText(sims, 16, QStringLiteral("short.json")).toUtf8());
    std::printf("%d fixture runs of 16 sockets (identify, one DI/DO cycle), memory:\n", runs);
    long first = 0;
    for (int run = 1; run <= runs; ++run) {
        const Timed t = RunFixture(shortPath, 16, dir.filePath(QStringLiteral("records.sqlite")));
        if (run == 1) first = RssKb();
        if (run == 1 || run == 10 || run == runs)
            std::printf("  after run %2d: %ld kB resident (%+ld kB since run 1), %d passed\n", run, RssKb(),
                        RssKb() - first, t.passed);
    }
    return 0;
}
