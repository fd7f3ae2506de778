// The runner's wait for a controller to answer again, after a restart or a try the line
// failed: an adapter replugged under another name is followed by its identity, a port
// that never comes back fails the step without a run in the records for each look, and
// a recipe's upgrade step with retries starts the whole upgrade over once the controller
// answers.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCryptographicHash>

#include "catalogue/RecipeLoader.h"
#include "catalogue/TestNames.h"
#include "i18n/CauseTexts.h"
#include "runner/RecipeRunner.h"
#include "tests/support/SimHarness.h"
#include "tests/test_firmware_rig.h"

using namespace pbtest;

namespace {

pb::PortFacts Ftdi(const QString& name) {
    return {name, QStringLiteral("FT232R USB UART"), QStringLiteral("FTDI"), 0x0403, 0x6001, QStringLiteral("A10K3Z9Q")};
}

pb::Recipe Parse(const QByteArray& steps) {
    const pb::RecipeLoad load = pb::loadRecipe(R"({"schema": 1, "product": "P", "steps": [)" + steps + "]}");
    for (const pb::RecipeMistake& m : load.mistakes) ADD_FAILURE() << m.text(0).toStdString();
    return load.recipe.value_or(pb::Recipe{});
}

int AwaitRuns(const RecordingRunObserver& runs) {
    int n = 0;
    for (const pb::RunReport& r : runs.reports) n += pb::TestName(r.test) == QLatin1String("await-answer");
    return n;
}

TEST(LineBack, AnAdapterPluggedBackUnderAnotherNameDuringARestartIsFollowedByItsIdentity) {
    SimHarness h(sim::Model::Kv410, QStringLiteral("0001"), Wire::Pty);
    ASSERT_TRUE(h.serving());
    h.controller.setRebootMs(300);
    QString now = h.view.settings.portName;
    const QString before = now;

    pb::RecordingClock clock;
    pb::Cancel cancel;
    pb::RecipeRunner runner(Parse(R"({"kind": "identify"}, {"kind": "reboot", "within-s": 10},
                                     {"kind": "identify"})"),
                            clock, cancel);
    RecordingRunObserver runs;
    runner.setRunObserver(&runs);
    runner.link().setPortList([&now] { return QList<pb::PortFacts>{Ftdi(now)}; });
    // At the first look after the restart the adapter was pulled and plugged back: a new
    // pair, another name.
    bool replugged = false;
    std::unique_ptr<sim::PtyServer> placeholder;  // holds the old name should the system reuse it
    runner.setPorts([&] {
        if (!replugged) {
            replugged = true;
            h.pty = std::make_unique<sim::PtyServer>(h.controller);
            EXPECT_TRUE(h.pty->open());
            if (h.pty->slavePath() == before) {
                placeholder = std::move(h.pty);
                h.pty = std::make_unique<sim::PtyServer>(h.controller);
                EXPECT_TRUE(h.pty->open());
            }
            now = h.pty->slavePath();
        }
        return QList<pb::PortFacts>{Ftdi(now)};
    });
    pb::RecipeUnit unit{h.view.settings, QStringLiteral("0001"), {}};
    const pb::RecipeRunResult r = runner.run(unit);
    EXPECT_TRUE(replugged);
    EXPECT_NE(now, before);
    EXPECT_TRUE(r.verdict.passed) << pb::CauseText(r.verdict.cause, 0).toStdString();
    EXPECT_EQ(r.results.value(2).verdict.state, pb::StepState::Passed) << "identified on the new name";
    EXPECT_EQ(AwaitRuns(runs), 1) << "one await-answer run, none for the looks before";
    QCoreApplication::processEvents();
}

TEST(LineBack, APortThatNeverComesBackFailsTheRestartWithNothingRecordedForTheLooks) {
    SimHarness h(sim::Model::Kv410, QStringLiteral("0001"), Wire::Pty);
    ASSERT_TRUE(h.serving());
    pb::RecordingClock clock;
    pb::Cancel cancel;
    pb::RecipeRunner runner(Parse(R"({"kind": "identify"}, {"kind": "reboot", "within-s": 2})"), clock, cancel);
    RecordingRunObserver runs;
    runner.setRunObserver(&runs);
    runner.link().setPortList([&h] { return QList<pb::PortFacts>{Ftdi(h.view.settings.portName)}; });
    // Pulled at the first look and never plugged back.
    runner.setPorts([&h] {
        h.pty.reset();
        return QList<pb::PortFacts>{};
    });
    const pb::RecipeRunResult r = runner.run({h.view.settings, QStringLiteral("0001"), {}});
    EXPECT_EQ(r.verdict.failingStep, 1);
    EXPECT_EQ(r.verdict.cause, pb::Cause::of(pb::CauseCode::NotBackAfterRestart, {2}));
    EXPECT_EQ(AwaitRuns(runs), 0);
    EXPECT_EQ(clock.pauses().count(500), 5) << "a look each half second for the two seconds";
}

// The V6 family's loader (protocol A) over TCP: the controller drops the line at block 1.
TEST(LineBack, ARecipeUpgradeStepWithARetryStartsOverOnceTheControllerAnswers) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("fw.KVF"));
    const QByteArray image = PatternImage(4 * 512, 6);
    const QByteArray bytes = FirmwareFileBytes(ModelCaseFor(6).header, image);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    const QByteArray hash = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();

    for (int retries : {1, 0}) {
        SCOPED_TRACE(retries);
        SimHarness h(sim::Model::V6, QString(), Wire::Tcp);
        h.controller.faults().loseLineAtBlock = 1;
        pb::RecordingClock clock;
        pb::Cancel cancel;
        pb::RecipeRunner runner(Parse(R"({"kind": "upgrade", "file": ")" + file.toUtf8() + R"(", "sha256": ")" + hash +
                                      R"(", "version": {"min": "V6.01.00"}, "always": true, "retries": )" +
                                      QByteArray::number(retries) + "}"),
                                clock, cancel);
        const pb::RecipeRunResult r = runner.run({h.view.settings, QStringLiteral("0000"), {}});
        const int loaderEntries = h.controller.commands().filter(QRegularExpression("Zx33BB$")).size();
        const pb::StepResult& step = r.results.value(0);
        if (retries == 1) {
            EXPECT_TRUE(r.verdict.passed) << pb::CauseText(step.verdict.cause, 0).toStdString();
            EXPECT_EQ(step.attempts, 2);
            ASSERT_EQ(step.attemptCauses.size(), 2);
            EXPECT_EQ(step.attemptCauses[0].code, pb::CauseCode::LineLost) << "the first try's cause is kept";
            EXPECT_EQ(loaderEntries, 2) << "the whole upgrade again, not the blocks left";
            EXPECT_EQ(h.controller.flash().left(image.size()), image);
        } else {
            EXPECT_EQ(step.verdict.cause.code, pb::CauseCode::LineLost);
            EXPECT_EQ(loaderEntries, 1);
        }
    }
    QCoreApplication::processEvents();
}

}  // namespace
