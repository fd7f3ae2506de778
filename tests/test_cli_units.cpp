// Many units at once: each in its own thread with its own link. One unit's simulator
// stopped mid-upgrade, or one silent controller, leaves the others' results untouched;
// the exit code is the worst of the units.
#include <gtest/gtest.h>

#include <QFile>

#include "tests/support/CliRig.h"
#include "tests/test_firmware_rig.h"

using namespace pbtest;

namespace {

QMap<QString, int> exitByLink(const CliResult& r) {
    QMap<QString, int> m;
    for (const QJsonObject& o : r.eventsOf("result")) m.insert(o.value("link").toString(), o.value("exit").toInt());
    return m;
}

}  // namespace

TEST(CliUnits, FourUnitsOneStoppedMidUpgradeThreeFlashIdenticalImagesExitSeven) {
    const SimModelCase m = ModelCaseFor(3);
    // Enough blocks that the stop lands well before the unit could finish.
    const QByteArray image = PatternImage(100 * 512 + 100, 7);
    QTemporaryDir dir;
    const QString file = WriteFirmware(dir, m.header, image);
    std::vector<std::unique_ptr<SimProcess>> sims;
    QStringList args{"upgrade", file, "--id", m.id, "--json"};
    for (int i = 0; i < 4; ++i) {
        sims.push_back(std::make_unique<SimProcess>(QStringList{"--model", "v5", "--id", m.id, "--delay", "5"}));
        ASSERT_TRUE(sims.back()->serving());
        args += sims.back()->link();
    }
    const QString victim = sims[2]->address();

    // The third simulator goes away once its unit has programmed a few blocks.
    QProcess cli;
    cli.start(CliProgram(), args);
    ASSERT_TRUE(cli.waitForStarted(10000));
    CliResult r;
    bool stopped = false;
    QDeadlineTimer deadline(180000);
    while (cli.state() == QProcess::Running && !deadline.hasExpired()) {
        cli.waitForReadyRead(50);
        r.out += cli.readAllStandardOutput();
        if (stopped) continue;
        for (const QJsonObject& o : r.eventsOf("progress"))
            if (o.value("link").toString() == victim && o.value("phase").toString() == "program" &&
                o.value("done").toInt() >= 3) {
                sims[2]->stop();
                stopped = true;
                break;
            }
    }
    ASSERT_TRUE(cli.state() == QProcess::NotRunning || cli.waitForFinished(5000));
    r.out += cli.readAllStandardOutput();
    ASSERT_TRUE(stopped);
    EXPECT_EQ(cli.exitCode(), 7) << cli.readAllStandardError().constData();

    const QMap<QString, int> exits = exitByLink(r);
    ASSERT_EQ(exits.size(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(exits.value(sims[i]->address()), i == 2 ? 7 : 0) << i;
    for (const QJsonObject& o : r.eventsOf("result"))
        if (o.value("link").toString() == victim) {
            EXPECT_TRUE(o.value("message").toString().contains("half-flashed"));
        }

    for (auto& s : sims) s->stop();
    const QByteArray first = sims[0]->flash();
    EXPECT_EQ(first.left(image.size()), image);
    EXPECT_EQ(sims[1]->flash(), first);
    EXPECT_EQ(sims[3]->flash(), first);
    EXPECT_NE(sims[2]->flash().left(image.size()), image);
}

TEST(CliUnits, SilentAndDisconnectingUnitsDoNotChangeTheOthersFromAUnitsFile) {
    SimProcess good1({"--model", "kv410", "--id", "0011"});
    SimProcess silent({"--model", "kv410", "--silent-all"});
    SimProcess dropping({"--model", "kv410", "--close-mid-reply"});
    SimProcess good2({"--model", "v5", "--id", "0022"}, /*pty=*/true);
    QTemporaryDir dir;
    QFile units(dir.filePath("units.txt"));
    ASSERT_TRUE(units.open(QIODevice::WriteOnly));
    units.write(QStringLiteral("# bench 3\n%1 0011\n%2\n\n%3  # drops the line\n%4 0022\n")
                    .arg(good1.address(), silent.address(), dropping.address(), good2.address())
                    .toUtf8());
    units.close();

    const CliResult r = RunCli({"identify", "--units", units.fileName(), "--json"});
    EXPECT_EQ(r.exitCode, 5);  // the worst: a line lost
    const QMap<QString, int> exits = exitByLink(r);
    EXPECT_EQ(exits.value(good1.address()), 0);
    EXPECT_EQ(exits.value(silent.address()), 4);
    EXPECT_EQ(exits.value(dropping.address()), 5);  // the line went, not the controller
    EXPECT_EQ(exits.value(good2.address()), 0);
    for (const QJsonObject& o : r.eventsOf("result")) {
        const QJsonObject d = o.value("detail").toObject();
        if (o.value("link").toString() == good1.address()) {
            EXPECT_EQ(d.value("deviceId").toString(), "0011");
        }
        if (o.value("link").toString() == good2.address()) {
            EXPECT_EQ(d.value("modelKind").toInt(), 3);
        }
    }
    // Results come as units finish: the good units are not held up by the silent one.
    QStringList order;
    for (const QJsonObject& o : r.eventsOf("result")) order.append(o.value("link").toString());
    EXPECT_LT(order.indexOf(good1.address()), order.indexOf(silent.address()));
    EXPECT_LT(order.indexOf(good2.address()), order.indexOf(silent.address()));

    // The identify of each good unit is exactly the one it would get alone (the log is
    // written as frames arrive).
    EXPECT_EQ(good1.received(), QStringList({"0011AC", "0011DB", "0011AS"}));
    EXPECT_EQ(good2.received(), QStringList({"0022AC", "0022DB", "0022AS"}));

    // The people's output ends with a table of every unit.
    const CliResult human = RunCli({"identify", "--units", units.fileName()});
    EXPECT_EQ(human.exitCode, 5);
    EXPECT_TRUE(human.out.contains("2 of 4 units ok; exit 5")) << human.out.constData();
}
