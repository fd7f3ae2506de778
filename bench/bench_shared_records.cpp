// Shared records figures, on a PostgreSQL server on this machine (a throwaway cluster
// made by scripts/pg-cluster.sh, or the server named by PANELBENCH_BENCH_PG):
//  1. eight stations, each writing N runs (default 1000) to its own SQLite file with the
//     outbox while its uploader sends them: runs per second reaching the server, runs
//     lost or duplicated (goal 0), and the time a run costs the station with the outbox
//     against without it (goal: under 5 ms added);
//  2. a station's day of 2000 queued runs sent when the server is back: time taken.
//
//   bench_shared_records [runs per station, default 1000] [queued runs, default 2000]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

#include "records/store/RecordStore.h"
#include "records/sync/RecordsUploader.h"
#include "records/store/ServerAddress.h"
#include "bench/BenchPg.h"

using namespace pb::records;

namespace {

constexpr int kStations = 8;

// One run as a station records it: begin, a few frames, end.
void RecordRun(RecordStore& store, int station, int i) {
    RunStart start;
    start.procedure = QStringLiteral("firmware-upgrade");
    start.linkText = QStringLiteral("127.0.0.1:%1").arg(4000 + station);
    start.station = QStringLiteral("bench-%1").arg(station + 1);
    start.operatorName = QStringLiteral("Li Wei");
    start.startMs = 1765180800000 + qint64(i) * 1000;
    start.unit.serial = QStringLiteral("KV-%1").arg(i % 100, 4, 10, QLatin1Char('0'));
    const qint64 id = store.writer().beginRun(start);
    KeptTraffic traffic;
    for (int f = 0; f < 20; ++f)
        traffic.frames.append({start.startMs + f, f % 2 ? Direction::Received : Direction::Sent,
                               QByteArray("\x01" "0001AS") + QByteArray::number(f) + '\r', QStringLiteral("good"), {}});
    store.writer().saveTraffic(id, traffic);
    RunEnd end;
    end.endMs = start.startMs + 900;
    end.outcome = Outcome::Ok;
    end.statusText = QStringLiteral("Firmware upgrade finished.");
    end.details = QJsonObject{{"file", QJsonObject{{"name", "KV410_V130.bin"}, {"sha256", "9f86d081884c7d65"}}},
                              {"versionBefore", "V1.20"}, {"versionAfter", "V1.30"}};
    end.identity = UnitIdentity{start.unit.serial, 3, QStringLiteral("KV410"), QStringLiteral("V1.30"), QStringLiteral("01")};
    store.writer().endRun(id, end);
}

// Mean and 99th percentile in ms.
std::pair<double, double> Spread(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double v : ms) sum += v;
    return {sum / double(ms.size()), ms[size_t(double(ms.size() - 1) * 0.99)]};
}

qint64 Count(RecordStore& store, const QString& sql) {
    QSqlQuery q(store.database());
    return q.exec(sql) && q.next() ? q.value(0).toLongLong() : -1;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int perStation = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int queuedRuns = argc > 2 ? std::atoi(argv[2]) : 2000;
    QTemporaryDir clusterDir(QStringLiteral("/tmp/pbbench-XXXXXX"));
    QString base = qEnvironmentVariable("PANELBENCH_BENCH_PG");
    const bool own = base.isEmpty();
    if (own && !pbbench::PgScript(QStringLiteral("start"), clusterDir.path(), &base)) return 1;
    QTemporaryDir dir;

    // --- 1. Eight stations at once ---
    const QString url = pbbench::FreshPgDatabase(base, QStringLiteral("bench_line"));
    if (url.isEmpty()) return 1;
    {
        RecordStore schema;  // made once before the stations start
        if (!schema.openUrl(url).ok()) return std::fprintf(stderr, "%s\n", qPrintable(schema.status().detail)), 1;
    }
    // Without the outbox first: what recording a run costs a station anyway.
    std::vector<double> plain;
    {
        RecordStore store;
        store.openSqlite(dir.filePath(QStringLiteral("plain.sqlite")));
        for (int i = 0; i < perStation; ++i) {
            QElapsedTimer t;
            t.start();
            RecordRun(store, 0, i);
            plain.push_back(double(t.nsecsElapsed()) / 1e6);
        }
    }
    // One station with the outbox and its uploader sending meanwhile, as at a real station.
    std::vector<double> alone;
    {
        const QString soloUrl = pbbench::FreshPgDatabase(base, QStringLiteral("bench_solo"));
        const QString path = dir.filePath(QStringLiteral("solo.sqlite"));
        RecordStore store;
        store.setOutbox(true);
        store.openSqlite(path);
        RecordsUploader uploader(path, soloUrl, 100);
        for (int i = 0; i < perStation; ++i) {
            QElapsedTimer t;
            t.start();
            RecordRun(store, 0, i);
            alone.push_back(double(t.nsecsElapsed()) / 1e6);
            uploader.kick();
        }
    }
    std::vector<std::unique_ptr<RecordsUploader>> uploaders;
    std::vector<std::vector<double>> costs(kStations);
    std::atomic_int writersDone{0};
    std::vector<qint64> waiting(kStations, -1);
    QElapsedTimer wall;
    wall.start();
    std::vector<QThread*> writers;
    for (int s = 0; s < kStations; ++s) {
        const QString path = dir.filePath(QStringLiteral("station-%1.sqlite").arg(s));
        {
            RecordStore make;  // the file and its schema before the uploader opens it
            make.setOutbox(true);
            make.openSqlite(path);
        }
        uploaders.push_back(std::make_unique<RecordsUploader>(path, url, 100));
        QObject::connect(uploaders.back().get(), &RecordsUploader::progress, &app,
                         [&waiting, s](qint64 n, const RecordsStatus&) { waiting[size_t(s)] = n; });
        writers.push_back(QThread::create([&, s, path] {
            RecordStore store;
            store.setOutbox(true);
            store.openSqlite(path);
            for (int i = 0; i < perStation; ++i) {
                QElapsedTimer t;
                t.start();
                RecordRun(store, s, i);
                costs[size_t(s)].push_back(double(t.nsecsElapsed()) / 1e6);
            }
            ++writersDone;
        }));
        writers.back()->start();
    }
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (writersDone < kStations) return;
        for (qint64 n : waiting)
            if (n != 0) return;
        loop.quit();
    });
    poll.start(20);
    loop.exec();
    const double seconds = double(wall.elapsed()) / 1000.0;
    for (QThread* t : writers) {
        t->wait();
        delete t;
    }
    uploaders.clear();
    std::vector<double> all;
    for (const auto& c : costs) all.insert(all.end(), c.begin(), c.end());
    RecordStore server;
    server.openUrl(url);
    const qint64 total = qint64(kStations) * perStation;
    const qint64 runs = Count(server, QStringLiteral("SELECT COUNT(*) FROM runs"));
    const qint64 distinct = Count(server, QStringLiteral("SELECT COUNT(*) FROM (SELECT DISTINCT origin, local_run_id FROM runs) d"));
    const qint64 units = Count(server, QStringLiteral("SELECT COUNT(*) FROM units"));
    const auto [plainMean, plainP99] = Spread(plain);
    const auto [mean, p99] = Spread(all);
    const auto [aloneMean, aloneP99] = Spread(alone);
    std::printf("%d stations x %d runs into one server: %.1f s, %.0f runs/s on the server\n", kStations, perStation,
                seconds, double(total) / seconds);
    std::printf("  on the server: %lld runs (%lld lost, %lld duplicated), %lld units (expected 100)\n", runs,
                total - distinct, runs - distinct, units);
    std::printf("  a run at a station: %.2f ms mean, %.2f ms p99 without a server;\n"
                "  %.2f ms mean, %.2f ms p99 with the outbox and its uploader sending: %.2f ms added;\n"
                "  %.2f ms mean, %.2f ms p99 with 8 stations and their uploaders on this one PC\n",
                plainMean, plainP99, aloneMean, aloneP99, aloneMean - plainMean, mean, p99);
    server.close();

    // --- 2. A day's queue sent at once ---
    const QString dayUrl = pbbench::FreshPgDatabase(base, QStringLiteral("bench_day"));
    const QString dayPath = dir.filePath(QStringLiteral("day.sqlite"));
    {
        RecordStore station;
        station.setOutbox(true);
        station.openSqlite(dayPath);
        for (int i = 0; i < queuedRuns; ++i) RecordRun(station, 0, i);
    }
    QElapsedTimer sendTime;
    sendTime.start();
    const UploadResult sent = SendQueued(dayPath, dayUrl);
    const double sendSeconds = double(sendTime.elapsed()) / 1000.0;
    std::printf("%d queued runs sent: %.2f s (%.0f runs/s), %lld sent, %lld still waiting\n", queuedRuns, sendSeconds,
                double(sent.sent) / sendSeconds, sent.sent, sent.waiting);

    if (own) pbbench::PgScript(QStringLiteral("stop"), clusterDir.path());
    return runs == total && distinct == total && sent.waiting == 0 ? 0 : 1;
}
