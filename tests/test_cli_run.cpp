// `panelbench-cli run RECIPE` against simulated controllers as real programs: the exit
// code is that of the first failing step, the JSON result carries every step, several
// units run at once, and each run leaves one recipe-run record.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include "records/store/RecordStore.h"
#include "tests/support/CliRig.h"

using namespace pbtest;

namespace {

const QString kRecipes = QStringLiteral(PANELBENCH_SOURCE_DIR "/examples/recipes/");

using Home = CliHome;

QJsonObject ResultOf(const CliResult& r, const QString& link = {}) {
    for (const QJsonObject& o : r.eventsOf("result"))
        if (link.isEmpty() || o.value("link").toString() == link) return o;
    return {};
}

TEST(CliRun, BenchCheckPassesAndAWrongLabelFailsIdentifyWithExitFour) {
    Home home;
    SimProcess sim({"--model", "v5", "--serial", "LB000042"});
    ASSERT_TRUE(sim.serving());
    const CliResult pass = home.run(QStringList{"run", kRecipes + "bench-check.json", "--unit-serial", "LB000042",
                                                "--json", "--operator", "Bo"} + sim.link());
    EXPECT_EQ(pass.exitCode, 0) << pass.err.constData() << pass.out.constData();
    const QJsonObject detail = ResultOf(pass).value("detail").toObject();
    EXPECT_EQ(detail.value("verdict").toString(), "pass");
    EXPECT_EQ(detail.value("unitSerial").toString(), "LB000042");
    const QJsonArray steps = detail.value("steps").toArray();
    ASSERT_EQ(steps.size(), 3);
    EXPECT_EQ(steps[2].toObject().value("kind").toString(), "dido");
    EXPECT_EQ(steps[2].toObject().value("verdict").toString(), "pass");
    // Every step said when it started and how it ended.
    int stepLines = 0;
    for (const QJsonObject& o : pass.eventsOf("step")) stepLines += o.value("text").toString().startsWith("step ");
    EXPECT_EQ(stepLines, 6);

    const CliResult label = home.run(QStringList{"run", kRecipes + "bench-check.json", "--unit-serial", "LB000043",
                                                 "--json"} + sim.link());
    EXPECT_EQ(label.exitCode, 4);
    const QJsonObject failed = ResultOf(label).value("detail").toObject();
    EXPECT_EQ(failed.value("failingStep").toInt(), 1);
    EXPECT_EQ(failed.value("cause").toObject().value("code").toString(), "serial-mismatch");
    EXPECT_EQ(failed.value("cause").toObject().value("scanned").toString(), "LB000043");
    EXPECT_EQ(failed.value("steps").toArray()[1].toObject().value("verdict").toString(), "not-run");

    // The records hold both unit tests, the failed one with its steps not run.
    pb::records::RecordStore store;
    ASSERT_TRUE(store.openSqlite(home.records()).ok());
    const QList<pb::records::RecipeRunRow> runs = store.queries().recipeRuns({});
    ASSERT_EQ(runs.size(), 2);
    EXPECT_EQ(runs[0].verdict, "fail");
    EXPECT_EQ(runs[0].steps[2].verdict, "not-run");
    EXPECT_EQ(runs[1].verdict, "pass");
    EXPECT_EQ(runs[1].operatorName, "Bo");
    EXPECT_EQ(runs[1].steps[2].runIds.size(), 1);
    EXPECT_EQ(ResultOf(pass).value("detail").toObject().value("recordId").toInt(), runs[1].id);
}

// The unit test is what says whether a unit is good: its connect run went well, the unit
// did not. Every list, filter and export says it failed, and every id says what it is.
TEST(CliRun, AUnitThatFailedItsTestIsListedAsFailedEverywhere) {
    Home home;
    SimProcess sim({"--model", "v5", "--serial", "LB000042"});
    ASSERT_TRUE(sim.serving());
    const CliResult r = home.run(QStringList{"run", kRecipes + "bench-check.json", "--unit-serial", "WRONG123",
                                             "--json"} + sim.link());
    ASSERT_EQ(r.exitCode, 4) << r.err.constData();
    const QJsonObject detail = ResultOf(r).value("detail").toObject();
    const qint64 test = detail.value("recipeRunId").toInteger();
    ASSERT_GT(test, 0);
    EXPECT_EQ(detail.value("recordId").toInteger(), test);  // the older name of the same number
    const QJsonArray connectRuns = detail.value("steps").toArray()[0].toObject().value("runIds").toArray();
    ASSERT_EQ(connectRuns.size(), 1);
    const QString connect = QString::number(connectRuns[0].toInteger());
    const QString name = QStringLiteral("R%1").arg(test);

    // The list: the unit test is a row of its own, failed, with its failing step.
    const CliResult list = home.run({"records", "list"});
    ASSERT_EQ(list.exitCode, 0) << list.err.constData();
    QString testLine;
    for (const QString& line : QString::fromLocal8Bit(list.out).split(u'\n'))
        if (line.trimmed().startsWith(name + u' ')) testLine = line;
    EXPECT_TRUE(testLine.contains(" FAIL ")) << list.out.constData();
    EXPECT_TRUE(testLine.contains("LB000042"));
    EXPECT_TRUE(testLine.contains("step 1 Connect:") && testLine.contains("WRONG123")) << testLine.toStdString();

    // The error filter finds it; the ok filter finds its connect run alone.
    const CliResult errors = home.run({"records", "list", "--outcome", "error", "--json"});
    ASSERT_EQ(errors.eventsOf("recipe-run").size(), 1) << errors.out.constData();
    const QJsonObject failed = errors.eventsOf("recipe-run")[0];
    EXPECT_EQ(failed.value("id").toInteger(), test);
    EXPECT_EQ(failed.value("verdict").toString(), "fail");
    EXPECT_EQ(failed.value("outcome").toString(), "error");
    EXPECT_EQ(failed.value("failingStep").toInt(), 1);
    EXPECT_EQ(failed.value("serial").toString(), "LB000042");
    EXPECT_TRUE(errors.eventsOf("run").isEmpty());
    const CliResult oks = home.run({"records", "list", "--outcome", "ok", "--json"});
    EXPECT_TRUE(oks.eventsOf("recipe-run").isEmpty());
    ASSERT_EQ(oks.eventsOf("run").size(), 1);
    EXPECT_EQ(oks.eventsOf("run")[0].value("recipeRunId").toInteger(), test);

    // A procedure run names the unit test it belongs to; the unit test shows by its name.
    const CliResult shown = home.run({"records", "show", connect});
    EXPECT_TRUE(shown.out.contains(QStringLiteral("unit test  %1: recipe Bench check").arg(name).toUtf8()))
        << shown.out.constData();
    EXPECT_TRUE(shown.out.contains("verdict FAIL")) << shown.out.constData();
    const CliResult shownTest = home.run({"records", "show", name});
    ASSERT_EQ(shownTest.exitCode, 0) << shownTest.err.constData();
    EXPECT_TRUE(shownTest.out.contains("failed at  step 1 Connect:")) << shownTest.out.constData();
    EXPECT_EQ(home.run({"records", "show", "R999"}).exitCode, 5);

    // The exports: JSON of the errors holds it with its unit, CSV has its row.
    const CliResult json = home.run({"records", "export", "--format", "json", "--outcome", "error"});
    const QJsonObject doc = QJsonDocument::fromJson(json.out).object();
    ASSERT_EQ(doc.value("recipeRuns").toArray().size(), 1);
    EXPECT_EQ(doc.value("units").toArray().size(), 1);
    EXPECT_EQ(doc.value("units").toArray()[0].toObject().value("serial").toString(), "LB000042");
    const CliResult csv = home.run({"records", "export", "--format", "csv", "--outcome", "error"});
    EXPECT_TRUE(csv.out.contains(",LB000042,") && csv.out.contains(",recipe,error,")) << csv.out.constData();
    const CliResult html = home.run({"records", "export", "--format", "html", "--serial", "LB000042"});
    EXPECT_TRUE(html.out.contains("<td>Unit test: Bench check (any four-digit controller)</td><td class=\"bad\">Error</td>"))
        << html.out.constData();
}

TEST(CliRun, UnitsAtOnceEachWithItsSerialTheWorstExitWins) {
    Home home;
    // The fixture recipe of the KV410 on two loopback fixtures; input 3 is stuck on one.
    SimProcess good({"--model", "kv410", "--loopback", "--serial", "GOOD0001", "--reboot-ms", "200"});
    SimProcess stuck({"--model", "kv410", "--loopback", "--stuck-input", "3=off", "--serial", "BAD00002",
                      "--reboot-ms", "200"});
    ASSERT_TRUE(good.serving() && stuck.serving());
    const CliResult r = home.run(QStringList{"run", kRecipes + "kv410.json", "--json", "--no-records",
                                             "--unit-serial", "GOOD0001", "--unit-serial", "BAD00002"} +
                                 good.link() + stuck.link());
    EXPECT_EQ(r.exitCode, 5) << r.err.constData();
    const QJsonObject ok = ResultOf(r, good.address());
    EXPECT_EQ(ok.value("exit").toInt(), 0) << ok.value("message").toString().toStdString();
    const QJsonObject bad = ResultOf(r, stuck.address());
    EXPECT_EQ(bad.value("exit").toInt(), 5);
    const QJsonObject detail = bad.value("detail").toObject();
    EXPECT_EQ(detail.value("failingStep").toInt(), 3);
    const QJsonObject cause = detail.value("cause").toObject();
    EXPECT_EQ(cause.value("code").toString(), "input-mismatch") << QJsonDocument(cause).toJson().constData();
    EXPECT_EQ(cause.value("cycle").toInt(), 1);
    EXPECT_EQ(cause.value("outputs").toString(), "0010");
    // The dido step stops the run: the factory reset never reached the faulty unit.
    EXPECT_FALSE(stuck.received().join(' ').contains("AR01"));
    EXPECT_TRUE(good.received().join(' ').contains("AR01"));
}

TEST(CliRun, MistakesUsageAndLinksGiveTheirExitCodes) {
    Home home;
    QTemporaryDir dir;
    const QString broken = dir.filePath("broken.json");
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{\n  \"schema\": 1,\n  \"product\": \"X\",\n  \"steps\": [\n    {\"kind\": \"idenitfy\"}\n  ]\n}\n");
    f.close();
    const CliResult mistakes = home.run({"run", broken, "--tcp", "127.0.0.1:9"});
    EXPECT_EQ(mistakes.exitCode, 2);
    EXPECT_TRUE(mistakes.err.contains("line 5")) << mistakes.err.constData();

    const CliResult count = home.run({"run", kRecipes + "bench-check.json", "--tcp", "127.0.0.1:9",
                                      "--unit-serial", "A", "--unit-serial", "B"});
    EXPECT_EQ(count.exitCode, 2);
    EXPECT_EQ(home.run({"identify", "--unit-serial", "A", "--tcp", "127.0.0.1:9"}).exitCode, 2);

    const CliResult noPort = home.run({"run", kRecipes + "bench-check.json", "--json", "--no-records",
                                       "--serial", dir.filePath("no-such-port")});
    EXPECT_EQ(noPort.exitCode, 3) << noPort.out.constData();
}

TEST(CliRun, AnInterruptEndsTheStepInHandAndExits130) {
    Home home;
    // A controller that stays silent long after its restart.
    SimProcess sim({"--model", "v6", "--reboot-ms", "60000"});
    ASSERT_TRUE(sim.serving());
    QTemporaryDir dir;
    const QString recipe = dir.filePath("reboot.json");
    QFile f(recipe);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(R"({"schema": 1, "product": "P", "steps": [{"kind": "reboot", "within-s": 120},
              {"kind": "alarm", "level": 1}]})");
    f.close();
    QProcess cli;
    cli.setProcessEnvironment(home.env);
    cli.start(CliProgram(), QStringList{"run", recipe, "--json"} + sim.link());
    ASSERT_TRUE(cli.waitForStarted(10000));
    CliResult r;
    QDeadlineTimer deadline(60000);
    bool sent = false;
    while (cli.state() == QProcess::Running && !deadline.hasExpired()) {
        cli.waitForReadyRead(50);
        r.out += cli.readAllStandardOutput();
        // Once the reboot was accepted the runner waits for the answer.
        if (!sent && sim.received().join(' ').contains("AR00") && r.out.contains("reboot: started")) {
            ::kill(pid_t(cli.processId()), SIGINT);
            sent = true;
        }
    }
    ASSERT_TRUE(sent);
    r.out += cli.readAllStandardOutput();
    EXPECT_EQ(cli.exitCode(), 130);
    const QJsonObject detail = ResultOf(r).value("detail").toObject();
    EXPECT_EQ(detail.value("verdict").toString(), "interrupted");
    EXPECT_EQ(detail.value("steps").toArray()[1].toObject().value("verdict").toString(), "not-run");
    EXPECT_FALSE(sim.received().join(' ').contains("JF"));
}

}  // namespace

