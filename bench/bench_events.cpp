// What a hung events broker costs a fixture run: panelbench-cli run --fixture over four
// simulated controllers (the bench check), without events and with --events to a broker
// that takes the connection and never answers, alternately. The figure is the whole
// program's time, its start and its end included (the end must not wait on the broker),
// and the units' own time to the last socket's result.
// Goal: a ratio within 1.02.
//
//   bench_events [rounds, default 10]
#include <QCoreApplication>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/BenchCli.h"
#include "bench/BenchSim.h"

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    Sim a({"--model", "v5", "--serial", "EV000001"}), b({"--model", "v5", "--serial", "EV000002"}),
        c({"--model", "v5", "--serial", "EV000003"}), d({"--model", "v5", "--serial", "EV000004"});
    const QString fixture = home.filePath(QStringLiteral("fixture.json"));
    {
        QFile f(fixture);
        f.open(QIODevice::WriteOnly);
        f.write(QStringLiteral("{\"schema\": 1, \"fixture\": \"Bench 4-up\", \"recipe\": \"%1\", \"sockets\": ["
                               "{\"name\": \"A1\", \"tcp\": \"%2\"}, {\"name\": \"A2\", \"tcp\": \"%3\"}, "
                               "{\"name\": \"A3\", \"tcp\": \"%4\"}, {\"name\": \"A4\", \"tcp\": \"%5\"}]}")
                    .arg(QStringLiteral(PANELBENCH_SOURCE_DIR "/examples/recipes/bench-check.json"), a.address(),
                         b.address(), c.address(), d.address())
                    .toUtf8());
    }
    // Listening, so the kernel takes the connection; nobody ever reads it.
    QTcpServer hung;
    hung.listen(QHostAddress::LocalHost, 0);
    const QString url = QStringLiteral("mqtt://127.0.0.1:%1/bench").arg(hung.serverPort());

    // The units' own time: the last socket's result, from the run's start.
    const auto unitsMs = [](const CliRun& r) {
        double last = 0;
        for (const QByteArray& line : r.out.split('\n')) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            if (o.value(QStringLiteral("event")).toString() == QStringLiteral("result"))
                last = std::max(last, o.value(QStringLiteral("ms")).toDouble());
        }
        return last;
    };
    std::vector<double> with, without, unitsWith, unitsWithout;
    int failed = 0;
    for (int i = 0; i < rounds; ++i) {
        const QStringList args{"run", "--fixture", fixture, "--json", "--station", "bench-ev"};
        const CliRun plain = RunCli(args);
        const CliRun stuck = RunCli(args + QStringList{"--events", url});
        if (plain.exitCode != 0 || stuck.exitCode != 0) {
            ++failed;
            continue;
        }
        without.push_back(plain.seconds * 1000);
        with.push_back(stuck.seconds * 1000);
        unitsWithout.push_back(unitsMs(plain));
        unitsWith.push_back(unitsMs(stuck));
    }
    const double x = Median(without), y = Median(with);
    std::printf("fixture run of 4 units, whole program (median of %zu): without events %.1f ms, "
                "with a hung broker %.1f ms, ratio %.3f; failed runs %d\n",
                with.size(), x, y, x > 0 ? y / x : 0.0, failed);
    const double ux = Median(unitsWithout), uy = Median(unitsWith);
    std::printf("the units' time to the last result (median): without %.1f ms, with a hung broker %.1f ms, "
                "ratio %.3f\n",
                ux, uy, ux > 0 ? uy / ux : 0.0);
    std::printf("spread without: %.1f .. %.1f ms; with: %.1f .. %.1f ms\n",
                without.empty() ? 0 : *std::min_element(without.begin(), without.end()),
                without.empty() ? 0 : *std::max_element(without.begin(), without.end()),
                with.empty() ? 0 : *std::min_element(with.begin(), with.end()),
                with.empty() ? 0 : *std::max_element(with.begin(), with.end()));
    return failed == 0 ? 0 : 1;
}
