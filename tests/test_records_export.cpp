// Exports of the unit records, read back by real readers: the JSON against its schema and
// the CSV with Python's own modules, the report as XML, the PDF by its pages.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "records/store/RecordStore.h"
#include "records/exports/RecordsExport.h"
#include "i18n/RecordsTexts.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/SeededUnitTests.h"

using namespace pb::records;

namespace {

const QString kTrickyStatus = QStringLiteral("Verify error, block 7: \"bad\"\nretry \u97e7\u9ad4 \x01");
const QString kSha = QStringLiteral("9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08");

// Runs python3 with `script` and `args`; its standard output, or a failure.
QByteArray Python(const QString& script, const QStringList& args, int* exitCode) {
    QProcess python;
    python.start(QStringLiteral("python3"), QStringList{QStringLiteral("-c"), script} + args);
    if (!python.waitForFinished(60000)) {
        *exitCode = -1;
        return python.readAllStandardError();
    }
    *exitCode = python.exitCode();
    return python.readAllStandardOutput() + python.readAllStandardError();
}

class RecordsExport : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(store.openSqlite(dir.filePath(QStringLiteral("records.sqlite"))).ok());
        RunStart start;
        start.linkText = QStringLiteral("127.0.0.1:4001");
        start.station = QStringLiteral("bench-2");
        start.operatorName = QStringLiteral("Chen, \"Jun\"");
        start.unit = {QStringLiteral("KV-0042"), 3, QStringLiteral("KV410"), QStringLiteral("V1.20"),
                      QStringLiteral("01")};
        const char* procedures[] = {"connect", "dido", "set-date"};
        for (int i = 0; i < 3; ++i) {
            start.procedure = QLatin1String(procedures[i]);
            start.startMs = 1765180800000 + i * 60000;
            const qint64 id = store.writer().beginRun(start);
            RunEnd end{start.startMs + 1500, Outcome::Ok, QStringLiteral("Command finished."), {}, {}};
            store.writer().endRun(id, end);
        }
        start.procedure = QStringLiteral("firmware-upgrade");
        start.startMs = 1765181100000;
        upgrade = store.writer().beginRun(start);
        store.writer().saveTraffic(upgrade, {{{start.startMs + 5, Direction::Sent, "\x01" "0001UP\x03\r", QStringLiteral("good"), {}},
                                     {start.startMs + 25, Direction::Received, "\x02" "0001OK\r", QStringLiteral("good"), QStringLiteral("20 ms")},
                                     {start.startMs + 1225, Direction::Failed, {}, QStringLiteral("no reply"), {}}},
                                    0, -1});
        const QJsonObject details{{"file", QJsonObject{{"name", "KV410_V130.bin"}, {"size", 63488}, {"sha256", kSha}}},
                                  {"versionBefore", "V1.20"},
                                  {"versionAfter", "V1.30"}};
        store.writer().endRun(upgrade, {start.startMs + 16000, Outcome::Error, kTrickyStatus, details, {}});
        // A run of another, unidentified unit.
        start.unit = {};
        start.linkText = QStringLiteral("/dev/pts/3 9600");
        start.procedure = QStringLiteral("reboot");
        start.startMs = 1765181200000;
        other = store.writer().beginRun(start);
        unitId = store.queries().run(upgrade)->unitId;
    }
    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QTemporaryDir dir;
    RecordStore store;
    qint64 upgrade = 0, other = 0, unitId = 0;
};

TEST_F(RecordsExport, JsonFollowsItsSchemaAndCarriesTheRuns) {
    const QByteArray json = ExportJson(store, {}, true);
    const QString file = write(QStringLiteral("runs.json"), json);
    int exitCode = 0;
    const QByteArray output = Python(QStringLiteral(
        "import json, sys, jsonschema\n"
        "jsonschema.validate(json.load(open(sys.argv[1], encoding='utf-8')),"
        " json.load(open(sys.argv[2], encoding='utf-8')))\nprint('valid')"),
        {file, QStringLiteral(PANELBENCH_SOURCE_DIR "/docs/records.schema.json")}, &exitCode);
    EXPECT_EQ(exitCode, 0) << output.toStdString();
    EXPECT_TRUE(output.contains("valid")) << output.toStdString();

    const QJsonObject root = QJsonDocument::fromJson(json).object();
    const QJsonArray runs = root.value("runs").toArray();
    ASSERT_EQ(runs.size(), 5);
    // One unit: the run on a link before anything was identified there belongs to none.
    EXPECT_EQ(root.value("units").toArray().size(), 1);
    const QJsonObject newest = runs.at(0).toObject();
    EXPECT_EQ(newest.value("outcome").toString(), "running");
    EXPECT_TRUE(newest.value("serial").isNull());
    EXPECT_TRUE(newest.value("endMs").isNull());
    const QJsonObject up = runs.at(1).toObject();
    EXPECT_EQ(up.value("details").toObject().value("file").toObject().value("sha256").toString(), kSha);
    EXPECT_EQ(up.value("statusText").toString(), kTrickyStatus);
    const QJsonArray frames = up.value("traffic").toArray();
    ASSERT_EQ(frames.size(), 3);
    EXPECT_EQ(frames.at(0).toObject().value("text").toString(), "<SOH>0001UP<ETX><CR>");
    EXPECT_EQ(frames.at(2).toObject().value("direction").toString(), "failed");
    // A selection: only the runs asked for, and only their units.
    RunFilter one;
    one.runIds = {other};
    const QJsonObject selected = QJsonDocument::fromJson(ExportJson(store, one)).object();
    EXPECT_EQ(selected.value("runs").toArray().size(), 1);
    EXPECT_TRUE(selected.value("units").toArray().isEmpty());
    EXPECT_TRUE(selected.value("runs").toArray().at(0).toObject().value("unitId").isNull());
    EXPECT_FALSE(selected.value("runs").toArray().at(0).toObject().contains("traffic"));
}

TEST_F(RecordsExport, CsvReadsBackWithAStandardReader) {
    const QString file = write(QStringLiteral("runs.csv"), ExportCsv(store, {}));
    int exitCode = 0;
    const QByteArray output = Python(QStringLiteral(
        "import csv, json, sys\n"
        "with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:\n"
        "    rows = list(csv.reader(f, strict=True))\n"
        "print(json.dumps(rows))"), {file}, &exitCode);
    ASSERT_EQ(exitCode, 0) << output.toStdString();
    const QJsonArray rows = QJsonDocument::fromJson(output).array();
    ASSERT_EQ(rows.size(), 6);
    QStringList header;
    for (const QJsonValue& v : rows.at(0).toArray()) header << v.toString();
    EXPECT_EQ(header, CsvColumns());
    const QJsonArray up = rows.at(2).toArray();
    ASSERT_EQ(up.size(), header.size());
    EXPECT_EQ(up.at(header.indexOf("run_id")).toString().toLongLong(), upgrade);
    EXPECT_EQ(up.at(header.indexOf("serial")).toString(), "KV-0042");
    EXPECT_EQ(up.at(header.indexOf("outcome")).toString(), "error");
    EXPECT_EQ(up.at(header.indexOf("status_text")).toString(), kTrickyStatus);
    EXPECT_EQ(up.at(header.indexOf("operator")).toString(), "Chen, \"Jun\"");
    EXPECT_EQ(up.at(header.indexOf("duration_ms")).toString(), "16000");
    EXPECT_EQ(up.at(header.indexOf("start_utc")).toString(), "2025-12-08T08:05:00.000Z");
    const QJsonObject details =
        QJsonDocument::fromJson(up.at(header.indexOf("details_json")).toString().toUtf8()).object();
    EXPECT_EQ(details.value("versionAfter").toString(), "V1.30");
}

TEST_F(RecordsExport, UnitReportIsWellFormedWithRunsAndFirmwareHistory) {
    for (int language = 0; language < 3; ++language) {
        const QString html = UnitReportHtml(store, unitId, language);
        QXmlStreamReader xml(html);
        int rows = 0;
        QStringList cells;
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement) {
                if (xml.name() == QLatin1String("tr")) ++rows;
                if (xml.name() == QLatin1String("td")) cells << xml.readElementText(QXmlStreamReader::IncludeChildElements);
            }
        }
        ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString() << " language " << language;
        // Identity 7 rows; runs: head + 4; firmware: head + 1.
        EXPECT_EQ(rows, 7 + 5 + 2) << language;
        EXPECT_TRUE(cells.contains("KV-0042"));
        EXPECT_TRUE(cells.contains("V1.20"));
        EXPECT_TRUE(cells.contains("V1.30"));
        EXPECT_TRUE(html.contains(kSha));
    }
    EXPECT_TRUE(UnitReportHtml(store, 9999, 0).isEmpty());
}

TEST_F(RecordsExport, RetestsAndStepTriesAreNumberedInBothExportsAndTheUnitReport) {
    // KV-0042 failed twice, then passed; its last test's DI/DO step made a run at its second try.
    for (int i = 0; i < 3; ++i) pbtest::WriteUnitTest(store, {"KV-0042", 1765190000000 + i * 60000, i < 2 ? "fail" : "pass"});
    const qint64 last = store.queries().recipeRuns({}).value(0).id;
    RunStart start{"dido", "127.0.0.1:4001", "bench-2", {}, 1765190120010, {"KV-0042", 3, "KV410", "V1.20", "01"}, {}};
    const qint64 retried = store.writer().beginRun(start);
    ASSERT_TRUE(store.recipeWriter().linkRunToRecipe(retried, last, 1, 2));

    const QJsonObject root = QJsonDocument::fromJson(ExportJson(store, {})).object();
    QList<int> retests;
    for (const QJsonValue& r : root.value("recipeRuns").toArray()) retests << r.toObject().value("retest").toInt(-1);
    EXPECT_EQ(retests, (QList<int>{2, 1, 0}));
    EXPECT_EQ(root.value("runs").toArray().at(0).toObject().value("attempt").toInt(), 2);

    const QList<QByteArray> csv = ExportCsv(store, {}).split('\n');
    EXPECT_TRUE(csv[1].trimmed().endsWith(",2,2") && csv[2].trimmed().endsWith(",,2") && csv[4].trimmed().endsWith(",,0"))
        << csv.mid(0, 5).join('\n').toStdString();

    for (int language = 0; language < 3; ++language) {
        const QString html = UnitReportHtml(store, unitId, language);
        const QString summary = pb::Text(pb::RecordText::RetestSummary, language).arg("KV410").arg(3).arg(2);
        EXPECT_TRUE(html.contains(pb::Text(pb::RecordText::RetestNumber, language).arg(2)) &&
                    html.contains(summary.arg(pb::RecipeVerdictName("pass", language)).toHtmlEscaped()))
            << html.toStdString();
    }
}

TEST_F(RecordsExport, PdfReportHasItsPages) {
    const QString small = dir.filePath(QStringLiteral("small.pdf"));
    ASSERT_TRUE(WriteUnitReportPdf(store, unitId, 1, small).ok);
    // The report to look at, in each language, when a folder for pictures is named.
    if (const QString shots = qEnvironmentVariable("PANELBENCH_SCREENSHOT_DIR"); !shots.isEmpty())
        for (int language = 0; language < 3; ++language) {
            const QString name = shots + QStringLiteral("/records-report-%1").arg(language);
            WriteUnitReportPdf(store, unitId, language, name + QStringLiteral(".pdf"));
            QFile html(name + QStringLiteral(".html"));
            if (html.open(QIODevice::WriteOnly)) html.write(UnitReportHtml(store, unitId, language).toUtf8());
        }
    // Enough runs for more than one A4 page.
    RunStart start;
    start.unit.serial = QStringLiteral("KV-0042");
    start.procedure = QStringLiteral("alarm");
    for (int i = 0; i < 120; ++i) {
        start.startMs = 1765190000000 + i * 1000;
        store.writer().endRun(store.writer().beginRun(start), {start.startMs + 300, Outcome::Ok, QStringLiteral("OK"), {}, {}});
    }
    const QString large = dir.filePath(QStringLiteral("large.pdf"));
    ASSERT_TRUE(WriteUnitReportPdf(store, unitId, 0, large).ok);
    const auto pages = [](const QString& path) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        const QByteArray pdf = file.readAll();
        EXPECT_TRUE(pdf.startsWith("%PDF-")) << path.toStdString();
        return pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") + pdf.count("/Type /Page ") +
               pdf.count("/Type /Page/") + pdf.count("/Type /Page>");
    };
    EXPECT_EQ(pages(small), 1);
    EXPECT_GE(pages(large), 2);
    EXPECT_FALSE(WriteUnitReportPdf(store, unitId, 0, dir.filePath(QStringLiteral("no/such/folder.pdf"))).ok);
}

// A kept frame reads as the traffic monitor and the consoles show it (link/FrameText.h).
TEST(RecordsFrameText, KeptFramesReadAsTheConsoleShowsThem) {
    const KeptTraffic kept{{{1, Direction::Received, QByteArray("\x01" "0001AS\x02" "A1\x03\x04\r\n\x7f\x00\xff", 17),
                             QStringLiteral("none"), {}}},
                           0,
                           -1};
    EXPECT_EQ(TrafficJson(kept)[0].toObject().value("text").toString(),
              "<SOH>0001AS<STX>A1<ETX><EOT><CR><LF><x7F><x00><xFF>");
}

}  // namespace

namespace {

// An operator's name that would read backwards after U+202E, in every language's report.
TEST_F(RecordsExport, DirectionControlsInNamesAreShownNotObeyedInTheReport) {
    RunStart start;
    start.linkText = QStringLiteral("127.0.0.1:4001");
    start.procedure = QStringLiteral("connect");
    start.operatorName = QStringLiteral("Li \u202Egnaw");
    start.unit.serial = QStringLiteral("KV-0042");
    start.startMs = 1765181300000;
    store.writer().endRun(store.writer().beginRun(start), {start.startMs + 1000, Outcome::Ok, {}, {}, {}});
    for (int language = 0; language < 3; ++language) {
        const QString html = UnitReportHtml(store, unitId, language);
        EXPECT_FALSE(html.contains(QChar(0x202E))) << language;
        EXPECT_TRUE(html.contains(QStringLiteral("Li \\u202Egnaw"))) << language;
    }
}

}  // namespace
