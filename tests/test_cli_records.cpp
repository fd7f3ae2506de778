// The unit records panelbench-cli keeps: every unit's run lands in the store (from its
// own thread), with serial, outcome and operator; `records` reads and exports them back.
// Each test has its own XDG_DATA_HOME, so the default store is a file of its own.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QProcessEnvironment>

#include "tests/support/CliRig.h"
#include "tests/support/QtPrinters.h"

using namespace pbtest;

namespace {

// A records folder of the test's own, and the CLI run with it.
struct RecordsHome {
    QTemporaryDir dir;
    QProcessEnvironment env = [this] {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("XDG_DATA_HOME"), dir.path());
        return e;
    }();
    QString defaultStore() const {
        return dir.filePath(QStringLiteral("NORDAX/PanelBench/records.sqlite"));
    }
    CliResult run(const QStringList& args) const { return RunCli(args, 120000, env); }
    // `records list --json` parsed back: one object per run, newest first.
    QList<QJsonObject> runs(const QStringList& filters = {}) const {
        const CliResult r = run(QStringList{"records", "list", "--json"} + filters);
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
        return r.eventsOf(QStringLiteral("run"));
    }
};

QStringList serials(const QList<QJsonObject>& runs) {
    QStringList list;
    for (const QJsonObject& o : runs) list << o.value("serial").toString();
    list.sort();
    return list;
}

}  // namespace

TEST(CliRecords, EachCommandLeavesItsRunWithSerialOutcomeOperatorAndFrames) {
    RecordsHome home;
    SimProcess sim({"--model", "v5", "--id", "0042", "--serial", "SN000042"});
    ASSERT_TRUE(sim.serving());
    const CliResult ok =
        home.run(QStringList{"identify", "--id", "0042", "--operator", "Li Na", "--json"} + sim.link());
    ASSERT_EQ(ok.exitCode, 0) << ok.err.constData();
    // A command that fails keeps its exit code and leaves a run that says so.
    SimProcess silent({"--model", "v5", "--silent-all"});
    const CliResult failed =
        home.run(QStringList{"identify", "--operator", "Li Na"} + silent.link());
    EXPECT_EQ(failed.exitCode, 4);

    const QList<QJsonObject> runs = home.runs();
    ASSERT_EQ(runs.size(), 2);
    const QJsonObject& good = runs[1];  // newest first
    EXPECT_EQ(good.value("serial").toString(), "SN000042");
    EXPECT_EQ(good.value("procedure").toString(), "connect");
    EXPECT_EQ(good.value("outcome").toString(), "ok");
    EXPECT_EQ(good.value("operator").toString(), "Li Na");
    EXPECT_EQ(good.value("link").toString(), sim.address());
    EXPECT_EQ(runs[0].value("outcome").toString(), "open-failed");  // as the window judges silence
    EXPECT_TRUE(runs[0].value("serial").isNull());

    // Filters select, and show gives the run with the frames the simulator received.
    EXPECT_EQ(home.runs({"--outcome", "open-failed"}).size(), 1);
    EXPECT_EQ(home.runs({"--serial", "000042"}).size(), 1);
    EXPECT_EQ(home.runs({"--procedure", "connect"}).size(), 2);
    EXPECT_EQ(home.runs({"--procedure", "dido"}).size(), 0);
    const QString tomorrow = QDate::currentDate().addDays(1).toString(Qt::ISODate);
    EXPECT_EQ(home.runs({"--from", tomorrow}).size(), 0);
    EXPECT_EQ(home.runs({"--to", QDate::currentDate().toString(Qt::ISODate)}).size(), 2);

    const QString id = QString::number(good.value("id").toInteger());
    // The result names its run in the records by what it is.
    EXPECT_EQ(ok.eventsOf("result").value(0).value("detail").toObject().value("runId").toInteger(),
              good.value("id").toInteger());
    const CliResult shown = home.run({"records", "show", id, "--json"});
    ASSERT_EQ(shown.exitCode, 0) << shown.err.constData();
    const QJsonObject run = shown.eventsOf("run").value(0);
    EXPECT_EQ(run.value("unit").toObject().value("serial").toString(), "SN000042");
    QStringList sent;
    for (const QJsonValue f : run.value("frames").toArray())
        if (f.toObject().value("direction").toString() == "sent")
            sent << f.toObject().value("text").toString();
    sim.stop();
    const QStringList received = sim.received();
    ASSERT_EQ(sent.size(), received.size());
    for (int i = 0; i < sent.size(); ++i)
        EXPECT_TRUE(sent[i].contains(received[i])) << qPrintable(sent[i]);

    const CliResult human = home.run({"records", "show", id});
    EXPECT_TRUE(human.out.contains("SN000042")) << human.out.constData();
    EXPECT_EQ(home.run({"records", "show", "999"}).exitCode, 5);
}

TEST(CliRecords, FourUnitsAtOnceLeaveFourRunsEachOnItsOwnUnit) {
    RecordsHome home;
    std::vector<std::unique_ptr<SimProcess>> sims;
    QStringList args{"identify", "--json", "--operator", "bench 3"};
    for (int i = 0; i < 4; ++i) {
        sims.push_back(std::make_unique<SimProcess>(
            QStringList{"--model", "v5", "--serial", QStringLiteral("SN00000%1").arg(i)}));
        ASSERT_TRUE(sims.back()->serving());
        args += sims.back()->link();
    }
    const CliResult r = home.run(args);
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.eventsOf("warning").isEmpty()) << r.out.constData();

    const QList<QJsonObject> runs = home.runs();
    EXPECT_EQ(serials(runs), QStringList({"SN000000", "SN000001", "SN000002", "SN000003"}));
    for (const QJsonObject& o : runs) {
        EXPECT_EQ(o.value("outcome").toString(), "ok");
        EXPECT_EQ(o.value("operator").toString(), "bench 3");
        EXPECT_GT(o.value("frameCount").toInt(), 0);
    }
}

TEST(CliRecords, ExportsParseBackAndReportsNeedNoDisplay) {
    RecordsHome home;
    SimProcess a({"--model", "v5", "--serial", "SNA00000"});
    SimProcess b({"--model", "v5", "--serial", "SNB00000"});
    ASSERT_EQ(home.run(QStringList{"identify"} + a.link() + b.link()).exitCode, 0);

    const CliResult json =
        home.run({"records", "export", "--format", "json", "--serial", "SNB00000"});
    ASSERT_EQ(json.exitCode, 0) << json.err.constData();
    const QJsonObject doc = QJsonDocument::fromJson(json.out).object();
    EXPECT_EQ(doc.value("format").toString(), "panelbench-records");
    ASSERT_EQ(doc.value("runs").toArray().size(), 1);
    EXPECT_EQ(doc.value("runs").toArray()[0].toObject().value("serial").toString(), "SNB00000");

    const QString csvFile = home.dir.filePath("runs.csv");
    ASSERT_EQ(home.run({"records", "export", "--format", "csv", "--output", csvFile}).exitCode, 0);
    QFile csv(csvFile);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = csv.readAll().split('\n');
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty()) lines.removeLast();
    ASSERT_EQ(lines.size(), 3);  // the header and one row per run
    const QList<QByteArray> header = lines[0].trimmed().split(',');
    const qsizetype serialColumn = header.indexOf("serial");
    const qsizetype outcomeColumn = header.indexOf("outcome");
    ASSERT_GE(serialColumn, 0);
    QStringList csvSerials;
    for (int i = 1; i < 3; ++i) {
        const QList<QByteArray> fields = lines[i].trimmed().split(',');
        csvSerials << QString::fromUtf8(fields.value(serialColumn));
        EXPECT_EQ(fields.value(outcomeColumn), "ok");
    }
    csvSerials.sort();
    EXPECT_EQ(csvSerials, QStringList({"SNA00000", "SNB00000"}));

    const CliResult html =
        home.run({"records", "export", "--format", "html", "--serial", "SNA00000"});
    ASSERT_EQ(html.exitCode, 0) << html.err.constData();
    EXPECT_TRUE(html.out.contains("SNA00000"));
    EXPECT_FALSE(html.out.contains("SNB00000"));

    // The PDF lays out text offscreen: no display, no runtime folder, nothing said.
    QProcessEnvironment bare = home.env;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR", "QT_QPA_PLATFORM"})
        bare.remove(QString::fromLatin1(name));
    const QString pdfFile = home.dir.filePath("report.pdf");
    const CliResult pdf = RunCli(
        {"records", "export", "--format", "pdf", "--serial", "SNA00000", "--output", pdfFile},
        120000, bare);
    EXPECT_EQ(pdf.exitCode, 0);
    EXPECT_EQ(pdf.err, QByteArray());
    QFile pdfIn(pdfFile);
    ASSERT_TRUE(pdfIn.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdfIn.read(5) == "%PDF-");

    // Usage: a report names its unit, a PDF its file.
    EXPECT_EQ(home.run({"records", "export", "--format", "pdf", "--output", pdfFile}).exitCode, 2);
    EXPECT_EQ(home.run({"records", "export", "--format", "pdf", "--serial", "SNA00000"}).exitCode,
              2);
    EXPECT_EQ(home.run({"records", "export", "--format", "html", "--serial", "SNX00000"}).exitCode,
              5);
}

TEST(CliRecords, NoRecordsLeavesNothingAndAStoreThatCannotOpenOnlyWarns) {
    RecordsHome home;
    SimProcess sim({"--model", "v5", "--serial", "SN000001"});
    ASSERT_EQ(home.run(QStringList{"identify", "--no-records"} + sim.link()).exitCode, 0);
    EXPECT_FALSE(QFile::exists(home.defaultStore()));
    EXPECT_TRUE(home.runs().isEmpty());

    // A folder that cannot be made: a file stands where it would go (root or not).
    QFile blocker(home.dir.filePath("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString badStore = home.dir.filePath("blocker/records.sqlite");
    SimProcess second({"--model", "v5", "--serial", "SN000002"});
    const CliResult json = home.run(QStringList{"identify", "--json", "--records", badStore} +
                                    sim.link() + second.link());
    EXPECT_EQ(json.exitCode, 0) << json.err.constData();
    ASSERT_EQ(json.eventsOf("warning").size(), 1);  // once, not once per unit
    EXPECT_TRUE(json.eventsOf("warning")[0].value("text").toString().contains(badStore));
    EXPECT_EQ(json.eventsOf("result").size(), 2);

    const CliResult human = home.run(QStringList{"identify", "--records", badStore} + sim.link());
    EXPECT_EQ(human.exitCode, 0);
    EXPECT_EQ(human.err.count('\n'), 1) << human.err.constData();
    EXPECT_TRUE(human.err.contains("warning: unit records")) << human.err.constData();
    EXPECT_TRUE(human.out.contains("OK: "));
    // The same file for reading is a failure of that command.
    EXPECT_EQ(home.run({"records", "list", "--records", badStore}).exitCode, 5);
}
