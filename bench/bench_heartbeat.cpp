// What a station's heartbeat costs a run: panelbench-cli identify against a simulated
// controller, with the shared records on a PostgreSQL cluster of the bench's own (the
// heartbeat beating from the start) and without them (no heartbeat), alternately. The
// figure is the unit's own time from its start to its result, as the command line reports
// it, so the program's start and the upload at its end are not in it. Goal: a ratio
// within the runs' own spread (about 1.00).
//
//   bench_heartbeat [rounds, default 20]
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/BenchCli.h"
#include "bench/BenchPg.h"
#include "bench/BenchSim.h"

namespace {

// The result event's time since the unit started, in ms; -1 when the run failed.
double ResultMs(const CliRun& r) {
    if (r.exitCode != 0) return -1;
    for (const QByteArray& line : r.out.split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.value(QStringLiteral("event")).toString() == QStringLiteral("result"))
            return o.value(QStringLiteral("ms")).toDouble();
    }
    return -1;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    QTemporaryDir clusterDir;
    QString base = qEnvironmentVariable("PANELBENCH_BENCH_PG");
    const bool own = base.isEmpty();
    if (own && !pbbench::PgScript(QStringLiteral("start"), clusterDir.path(), &base)) return 1;
    const QString url = pbbench::FreshPgDatabase(base, QStringLiteral("bench_heartbeat"));
    if (url.isEmpty()) return 1;
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    Sim sim({"--model", "v5", "--serial", "HB000001"});

    std::vector<double> with, without;
    int failed = 0;
    for (int i = 0; i < rounds; ++i) {
        const QStringList args{"identify", "--json", "--tcp", sim.address(), "--station", "bench-hb"};
        const double plain = ResultMs(RunCli(args));
        const double beating = ResultMs(RunCli(args + QStringList{"--records", url}));
        if (plain < 0 || beating < 0) {
            ++failed;
            continue;
        }
        without.push_back(plain);
        with.push_back(beating);
    }
    const double a = Median(without), b = Median(with);
    std::printf("identify, unit's time to its result (median of %zu): without heartbeat %.1f ms, "
                "with heartbeat %.1f ms, ratio %.3f; failed runs %d\n",
                with.size(), a, b, a > 0 ? b / a : 0.0, failed);
    std::printf("spread without: %.1f .. %.1f ms; with: %.1f .. %.1f ms\n",
                without.empty() ? 0 : *std::min_element(without.begin(), without.end()),
                without.empty() ? 0 : *std::max_element(without.begin(), without.end()),
                with.empty() ? 0 : *std::min_element(with.begin(), with.end()),
                with.empty() ? 0 : *std::max_element(with.begin(), with.end()));
    if (own) pbbench::PgScript(QStringLiteral("stop"), clusterDir.path());
    return failed == 0 ? 0 : 1;
}
