// The records window's charts page redrawn over a large store: unit tests generated in the
// database (over 30 days, 8 stations, 4 fixtures of 16 sockets, 3 recipes, times of 50 to
// 80 s, one in ten failed), and procedure runs each keeping the traffic of its exchanges
// (replies 5 to 400 ms after their commands). Each pass sets a filter the page has not
// drawn (the whole store, one station, one day), which reads every figure and draws every
// chart (yield, Pareto, fixture health, unit-test time, reply latency); then the page is
// painted. SQLite on the local disk, the page offscreen.
//   bench_charts [UNIT_TESTS [TRAFFIC_RUNS [EXCHANGES]]]   (default 200000 2000 200)
#include <QApplication>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>

#include "app/RecordsChartsPage.h"
#include "records/figures/DurationFigures.h"
#include "records/store/FigureRollup.h"
#include "records/figures/LineFigures.h"
#include "records/store/RecordStore.h"
#include "records/store/ReplyLatencies.h"
#include "records/store/CappedTraffic.h"

using namespace pb::records;

namespace {

bool Exec(QSqlDatabase db, const QString& sql) {
    QSqlQuery q(db);
    if (q.exec(sql)) return true;
    std::fprintf(stderr, "%s\n  %s\n", qPrintable(q.lastError().text()), qPrintable(sql.left(300)));
    return false;
}

// The first-test marks and hourly counts the writer keeps as each unit test ends, made
// for the generated ones at once.
bool Rebuilt(QSqlDatabase db) {
    QString error;
    if (pb::records::RebuildFigures(db, &error)) return true;
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return false;
}

const qint64 kDay0 = QDateTime(QDate(2026, 11, 1), QTime(0, 0)).toMSecsSinceEpoch();

bool GenerateUnitTests(QSqlDatabase db, qint64 runs) {
    const qint64 units = runs * 4 / 5;
    const qint64 stepMs = qint64(30) * 86400000 / runs;
    const QString series = QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) ");
    return db.transaction() &&
           Exec(db, series.arg(units - 1) +
                        QStringLiteral("INSERT INTO units (unit_key, serial, model_kind, first_seen_ms, last_seen_ms) "
                                       "SELECT 'unit:3:SN' || n.i, 'SN' || n.i, 3, 0, 0 FROM n")) &&
           Exec(db, series.arg(runs - 1) +
                        QStringLiteral("INSERT INTO recipe_runs (unit_id, recipe_name, recipe_hash, station, start_ms, "
                                       "end_ms, verdict, failing_step, fixture_name, socket_name) "
                                       "SELECT (n.i % %1) + 1, 'recipe-' || (n.i % 3), 'h', 'station-' || (n.i % 8), "
                                       "%2 + n.i * %3, %2 + n.i * %3 + 50000 + (n.i * 7919) % 30000, "
                                       "CASE WHEN n.i % 10 = 3 THEN 'fail' ELSE 'pass' END, "
                                       "CASE WHEN n.i % 10 = 3 THEN n.i % 5 ELSE NULL END, "
                                       "'fixture-' || (n.i % 4), 'S' || ((n.i / 4) % 16) FROM n")
                            .arg(units).arg(kDay0).arg(stepMs)) &&
           Exec(db, QStringLiteral("INSERT INTO recipe_steps (recipe_run_id, step_index, kind, label, verdict, attempts) "
                                   "SELECT id, failing_step, 'dido', 'step ' || failing_step, 'fail', 1 "
                                   "FROM recipe_runs WHERE verdict = 'fail'")) &&
           Rebuilt(db) && db.commit();
}

// Runs of 8 stations (half serial, half TCP) with `exchanges` commands and replies each.
bool GenerateTraffic(QSqlDatabase db, qint64 runs, int exchanges) {
    if (!db.transaction()) return false;
    QSqlQuery run(db), traffic(db);
    run.prepare(QStringLiteral("INSERT INTO runs (unit_id, station, link_text, procedure_id, start_ms, end_ms, outcome) "
                               "VALUES (?, ?, ?, 'dido', ?, ?, 'ok')"));
    traffic.prepare(QStringLiteral("INSERT INTO traffic (run_id, frame_count, dropped, data) VALUES (?, ?, 0, ?)"));
    QList<QByteArray> blobs;  // a few kinds of run, each its own latencies
    for (int kind = 0; kind < 16; ++kind) {
        KeptTraffic t;
        for (int i = 0; i < exchanges; ++i) {
            const qint64 at = qint64(i) * 1000;
            t.frames << TrafficFrame{at, Direction::Sent, QByteArray("\x01" "0000AC\x02" "DE5B\r"), "good", {}};
            t.frames << TrafficFrame{at + 5 + (i * 37 + kind * 11) % 395, Direction::Received,
                                     QByteArray("\x03" "OK\x04" "1234\r"), "good", {}};
        }
        blobs << EncodeTraffic(t);
    }
    for (qint64 i = 0; i < runs; ++i) {
        const int station = int(i % 8);
        const qint64 start = kDay0 + i * (qint64(30) * 86400000 / runs);
        run.addBindValue(i + 1);
        run.addBindValue(QStringLiteral("station-%1").arg(station));
        // Link texts only, as kept: a pseudo-terminal's or a loopback address.
        run.addBindValue(station < 4 ? QStringLiteral("/dev/pts/4%1 9600").arg(station)
                                     : QStringLiteral("127.0.0.1:400%1").arg(station));
        run.addBindValue(start);
        run.addBindValue(start + exchanges * 1000);
        if (!run.exec()) return false;
        traffic.addBindValue(run.lastInsertId().toLongLong());
        traffic.addBindValue(exchanges * 2);
        traffic.addBindValue(blobs[int(i % blobs.size())]);
        if (!traffic.exec()) return false;
    }
    // Their latencies, as the writer keeps them with each run's traffic.
    QString error;
    if (!pb::records::FillReplyLatencies(db, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    return db.commit() && Exec(db, QStringLiteral("ANALYZE"));
}

}  // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qint64 unitTests = argc > 1 ? std::atoll(argv[1]) : 200000;
    const qint64 trafficRuns = argc > 2 ? std::atoll(argv[2]) : 2000;
    const int exchanges = argc > 3 ? std::atoi(argv[3]) : 200;
    QTemporaryDir dir;
    RecordStore store;
    if (!store.openSqlite(dir.filePath(QStringLiteral("charts.sqlite"))).ok()) return 1;
    QElapsedTimer made;
    made.start();
    if (!GenerateUnitTests(store.database(), unitTests) || !GenerateTraffic(store.database(), trafficRuns, exchanges))
        return 1;
    std::printf("SQLite: %lld unit tests, %lld runs of %d exchanges generated in %.1f s\n", (long long)unitTests,
                (long long)trafficRuns, exchanges, double(made.elapsed()) / 1000.0);

    RecordsChartsPage page(store.database(), 0);
    page.resize(1200, 700);
    page.show();
    RunFilter oneStation;
    oneStation.station = QStringLiteral("station-3");
    RunFilter oneDay;
    oneDay.fromMs = kDay0 + 11 * qint64(86400000);
    oneDay.toMs = oneDay.fromMs + 86400000;
    const struct { const char* name; RunFilter filter; } filters[] = {
        {"whole store", {}}, {"one station", oneStation}, {"one day", oneDay}};
    for (int pass = 0; pass < 3; ++pass) {
        for (const auto& f : filters) {
            // A filter the page shows now: first another, so that this one is drawn afresh.
            RunFilter other = f.filter;
            other.serial = QStringLiteral("none such");
            page.setFilter(other);
            QElapsedTimer t;
            t.start();
            page.setFilter(f.filter);
            const double drawn = double(t.nsecsElapsed()) / 1e6;
            page.grab();
            const double painted = double(t.nsecsElapsed()) / 1e6;
            // The line's figures the page reads, and the distributions' reads, each alone.
            LineFigures figures(store.database());
            figures.setCountUnits(false);
            t.restart();
            figures.yields(f.filter, FigureBy::Day);
            figures.failuresByStep(f.filter);
            figures.fixtureHealth(f.filter);
            const double lineFigures = double(t.nsecsElapsed()) / 1e6;
            DurationFigures durations(store.database());
            t.restart();
            const qint64 tests = durations.everyRecipeTimes(f.filter).times.count;
            const double testTimes = double(t.nsecsElapsed()) / 1e6;
            t.restart();
            const qint64 replies = durations.latencies(f.filter).value(0).times.count;
            const double latency = double(t.nsecsElapsed()) / 1e6;
            std::printf("  pass %d, %s: redraw %.0f ms, painted %.0f ms (line figures %.0f ms; unit-test times %.0f ms "
                        "of %lld; latency %.0f ms of %lld replies)\n",
                        pass + 1, f.name, drawn, painted, lineFigures, testTimes, (long long)tests, latency,
                        (long long)replies);
        }
    }
    return 0;
}
