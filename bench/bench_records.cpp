// Records figures: exporting 10,000 runs of one unit to JSON, CSV and its HTML report
// (goal: each under 2 s), and opening the records window on 100,000 runs to its first
// page (goal: under 0.5 s). The runs are written straight into a fresh SQLite file in a
// temporary folder, in one transaction, with details like a real run's.
//
//   bench_records [total runs, default 100000] [rounds, default 3]

#include <QApplication>
#include <QElapsedTimer>
#include <QHostInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "app/RecordsWindow.h"
#include "records/store/RecordStore.h"
#include "records/exports/RecordsExport.h"

using namespace pb::records;

namespace {

constexpr int kBigUnitRuns = 10000;
constexpr int kUnits = 50;

// Fills the store: unit 1 ("KV-BIG") gets kBigUnitRuns runs, the rest share the others.
bool Fill(RecordStore& store, int total) {
    QSqlDatabase db = store.database();
    const qint64 base = 1765180800000;  // 2025-12-08
    db.transaction();
    QSqlQuery unit(db);
    unit.prepare(QStringLiteral(
        "INSERT INTO units (unit_key, serial, link_text, model_kind, model_text, version, "
        "device_id, first_seen_ms, last_seen_ms) VALUES (?, ?, '127.0.0.1:4001', 3, 'KV410', "
        "'V1.30', '01', ?, ?)"));
    for (int u = 1; u <= kUnits; ++u) {
        const QString serial = u == 1 ? QStringLiteral("KV-BIG") : QStringLiteral("KV-%1").arg(u, 4, 10, QChar(u'0'));
        unit.addBindValue(u'S' + serial);
        unit.addBindValue(serial);
        unit.addBindValue(base);
        unit.addBindValue(base + qint64(total) * 60000);
        if (!unit.exec()) return false;
    }
    const char* procedures[] = {"connect", "dido", "set-date", "alarm", "polling", "firmware-upgrade"};
    QSqlQuery run(db);
    run.prepare(QStringLiteral(
        "INSERT INTO runs (unit_id, station, operator_name, writer, link_text, procedure_id, "
        "start_ms, end_ms, outcome, status_text, details) VALUES (?, ?, 'Li Wei', '', "
        "'127.0.0.1:4001', ?, ?, ?, ?, 'Command finished.', ?)"));
    const QString station = QHostInfo::localHostName();
    for (int i = 0; i < total; ++i) {
        const int unitId = i < kBigUnitRuns ? 1 : 2 + i % (kUnits - 1);
        const char* procedure = procedures[i % 6];
        QJsonObject details{{"cycles", i % 50}, {"inputs", "0101"}};
        if (i % 6 == 5)
            details = {{"file", QJsonObject{{"name", "KV410_V130.bin"}, {"size", 63488},
                                            {"sha256", QString(64, u'a')}}},
                       {"blocksProgrammed", 124}, {"blocksVerified", 124},
                       {"versionBefore", "V1.20"}, {"versionAfter", "V1.30"}};
        const qint64 start = base + qint64(i) * 60000;
        run.addBindValue(unitId);
        run.addBindValue(station);
        run.addBindValue(QLatin1String(procedure));
        run.addBindValue(start);
        run.addBindValue(start + 2500);
        run.addBindValue(i % 17 == 0 ? QStringLiteral("error") : QStringLiteral("ok"));
        run.addBindValue(QString::fromUtf8(QJsonDocument(details).toJson(QJsonDocument::Compact)));
        if (!run.exec()) return false;
    }
    return db.commit();
}

double MedianMs(int rounds, const std::function<void()>& work) {
    std::vector<double> times;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int total = argc > 1 ? std::max(kBigUnitRuns + kUnits, atoi(argv[1])) : 100000;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 3;

    QTemporaryDir dir;
    RecordStore store;
    if (!store.openSqlite(dir.filePath(QStringLiteral("records.sqlite"))).ok()) {
        std::fprintf(stderr, "cannot open the store: %s\n", qPrintable(store.status().detail));
        return 1;
    }
    QElapsedTimer fill;
    fill.start();
    if (!Fill(store, total)) {
        std::fprintf(stderr, "cannot fill the store\n");
        return 1;
    }
    std::printf("filled %d runs in %lld ms\n", total, static_cast<long long>(fill.elapsed()));

    RunFilter bigUnit;
    bigUnit.unitId = 1;
    qsizetype bytes = 0;
    const double json = MedianMs(rounds, [&] { bytes = ExportJson(store, bigUnit).size(); });
    std::printf("JSON export, %d runs: %.1f ms (%lld bytes)\n", kBigUnitRuns, json, static_cast<long long>(bytes));
    const double csv = MedianMs(rounds, [&] { bytes = ExportCsv(store, bigUnit).size(); });
    std::printf("CSV export, %d runs: %.1f ms (%lld bytes)\n", kBigUnitRuns, csv, static_cast<long long>(bytes));
    const double html = MedianMs(rounds, [&] { bytes = UnitReportHtml(store, 1, 0).size(); });
    std::printf("HTML report, %d runs: %.1f ms (%lld characters)\n", kBigUnitRuns, html, static_cast<long long>(bytes));

    // The window: built, shown and painted with its first page of runs.
    qsizetype firstPage = 0;
    const double window = MedianMs(rounds, [&] {
        RecordsWindow w(store, 0);
        w.show();
        QCoreApplication::processEvents();
        w.repaint();
        firstPage = w.runsView()->model()->rowCount();
    });
    std::printf("records window on %d runs, first page (%lld rows fetched): %.1f ms\n", total,
                static_cast<long long>(firstPage), window);
    // The same with a filter the index does not serve (an outcome).
    const double filtered = MedianMs(rounds, [&] {
        RunFilter f;
        f.outcome = Outcome::Error;
        QSqlQuery q = store.queries().runsQuery(f);
        for (int i = 0; i < 256 && q.next(); ++i) {
        }
    });
    std::printf("runs query filtered by outcome, first 256 rows: %.1f ms\n", filtered);
    const bool ok = json < 2000 && csv < 2000 && html < 2000 && window < 500;
    std::printf("%s\n", ok ? "all within their goals" : "GOAL MISSED");
    return ok ? 0 : 1;
}
