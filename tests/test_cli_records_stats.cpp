// `records stats`: the figures behind the charts, printed from a records file written by
// the test: per socket with each fixture's health, the failure Pareto, the shifts of the
// command line or of the setting, and the same numbers as a table, JSON lines and CSV.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>

#include "i18n/CauseTexts.h"
#include "tests/support/CliRig.h"
#include "tests/support/SeededUnitTests.h"

using namespace pbtest;

namespace {

struct StatsBench {
    StatsBench() {
        pb::records::RecordStore store;
        EXPECT_TRUE(store.openSqlite(path).ok());
        const qint64 at = QDateTime(QDate(2026, 12, 9), QTime(8, 0)).toMSecsSinceEpoch();
        // A1 fails 30 of 60 at its DI/DO step, its neighbours 2 of 60.
        for (const char* socket : {"A1", "A2", "A3", "A4"})
            for (int i = 0; i < 60; ++i) {
                const bool fails = i < (QLatin1String(socket) == QLatin1String("A1") ? 30 : 2);
                // Input 3 stuck, seen at a different cycle on each unit.
                const pb::Cause stuck = pb::Cause::of(pb::CauseCode::InputMismatch, {i + 1, "0001", "00000100", "00000000", 3});
                WriteUnitTest(store, {QStringLiteral("%1-%2").arg(socket).arg(i), at + i * 1000, fails ? "fail" : "pass",
                                      "line-1", "4-up", socket, fails ? 1 : -1, fails ? stuck : pb::Cause{}});
            }
        // Two units tested alone at 23:00, in the night shift.
        const qint64 night = QDateTime(QDate(2026, 12, 9), QTime(23, 0)).toMSecsSinceEpoch();
        WriteUnitTest(store, {"N1", night, "pass"});
        WriteUnitTest(store, {"N2", night + 1000, "fail", "line-1", {}, {}, 2,
                              pb::Cause::of(pb::CauseCode::NotProgrammed, {7})});
    }
    CliResult stats(const QStringList& more) {
        return RunCli(QStringList{"records", "stats", "--records", path} + more);
    }
    QTemporaryDir dir;
    QString path = dir.filePath("records.sqlite");
};

TEST(RecordsStats, PerSocketEachFixturesHealthAndTheTotal) {
    StatsBench bench;
    const CliResult r = bench.stats({"--by", "socket", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    QMap<QString, QJsonObject> rows;
    for (const QJsonObject& o : r.eventsOf("socket")) rows.insert(o.value("key").toString(), o);
    EXPECT_EQ(rows.keys(), QStringList({"", "4-up/A1", "4-up/A2", "4-up/A3", "4-up/A4"}));
    EXPECT_TRUE(rows["4-up/A1"].value("flagged").toBool());
    EXPECT_EQ(rows["4-up/A1"].value("failed").toInt(), 30);
    EXPECT_EQ(rows["4-up/A1"].value("othersFailed").toInt(), 6);
    EXPECT_FALSE(rows["4-up/A2"].value("flagged").toBool());
    EXPECT_FALSE(rows[""].contains("flagged")) << "units tested alone have no fixture to be judged by";
    const auto total = r.eventsOf("total");
    ASSERT_EQ(total.size(), 1);
    EXPECT_EQ(total[0].value("tests").toInt(), 242);
    EXPECT_DOUBLE_EQ(total[0].value("firstPassYield").toDouble(), 205.0 / 242.0);

    const CliResult table = bench.stats({"--by", "socket"});
    EXPECT_EQ(table.exitCode, 0);
    const QString text = QString::fromUtf8(table.out);
    EXPECT_TRUE(text.contains(QRegularExpression("4-up/A1 .*50\\.0 %.*FLAGGED"))) << table.out.constData();
    EXPECT_FALSE(text.contains(QRegularExpression("4-up/A2 .*FLAGGED")));

    const CliResult csv = bench.stats({"--by", "socket", "--csv", "--fixture", "4-up", "--socket", "A2"});
    const QStringList lines = QString::fromUtf8(csv.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 2) << csv.out.constData();
    EXPECT_EQ(lines[0], "event,key,tests,units,passed,failed,interrupted,firstTests,firstPassed,firstPassYield,finalPassed,"
                        "finalYield,retests,p,flagged");
    EXPECT_TRUE(lines[1].startsWith("socket,4-up/A2,60,60,58,2,0,60,58,")) << lines[1].toStdString();
}

TEST(RecordsStats, TheFinalYieldCountsTheRetestsThatPassed) {
    StatsBench bench;  // N2 failed at 23:00 and passes its retest: by station, the columns in their order
    pb::records::RecordStore store;
    ASSERT_TRUE(store.openSqlite(bench.path).ok());
    WriteUnitTest(store, {"N2", QDateTime(QDate(2026, 12, 9), QTime(23, 30)).toMSecsSinceEpoch(), "pass"});
    const CliResult r = bench.stats({"--by", "station", "--serial", "N"});
    EXPECT_TRUE(QString::fromUtf8(r.out).contains(QRegularExpression("line-1 +3 +2 +2 +1 +0 +2 +1 +50.0 % +2 +100.0 % +1\n")))
        << r.out.constData();
}

TEST(RecordsStats, TheParetoAndTheShiftsOfTheSettingOrTheCommand) {
    StatsBench bench;
    const CliResult pareto = bench.stats({"--by", "step", "--json"});
    ASSERT_EQ(pareto.exitCode, 0) << pareto.err.constData();
    const auto steps = pareto.eventsOf("failures");
    ASSERT_EQ(steps.size(), 2);
    EXPECT_EQ(steps[0].value("label").toString(), "DI/DO loop");
    EXPECT_EQ(steps[0].value("failures").toInt(), 36);
    const auto causes = pareto.eventsOf("causes");
    ASSERT_EQ(causes.size(), 2) << "36 units stuck at different cycles are one cause";
    EXPECT_EQ(causes[0].value("cause").toString(), "input-mismatch");
    EXPECT_EQ(causes[0].value("failures").toInt(), 36);
    EXPECT_EQ(causes[1].value("cause").toString(), "not-programmed");

    // By cause alone, a row per cause in the reader's language.
    const CliResult zh = bench.stats({"--by", "cause", "--language", "zh-Hant"});
    ASSERT_EQ(zh.exitCode, 0) << zh.err.constData();
    const QStringList rows = QString::fromUtf8(zh.out).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(rows.filter("input-mismatch").size(), 1) << zh.out.constData();
    EXPECT_TRUE(rows.filter("input-mismatch").value(0).contains(pb::CauseTitle(pb::CauseCode::InputMismatch, 2)));

    // 23:00 is the night shift by default; with the shifts of a line working 07:00 and 19:00 it is the second.
    const auto shiftOf = [](const CliResult& r) {
        QStringList keys;
        for (const QJsonObject& o : r.eventsOf("shift")) keys << o.value("key").toString();
        return keys;
    };
    EXPECT_EQ(shiftOf(bench.stats({"--by", "shift", "--json"})), QStringList({"2026-12-09 #1", "2026-12-09 #3"}));
    EXPECT_EQ(shiftOf(bench.stats({"--by", "shift", "--json", "--shifts", "07:00,19:00"})),
              QStringList({"2026-12-09 #1", "2026-12-09 #2"}));
    QFile settings(qEnvironmentVariable("XDG_CONFIG_HOME") + "/NORDAX/PanelBench.conf");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(settings).path()));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly | QIODevice::Truncate));
    settings.write("[General]\nShiftStarts=\"05:00,13:00,21:00\"\n");
    settings.close();
    EXPECT_EQ(shiftOf(bench.stats({"--by", "shift", "--json"})), QStringList({"2026-12-09 #1", "2026-12-09 #3"}));
    const CliResult early = bench.stats({"--by", "shift", "--json", "--from", "2026-12-09T22:00:00"});
    EXPECT_EQ(shiftOf(early), QStringList({"2026-12-09 #3"})) << early.out.constData() << early.err.constData();
    settings.remove();

    for (const QStringList& bad : {QStringList{"--by", "week"}, QStringList{"--by", "day", "--shifts", "14:00,06:00"},
                                   QStringList{"--by", "day", "--json", "--csv"}, QStringList{}})
        EXPECT_EQ(bench.stats(bad).exitCode, 2) << bad.join(' ').toStdString();
    EXPECT_EQ(RunCli({"records", "list", "--by", "day", "--records", bench.path}).exitCode, 2);
}

// How long things take: two upgrades of protocol A over 120 blocks and their percentiles,
// the unit tests' times (each seeded one takes a second), a serial station's reply
// latency from the traffic kept with its run; as JSON lines, CSV and a table.
TEST(RecordsStats, UpgradeTimesUnitTestTimesAndReplyLatency) {
    StatsBench bench;
    {
        using namespace pb::records;
        RecordStore store;
        ASSERT_TRUE(store.openSqlite(bench.path).ok());
        const qint64 at = QDateTime(QDate(2026, 12, 9), QTime(10, 0)).toMSecsSinceEpoch();
        qint64 lastRun = 0;
        for (qint64 took : {64000, 60000}) {
            RunStart start{"firmware-upgrade", "/dev/pts/3 9600", "line-1", {}, at + took, {}, {}};
            lastRun = store.writer().beginRun(start);
            RunEnd end{at + 2 * took, Outcome::Ok, {}, QJsonObject{{"loader", "A"}, {"blocks", 120}}, {}};
            ASSERT_TRUE(store.writer().endRun(lastRun, end));
        }
        KeptTraffic traffic;
        for (int i = 0; i < 3; ++i) {
            traffic.frames << TrafficFrame{at + i * 1000, Direction::Sent, QByteArray("\x01" "0000AC\x02" "DE5B\r"), {}, {}};
            traffic.frames << TrafficFrame{at + i * 1000 + 30 + 10 * i, Direction::Received, QByteArray("\x03" "OK\x04" "1234\r"), {}, {}};
        }
        ASSERT_TRUE(store.writer().saveTraffic(lastRun, traffic));
    }
    const CliResult upgrade = bench.stats({"--by", "upgrade", "--json"});
    ASSERT_EQ(upgrade.exitCode, 0) << upgrade.err.constData();
    const auto upgrades = upgrade.eventsOf("upgrade");
    ASSERT_EQ(upgrades.size(), 1);
    EXPECT_EQ(upgrades[0].value("protocol").toString(), "A");
    EXPECT_EQ(upgrades[0].value("blocks").toInt(), 120);
    EXPECT_EQ(upgrades[0].value("count").toInt(), 2);
    EXPECT_EQ(upgrades[0].value("p50Ms").toInt(), 60000);
    EXPECT_EQ(upgrades[0].value("maxMs").toInt(), 64000);
    EXPECT_DOUBLE_EQ(upgrades[0].value("meanMs").toDouble(), 62000);

    const CliResult duration = bench.stats({"--by", "duration", "--csv"});
    ASSERT_EQ(duration.exitCode, 0) << duration.err.constData();
    const QStringList lines = QString::fromUtf8(duration.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << duration.out.constData();
    EXPECT_EQ(lines[0], "event,recipe,count,minMs,p50Ms,p95Ms,p99Ms,maxMs,meanMs");
    EXPECT_EQ(lines[1], "duration,all,242,1000,1000,1000,1000,1000,1000");
    EXPECT_EQ(lines[2], "duration,KV410,242,1000,1000,1000,1000,1000,1000");

    const CliResult latency = bench.stats({"--by", "latency", "--json"});
    ASSERT_EQ(latency.exitCode, 0) << latency.err.constData();
    const auto rows = latency.eventsOf("latency");
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].value("station").toString(), "all");
    EXPECT_EQ(rows[1].value("station").toString(), "line-1");
    EXPECT_EQ(rows[1].value("link").toString(), "serial");
    EXPECT_EQ(rows[1].value("count").toInt(), 3);
    EXPECT_EQ(rows[1].value("p50Ms").toInt(), 40);
    EXPECT_EQ(rows[1].value("p99Ms").toInt(), 50);
    const CliResult table = bench.stats({"--by", "latency", "--station", "line-1"});
    EXPECT_TRUE(QString::fromUtf8(table.out).contains(QRegularExpression("line-1 +serial +1 +3 +30 +40 +50 +50 +50 +40")))
        << table.out.constData();
}

}  // namespace

// `records report`: the same figures as a report, HTML to standard output in the language
// asked for, a PDF to its file; the filter narrows it as it narrows `stats`.
TEST(RecordsReport, HtmlAndPdfOfTheFilterInTheLanguageAsked) {
    StatsBench bench;
    const CliResult html = RunCli({"records", "report", "--format", "html", "--records", bench.path, "--fixture", "4-up",
                                   "--language", "zh-hant"});
    ASSERT_EQ(html.exitCode, 0) << html.err.constData();
    const QString page = QString::fromUtf8(html.out);
    EXPECT_TRUE(page.startsWith("<?xml"));
    EXPECT_TRUE(page.contains(QStringLiteral("<h1>產線報告: 治具 4-up</h1>"))) << page.left(600).toStdString();
    EXPECT_EQ(page.count("<svg"), 3);
    // The totals row: the fixture's 240 units and unit tests, not the 242 of the whole file.
    EXPECT_TRUE(page.contains(QRegularExpression(
        "(?s)<table id=\"totals\">.*?</tr>\n<tr><td class=\"n\">240</td><td class=\"n\">240</td>")))
        << page.left(1500).toStdString();

    const QString pdf = bench.dir.filePath("line.pdf");
    const CliResult written = RunCli({"records", "report", "--format", "pdf", "--records", bench.path, "--output", pdf});
    ASSERT_EQ(written.exitCode, 0) << written.err.constData();
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(8).startsWith("%PDF-"));

    for (const QStringList& bad : {QStringList{"--format", "csv"}, QStringList{"--format", "pdf"}, QStringList{},
                                   QStringList{"--format", "html", "--by", "day"}})
        EXPECT_EQ(RunCli(QStringList{"records", "report", "--records", bench.path} + bad).exitCode, 2)
            << bad.join(' ').toStdString();
}

// A socket that only saw units tested before elsewhere has no first tests: no yield to
// give, which is not a yield of nothing.
TEST(RecordsStats, ASocketWithNoFirstTestsHasNoFirstPassYield) {
    StatsBench bench;
    {
        pb::records::RecordStore store;
        ASSERT_TRUE(store.openSqlite(bench.path).ok());
        const qint64 later = QDateTime(QDate(2026, 12, 9), QTime(9, 0)).toMSecsSinceEpoch();
        for (int i = 0; i < 2; ++i)
            WriteUnitTest(store, {QStringLiteral("A1-%1").arg(i), later + i * 1000, "pass", "line-1", "4-up", "B1"});
    }
    const CliResult r = bench.stats({"--by", "socket", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    QJsonObject b1;
    for (const QJsonObject& o : r.eventsOf("socket"))
        if (o.value("key") == "4-up/B1") b1 = o;
    ASSERT_FALSE(b1.isEmpty()) << r.out.constData();
    EXPECT_EQ(b1.value("passed").toInt(), 2);
    EXPECT_EQ(b1.value("firstTests").toInt(), 0);
    EXPECT_TRUE(b1.value("firstPassYield").isNull()) << r.out.constData();
    const QString table = QString::fromUtf8(bench.stats({"--by", "socket"}).out);
    const QString row = table.split('\n').filter(QStringLiteral("4-up/B1")).value(0);
    EXPECT_FALSE(row.contains(QStringLiteral("0.0 %"))) << qPrintable(table);
    EXPECT_TRUE(row.contains(QStringLiteral("–"))) << qPrintable(table);
}

