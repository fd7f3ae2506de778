// Interrupted runs keep what happened. panelbench-cli killed with SIGKILL mid-upgrade,
// during the restart wait and mid-recipe: the records say how far it came (blocks,
// phase, that the unit may lack firmware, frames; passed steps stay passed). Ctrl-C mid-
// upgrade: kept as interrupted where it stopped, with no retries spent on the stop.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>

#include "firmware/ProgressPacing.h"
#include "i18n/Messages.h"
#include "records/store/RecordStore.h"
#include "tests/support/CliRig.h"
#include "tests/test_firmware_rig.h"

using namespace pbtest;
using pb::records::Outcome;
using pb::records::RecordStore;
using pb::records::RunRow;

namespace {

bool isProgress(const QJsonObject& o, const char* phase, int atLeast) {
    return o.value("event").toString() == "progress" && o.value("phase").toString() == phase &&
           o.value("done").toInt() >= atLeast;
}

// The upgrade run the CLI left in `path`, read after it is gone (opening marks a run of
// a dead writer interrupted).
std::optional<RunRow> upgradeRun(RecordStore& store, const QString& path) {
    store.openSqlite(path);
    pb::records::RunFilter filter;
    filter.procedure = QStringLiteral("firmware-upgrade");
    const QList<RunRow> runs = store.queries().runs(filter);
    if (runs.size() != 1) return std::nullopt;
    return runs.first();
}

struct Upgrade {
    SimModelCase m = ModelCaseFor(3);
    QTemporaryDir dir;
    QString records = dir.filePath(QStringLiteral("records.sqlite"));
    QString file = WriteFirmware(dir, m.header, PatternImage(124 * 512));
    QStringList args(const SimProcess& sim) const {
        return QStringList{"upgrade", file, "--id", m.id, "--json", "--records", records} + sim.link();
    }
};

}  // namespace

TEST(InterruptedRuns, KilledMidProgrammingKeepsBlocksPhaseWarningAndFrames) {
    Upgrade u;
    // Slow replies: seconds of programming, so the traffic has been kept once at least.
    SimProcess sim({"--model", "v5", "--id", u.m.id, "--delay", "25"});
    int seen = 0;
    const CliResult r = SignalCliWhen(u.args(sim), [&](const QJsonObject& o) {
        if (!isProgress(o, "program", 20) || o.value("ms").toInteger() < 3500) return false;
        seen = o.value("done").toInt();
        return true;
    }, SIGKILL);
    ASSERT_GT(seen, 0) << "the upgrade ended before the kill: " << r.out.right(400).constData();
    EXPECT_EQ(r.exitCode, -1);

    RecordStore store;
    const std::optional<RunRow> run = upgradeRun(store, u.records);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->outcome, Outcome::Interrupted);
    EXPECT_EQ(run->details.value("phase").toString(), "program");
    EXPECT_EQ(run->details.value("blocks").toInt(), 124);
    // Written every few blocks: the last report is at most that many behind what was shown.
    EXPECT_GE(run->details.value("programmed").toInt(), seen - pb::ProgressPacing::kBlocks);
    EXPECT_LE(run->details.value("programmed").toInt(), seen);
    EXPECT_TRUE(run->details.value("mayLackFirmware").toBool());
    EXPECT_TRUE(run->details.contains("versionBefore"));
    EXPECT_GT(store.queries().traffic(run->id).frames.size(), 10);
}

TEST(InterruptedRuns, KilledInTheRestartWaitSaysEveryBlockWasVerified) {
    Upgrade u;
    SimProcess sim({"--model", "v5", "--id", u.m.id});
    const QString upgrading = pb::Msg(pb::MsgId::Upgrading, pb::Language::English);
    bool waiting = false;
    SignalCliWhen(u.args(sim), [&](const QJsonObject& o) {
        return waiting = o.value("event").toString() == "step" && o.value("text").toString().startsWith(upgrading);
    }, SIGKILL);
    ASSERT_TRUE(waiting);

    RecordStore store;
    const std::optional<RunRow> run = upgradeRun(store, u.records);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->outcome, Outcome::Interrupted);
    EXPECT_EQ(run->details.value("phase").toString(), "restart");
    EXPECT_EQ(run->details.value("programmed").toInt(), 124);
    EXPECT_EQ(run->details.value("verified").toInt(), 124);
    // Verified whole: the unit has its firmware, restarted or not.
    EXPECT_FALSE(run->details.contains("mayLackFirmware"));
}

TEST(InterruptedRuns, CtrlCMidUpgradeIsKeptAsInterruptedWhereItStoppedWithoutRetries) {
    Upgrade u;
    SimProcess sim({"--model", "v5", "--id", u.m.id, "--delay", "20"});
    const CliResult r = SignalCliWhen(u.args(sim), [](const QJsonObject& o) { return isProgress(o, "program", 10); });
    EXPECT_EQ(r.exitCode, 130) << r.err.constData();
    sim.stop();
    const int programmed = int(sim.received().filter(QRegularExpression("^0001Zp")).size());

    RecordStore store;
    const std::optional<RunRow> run = upgradeRun(store, u.records);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->outcome, Outcome::Interrupted);
    EXPECT_EQ(run->details.value("stoppedIn").toString(), "program");
    EXPECT_EQ(run->details.value("programmed").toInt(), programmed);
    EXPECT_EQ(run->details.value("retries").toObject().value("program").toInt(), 0);
    const QString failure = run->details.value("failure").toString();
    EXPECT_TRUE(failure.startsWith("stopped on request")) << qPrintable(failure);
    EXPECT_FALSE(failure.contains("not programmed")) << qPrintable(failure);
    EXPECT_TRUE(run->details.value("mayLackFirmware").toBool());
    // No block was sent twice: the stop was not taken for a failure to try again.
    EXPECT_EQ(sim.received().filter(QRegularExpression("^0001Zp")).removeDuplicates(), 0);
}

TEST(InterruptedRuns, RecipeKilledInItsThirdStepKeepsTheTwoPassedSteps) {
    QTemporaryDir dir;
    const QString recipe = dir.filePath(QStringLiteral("three.json"));
    QFile f(recipe);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(R"({"schema": 1, "product": "Three steps", "steps": [
        {"kind": "identify", "models": [7]},
        {"kind": "set-date"},
        {"kind": "dido", "cycles": 10000, "patterns": [{"outputs": "0000", "inputs": "00000000"}]}]})");
    f.close();
    const QString records = dir.filePath(QStringLiteral("records.sqlite"));
    SimProcess sim({"--model", "kv410"});
    bool third = false;
    SignalCliWhen(QStringList{"run", recipe, "--json", "--records", records} + sim.link(),
                  [&](const QJsonObject& o) {
                      return third = o.value("event").toString() == "step" &&
                                     o.value("text").toString().startsWith("step 3/3 DIDO test: started");
                  }, SIGKILL);
    ASSERT_TRUE(third);

    RecordStore store;
    store.openSqlite(records);
    const QList<pb::records::RecipeRunRow> runs = store.queries().recipeRuns({});
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].verdict, "interrupted");
    ASSERT_EQ(runs[0].steps.size(), 3);
    EXPECT_EQ(runs[0].steps[0].verdict, "pass");
    EXPECT_EQ(runs[0].steps[1].verdict, "pass");
    EXPECT_EQ(runs[0].steps[2].verdict, "interrupted");  // the step in hand when it was killed
    EXPECT_EQ(runs[0].steps[0].attempts, 1);
}
