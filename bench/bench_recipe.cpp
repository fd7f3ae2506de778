// A recipe run through panelbench-cli, with the real programs and real pauses: the bench
// check (identify, set-date, 3-cycle DI/DO) on 8 simulated controllers at once against
// one (goal: at most 1.15x one unit's time), each keeping its recipe-run record.
//
//   bench_recipe [--units N] [--runs N] [--recipe FILE]
#include <signal.h>
#include <sys/types.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench/BenchSim.h"

namespace {

// Seconds for the CLI to run the recipe on `units` fresh simulators; exit code too.
double runSeconds(const QString& recipe, int units, int& exitCode) {
    std::vector<std::unique_ptr<Sim>> sims;
    QStringList args{"run", recipe, "--json"};
    for (int i = 0; i < units; ++i) {
        sims.push_back(std::make_unique<Sim>(QStringList{"--model", "v5"}));
        args << "--tcp" << sims.back()->address();
    }
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral(PANELBENCH_CLI), args);
    p.waitForFinished(-1);
    const double s = double(t.nsecsElapsed()) / 1e9;
    exitCode = p.exitCode();
    return s;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char* argv[]) {
    QTemporaryDir dataHome;  // the records of this bench's own
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    int units = 8, runs = 3;
    QString recipe = QStringLiteral(PANELBENCH_SOURCE_DIR "/examples/recipes/bench-check.json");
    const QStringList a = app.arguments();
    for (int i = 1; i + 1 < a.size(); ++i) {
        if (a[i] == "--units") units = a[i + 1].toInt();
        if (a[i] == "--runs") runs = a[i + 1].toInt();
        if (a[i] == "--recipe") recipe = a[i + 1];
    }
    std::printf("machine: %d hardware threads; recipe %s\n", QThread::idealThreadCount(),
                qPrintable(recipe));
    std::vector<double> one, many;
    int worst = 0;
    for (int r = 0; r < runs; ++r) {
        int exit1 = 0, exitN = 0;
        one.push_back(runSeconds(recipe, 1, exit1));
        many.push_back(runSeconds(recipe, units, exitN));
        worst = std::max({worst, exit1, exitN});
        std::printf("run %d: 1 unit %.3f s, %d units %.3f s, ratio %.3f\n", r + 1, one.back(), units,
                    many.back(), many.back() / one.back());
    }
    std::printf("median: 1 unit %.3f s, %d units %.3f s, ratio %.3fx (goal <= 1.15x); worst exit %d\n",
                median(one), units, median(many), median(many) / median(one), worst);
    return worst;
}
