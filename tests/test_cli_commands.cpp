// Every command of panelbench-cli end to end against panelbench-sim: the frames the
// simulator received are exactly those the window's procedure sends for the same action
// (run here in-process against a simulated controller of the same model and ID).
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>

#include "catalogue/TestCatalogue.h"
#include "firmware/FirmwareUpgrade.h"
#include "procedures/CommandConsoles.h"
#include "procedures/ConnectAndIdentify.h"
#include "procedures/PollingTest.h"
#include "procedures/SystemCommands.h"
#include "tests/support/CliRig.h"
#include "tests/support/SimHarness.h"
#include "tests/test_firmware_rig.h"

using namespace pbtest;

namespace {

// The window's frames: the procedure on an in-process controller of the same model.
QStringList windowFrames(sim::Model model, const QString& id, const std::function<void(SimHarness&)>& action) {
    SimHarness h(model, id, Wire::Tcp);
    action(h);
    return h.controller.commands();
}

// State as after an identify, for commands run with --model-kind.
void identified(SimHarness& h, const QString& id, int kind) {
    h.state.deviceId = id;
    h.state.modelKind = kind;
}

QJsonObject resultOf(const CliResult& r) {
    const auto results = r.eventsOf(QStringLiteral("result"));
    return results.isEmpty() ? QJsonObject() : results.last();
}

}  // namespace

TEST(CliCommands, IdentifySetDateAlarmConsolesSendTheWindowsFrames) {
    struct Case {
        QStringList args;
        std::function<void(SimHarness&)> window;
    };
    const QDateTime when(QDate(2026, 12, 7), QTime(8, 5, 9));
    const QList<Case> cases = {
        {{"identify", "--id", "0123"},
         [](SimHarness& h) {
             h.view.id = "0123";
             EXPECT_EQ(pb::ConnectAndIdentify(h.ctx), pb::Outcome::Ok);
         }},
        {{"set-date", "--time", "2026-12-07T08:05:09", "--id", "0123", "--model-kind", "7"},
         [&](SimHarness& h) {
             identified(h, "0123", 7);
             h.clock.setNow(when);
             EXPECT_EQ(pb::SetDateTime(h.ctx), pb::Outcome::Ok);
         }},
        {{"alarm", "6", "--id", "0123", "--model-kind", "7"},
         [](SimHarness& h) {
             identified(h, "0123", 7);
             EXPECT_EQ(pb::AlarmTest(h.ctx, 6), pb::Outcome::Ok);
         }},
        {{"factory-initial", "--id", "0123", "--model-kind", "7"},
         [](SimHarness& h) {
             identified(h, "0123", 7);
             EXPECT_EQ(pb::FactoryInitial(h.ctx), pb::Outcome::Ok);
         }},
        {{"send", "DB", "--id", "0123", "--model-kind", "7"},
         [](SimHarness& h) {
             identified(h, "0123", 7);
             EXPECT_EQ(pb::ControllerCommand(h.ctx, "DB"), pb::Outcome::Ok);
         }},
        {{"module", "H", "8", "xyz", "--id", "0123", "--model-kind", "7"},
         [](SimHarness& h) {
             identified(h, "0123", 7);
             EXPECT_EQ(pb::ModuleCommand(h.ctx, 2, "8", "xyz"), pb::Outcome::Ok);
         }},
        // Without --model-kind the command identifies first, as a technician clicks Connect.
        {{"alarm", "0", "--id", "0123"},
         [](SimHarness& h) {
             h.view.id = "0123";
             EXPECT_EQ(pb::ConnectAndIdentify(h.ctx), pb::Outcome::Ok);
             EXPECT_EQ(pb::AlarmTest(h.ctx, 0), pb::Outcome::Ok);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(qPrintable(c.args.join(' ')));
        SimProcess sim({"--model", "kv410", "--id", "0123"});
        ASSERT_TRUE(sim.serving());
        const CliResult r = RunCli(c.args + sim.link() + QStringList{"--json"});
        EXPECT_EQ(r.exitCode, 0) << r.err.constData() << r.out.constData();
        sim.stop();
        EXPECT_EQ(sim.received(), windowFrames(sim::Model::Kv410, "0123", c.window));
        EXPECT_TRUE(resultOf(r).value("ok").toBool());
    }
}

TEST(CliCommands, IdentifyReportsWhatTheWindowShows) {
    SimProcess sim({"--model", "v5", "--id", "0042", "--serial", "SN123456"});
    const CliResult r = RunCli(QStringList{"identify", "--id", "0042", "--json"} + sim.link());
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QJsonObject detail = resultOf(r).value("detail").toObject();
    EXPECT_EQ(detail.value("deviceId").toString(), "0042");
    EXPECT_EQ(detail.value("modelKind").toInt(), 3);
    EXPECT_EQ(detail.value("version").toString(), "KV320MX -V5.10.02");
    EXPECT_EQ(detail.value("serialNumber").toString(), "SN123456");
}

TEST(CliCommands, RebootOfTheOlderControllerWaitsAndAsksAgain) {
    SimProcess sim({"--model", "old20", "--id", "045", "--reboot-ms", "500"}, /*pty=*/true);
    ASSERT_TRUE(sim.serving());
    const CliResult r = RunCli(QStringList{"reboot", "--id", "045", "--model-kind", "4"} + sim.link());
    EXPECT_EQ(r.exitCode, 0) << r.err.constData() << r.out.constData();
    sim.stop();
    EXPECT_EQ(sim.received(), QStringList({"045AJ", "045AS"}));
}

TEST(CliCommands, DidoRunsTheGivenCyclesWithTheTickedOutputsThenTheClosingCommand) {
    SimProcess sim({"--model", "kv410", "--inputs", "10100001"});
    const CliResult r = RunCli(QStringList{"dido", "--cycles", "2", "--outputs", "1010", "--model-kind", "7", "--json"} +
                               sim.link());
    ASSERT_EQ(r.exitCode, 0) << r.err.constData() << r.out.constData();
    sim.stop();
    const QString jc1 = "0000JC00110002", jc3 = "0000JC00310002";
    EXPECT_EQ(sim.received(), QStringList({jc1, jc3, "0000DG0", jc1, jc3, "0000DG0", "0000JD"}));
    const QJsonObject detail = resultOf(r).value("detail").toObject();
    EXPECT_EQ(detail.value("cycles").toInt(), 2);
    EXPECT_EQ(detail.value("inputs").toString(), "10100001");
    EXPECT_TRUE(detail.value("closingCommandSent").toBool());
}

TEST(CliCommands, PollReadsEveryRecordAsTheWindowDoes) {
    SimProcess sim({"--model", "kv410"});
    const CliResult r = RunCli(QStringList{"poll", "--model-kind", "7", "--json"} + sim.link());
    ASSERT_EQ(r.exitCode, 0) << r.err.constData() << r.out.constData();
    sim.stop();
    EXPECT_EQ(sim.received(), windowFrames(sim::Model::Kv410, "0000", [](SimHarness& h) {
                  identified(h, "0000", 7);
                  EXPECT_EQ(pb::PollingTestClick(h.ctx), pb::Outcome::Ok);
              }));
    const QJsonArray records = resultOf(r).value("detail").toObject().value("records").toArray();
    EXPECT_EQ(records.size(), 5);  // the simulator's seeded store
    const auto progress = r.eventsOf("progress");
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.last().value("done").toInt(), 5);
    EXPECT_EQ(progress.last().value("total").toInt(), 5);
}

TEST(CliCommands, UpgradeIdentifiesThenFlashesAsTheWindowDoesInProtocolsAAndB) {
    for (int kind : {3, 5}) {
        SCOPED_TRACE(kind);
        const SimModelCase m = ModelCaseFor(kind);
        const QByteArray image = PatternImage(3 * m.blockSize + 17, kind);
        QTemporaryDir dir;
        const QString file = WriteFirmware(dir, m.header, image);
        SimProcess sim({"--model", sim::modelName(m.model), "--id", m.id});
        const CliResult r = RunCli(QStringList{"upgrade", file, "--id", m.id, "--json"} + sim.link());
        ASSERT_EQ(r.exitCode, 0) << r.err.constData() << r.out.constData();
        sim.stop();
        EXPECT_EQ(sim.flash().left(image.size()), image);
        EXPECT_EQ(sim.received(), windowFrames(m.model, m.id, [&](SimHarness& h) {
                      h.view.id = m.id;
                      ASSERT_EQ(pb::ConnectAndIdentify(h.ctx), pb::Outcome::Ok);
                      RecordingBars bars;
                      pb::FirmwareBuffer buffer;
                      const pb::FirmwareJob job{file, h.state.deviceId, h.state.modelKind, h.view.version};
                      EXPECT_EQ(pb::FirmwareUpgrade(h.link, h.view.settings, h.view, bars, h.clock).run(job, buffer),
                                pb::UpgradeOutcome::Upgraded);
                  }));
        const QJsonObject detail = resultOf(r).value("detail").toObject();
        EXPECT_EQ(detail.value("blocks").toInt(), 4);
        EXPECT_EQ(detail.value("blocksProgrammed").toInt(), 4);
        EXPECT_EQ(detail.value("blocksVerified").toInt(), 4);
    }
}

// What a newcomer tries first: the simulator writes a firmware file for the model it is
// told, and that file upgrades a simulator of that model through the command line.
TEST(CliCommands, TheSimulatorWritesAFirmwareFileThatUpgradesItsModel) {
    struct Case {
        QStringList model;  // --model NAME [--product TEXT]
        const char* id;
        int blockSize;
    };
    const Case cases[] = {
        {{"--model", "v5"}, "0001", 512},  {{"--model", "r6"}, "0001", 512},
        {{"--model", "v3"}, "0001", 256},
        {{"--model", "v2"}, "0001", 256},  {{"--model", "v3", "--product", "KV580MX"}, "0001", 256},
        {{"--model", "old20"}, "012", 64}, {{"--model", "old28"}, "012", 64},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model.join(' ').toStdString());
        const QString file = dir.filePath(c.model.join('-') + ".KVF");
        QProcess writer;
        writer.start(SimProgram(), c.model + QStringList{"--write-firmware", file});
        ASSERT_TRUE(writer.waitForFinished(20000));
        ASSERT_EQ(writer.exitCode(), 0) << writer.readAllStandardError().constData();
        EXPECT_TRUE(writer.readAllStandardOutput().startsWith("FIRMWARE " + file.toLocal8Bit()));
        QFile written(file);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        const QByteArray bytes = written.readAll();
        ASSERT_EQ(bytes.size(), 16 + 8 * c.blockSize);

        SimProcess sim(c.model + QStringList{"--id", c.id});
        const CliResult r = RunCli(QStringList{"upgrade", file, "--id", c.id, "--no-records"} + sim.link());
        EXPECT_EQ(r.exitCode, 0) << r.out.constData() << r.err.constData();
        EXPECT_TRUE(r.out.contains("OK: 8 blocks programmed and verified")) << r.out.constData();
        sim.stop();
        EXPECT_EQ(sim.flash().left(8 * c.blockSize), bytes.mid(16));
    }

    // A model without a boot loader takes no firmware file: none is written.
    QProcess writer;
    writer.start(SimProgram(), {"--model", "kv410", "--write-firmware", dir.filePath("kv410.KVF")});
    ASSERT_TRUE(writer.waitForFinished(20000));
    EXPECT_EQ(writer.exitCode(), 1);
    EXPECT_TRUE(writer.readAllStandardError().contains("no boot loader"));
    EXPECT_FALSE(QFile::exists(dir.filePath("kv410.KVF")));
}

TEST(CliCommands, ATestsRecordsNameRunsTheSameCommandAsItsOlderName) {
    const QList<std::pair<QStringList, QStringList>> pairs = {
        {{"connect"}, {"identify"}},
        {{"polling", "--model-kind", "7"}, {"poll", "--model-kind", "7"}},
        {{"controller-command", "DB", "--model-kind", "7"}, {"send", "DB", "--model-kind", "7"}},
        {{"module-command", "H", "8", "xyz", "--model-kind", "7"}, {"module", "H", "8", "xyz", "--model-kind", "7"}},
    };
    for (const auto& [byName, byOlder] : pairs) {
        SCOPED_TRACE(qPrintable(byName.join(' ')));
        QStringList frames[2];
        QJsonObject results[2];
        QList<QJsonObject> starts[2];
        for (int i = 0; i < 2; ++i) {
            SimProcess sim({"--model", "kv410"});
            ASSERT_TRUE(sim.serving());
            const CliResult r = RunCli((i == 0 ? byName : byOlder) + sim.link() + QStringList{"--json", "--no-records"});
            EXPECT_EQ(r.exitCode, 0) << r.err.constData() << r.out.constData();
            sim.stop();
            frames[i] = sim.received();
            results[i] = resultOf(r);
            starts[i] = r.eventsOf(QStringLiteral("start"));
        }
        EXPECT_FALSE(frames[0].isEmpty());
        EXPECT_EQ(frames[0], frames[1]);
        EXPECT_EQ(results[0].value("message"), results[1].value("message"));
        // (The polled records' dates are the simulator's clock's, so the details' keys.)
        EXPECT_EQ(results[0].value("detail").toObject().keys(), results[1].value("detail").toObject().keys());
        // The output goes by the command line's own name for the command.
        ASSERT_EQ(starts[0].size(), 1);
        EXPECT_EQ(starts[0][0].value("command").toString(), byOlder[0]);
        EXPECT_EQ(results[0].value("command").toString(), byOlder[0]);
    }
    // Waiting for an answer is no command of its own.
    const CliResult awaiting = RunCli({"await-answer", "--tcp", "127.0.0.1:1"});
    EXPECT_EQ(awaiting.exitCode, 2);
    EXPECT_TRUE(awaiting.err.contains("unknown command 'await-answer'")) << awaiting.err.constData();
    // A usage mistake names the command as it was given, its arguments those of its test.
    const CliResult noFile = RunCli({"firmware-upgrade", "--tcp", "127.0.0.1:1"});
    EXPECT_EQ(noFile.exitCode, 2);
    EXPECT_TRUE(noFile.err.contains("'firmware-upgrade' takes 1 argument(s), not 0")) << noFile.err.constData();
}

namespace {

}  // namespace

// A test that runs by itself is a command: its usage and help line come from its row.
TEST(CliCommands, EveryTestsCommandIsInTheHelpWithItsUsage) {
    const CliResult shown = RunCli({"--help"});
    ASSERT_EQ(shown.exitCode, 0);
    const QString help = QString::fromUtf8(shown.out);
    // The documents' lists of tests are docs/tests.md's and the manual page's (TestDocs.*).
    for (const pb::TestDescriptor& e : pb::Catalogue()) {
        const QString command = e.commandName();
        SCOPED_TRACE(qPrintable(command));
        if (!e.standalone) {
            EXPECT_FALSE(help.contains(QStringLiteral("\n  ") + command)) << "no command of its own";
            continue;
        }
        const QString usage = e.usage().isEmpty() ? QString() : u' ' + e.usage();
        EXPECT_TRUE(help.contains(QStringLiteral("\n  ") + command + usage)) << qPrintable(help);
        EXPECT_TRUE(help.contains(QString::fromLatin1(e.help).split(u'\n').last()));
    }
}
