// The line's figures over a million unit tests, on SQLite and on PostgreSQL: the records
// are generated in the database (units, unit tests over 30 days on 8 stations, 4 fixtures
// of 16 sockets and 3 recipes, one in ten failed at one of five steps) in two shapes, then
// every figure is read (yields by day, shift, station, fixture, socket and recipe, the
// total, the Pareto by step and by reason, fixture health, the unit-test times overall and
// per recipe, and the upgrade and latency figures of the runs), and again with one filter
// changed: from the hours' counts, and with the distinct units counted.
//   bench_figures [RUNS]      (default 1000000)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>

#include "bench/BenchPg.h"
#include "records/figures/DurationFigures.h"
#include "records/store/FigureRollup.h"
#include "records/figures/LineFigures.h"
#include "records/store/RecordStore.h"

using namespace pb::records;

namespace {

bool Exec(QSqlDatabase db, const QString& sql) {
    QSqlQuery q(db);
    if (q.exec(sql)) return true;
    std::fprintf(stderr, "%s\n  %s\n", qPrintable(q.lastError().text()), qPrintable(sql.left(300)));
    return false;
}

// `rows` numbers i from 0, as each back end writes a series.
QString Series(bool sqlite, qint64 rows) {
    return sqlite ? QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) ")
                        .arg(rows - 1)
                  : QString();
}
QString From(bool sqlite, qint64 rows) {
    return sqlite ? QStringLiteral(" FROM n") : QStringLiteral(" FROM generate_series(0::bigint, %1) AS n(i)").arg(rows - 1);
}

// How the generated unit tests spread over the line. A line: each station keeps its fixture
// (four stations with one of 16 sockets, four testing alone) and runs one recipe a day. Scattered:
// every unit test in another station, fixture, socket and recipe than the one before, the
// most buckets the hours' counts can have.
enum class Shape { Line, Scattered };

bool Generate(RecordStore& store, qint64 runs, Shape shape) {
    QSqlDatabase db = store.database();
    const bool sqlite = db.driverName() == QLatin1String("QSQLITE");
    const qint64 units = runs * 4 / 5;  // one in five units tested again
    const qint64 day0 = QDateTime(QDate(2026, 11, 1), QTime(0, 0)).toMSecsSinceEpoch();
    const qint64 stepMs = qint64(30) * 86400000 / runs;
    const QString fail = QStringLiteral("(n.i % 10 = 3 OR (n.i % 4 = 1 AND (n.i / 4) % 16 = 5 AND n.i % 10 = 4))");
    QString recipe, fixture, socket;
    if (shape == Shape::Scattered) {
        recipe = QStringLiteral("'recipe-' || (n.i % 3)");
        fixture = QStringLiteral("'fixture-' || (n.i % 4)");
        socket = QStringLiteral("'S' || ((n.i / 4) % 16)");
    } else {
        recipe = QStringLiteral("'recipe-' || ((n.i % 8 + (n.i * %1) / 86400000) % 3)").arg(stepMs);
        fixture = QStringLiteral("CASE WHEN n.i % 8 < 4 THEN 'fixture-' || (n.i % 8) ELSE NULL END");
        socket = QStringLiteral("CASE WHEN n.i % 8 < 4 THEN 'S' || ((n.i / 8) % 16) ELSE NULL END");
    }
    QElapsedTimer counted;
    const bool made =
        db.transaction() &&
        Exec(db, Series(sqlite, units) +
                     QStringLiteral("INSERT INTO units (unit_key, serial, model_kind, first_seen_ms, last_seen_ms) "
                                    "SELECT 'unit:3:SN' || n.i, 'SN' || n.i, 3, 0, 0") + From(sqlite, units)) &&
        Exec(db, Series(sqlite, runs) +
                     QStringLiteral("INSERT INTO recipe_runs (unit_id, recipe_name, recipe_hash, station, start_ms, "
                                    "end_ms, verdict, failing_step, reason_text, fixture_name, socket_name) "
                                    "SELECT (n.i %% %1) + 1, %5, 'h', 'station-' || (n.i % 8), "
                                    "%2 + n.i * %3, %2 + n.i * %3 + 60000, "
                                    "CASE WHEN %4 THEN 'fail' ELSE 'pass' END, "
                                    "CASE WHEN %4 THEN n.i % 5 ELSE NULL END, "
                                    "CASE WHEN %4 THEN 'reason ' || (n.i % 7) ELSE NULL END, %6, %7")
                         .arg(units).arg(day0).arg(stepMs).arg(fail, recipe, fixture, socket)
                         .replace(QStringLiteral("%%"), QStringLiteral("%")) +
                     From(sqlite, runs)) &&
        Exec(db, QStringLiteral("INSERT INTO recipe_steps (recipe_run_id, step_index, kind, label, verdict, attempts) "
                                "SELECT id, failing_step, 'dido', 'step ' || failing_step, 'fail', 1 "
                                "FROM recipe_runs WHERE verdict = 'fail'"));
    if (!made) return false;
    // What the writer keeps as each unit test ends, here for all at once.
    counted.start();
    QString error;
    if (!RebuildFigures(db, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    const double countMs = double(counted.elapsed());
    if (!db.commit() || !Exec(db, QStringLiteral("ANALYZE"))) return false;
    QSqlQuery rows(db);
    rows.exec(QStringLiteral("SELECT COUNT(*) FROM recipe_run_hours"));
    std::printf("  first-test marks and hours' counts made in %.1f s: %lld rows of hours\n", countMs / 1000.0,
                rows.next() ? rows.value(0).toLongLong() : -1LL);
    return true;
}

// Every figure over `filter`, in ms; `each`: what each one took.
double AllFigures(RecordStore& store, const RunFilter& filter, bool countUnits, QString* error, QString* each = nullptr) {
    LineFigures figures(store.database());
    figures.setCountUnits(countUnits);
    QElapsedTimer t, one;
    t.start();
    qint64 seen = 0;
    const auto took = [&](const QString& what) {
        if (each) *each += QStringLiteral(" %1 %2").arg(what).arg(double(one.nsecsElapsed()) / 1e6, 0, 'f', 0);
        one.restart();
    };
    one.start();
    for (FigureBy by : {FigureBy::Day, FigureBy::Shift, FigureBy::Station, FigureBy::Fixture, FigureBy::Socket,
                        FigureBy::Recipe}) {
        seen += figures.yields(filter, by).size();
        took(FigureByName(by));
    }
    seen += figures.total(filter).tests > 0;
    took(QStringLiteral("total"));
    seen += figures.failuresByStep(filter).size() + figures.failuresByCause(filter).size();
    took(QStringLiteral("pareto"));
    seen += figures.fixtureHealth(filter).size();
    took(QStringLiteral("health"));
    DurationFigures durations(store.database());
    seen += durations.recipeTimes(filter).size();
    took(QStringLiteral("times"));
    seen += durations.upgradeTimes(filter).size() + durations.latencies(filter).size();
    took(QStringLiteral("upgrades+latency"));
    *error = !figures.error().isEmpty() ? figures.error() : durations.error();
    return seen > 0 ? double(t.nsecsElapsed()) / 1e6 : -1;
}

// What keeping the marks and counts costs a unit test as it ends, in a store this full:
// ms per unit test written (begin and end), over `count` of them.
double WriteUnitTests(RecordStore& store, int count) {
    QElapsedTimer t;
    t.start();
    const qint64 at = QDateTime(QDate(2026, 11, 20), QTime(10, 0)).toMSecsSinceEpoch();
    for (int i = 0; i < count; ++i) {
        RecipeRunStart start;
        start.recipeName = QStringLiteral("recipe-1");
        start.recipeHash = QStringLiteral("h");
        start.linkText = QStringLiteral("127.0.0.1:4001");
        start.station = QStringLiteral("station-1");
        start.fixture = QStringLiteral("fixture-1");
        start.socket = QStringLiteral("S%1").arg(i % 16);
        start.startMs = at + i * 1000;
        start.steps = {{0, "identify", "identify", "not-run", {}, 0, {}, {}}};
        const qint64 id = store.recipeWriter().beginRecipeRun(start);
        RecipeRunEnd end;
        end.endMs = start.startMs + 500;
        end.verdict = QStringLiteral("pass");
        end.steps = start.steps;
        end.identity = UnitIdentity{QStringLiteral("SN%1").arg(i * 7), 3, "KV410", "0470", "0001"};
        if (id <= 0 || !store.recipeWriter().endRecipeRun(id, end)) return -1;
    }
    return double(t.nsecsElapsed()) / 1e6 / count;
}

void Measure(const char* name, RecordStore& store, qint64 runs, Shape shape) {
    QElapsedTimer made;
    made.start();
    std::printf("%s, %s:\n", name, shape == Shape::Line ? "a line" : "scattered");
    if (!Generate(store, runs, shape)) return;
    std::printf("  %lld unit tests generated in %.1f s\n", (long long)runs, double(made.elapsed()) / 1000.0);
    std::fflush(stdout);
    QString error;
    RunFilter oneStation;
    oneStation.station = QStringLiteral("station-3");
    RunFilter oneDay;
    oneDay.fromMs = QDateTime(QDate(2026, 11, 12), QTime(0, 0)).toMSecsSinceEpoch();
    oneDay.toMs = oneDay.fromMs + 86400000;
    for (bool countUnits : {false, true}) {
        for (int pass = 0; pass < 3; ++pass) {
            QString each;
            const double all = AllFigures(store, {}, countUnits, &error, pass == 1 ? &each : nullptr);
            const double narrowed = AllFigures(store, oneStation, countUnits, &error);
            const double day = AllFigures(store, oneDay, countUnits, &error);
            std::printf("  %s pass %d: all figures %.0f ms; station filter %.0f ms; one day %.0f ms%s%s\n",
                        countUnits ? "units counted" : "from the hours", pass + 1, all, narrowed, day,
                        error.isEmpty() ? "" : "; error: ", qPrintable(error));
            if (pass == 1) std::printf("    each (ms):%s\n", qPrintable(each));
        }
    }
    std::printf("  a unit test written (begun and ended) with its marks and counts: %.2f ms\n", WriteUnitTests(store, 200));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const qint64 runs = argc > 1 ? std::atoll(argv[1]) : 1000000;
    QTemporaryDir dir;
    for (Shape shape : {Shape::Line, Shape::Scattered}) {
        RecordStore store;
        const QString file = shape == Shape::Line ? QStringLiteral("line.sqlite") : QStringLiteral("scattered.sqlite");
        if (!store.openSqlite(dir.filePath(file)).ok()) return 1;
        Measure("SQLite", store, runs, shape);
    }
    QTemporaryDir clusterDir(QStringLiteral("/tmp/pbbench-XXXXXX"));
    QString base = qEnvironmentVariable("PANELBENCH_BENCH_PG");
    const bool own = base.isEmpty();
    if (own && !pbbench::PgScript(QStringLiteral("start"), clusterDir.path(), &base)) return 1;
    for (Shape shape : {Shape::Line, Shape::Scattered}) {
        const QString url = pbbench::FreshPgDatabase(
            base, shape == Shape::Line ? QStringLiteral("bench_figures_line") : QStringLiteral("bench_figures_scattered"));
        RecordStore store;
        if (!url.isEmpty() && store.openUrl(url).ok()) Measure("PostgreSQL", store, runs, shape);
    }
    if (own) pbbench::PgScript(QStringLiteral("stop"), clusterDir.path());
    return 0;
}
