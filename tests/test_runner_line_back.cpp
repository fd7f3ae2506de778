// The wait for a controller to answer again after an upgrade lost its line: an adapter
// replugged under another name is followed by its identity, a port that never comes back
// ends the wait without a run in the records for each look, and a recipe's upgrade step
// with retries starts the whole upgrade over once the controller answers.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCryptographicHash>

#include "catalogue/TestCatalogue.h"
#include "procedures/ConnectAndIdentify.h"
#include "recipes/RecipeLoader.h"
#include "runner/LineBack.h"
#include "runner/RecipeRunner.h"
#include "tests/support/SimHarness.h"
#include "tests/test_firmware_rig.h"

using namespace pbtest;

namespace {

struct Quiet : pb::HeadlessSink {
    void status(const QString&) override {}
    void progress(const QString&, int, int) override {}
};

// A headless view and its rig on the harness's link, as the runner and the command line build them.
struct HeadlessRig {
    explicit HeadlessRig(SimHarness& h) : link(h.link), view(h.link, state, sink, [] { return false; }) {
        view.settings = h.view.settings;
        view.idToAsk = QStringLiteral("0001");
    }
    pb::Link& link;
    Quiet sink;
    pb::ControllerState state;
    pb::HeadlessView view;
    pb::RecordingClock clock;
    RecordingRunObserver runs;
    pb::ProcedureContext ctx{link, view, view, view, view, view, clock, state, &runs};
    pb::TestRig rig{ctx, view};
};

pb::PortFacts Ftdi(const QString& name) {
    return {name, QStringLiteral("FT232R USB UART"), QStringLiteral("FTDI"), 0x0403, 0x6001, QStringLiteral("A10K3Z9Q")};
}

TEST(LineBack, AnAdapterPluggedBackUnderAnotherNameIsFollowedByItsIdentity) {
    SimHarness h(sim::Model::Kv410, QStringLiteral("0001"), Wire::Pty);
    ASSERT_TRUE(h.serving());
    QString now = h.view.settings.portName;
    h.link.setPortList([&now] { return QList<pb::PortFacts>{Ftdi(now)}; });
    h.view.id = "0001";
    ASSERT_EQ(pb::ConnectAndIdentify(h.ctx), pb::Outcome::Ok);
    const QString adapter = h.link.adapterId();
    ASSERT_FALSE(adapter.isEmpty());

    // Pulled and plugged back: a new pair, another name.
    const QString before = now;
    auto plugged = std::make_unique<sim::PtyServer>(h.controller);
    ASSERT_TRUE(plugged->open());
    h.pty = std::move(plugged);
    now = h.pty->slavePath();
    ASSERT_NE(now, before);

    HeadlessRig rig(h);
    pb::LineBackWait wait;
    wait.withinS = 5;
    wait.adapterId = adapter;
    wait.ports = [&now] { return QList<pb::PortFacts>{Ftdi(now)}; };
    EXPECT_TRUE(pb::AwaitLineBack(rig.rig, rig.view, rig.clock, wait));
    EXPECT_EQ(rig.view.settings.portName, now);
    ASSERT_EQ(rig.runs.reports.size(), 1) << "one await-answer run, none for the looks before";
    EXPECT_EQ(rig.runs.reports.first().procedure, QStringLiteral("await-answer"));
    QCoreApplication::processEvents();
}

TEST(LineBack, APortThatNeverComesBackEndsTheWaitWithNothingRecorded) {
    SimHarness h(sim::Model::Kv410, QStringLiteral("0001"), Wire::Pty);
    HeadlessRig rig(h);
    rig.view.settings.portName = QStringLiteral("/dev/pts/nonesuch");
    pb::LineBackWait wait;
    wait.withinS = 2;
    wait.adapterId = QStringLiteral("usb:0403:6001:sn=GONE");
    wait.ports = [] { return QList<pb::PortFacts>{}; };
    EXPECT_FALSE(pb::AwaitLineBack(rig.rig, rig.view, rig.clock, wait));
    EXPECT_TRUE(rig.runs.reports.isEmpty());
    EXPECT_EQ(rig.clock.pauses().size(), 5) << "a look each half second for the two seconds";
}

// The V6 family's loader (protocol A) over TCP: the controller drops the line at block 1.
pb::Recipe UpgradeRecipe(const QString& file, const QByteArray& bytes, int retries) {
    const QByteArray hash = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
    const pb::RecipeLoad load = pb::loadRecipe(
        R"({"schema": 1, "product": "P", "steps": [{"kind": "upgrade", "file": ")" + file.toUtf8() +
        R"(", "sha256": ")" + hash + R"(", "version": {"min": "V6.01.00"}, "always": true, "retries": )" +
        QByteArray::number(retries) + "}]}");
    EXPECT_TRUE(load.recipe);
    return load.recipe.value_or(pb::Recipe{});
}

TEST(LineBack, ARecipeUpgradeStepWithARetryStartsOverOnceTheControllerAnswers) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("fw.KVF"));
    const QByteArray image = PatternImage(4 * 512, 6);
    const QByteArray bytes = FirmwareFileBytes(ModelCaseFor(6).header, image);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();

    for (int retries : {1, 0}) {
        SCOPED_TRACE(retries);
        SimHarness h(sim::Model::V6, QString(), Wire::Tcp);
        h.controller.faults().loseLineAtBlock = 1;
        pb::RecordingClock clock;
        pb::RecipeRunner runner(UpgradeRecipe(file, bytes, retries), clock);
        const pb::RecipeRunResult r = runner.run({h.view.settings, QStringLiteral("0000"), {}});
        const int loaderEntries = h.controller.commands().filter(QRegularExpression("Zx33BB$")).size();
        if (retries == 1) {
            EXPECT_TRUE(r.verdict.passed) << r.results[0].verdict.text(0).toStdString();
            EXPECT_EQ(r.results[0].attempts, 2);
            EXPECT_EQ(loaderEntries, 2) << "the whole upgrade again, not the blocks left";
            EXPECT_EQ(h.controller.flash().left(image.size()), image);
        } else {
            EXPECT_EQ(r.verdict.reason.reason, pb::RecipeReason::FlashFailed);
            EXPECT_EQ(loaderEntries, 1);
        }
    }
    QCoreApplication::processEvents();
}

}  // namespace
