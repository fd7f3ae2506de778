// An upgrade whose line goes away mid-image: with --retries the command waits until the
// controller answers again on the same stable port name (a new pty behind it, as a
// replugged adapter behind its udev link) and runs the whole upgrade again from the
// start; each try is its own run in the records. Without a retry it fails as before.
#include <gtest/gtest.h>

#include <QJsonArray>

#include "sim/SimModels.h"
#include "tests/support/CliRig.h"
#include "tests/test_firmware_rig.h"

using namespace pbtest;

namespace {

struct LostLine {
    QTemporaryDir dir;
    QString port = dir.filePath(QStringLiteral("ttyFIXTURE0"));
    QString records = dir.filePath(QStringLiteral("records.sqlite"));
    SimModelCase m = ModelCaseFor(3);
    QByteArray image = PatternImage(8 * m.blockSize, 3);
    QString file = WriteFirmware(dir, m.header, image);
    SimProcess sim{{"--model", sim::modelName(m.model), "--id", m.id, "--pty-link", port, "--lose-line-at-block", "3"},
                   true};

    CliResult upgrade(const QStringList& more) {
        return RunCli(QStringList{"upgrade", file, "--id", m.id, "--json", "--serial", port, "--records", records} +
                      more);
    }
    // The upgrade runs the records keep, oldest first: "ok" / "error".
    QStringList upgradeRuns() {
        const CliResult r = RunCli({"records", "list", "--json", "--records", records, "--procedure", "firmware-upgrade"});
        QStringList outcomes;
        for (const QJsonObject& o : r.eventsOf("run")) outcomes.prepend(o.value("outcome").toString());
        return outcomes;
    }
};

QJsonObject ResultOf(const CliResult& r) {
    const auto results = r.eventsOf("result");
    return results.isEmpty() ? QJsonObject{} : results.last();
}

TEST(UpgradeRetries, ALostLineIsWaitedOutAndTheWholeUpgradeRunsAgain) {
    LostLine bench;
    ASSERT_TRUE(bench.sim.serving());
    const CliResult r = bench.upgrade({"--retries", "2"});
    ASSERT_EQ(r.exitCode, 0) << r.out.constData() << r.err.constData();
    bench.sim.stop();
    EXPECT_EQ(bench.sim.flash().left(bench.image.size()), bench.image);

    const QJsonArray tries = ResultOf(r).value("detail").toObject().value("tries").toArray();
    ASSERT_EQ(tries.size(), 2);
    EXPECT_EQ(tries[0].toObject().value("cause").toObject().value("code").toString(), "line-lost");
    EXPECT_EQ(tries[0].toObject().value("exit").toInt(), 5);
    EXPECT_EQ(tries[1].toObject().value("cause").toObject().value("code").toString(), "ok");
    EXPECT_EQ(tries[1].toObject().value("exit").toInt(), 0);
    EXPECT_TRUE(ResultOf(r).value("message").toString().contains("try 2 of 3")) << r.out.constData();
    EXPECT_EQ(bench.upgradeRuns(), QStringList({"error", "ok"}));

    // The second try started over: the loader was entered twice and block 0 programmed twice.
    const QStringList received = bench.sim.received();
    EXPECT_EQ(received.filter(QRegularExpression("Zx33BB$")).size(), 2);
    EXPECT_EQ(received.filter(QRegularExpression("Zp0000")).size(), 2);
}

TEST(UpgradeRetries, WithoutARetryTheLostLineFailsTheUpgrade) {
    LostLine bench;
    ASSERT_TRUE(bench.sim.serving());
    const CliResult r = bench.upgrade({"--retries", "0"});
    EXPECT_EQ(r.exitCode, 7) << r.out.constData();
    EXPECT_FALSE(ResultOf(r).value("detail").toObject().contains("tries"));
    EXPECT_EQ(bench.upgradeRuns(), QStringList({"error"}));

    EXPECT_EQ(RunCli({"identify", "--retries", "1", "--serial", bench.port}).exitCode, 2)
        << "--retries goes with upgrade only";
    EXPECT_EQ(bench.upgrade({"--retries", "-1"}).exitCode, 2);
}

}  // namespace
