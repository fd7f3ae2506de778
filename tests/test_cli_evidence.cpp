// What the command line keeps of a unit is evidence: a controller that dies mid-DI/DO is
// the line's cause, not the unit's; failures of one cause are one row of the figures
// whatever their values and the language of the station; a run made in English reads
// whole in another language; a run killed mid-step keeps its unit and its step in hand;
// an interrupted command is kept as interrupted.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTemporaryDir>

#include "records/store/RecordStore.h"
#include "tests/support/CliRig.h"

using namespace pbtest;

namespace {

struct Home : CliHome {
    // A recipe of these steps, written to the home's folder.
    QString recipe(const QByteArray& steps) const {
        const QString path = dir.filePath(QStringLiteral("recipe.json"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(R"({"schema": 1, "product": "Evidence", "steps": [)" + steps + "]}");
        return path;
    }
};

QJsonObject DetailOf(const CliResult& r) {
    const QList<QJsonObject> results = r.eventsOf("result");
    return results.isEmpty() ? QJsonObject() : results.last().value("detail").toObject();
}

QJsonObject Measured(const QJsonObject& step, const QString& name) {
    for (const QJsonValue& m : step.value("measurements").toArray())
        if (m.toObject().value("name").toString() == name) return m.toObject();
    return {};
}

// A recipe's DI/DO reports no progress of its own: with --traffic, count the input reads
// answered.
std::function<bool(const QJsonObject&)> AfterInputReads(int n) {
    return [n, reads = 0](const QJsonObject& o) mutable {
        if (o.value("event") == "frame" && o.value("dir") == "received" && o.value("frame").toString().contains("DG"))
            ++reads;
        return reads >= n;
    };
}

constexpr char kLongDido[] = R"({"kind": "identify"},
    {"kind": "dido", "cycles": 100000, "patterns": [{"outputs": "1000", "inputs": "1000xxxx"}, {"outputs": "0000", "inputs": "0000xxxx"}]})";

TEST(CliEvidence, AControllerThatDiesMidDidoIsTheLineLostNotTheUnitsInputs) {
    Home home;
    SimProcess sim({"--model", "v5", "--serial", "LB000042", "--loopback"});
    ASSERT_TRUE(sim.serving());
    const CliResult r = RunCliActingWhen(
        QStringList{"run", home.recipe(kLongDido), "--json", "--traffic"} + sim.link(),
        AfterInputReads(3),
        [&sim](qint64) { sim.stop(); }, 120000, home.env);
    const QJsonObject detail = DetailOf(r);
    ASSERT_FALSE(detail.isEmpty()) << r.out.right(2000).constData() << r.err.constData();
    EXPECT_EQ(detail.value("verdict").toString(), "fail");
    EXPECT_EQ(detail.value("failingStep").toInt(), 2);
    EXPECT_EQ(detail.value("cause").toObject().value("code").toString(), "line-lost")
        << QJsonDocument(detail).toJson().constData();
    const QJsonObject dido = detail.value("steps").toArray()[1].toObject();
    EXPECT_EQ(dido.value("cause").toObject().value("code").toString(), "line-lost");
    // The reads it counts are those that went on the line, far short of the cycles asked.
    const QJsonObject answered = Measured(dido, "reads-answered");
    EXPECT_GE(answered.value("number").toInt(), 3);
    EXPECT_LT(answered.value("number").toInt(), 1000);

    pb::records::RecordStore store;
    ASSERT_TRUE(store.openSqlite(home.records()).ok());
    const QList<pb::records::RecipeRunRow> runs = store.queries().recipeRuns({});
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].cause.code, pb::CauseCode::LineLost);
    EXPECT_EQ(runs[0].steps[1].cause.code, pb::CauseCode::LineLost);
    EXPECT_EQ(runs[0].unitSerial, "LB000042") << "identified before the line went";
}

TEST(CliEvidence, FiveUnitsOfOneCauseInTwoLanguagesAreOneRowAndReadWholeInAnother) {
    Home home;
    SimProcess sim({"--model", "v5", "--serial", "LB000042"});
    ASSERT_TRUE(sim.serving());
    const QString recipe = home.recipe(R"({"kind": "identify"})");
    for (int i = 0; i < 5; ++i) {
        const CliResult r = home.run(QStringList{"run", recipe, "--unit-serial", QStringLiteral("LB00010%1").arg(i),
                                                 "--language", i < 3 ? "en" : "zh-Hans", "--json"} +
                                     sim.link());
        EXPECT_EQ(r.exitCode, 4) << r.err.constData();
    }
    const CliResult stats = home.run({"records", "stats", "--by", "cause", "--json"});
    ASSERT_EQ(stats.exitCode, 0) << stats.err.constData();
    const QList<QJsonObject> causes = stats.eventsOf("causes");
    ASSERT_EQ(causes.size(), 1) << stats.out.constData();
    EXPECT_EQ(causes[0].value("cause").toString(), "serial-mismatch");
    EXPECT_EQ(causes[0].value("failures").toInt(), 5);

    // The first, made in English, in Traditional Chinese: every word of the program's own
    // is Chinese; what is left in Latin letters is the unit's and the recipe's.
    pb::records::RecordStore store;
    ASSERT_TRUE(store.openSqlite(home.records()).ok());
    const QList<pb::records::RecipeRunRow> runs = store.queries().recipeRuns({});
    ASSERT_EQ(runs.size(), 5);
    const qint64 first = runs.last().id;
    const CliResult shown = home.run({"records", "show", QStringLiteral("R%1").arg(first), "--language", "zh-Hant"});
    ASSERT_EQ(shown.exitCode, 0) << shown.err.constData();
    QString text = QString::fromUtf8(shown.out);
    text.remove(QRegularExpression(QStringLiteral("\\b[0-9a-f]{16,}\\b")));  // hashes are the file's
    EXPECT_TRUE(text.contains(QStringLiteral("序號 LB000042 與掃描的 LB000100 不符"))) << shown.out.constData();
    // Whole tokens, so that a serial or a model reads as one value.
    static const QRegularExpression word(QStringLiteral("\\b[A-Za-z][A-Za-z0-9.-]*"));
    static const QRegularExpression values(QStringLiteral("^(LB\\d+|KV\\w+|V[\\d.]+|Evidence|SHA-256|ID|R\\d+|ms|s)$"));
    QStringList english;
    for (auto m = word.globalMatch(text); m.hasNext();) {
        const QString w = m.next().captured();
        if (!values.match(w).hasMatch() && w != QSysInfo::machineHostName()) english << w;  // the station's name
    }
    EXPECT_TRUE(english.isEmpty()) << english.join(' ').toStdString() << "\n" << shown.out.constData();
}

TEST(CliEvidence, ARunKilledMidStepKeepsItsUnitAndItsStepInHandIsInterrupted) {
    Home home;
    SimProcess sim({"--model", "v5", "--serial", "LB000042", "--loopback"});
    ASSERT_TRUE(sim.serving());
    RunCliActingWhen(
        QStringList{"run", home.recipe(kLongDido), "--unit-serial", "LB000042", "--json", "--traffic"} + sim.link(),
        AfterInputReads(2),
        [](qint64 pid) { ::kill(pid_t(pid), SIGKILL); }, 120000, home.env);

    // Any command that opens the store next finds the run left behind.
    const CliResult listed = home.run({"records", "list", "--serial", "LB000042", "--json"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err.constData();
    pb::records::RecordStore store;
    ASSERT_TRUE(store.openSqlite(home.records()).ok());
    const QList<pb::records::RecipeRunRow> runs = store.queries().recipeRuns({});
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].verdict, "interrupted");
    EXPECT_EQ(runs[0].unitSerial, "LB000042");
    EXPECT_GT(runs[0].unitId, 0);
    EXPECT_EQ(runs[0].steps[0].verdict, "pass");
    EXPECT_EQ(runs[0].steps[1].verdict, "interrupted");
    EXPECT_EQ(runs[0].steps[1].cause.code, pb::CauseCode::Interrupted);
    EXPECT_TRUE(listed.out.contains("LB000042")) << listed.out.constData();
}

TEST(CliEvidence, AnInterruptedDidoIsKeptAsInterrupted) {
    Home home;
    SimProcess sim({"--model", "v5", "--serial", "LB000042"});
    ASSERT_TRUE(sim.serving());
    const CliResult r = RunCliActingWhen(
        QStringList{"dido", "--cycles", "0", "--json"} + sim.link(),
        [](const QJsonObject& o) { return o.value("event") == "progress" && o.value("done").toInt() >= 2; },
        [](qint64 pid) { ::kill(pid_t(pid), SIGINT); }, 120000, home.env);
    EXPECT_EQ(r.exitCode, 130) << r.err.constData();
    pb::records::RecordStore store;
    ASSERT_TRUE(store.openSqlite(home.records()).ok());
    pb::records::RunFilter dido;
    dido.procedure = QStringLiteral("dido");
    const QList<pb::records::RunRow> runs = store.queries().runs(dido);
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].outcome, pb::records::Outcome::Interrupted);
    EXPECT_EQ(runs[0].cause.code, pb::CauseCode::Interrupted);
    const CliResult shown = home.run({"records", "show", QString::number(runs[0].id)});
    QString outcome;
    for (const QString& line : QString::fromUtf8(shown.out).split('\n'))
        if (line.startsWith("outcome")) outcome = line;
    EXPECT_TRUE(outcome.contains("interrupted", Qt::CaseInsensitive)) << shown.out.constData();
}

// A retry group: the restart and the identify again, twice more, on a unit whose first three
// serial replies come blank (the first restart identifies the unit before it): the first two
// identifies fail, the third passes, and all three are kept.
TEST(CliEvidence, ARetryGroupPassesOnTheThirdIdentifyAndKeepsEveryAttempt) {
    Home home;
    SimProcess sim({"--model", "v5", "--serial", "LB000042", "--blank-serial-first", "3"});
    ASSERT_TRUE(sim.serving());
    const QString recipe =
        home.recipe(R"({"kind": "reboot"}, {"kind": "identify", "retry": {"steps": [1, 2], "times": 2}})");
    const CliResult r = home.run(QStringList{"run", recipe, "--unit-serial", "LB000042", "--json"} + sim.link());
    EXPECT_EQ(r.exitCode, 0) << r.out.constData() << r.err.constData();
    EXPECT_EQ(DetailOf(r).value("verdict").toString(), "pass") << r.out.constData();
    pb::records::RecordStore store;
    ASSERT_TRUE(store.openSqlite(home.records()).ok());
    const QList<pb::records::RecipeRunRow> runs = store.queries().recipeRuns({});
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].verdict, "pass");
    ASSERT_EQ(runs[0].steps.size(), 2);
    EXPECT_EQ(runs[0].steps[1].attempts, 3);
    ASSERT_EQ(runs[0].steps[1].attemptCauses.size(), 3);
    EXPECT_EQ(runs[0].steps[1].attemptCauses[0].code, pb::CauseCode::SerialMismatch);
    EXPECT_EQ(runs[0].steps[1].attemptCauses[1].code, pb::CauseCode::SerialMismatch);
    EXPECT_EQ(runs[0].steps[1].attemptCauses[2].code, pb::CauseCode::Ok);
    EXPECT_EQ(sim.received().filter(QRegularExpression("AS$")).size(), 4) << sim.received().join(' ').toStdString();
}

}  // namespace
