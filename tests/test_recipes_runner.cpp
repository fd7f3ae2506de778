// Recipes run through the runner against the simulated controller, over real TCP: every
// step kind passes on a good unit and fails for the cause a bad one shows, the flow keeps
// to stop / go-on and retries, and the records keep one recipe run grouping its steps.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSqlQuery>
#include <QXmlStreamReader>
#include <QTemporaryDir>

#include "catalogue/RecipeLoader.h"
#include "records/store/RecordStore.h"
#include "records/exports/RecordsExport.h"
#include "i18n/CauseTexts.h"
#include "i18n/MeasurementTexts.h"
#include "runner/RecipeRunner.h"
#include "sim/SimController.h"
#include "sim/SimServers.h"
#include "procedures/ConnectAndIdentify.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/SimHarness.h"
#include "tests/test_firmware_rig.h"

// Failure messages name texts as they are.
inline std::ostream& operator<<(std::ostream& os, const QString& s) { return os << s.toStdString(); }

using pb::CauseCode;
using sim::Model;

namespace {

const QString kSerial = QStringLiteral("SN000123");

// One simulated controller on 127.0.0.1.
struct Bench {
    explicit Bench(Model model, const QString& id = QString()) : controller(model, id) {
        controller.setSerial(kSerial.toLatin1());
        tcp.listen(0);
        settings.kind = pb::LinkKind::Net;
        settings.ip = QStringLiteral("127.0.0.1");
        settings.tcpPort = QString::number(tcp.port());
    }
    sim::Controller controller;
    sim::TcpServer tcp{controller};
    pb::LinkSettings settings;
};

// What the runner told, in order.
struct Seen : pb::RecipeRunObserver {
    QStringList events;
    std::function<void(int, int)> onStepStarted;
    void recipeStarted(const pb::Recipe& r, const QString& s) override {
        events << QStringLiteral("start %1 %2").arg(r.product, s);
    }
    void stepStarted(int i, int attempt) override {
        events << QStringLiteral("step %1 try %2").arg(i).arg(attempt);
        if (onStepStarted) onStepStarted(i, attempt);
    }
    void stepEnded(int i, const pb::StepResult& r) override {
        events << QStringLiteral("step %1 %2").arg(i).arg(r.verdict.passed() ? "pass" : "fail");
    }
    void recipeEnded(const pb::UnitVerdict& v, const QList<pb::StepResult>&) override {
        events << QStringLiteral("end %1").arg(v.passed ? "pass" : "fail");
    }
};

pb::Recipe Parse(const QByteArray& json) {
    const pb::RecipeLoad load = pb::loadRecipe(json);
    for (const pb::RecipeMistake& m : load.mistakes) ADD_FAILURE() << m.text(0).toStdString();
    return load.recipe.value_or(pb::Recipe{});
}

// A recipe of the given steps (JSON objects, comma-separated).
pb::Recipe Steps(const QByteArray& steps) {
    return Parse(R"({"schema": 1, "product": "Test product", "steps": [)" + steps + "]}");
}

pb::RecipeRunResult RunOn(Bench& bench, const pb::Recipe& recipe, const QString& scanned = kSerial,
                        Seen* seen = nullptr, pb::records::RecordStore* store = nullptr) {
    pb::RecordingClock clock;
    pb::Cancel runnerCancel;
    pb::RecipeRunner runner(recipe, clock, runnerCancel);
    runner.setObserver(seen);
    runner.setRecords(store, QStringLiteral("Ann"), QStringLiteral("station-1"));
    return runner.run({bench.settings, QStringLiteral("0000"), scanned});
}

CauseCode CauseOf(const pb::RecipeRunResult& r, int step) {
    return r.results.value(step).verdict.cause.code;
}

pb::StepState StateOf(const pb::RecipeRunResult& r, int step) { return r.results.value(step).verdict.state; }

// A step's measurement of that name; a default one when there is none.
pb::Measurement MeasuredIn(const pb::RecipeRunResult& r, int step, const char* name) {
    const pb::Measurement* m = pb::Find(r.results.value(step).measurements, QLatin1String(name));
    return m ? *m : pb::Measurement{};
}

constexpr char kIdentifyV6[] =
    R"({"kind": "identify", "models": [6], "model": "KV740MX", "version": {"min": "V6.01.00", "max": "V6.99.99"}})";

TEST(RecipeRunnerIdentify, JudgesModelVersionAndTheScannedSerial) {
    Bench v6(Model::V6);
    const pb::RecipeRunResult good = RunOn(v6, Steps(kIdentifyV6));
    EXPECT_TRUE(good.verdict.passed) << pb::CauseText(good.results[0].verdict.cause, 0);
    EXPECT_EQ(MeasuredIn(good, 0, "model-text").text, "KV740MX");
    EXPECT_EQ(MeasuredIn(good, 0, "version").outcome, pb::MeasureOutcome::Pass);
    ASSERT_TRUE(good.identity);
    EXPECT_EQ(good.identity->serialNumber, kSerial);

    // The wrong label, or the wrong unit on the fixture.
    const pb::RecipeRunResult label = RunOn(v6, Steps(kIdentifyV6), QStringLiteral("SN000999"));
    EXPECT_EQ(CauseOf(label, 0), CauseCode::SerialMismatch);
    EXPECT_EQ(pb::CauseText(label.verdict.cause, 0), "serial number SN000123 does not match the scanned SN000999");
    // Nothing scanned: the serial is not compared.
    EXPECT_TRUE(RunOn(v6, Steps(kIdentifyV6), QString()).verdict.passed);

    EXPECT_EQ(CauseOf(RunOn(v6, Steps(R"({"kind": "identify", "models": [3]})")), 0),
              CauseCode::ModelKindMismatch);
    EXPECT_EQ(CauseOf(RunOn(v6, Steps(R"({"kind": "identify", "model": "KV320MX"})")), 0),
              CauseCode::ModelMismatch);
    const pb::RecipeRunResult old = RunOn(v6, Steps(R"({"kind": "identify", "version": {"min": "V6.02.00"}})"));
    EXPECT_EQ(CauseOf(old, 0), CauseCode::VersionOutOfRange);
    EXPECT_EQ(old.verdict.cause.text("found"), "V6.01.03");
}

TEST(RecipeRunnerIdentify, TheRunsFirstCommandSkipsTheFirstCommandPauseTheWindowsKeepsIt) {
    // The window's connect-and-identify pauses before its very first frame.
    pbtest::SimHarness window(Model::V6, QString(), pbtest::Wire::Tcp);
    QList<int> windowFrames;
    QObject::connect(&window.link, &pb::Link::traffic, &window.link, [&](const pb::TrafficRecord& r) {
        if (r.direction == pb::TrafficRecord::Direction::Sent) windowFrames << int(window.clock.pauses().size());
    });
    ASSERT_EQ(pb::ConnectAndIdentify(window.ctx), pb::Outcome::Ok);
    ASSERT_FALSE(windowFrames.isEmpty());
    EXPECT_EQ(windowFrames.first(), 1);
    EXPECT_EQ(window.clock.pauses().first(), pb::kFirstCommandPauseMs);

    // A recipe run sends its first frame with no pause before it, once: the second
    // identify, and every later command of the first, pause as the window's do.
    Bench v6(Model::V6);
    pb::RecordingClock clock;
    pb::Cancel runnerCancel;
    pb::RecipeRunner runner(Steps(R"({"kind": "identify"}, {"kind": "identify"})"), clock, runnerCancel);
    QList<int> runFrames;
    QObject::connect(&runner.link(), &pb::Link::traffic, &runner.link(), [&](const pb::TrafficRecord& r) {
        if (r.direction == pb::TrafficRecord::Direction::Sent) runFrames << int(clock.pauses().size());
    });
    const pb::RecipeRunResult r = runner.run({v6.settings, QStringLiteral("0000"), kSerial});
    ASSERT_TRUE(r.verdict.passed) << pb::CauseText(r.verdict.cause, 0);
    ASSERT_EQ(runFrames.size(), 2 * windowFrames.size());
    EXPECT_EQ(runFrames.first(), 0);
    const int windowPauses = int(window.clock.pauses().size());
    for (int i = 0; i < windowFrames.size(); ++i) {
        EXPECT_EQ(runFrames[i], windowFrames[i] - 1) << "frame " << i;  // all but the first pause kept
        EXPECT_EQ(runFrames[windowFrames.size() + i], windowPauses - 1 + windowFrames[i]) << "frame " << i;
    }
    EXPECT_EQ(clock.pauses().size(), 2 * windowPauses - 1);
}

TEST(RecipeRunnerIdentify, NoControllerAndNoLinkAreToldApart) {
    Bench silent(Model::V6);
    silent.controller.faults().silentPrefixes = QStringList{QString()};
    EXPECT_EQ(CauseOf(RunOn(silent, Steps(kIdentifyV6)), 0), CauseCode::NoController);

    Bench gone(Model::V6);
    gone.settings.kind = pb::LinkKind::Com;
    gone.settings.portName = QStringLiteral("/tmp/panelbench-no-such-port");
    const pb::RecipeRunResult r = RunOn(gone, Steps(kIdentifyV6));
    EXPECT_EQ(CauseOf(r, 0), CauseCode::LinkOpenFailed);
    EXPECT_EQ(r.verdict.failingStep, 0);
}

// Each shipped recipe's identify step passes on a simulated controller of its family.
TEST(RecipeRunnerIdentify, EveryExampleRecipeLoadsCleanAndKnowsItsFamily) {
    const QList<std::pair<const char*, Model>> examples = {
        {"kv410.json", Model::Kv410},         {"kv740mx-v6.json", Model::V6},
        {"kv320mx-v5.json", Model::V5},       {"kv350mx-v4.json", Model::V4},
        {"kv300mx-v3.json", Model::V3},       {"kv200mx-v2.json", Model::V2},
        {"kv150rb.json", Model::Old20},       {"bench-check.json", Model::V5}};
    QStringList files = QDir(QStringLiteral(PANELBENCH_SOURCE_DIR "/examples/recipes"))
                            .entryList({QStringLiteral("*.json")});
    for (const auto& [name, model] : examples) files.removeAll(QLatin1String(name));
    EXPECT_TRUE(files.isEmpty()) << "an example without a family here: " << files.join(' ').toStdString();

    for (const auto& [name, model] : examples) {
        const pb::RecipeLoad load =
            pb::loadRecipeFile(QStringLiteral(PANELBENCH_SOURCE_DIR "/examples/recipes/") + QLatin1String(name));
        ASSERT_TRUE(load.recipe) << name;
        pb::Recipe first = *load.recipe;
        first.steps = first.steps.mid(0, 1);
        ASSERT_EQ(first.steps[0].kind, pb::TestId::Connect) << name;
        Bench bench(model, model == Model::Old20 ? QStringLiteral("012") : QString());
        const pb::RecipeRunResult r = RunOn(bench, first);
        EXPECT_TRUE(r.verdict.passed) << name << ": " << pb::CauseText(r.results[0].verdict.cause, 0).toStdString()
                                      << " / " << pb::MeasurementsText(r.results[0].measurements, 0).toStdString();
    }
}

TEST(RecipeRunnerCommands, SetDateAlarmFactoryInitialAndReboot) {
    Bench bench(Model::V5);
    bench.controller.setRebootMs(300);
    const pb::RecipeRunResult r = RunOn(bench, Steps(R"(
        {"kind": "set-date", "time": "2026-03-04T05:06:07"},
        {"kind": "alarm", "level": 3},
        {"kind": "factory-initial"},
        {"kind": "reboot", "within-s": 10})"));
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(r.results[i].verdict.passed()) << i << pb::CauseText(r.results[i].verdict.cause, 0);
    EXPECT_TRUE(r.verdict.passed);
    EXPECT_EQ(bench.controller.factoryResets(), 1);
    EXPECT_EQ(bench.controller.reboots(), 2);
    EXPECT_EQ(MeasuredIn(r, 3, "answered-after").unit, "s");
    EXPECT_EQ(MeasuredIn(r, 3, "answered-after").outcome, pb::MeasureOutcome::Pass);
    // Set before the factory reset, so the alarm was cleared by it; the clock was set.
    EXPECT_EQ(MeasuredIn(r, 0, "clock-set").text, "2026-03-04T05:06:07");

    // A controller that stays silent longer than the limit fails the reboot step.
    bench.controller.setRebootMs(4000);
    const pb::RecipeRunResult slow = RunOn(bench, Steps(R"({"kind": "reboot", "within-s": 1})"));
    EXPECT_EQ(CauseOf(slow, 0), CauseCode::NotBackAfterRestart);
}

constexpr char kFixtureDido[] = R"({"kind": "dido", "cycles": 2, "patterns": [
    {"outputs": "1000", "inputs": "1000xxxx"}, {"outputs": "0010", "inputs": "0010xxxx"},
    {"outputs": "0000", "inputs": "0000xxxx"}]})";

TEST(RecipeRunnerDido, PassesOnTheLoopbackFailsWithAStuckInputOnBothVariants) {
    Bench v6(Model::V6);
    v6.controller.setLoopback(true);
    const pb::RecipeRunResult good = RunOn(v6, Steps(kFixtureDido));
    EXPECT_TRUE(good.verdict.passed) << pb::CauseText(good.results[0].verdict.cause, 0) << pb::MeasurementsText(good.results[0].measurements, 0);
    EXPECT_EQ(v6.controller.outputs(), "0000");  // the closing command

    v6.controller.setStuckInput(3, false);
    const pb::RecipeRunResult stuck = RunOn(v6, Steps(kFixtureDido));
    EXPECT_EQ(CauseOf(stuck, 0), CauseCode::InputMismatch);
    EXPECT_EQ(pb::CauseText(stuck.verdict.cause, 0), "cycle 1, outputs 0010: inputs 00000000, expected 0010xxxx (DI3)");
    EXPECT_EQ(MeasuredIn(stuck, 0, "reads-answered").number, 6) << "every cycle read, the failure found at the end";

    // The three-digit device: outputs 1-3, inputs 5 and 6 not read.
    Bench old(Model::Old20, QStringLiteral("012"));
    old.controller.setLoopback(true);
    EXPECT_TRUE(RunOn(old, Steps(kFixtureDido)).verdict.passed);
    old.controller.setStuckInput(1, true);
    EXPECT_EQ(CauseOf(RunOn(old, Steps(kFixtureDido)), 0), CauseCode::InputMismatch);
    const pb::RecipeRunResult unread = RunOn(old, Steps(
        R"({"kind": "dido", "patterns": [{"outputs": "0000", "inputs": "xxxx0xxx"}]})"));
    EXPECT_EQ(CauseOf(unread, 0), CauseCode::InputNotRead);
}

TEST(RecipeRunnerDido, AReadThatIsNotAnsweredFailsEvenWhereNoInputIsChecked) {
    constexpr char kUnchecked[] =
        R"({"kind": "dido", "cycles": 2, "patterns": [{"outputs": "0000", "inputs": "xxxxxxxx"}]})";
    Bench v6(Model::V6);
    ASSERT_TRUE(RunOn(v6, Steps(kUnchecked)).verdict.passed);

    v6.controller.faults().silentPrefixes = {QStringLiteral("DG")};
    const pb::RecipeRunResult deaf = RunOn(v6, Steps(kUnchecked));
    EXPECT_EQ(CauseOf(deaf, 0), CauseCode::NoReply);
    EXPECT_EQ(pb::CauseText(deaf.verdict.cause, 0), "no reply to DG0");
    EXPECT_EQ(MeasuredIn(deaf, 0, "reads-answered").number, 0);
    EXPECT_EQ(MeasuredIn(deaf, 0, "reads-answered").outcome, pb::MeasureOutcome::Fail);

    // The older controller: two commands read its inputs.
    Bench old(Model::Old20, QStringLiteral("012"));
    old.controller.faults().silentPrefixes = {QStringLiteral("DF")};
    const pb::Cause oldCause = RunOn(old, Steps(kUnchecked)).verdict.cause;
    EXPECT_EQ(oldCause.code, CauseCode::NoReply);
    EXPECT_EQ(pb::CauseText(oldCause, 0), "no reply to DF");  // the read that went unanswered
}

TEST(RecipeRunnerReplies, PollSendAndModuleJudgeWhatCameBack) {
    Bench bench(Model::V6);  // five records seeded
    const pb::RecipeRunResult r = RunOn(bench, Steps(R"(
        {"kind": "poll", "at-least": 1, "at-most": 5},
        {"kind": "send", "command": "DG0", "reply": "^DG00000000"},
        {"kind": "module", "command": "A1B", "reply": "V1\\.02"},
        {"kind": "poll", "at-most": 2, "on-failure": "go-on"},
        {"kind": "send", "command": "DG0", "reply": "^DG1", "on-failure": "go-on"})"));
    EXPECT_TRUE(r.results[0].verdict.passed()) << pb::CauseText(r.results[0].verdict.cause, 0);
    EXPECT_EQ(MeasuredIn(r, 0, "records").number, 5);
    EXPECT_TRUE(r.results[1].verdict.passed()) << pb::CauseText(r.results[1].verdict.cause, 0) << pb::MeasurementsText(r.results[1].measurements, 0);
    EXPECT_TRUE(r.results[2].verdict.passed()) << pb::CauseText(r.results[2].verdict.cause, 0) << pb::MeasurementsText(r.results[2].measurements, 0);
    EXPECT_EQ(CauseOf(r, 3), CauseCode::TooManyRecords);
    EXPECT_EQ(CauseOf(r, 4), CauseCode::ReplyMismatch);
    EXPECT_EQ(r.verdict.failingStep, 3);

    bench.controller.faults().silentPrefixes = QStringList{QStringLiteral("DG")};
    EXPECT_EQ(CauseOf(RunOn(bench, Steps(R"({"kind": "send", "command": "DG0", "reply": "DG"})")), 0),
              CauseCode::NoReply);
}

TEST(RecipeRunnerFlow, StopSkipsTheRestGoOnRunsItRetriesCountTries) {
    Bench bench(Model::V6);
    Seen seen;
    const pb::RecipeRunResult stop = RunOn(bench, Steps(R"(
        {"kind": "send", "command": "DG0", "reply": "^NO"},
        {"kind": "alarm", "level": 2})"), kSerial, &seen);
    EXPECT_FALSE(stop.verdict.passed);
    EXPECT_EQ(stop.verdict.failingStep, 0);
    EXPECT_EQ(StateOf(stop, 1), pb::StepState::NotRun);
    EXPECT_EQ(stop.results[1].attempts, 0);
    EXPECT_EQ(bench.controller.alarm(), 0);
    EXPECT_EQ(seen.events, (QStringList{"start Test product SN000123", "step 0 try 1", "step 0 fail",
                                        "end fail"}));

    const pb::RecipeRunResult goOn = RunOn(bench, Steps(R"(
        {"kind": "send", "command": "DG0", "reply": "^NO", "on-failure": "go-on", "retries": 2},
        {"kind": "alarm", "level": 2})"));
    EXPECT_EQ(goOn.results[0].attempts, 3);
    EXPECT_TRUE(goOn.results[1].verdict.passed());
    EXPECT_EQ(bench.controller.alarm(), 2);
    EXPECT_FALSE(goOn.verdict.passed);  // a step that went on still fails the unit
    EXPECT_EQ(goOn.verdict.failingStep, 0);

    // A retry that passes: the reply is missing on the first try only.
    bench.controller.faults().silentPrefixes = QStringList{QStringLiteral("DG")};
    Seen flaky;
    flaky.onStepStarted = [&](int, int attempt) {
        if (attempt == 2) bench.controller.faults().silentPrefixes.clear();
    };
    const pb::RecipeRunResult retried =
        RunOn(bench, Steps(R"({"kind": "send", "command": "DG0", "reply": "^DG0", "retries": 1})"), kSerial, &flaky);
    EXPECT_TRUE(retried.verdict.passed);
    EXPECT_EQ(retried.results[0].attempts, 2);
}

TEST(RecipeRunnerFlow, ACancelEndsTheStepInHandAndLeavesTheRestNotRun) {
    Bench bench(Model::V6);
    bench.controller.setLoopback(true);
    pb::RecordingClock clock;
    pb::Cancel cancel;
    pb::RecipeRunner runner(Steps(QByteArray(kIdentifyV6) + "," + kFixtureDido + R"(, {"kind": "alarm", "level": 1})"),
                            clock, cancel);
    Seen seen;
    seen.onStepStarted = [&](int step, int) {
        if (step == 1) runner.cancel();
    };
    runner.setObserver(&seen);
    const pb::RecipeRunResult r = runner.run({bench.settings, QStringLiteral("0000"), kSerial});
    EXPECT_TRUE(r.cancelled);
    EXPECT_TRUE(r.results[0].verdict.passed());
    EXPECT_EQ(CauseOf(r, 1), CauseCode::Interrupted);
    EXPECT_EQ(StateOf(r, 2), pb::StepState::NotRun);
    EXPECT_EQ(r.verdict.failingStep, 1);
    EXPECT_EQ(bench.controller.alarm(), 0);
    // The runner is ready for the next unit once its owner clears the cancel.
    seen.onStepStarted = nullptr;
    cancel.clear();
    EXPECT_TRUE(runner.run({bench.settings, QStringLiteral("0000"), kSerial}).verdict.passed);
}

// Upgrades against the V6 family's loader: pinned by hash, skipped when the version is
// already wanted, judged again after (the simulated controller keeps its version).
struct UpgradeCase {
    explicit UpgradeCase(int imageBytes = 3 * 512 + 40) {
        file = dir.filePath(QStringLiteral("fw.KVF"));
        bytes = pbtest::FirmwareFileBytes(pbtest::ModelCaseFor(6).header, pbtest::PatternImage(imageBytes, 3));
        QFile f(file);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    }
    // `more`: further fields of the step, each with its leading comma.
    pb::Recipe recipe(const QByteArray& version, bool always, const QByteArray& sha = {},
                      const QByteArray& more = {}) const {
        const QByteArray hash =
            sha.isEmpty() ? QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex() : sha;
        return Steps(R"({"kind": "upgrade", "file": ")" + file.toUtf8() + R"(", "sha256": ")" + hash +
                     R"(", "version": )" + version + R"(, "always": )" + (always ? "true" : "false") + more +
                     "}");
    }
    QTemporaryDir dir;
    QString file;
    QByteArray bytes;
};

TEST(RecipeRunnerUpgrade, SkippedWhenWantedDoneWhenNeededAndJudgedAfter) {
    UpgradeCase fw;
    Bench bench(Model::V6);
    const QByteArray blank = bench.controller.flash();

    const pb::RecipeRunResult skipped = RunOn(bench, fw.recipe(R"({"min": "V6.01.00"})", false));
    EXPECT_TRUE(skipped.verdict.passed);
    EXPECT_EQ(CauseOf(skipped, 0), CauseCode::UpgradeNotNeeded);
    EXPECT_EQ(bench.controller.flash(), blank);

    const pb::RecipeRunResult always = RunOn(bench, fw.recipe(R"({"min": "V6.01.00"})", true));
    EXPECT_TRUE(always.verdict.passed) << pb::CauseText(always.results[0].verdict.cause, 0) << pb::MeasurementsText(always.results[0].measurements, 0);
    EXPECT_EQ(bench.controller.flash().left(3 * 512 + 40), fw.bytes.mid(16));

    // Needed, done, and the controller still reports the old version: the new firmware
    // did not take.
    const pb::RecipeRunResult stale = RunOn(bench, fw.recipe(R"({"min": "V6.02.00"})", false));
    EXPECT_EQ(CauseOf(stale, 0), CauseCode::VersionAfterUpgrade) << pb::CauseText(stale.results[0].verdict.cause, 0);
    EXPECT_EQ(MeasuredIn(stale, 0, "blocks-programmed").number, 4);
    EXPECT_EQ(MeasuredIn(stale, 0, "version-after").outcome, pb::MeasureOutcome::Fail);
}

TEST(RecipeRunnerUpgrade, AWrongHashSendsNothingACorruptVerifyFails) {
    UpgradeCase fw;
    Bench bench(Model::V6);
    bench.controller.clearCommands();
    const pb::RecipeRunResult hash = RunOn(bench, fw.recipe(R"({"min": "V6.02.00"})", false, QByteArray(64, 'a')));
    EXPECT_EQ(CauseOf(hash, 0), CauseCode::FileHashMismatch);
    EXPECT_EQ(bench.controller.flash(), Bench(Model::V6).controller.flash());

    bench.controller.faults().corruptVerifyBlock = 1;
    const pb::RecipeRunResult corrupt = RunOn(bench, fw.recipe(R"({"min": "V6.01.00"})", true));
    EXPECT_EQ(CauseOf(corrupt, 0), CauseCode::VerifyFailed) << pb::CauseText(corrupt.results[0].verdict.cause, 0);
}

bool enteredTheLoader(const sim::Controller& c) {
    for (const QString& text : c.commands())
        if (text.contains(u'Z')) return true;
    return false;
}

TEST(RecipeRunnerUpgrade, NoImageOrMoreBlocksThanTheModelReadsIsRefusedBeforeTheLoader) {
    const UpgradeCase headerOnly(0);
    Bench bench(Model::V6);
    const QByteArray blank = bench.controller.flash();
    bench.controller.clearCommands();
    const pb::RecipeRunResult empty = RunOn(bench, headerOnly.recipe(R"({"min": "V6.01.00"})", true));
    EXPECT_EQ(CauseOf(empty, 0), CauseCode::FileNoImage) << pb::CauseText(empty.results[0].verdict.cause, 0);
    EXPECT_FALSE(enteredTheLoader(bench.controller)) << bench.controller.commands().join(' ');
    EXPECT_EQ(bench.controller.flash(), blank);

    const UpgradeCase huge(200 * 1024);
    const pb::RecipeRunResult tooMany = RunOn(bench, huge.recipe(R"({"min": "V6.01.00"})", true));
    EXPECT_EQ(CauseOf(tooMany, 0), CauseCode::FileTooLarge);
    EXPECT_EQ(pb::CauseText(tooMany.verdict.cause, 0), "the firmware image makes 400 blocks; this controller reads at most 126");
    EXPECT_FALSE(enteredTheLoader(bench.controller));
    EXPECT_EQ(bench.controller.flash(), blank);
}

// A step that asks for a signed release refuses an unsigned file after the identify; a
// signature beside the file is checked with or without the field.
TEST(RecipeRunnerUpgrade, ASignedStepRefusesAnUnsignedFileBeforeTheLoader) {
    UpgradeCase fw;
    Bench bench(Model::V6);
    bench.controller.clearCommands();
    const pb::RecipeRunResult unsigned_ = RunOn(bench, fw.recipe(R"({"min": "V6.01.00"})", true, {}, R"(, "signed": true)"));
    EXPECT_EQ(CauseOf(unsigned_, 0), CauseCode::Unsigned);
    QFile signature(fw.file + ".minisig");
    ASSERT_TRUE(signature.open(QIODevice::WriteOnly));
    signature.write("not a signature\n");
    signature.close();
    EXPECT_EQ(CauseOf(RunOn(bench, fw.recipe(R"({"min": "V6.01.00"})", true)), 0), CauseCode::BadSignature);
    EXPECT_FALSE(enteredTheLoader(bench.controller));
}

TEST(RecipeRunnerUpgrade, AllowPartialProgramsTheModelsShareAndPassesWithAWarning) {
    const UpgradeCase huge(200 * 1024);
    Bench bench(Model::V6);
    QTemporaryDir dir;
    pb::records::RecordStore store;
    ASSERT_TRUE(store.openSqlite(dir.filePath(QStringLiteral("r.sqlite"))).ok());
    const pb::RecipeRunResult r =
        RunOn(bench, huge.recipe(R"({"min": "V6.01.00"})", true, {}, R"(, "allow-partial": true)"), kSerial,
              nullptr, &store);
    EXPECT_TRUE(r.verdict.passed) << pb::CauseText(r.results[0].verdict.cause, 0);
    EXPECT_EQ(CauseOf(r, 0), CauseCode::BlocksLeftOut);
    EXPECT_EQ(pb::CauseText(r.results[0].verdict.cause, 0),
              "passed with a warning: 276 blocks of the file left out, the model takes 124");
    EXPECT_EQ(bench.controller.flash().left(124 * 512), huge.bytes.mid(16, 124 * 512));

    // The step and its upgrade run keep the warning.
    const QList<pb::records::RecipeRunRow> runs = store.queries().recipeRuns({});
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].steps[0].cause.code, CauseCode::BlocksLeftOut);
    EXPECT_EQ(runs[0].steps[0].cause.number("left"), 276);
    pb::records::RunFilter upgradeRuns;
    upgradeRuns.procedure = QStringLiteral("firmware-upgrade");
    const QList<pb::records::RunRow> upgrades = store.queries().runs(upgradeRuns);
    ASSERT_EQ(upgrades.size(), 1);
    EXPECT_EQ(upgrades[0].outcome, pb::records::Outcome::Ok);
    EXPECT_EQ(upgrades[0].details.value("warning").toString(), "blocks-left-out");
    // Every list and export shows it as ok with the warning.
    const QByteArray csv = pb::records::ExportCsv(store, upgradeRuns);
    // The warning column, then the fixture and socket (empty: the unit was tested alone).
    EXPECT_TRUE(csv.split('\n').value(0).trimmed().endsWith(",warning,fixture,socket,cause,cause_values,recipe_sha256,fixture_sha256,tool_version,attempt,retest")) << csv.left(400).toStdString();
    EXPECT_TRUE(csv.split('\n').value(1).contains(",blocks-left-out,,,")) << csv.toStdString();
    const QString html = pb::records::UnitReportHtml(store, upgrades[0].unitId, 2);
    EXPECT_TRUE(html.contains(QStringLiteral("（警告：檔案有 276 塊未寫入）")));
}

TEST(RecipeRunnerRecords, OneRecipeRunGroupsItsStepsRunsAndListsStepsNotRun) {
    QTemporaryDir dir;
    pb::records::RecordStore store;
    ASSERT_TRUE(store.openSqlite(dir.filePath(QStringLiteral("records.sqlite"))).ok());
    Bench bench(Model::V6);
    const pb::Recipe recipe = Steps(QByteArray(kIdentifyV6) + R"(,
        {"kind": "send", "command": "DG0", "reply": "^NO", "retries": 1},
        {"kind": "alarm", "level": 1})");
    const pb::RecipeRunResult r = RunOn(bench, recipe, kSerial, nullptr, &store);
    ASSERT_GT(r.recordId, 0);

    const std::optional<pb::records::RecipeRunRow> row = store.queries().recipeRun(r.recordId);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->recipeName, "Test product");
    EXPECT_EQ(row->recipeHash, recipe.hashHex());
    EXPECT_EQ(row->scannedSerial, kSerial);
    EXPECT_EQ(row->unitSerial, kSerial);
    EXPECT_EQ(row->operatorName, "Ann");
    EXPECT_EQ(row->station, "station-1");
    EXPECT_EQ(row->verdict, "fail");
    EXPECT_EQ(row->failingStep, 1);
    EXPECT_EQ(row->cause.code, CauseCode::ReplyMismatch);
    EXPECT_EQ(row->steps[1].attemptCauses.size(), 2);
    ASSERT_EQ(row->steps.size(), 3);
    EXPECT_EQ(row->steps[0].verdict, "pass");
    EXPECT_EQ(row->steps[1].verdict, "fail");
    EXPECT_EQ(row->steps[1].attempts, 2);
    EXPECT_EQ(row->steps[2].verdict, "not-run");
    EXPECT_EQ(row->steps[2].kind, "alarm");
    // Each step's procedure runs, recorded as any run and tied to the step.
    ASSERT_EQ(row->steps[0].runIds.size(), 1);
    EXPECT_EQ(store.queries().run(row->steps[0].runIds[0])->procedure, "connect");
    ASSERT_EQ(row->steps[1].runIds.size(), 2);
    EXPECT_EQ(store.queries().run(row->steps[1].runIds[1])->procedure, "controller-command");
    EXPECT_EQ(store.queries().run(row->steps[1].runIds[1])->recipeAttempt, 2) << "made by the step's second try";
    EXPECT_TRUE(row->steps[2].runIds.isEmpty());
    EXPECT_EQ(store.queries().recipeRunOf(row->steps[1].runIds[0]), r.recordId);
    EXPECT_EQ(store.queries().run(row->steps[1].runIds[0])->unitSerial, kSerial);

    // Found by serial, newest first, next to a passing run of the same unit.
    RunOn(bench, Steps(kIdentifyV6), kSerial, nullptr, &store);
    pb::records::RunFilter bySerial;
    bySerial.serial = QStringLiteral("000123");
    const QList<pb::records::RecipeRunRow> both = store.queries().recipeRuns(bySerial);
    ASSERT_EQ(both.size(), 2);
    EXPECT_EQ(both[0].verdict, "pass");
    EXPECT_EQ(both[1].id, r.recordId);
    EXPECT_EQ(QList<int>({both[1].retest, both[0].retest}), QList<int>({0, 1})) << "its first test, then its retest";
    EXPECT_TRUE(store.status().ok()) << store.status().detail.toStdString();
}

TEST(RecipeRunnerRecords, ExportsAndTheDetailsPaneShowTheUnitTestWithItsSteps) {
    QTemporaryDir dir;
    pb::records::RecordStore store;
    ASSERT_TRUE(store.openSqlite(dir.filePath(QStringLiteral("records.sqlite"))).ok());
    Bench bench(Model::V6);
    const pb::RecipeRunResult r = RunOn(bench, Steps(QByteArray(kIdentifyV6) + R"(,
        {"kind": "send", "label": "Inputs off", "command": "DG0", "reply": "^NO"},
        {"kind": "alarm", "level": 1})"), kSerial, nullptr, &store);

    // JSON: valid against the schema, the unit test with every step and its runs.
    const QByteArray json = pb::records::ExportJson(store, {});
    const QString file = dir.filePath(QStringLiteral("export.json"));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(json);
    out.close();
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import json, sys, jsonschema\n"
                                 "jsonschema.validate(json.load(open(sys.argv[1])), json.load(open(sys.argv[2])))"),
                  file, QStringLiteral(PANELBENCH_SOURCE_DIR "/docs/records.schema.json")});
    ASSERT_TRUE(python.waitForFinished(60000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QJsonArray recipeRuns = QJsonDocument::fromJson(json).object().value("recipeRuns").toArray();
    ASSERT_EQ(recipeRuns.size(), 1);
    const QJsonObject unitTest = recipeRuns[0].toObject();
    EXPECT_EQ(unitTest.value("verdict").toString(), "fail");
    EXPECT_EQ(unitTest.value("failingStep").toInt(), 2);  // counted from 1, as shown
    const QJsonArray steps = unitTest.value("steps").toArray();
    ASSERT_EQ(steps.size(), 3);
    EXPECT_EQ(steps[2].toObject().value("verdict").toString(), "not-run");
    EXPECT_EQ(steps[1].toObject().value("runIds").toArray().size(), 1);

    // CSV: the step's run carries its unit test, and the unit test has a row of its own.
    const QList<QByteArray> lines = pb::records::ExportCsv(store, {}).split('\n');
    int inRecipe = 0, unitTests = 0;
    for (const QByteArray& line : lines) {
        if (line.contains(",Test product,2 Inputs off,fail")) ++inRecipe;
        if (line.startsWith(",") && line.contains(",recipe,error,")) ++unitTests;
    }
    EXPECT_EQ(inRecipe, 2);
    EXPECT_EQ(unitTests, 1);

    // The unit's report: well-formed, the unit test and its step not reached.
    const QString html = pb::records::UnitReportHtml(store, store.queries().recipeRun(r.recordId)->unitId, 0);
    QXmlStreamReader xml(html);
    while (!xml.atEnd()) xml.readNext();
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_TRUE(html.contains("Unit tests (recipes)"));
    EXPECT_TRUE(html.contains("3. Alarm test"));
    EXPECT_TRUE(html.contains("Not run"));

    // The details of the send step's run, in Traditional Chinese.
    const qint64 sendRun = store.queries().recipeRun(r.recordId)->steps[1].runIds[0];
    const QStringList pane = pb::records::RecipeRunLines(*store.queries().recipeRun(r.recordId), sendRun, 2);
    EXPECT_EQ(pane.value(0), QStringLiteral("配方 Test product：不合格（第 2 步，共 3 步）"));
    EXPECT_TRUE(pane.join('\n').contains("> 2. Inputs off  不合格"));
    // Its step names, the test's one name, in the pane's language too.
    EXPECT_TRUE(pane.join('\n').contains("3. 警報測試  未執行")) << pane.join('\n').toStdString();
}

// A program that died mid-recipe left its unit test running: the next open says so.
TEST(RecipeRunnerRecords, ARecipeRunLeftByAProgramThatDiedIsInterrupted) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("records.sqlite"));
    qint64 mine = 0, gone = 0;
    {
        pb::records::RecordStore store;
        ASSERT_TRUE(store.openSqlite(path).ok());
        pb::records::RecipeRunStart start;
        start.recipeName = QStringLiteral("P");
        start.recipeHash = QString(64, u'0');
        start.startMs = 1000;
        mine = store.recipeWriter().beginRecipeRun(start);
        gone = store.recipeWriter().beginRecipeRun(start);
        QSqlQuery q(store.database());
        ASSERT_TRUE(q.exec(QStringLiteral("UPDATE recipe_runs SET writer = 'elsewhere/1/1' WHERE id = %1").arg(gone)));
    }
    pb::records::RecordStore store;
    ASSERT_TRUE(store.openSqlite(path).ok());
    EXPECT_EQ(store.queries().recipeRun(gone)->verdict, "interrupted");
    EXPECT_EQ(store.queries().recipeRun(mine)->verdict, "running");  // this program still runs
}

}  // namespace

