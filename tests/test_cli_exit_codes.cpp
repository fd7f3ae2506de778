// Every exit code of panelbench-cli from a real cause: no link given, a link that cannot
// be opened, a silent controller, a bad checksum, a wrong firmware header, a corrupt
// verify, and SIGINT in the middle of an upgrade and of a DI/DO test.
#include <gtest/gtest.h>

#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>

#include "tests/support/CliRig.h"
#include "tests/test_firmware_rig.h"

using namespace pbtest;

namespace {

QString messageOf(const CliResult& r) {
    const auto results = r.eventsOf(QStringLiteral("result"));
    return results.isEmpty() ? QString() : results.last().value("message").toString();
}

// A loopback port nobody listens on.
QString closedPort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    const quint16 port = s.serverPort();
    s.close();
    return QStringLiteral("127.0.0.1:%1").arg(port);
}

bool isProgress(const QJsonObject& o, const char* phase, int atLeast) {
    return o.value("event").toString() == "progress" && o.value("phase").toString() == phase &&
           o.value("done").toInt() >= atLeast;
}

}  // namespace

TEST(CliExitCodes, UsageErrorsExitTwoAndNeverFallBackToADefaultLink) {
    for (const QStringList& args :
         {QStringList{"identify"}, QStringList{"upgrade"}, QStringList{"frobnicate", "--tcp", "127.0.0.1:1"},
          QStringList{"alarm", "9", "--tcp", "127.0.0.1:1"}, QStringList{"identify", "--tcp", "nohost"},
          QStringList{"dido", "--cycles", "2", "--seconds", "3", "--tcp", "127.0.0.1:1"},
          QStringList{"records", "list", "--tcp", "127.0.0.1:1"}, QStringList{"records", "export", "--format", "xml"},
          QStringList{"records", "show"}, QStringList{"identify", "--outcome", "ok", "--tcp", "127.0.0.1:1"},
          QStringList{}}) {
        SCOPED_TRACE(qPrintable(args.join(' ')));
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_FALSE(r.err.isEmpty());
    }
    EXPECT_TRUE(RunCli({"identify"}).err.contains("no link given"));
    EXPECT_TRUE(RunCli({"records", "export", "--format", "pdf", "--serial", "S"}).err.contains("--output FILE"));
}

TEST(CliExitCodes, LinkThatCannotBeOpenedExitsThreeWithTheReason) {
    const CliResult refused = RunCli({"identify", "--tcp", closedPort(), "--json"});
    EXPECT_EQ(refused.exitCode, 3);
    EXPECT_TRUE(messageOf(refused).startsWith("the link could not be opened: ")) << qPrintable(messageOf(refused));
    EXPECT_GT(messageOf(refused).size(), QStringLiteral("the link could not be opened: ").size());

    // A serial device that is not there. (Not a stopped simulator's pty: under a parallel
    // run its name is soon another test's pty, which this would then open.)
    QTemporaryDir dir;
    const QString gone = dir.path() + QStringLiteral("/ttyUSB7");
    const CliResult missing = RunCli({"set-date", "--serial", gone, "--model-kind", "7", "--json"});
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_TRUE(messageOf(missing).startsWith("the link could not be opened: ")) << qPrintable(messageOf(missing));
}

TEST(CliExitCodes, SilentControllerExitsFourBadChecksumExitsFive) {
    SimProcess silent({"--silent-all"});
    const CliResult nobody = RunCli(QStringList{"identify", "--json"} + silent.link());
    EXPECT_EQ(nobody.exitCode, 4);
    EXPECT_TRUE(messageOf(nobody).contains("no controller answered"));
    silent.stop();
    EXPECT_EQ(silent.received(), QStringList({"0000AC", "0000AC", "0000AC", "000AS", "000AS", "000AS"}));

    SimProcess garbled({"--bad-checksum"});
    const CliResult bad = RunCli(QStringList{"set-date", "--model-kind", "7", "--json"} + garbled.link());
    EXPECT_EQ(bad.exitCode, 5);
    EXPECT_TRUE(messageOf(bad).contains("checksum")) << qPrintable(messageOf(bad));

    // The controller identifies but ignores the one command: the command failed.
    SimProcess deaf({"--silent", "JF"});
    const CliResult ignored = RunCli(QStringList{"alarm", "3", "--json"} + deaf.link());
    EXPECT_EQ(ignored.exitCode, 5);
    EXPECT_TRUE(messageOf(ignored).contains("no reply to JF3")) << qPrintable(messageOf(ignored));
}

TEST(CliExitCodes, FirmwareRefusedExitsSixWithoutEnteringTheLoader) {
    const SimModelCase m = ModelCaseFor(3);
    QTemporaryDir dir;
    const QString wrong = WriteFirmware(dir, "KV740MX-V6", PatternImage(1024));
    SimProcess sim({"--model", "v5", "--id", m.id});
    const CliResult r = RunCli(QStringList{"upgrade", wrong, "--id", m.id, "--json"} + sim.link());
    EXPECT_EQ(r.exitCode, 6);
    EXPECT_TRUE(messageOf(r).contains("nothing was sent"));
    sim.stop();
    for (const QString& text : sim.received()) EXPECT_FALSE(text.contains("Z")) << qPrintable(text);

    EXPECT_EQ(RunCli(QStringList{"upgrade", dir.filePath("missing.bin")} + sim.link()).exitCode, 6);
}

// The command line ends with the window's words: its ending, then the same reason.
TEST(CliExitCodes, EveryRefusalAndLostLineSaysWhyInTheWindowsWords) {
    const SimModelCase m = ModelCaseFor(3);
    QTemporaryDir dir;
    const QString wrong = WriteFirmware(dir, "KV740MX-V6", PatternImage(1024));
    const QString missing = dir.filePath("missing.KVF");
    QFile program(dir.filePath("program.KVF"));
    ASSERT_TRUE(program.open(QIODevice::WriteOnly));
    program.write(QByteArray("\x7F" "ELF\x02\x01\x01", 7) + PatternImage(4000));
    program.close();
    SimProcess sim({"--model", "v5", "--id", m.id});
    for (const auto& [file, said] :
         {std::pair{wrong, QStringLiteral("Firmware file format model error! the file is for KV740MX-V6, "
                                          "the controller is KV320MX-V5; nothing was sent")},
          std::pair{program.fileName(),
                    QStringLiteral("Firmware file format model error! not a firmware file; nothing was sent")}}) {
        const CliResult r = RunCli(QStringList{"upgrade", file, "--id", m.id, "--json"} + sim.link());
        EXPECT_EQ(r.exitCode, 6);
        EXPECT_EQ(messageOf(r), said);
        // The human line says the same.
        const CliResult human = RunCli(QStringList{"upgrade", file, "--id", m.id} + sim.link());
        EXPECT_TRUE(QString::fromUtf8(human.out + human.err).contains(said)) << qPrintable(human.out + human.err);
    }
    // A file that is not there is refused before any unit is asked anything.
    const CliResult gone = RunCli(QStringList{"upgrade", missing, "--id", m.id} + sim.link());
    EXPECT_EQ(gone.exitCode, 6);
    EXPECT_EQ(QString::fromUtf8(gone.err).trimmed(),
              "panelbench-cli: Load firmware file error! no such file: " + missing);
    sim.stop();

    // The line goes away in the middle of the first reply of the DI/DO loop.
    SimProcess closing({"--model", "v5", "--id", m.id, "--close-mid-reply"});
    const CliResult dido =
        RunCli(QStringList{"dido", "--model-kind", "3", "--id", m.id, "--cycles", "3", "--json"} + closing.link());
    EXPECT_EQ(dido.exitCode, 5);
    EXPECT_TRUE(messageOf(dido).startsWith("the line was lost after 0 exchanges")) << qPrintable(messageOf(dido));
}

TEST(CliExitCodes, CorruptVerifyExitsSevenAndSaysTheUnitMayBeHalfFlashed) {
    const SimModelCase m = ModelCaseFor(3);
    QTemporaryDir dir;
    const QString file = WriteFirmware(dir, m.header, PatternImage(4 * 512));
    SimProcess sim({"--model", "v5", "--id", m.id, "--corrupt-verify", "2"});
    const CliResult r = RunCli(QStringList{"upgrade", file, "--id", m.id, "--json"} + sim.link());
    EXPECT_EQ(r.exitCode, 7);
    EXPECT_TRUE(messageOf(r).contains("block 3 differs")) << qPrintable(messageOf(r));
    EXPECT_TRUE(messageOf(r).contains("half-flashed"));
}

TEST(CliExitCodes, SigintMidUpgradeStopsBetweenBlocksAndSaysWhere) {
    const SimModelCase m = ModelCaseFor(3);
    QTemporaryDir dir;
    const int blocks = 120;  // far more than go out before the signal lands
    const QString file = WriteFirmware(dir, m.header, PatternImage(blocks * 512));
    // Slow replies, so the signal lands while blocks are still going out.
    SimProcess sim({"--model", "v5", "--id", m.id, "--delay", "20"});
    const CliResult r = SignalCliWhen(QStringList{"upgrade", file, "--id", m.id, "--json"} + sim.link(),
                                      [](const QJsonObject& o) { return isProgress(o, "program", 3); });
    EXPECT_EQ(r.exitCode, 130) << r.err.constData();
    const QString message = messageOf(r);
    EXPECT_TRUE(message.contains("programming stopped after block")) << qPrintable(message);
    EXPECT_TRUE(message.contains("half-flashed"));
    sim.stop();
    const QStringList programmed = sim.received().filter(QRegularExpression("^0001Zp"));
    EXPECT_GE(programmed.size(), 3);
    EXPECT_LT(programmed.size(), blocks);
    EXPECT_TRUE(sim.received().filter(QRegularExpression("^0001Zv")).isEmpty());
    // The message names the last block that went out.
    EXPECT_TRUE(message.contains(QStringLiteral("block %1 of %2").arg(programmed.size()).arg(blocks)))
        << qPrintable(message);
}

TEST(CliExitCodes, SigintMidDidoEndsTheCycleAndSendsTheClosingCommand) {
    for (const auto& [model, kind, closing] :
         {std::tuple{"kv410", "7", "0000JD"}, std::tuple{"old20", "4", "000JE"}}) {
        SCOPED_TRACE(model);
        SimProcess sim({"--model", model});
        const CliResult r =
            SignalCliWhen(QStringList{"dido", "--cycles", "0", "--model-kind", kind, "--id", kind == QLatin1String("4") ? "000" : "0000", "--json"} +
                              sim.link(),
                          [](const QJsonObject& o) { return isProgress(o, "dido", 2); }, SIGTERM);
        EXPECT_EQ(r.exitCode, 130) << r.err.constData();
        EXPECT_TRUE(messageOf(r).contains("closing command sent")) << qPrintable(messageOf(r));
        sim.stop();
        const QStringList received = sim.received();
        ASSERT_FALSE(received.isEmpty());
        EXPECT_EQ(received.last(), closing);
        EXPECT_EQ(received.count(closing), 1);
    }
}

TEST(CliExitCodes, SigintMidPollStopsAfterTheRecordInHand) {
    SimProcess sim({"--model", "kv410"});
    const CliResult r = SignalCliWhen(QStringList{"poll", "--model-kind", "7", "--json"} + sim.link(),
                                      [](const QJsonObject& o) { return isProgress(o, "poll", 2); });
    EXPECT_EQ(r.exitCode, 130) << r.err.constData();
    sim.stop();
    const QStringList received = sim.received();
    // Every record read was passed, and the store was not read to its end.
    EXPECT_EQ(received.count("0000QI"), received.count("0000PI"));
    EXPECT_GE(received.count("0000QI"), 2);
    EXPECT_LT(received.count("0000QI"), 5);
}

namespace {

// The outcome the unit records keep of the newest run of `procedure` in `store`.
QString recordedOutcome(const QString& store, const QString& procedure) {
    const CliResult r = RunCli({"records", "list", "--json", "--records", store, "--procedure", procedure});
    const auto runs = r.eventsOf(QStringLiteral("run"));
    return runs.isEmpty() ? QStringLiteral("(no run)") : runs.first().value("outcome").toString();
}

}  // namespace

TEST(CliExitCodes, DidoWithoutOneAnsweredInputReadFailsWithTheReason) {
    QTemporaryDir dir;
    const QString store = dir.filePath("records.sqlite");
    // A dead controller: nothing answers, not even the closing command.
    SimProcess dead({"--model", "v5", "--id", "0001", "--silent-all"});
    const CliResult r = RunCli(QStringList{"dido", "--model-kind", "3", "--id", "0001", "--outputs", "0000",
                                           "--json", "--records", store} + dead.link());
    EXPECT_EQ(r.exitCode, 5) << r.out.constData();
    EXPECT_TRUE(messageOf(r).startsWith("no reply to DG0")) << qPrintable(messageOf(r));
    const QJsonObject detail = r.eventsOf("result").value(0).value("detail").toObject();
    EXPECT_EQ(detail.value("cycles").toInt(-1), 0);
    EXPECT_FALSE(detail.contains("inputs"));  // nothing came to report
    EXPECT_EQ(recordedOutcome(store, "dido"), "error");

    // Answers everything but the input read, over three cycles.
    SimProcess deaf({"--model", "v5", "--id", "0001", "--silent", "DG"});
    const CliResult deafRun = RunCli(QStringList{"dido", "--cycles", "3", "--model-kind", "3", "--id", "0001",
                                                 "--json", "--no-records"} + deaf.link());
    EXPECT_EQ(deafRun.exitCode, 5);
    EXPECT_TRUE(messageOf(deafRun).startsWith("no reply to DG0")) << qPrintable(messageOf(deafRun));
    deaf.stop();
    EXPECT_EQ(deaf.received().count("0001DG0"), 3);
    EXPECT_EQ(deaf.received().last(), "0001JD");  // the closing command still went out

    // Replies that come but are no input read: a spoilt checksum, a flood past any frame.
    for (const char* fault : {"--bad-checksum", "--overlong"}) {
        SCOPED_TRACE(fault);
        SimProcess bad({"--model", "kv410", fault});
        const CliResult badRun =
            RunCli(QStringList{"dido", "--model-kind", "7", "--outputs", "0000", "--json", "--no-records"} + bad.link());
        EXPECT_EQ(badRun.exitCode, 5);
        EXPECT_TRUE(messageOf(badRun).startsWith("no reply to DG0")) << qPrintable(messageOf(badRun));
    }

    // The older controller reads its inputs with two commands; both must answer.
    SimProcess old({"--model", "old20", "--id", "045", "--silent", "DF"}, /*pty=*/true);
    ASSERT_TRUE(old.serving());
    const CliResult oldRun = RunCli(QStringList{"dido", "--cycles", "2", "--model-kind", "4", "--id", "045",
                                                "--json", "--no-records"} + old.link());
    EXPECT_EQ(oldRun.exitCode, 5);
    EXPECT_TRUE(messageOf(oldRun).startsWith("no reply to IE and DF")) << qPrintable(messageOf(oldRun));
}

TEST(CliExitCodes, FirmwareWithNoImageOrPastTheModelsBlocksIsRefusedBeforeTheLoader) {
    const SimModelCase m = ModelCaseFor(6);
    QTemporaryDir dir;
    const QString headerOnly = WriteFirmware(dir, m.header, {}, "header.KVF");
    const QString huge = WriteFirmware(dir, m.header, PatternImage(200 * 1024), "huge.KVF");
    for (const QString& file : {headerOnly, huge}) {
        SCOPED_TRACE(qPrintable(file));
        SimProcess sim({"--model", "v6", "--id", m.id});
        const CliResult r = RunCli(QStringList{"upgrade", file, "--id", m.id, "--json", "--no-records"} + sim.link());
        EXPECT_EQ(r.exitCode, 6);
        EXPECT_TRUE(messageOf(r).contains("nothing was sent")) << qPrintable(messageOf(r));
        sim.stop();
        ASSERT_FALSE(sim.received().isEmpty());  // the identify went out, and only it
        for (const QString& text : sim.received()) EXPECT_FALSE(text.contains("Z")) << qPrintable(text);
    }
    SimProcess sim({"--model", "v6", "--id", m.id});
    EXPECT_TRUE(messageOf(RunCli(QStringList{"upgrade", headerOnly, "--id", m.id, "--json", "--no-records"} +
                                 sim.link()))
                    .contains("the firmware file holds no image after its header"));
    const CliResult tooMany = RunCli(QStringList{"upgrade", huge, "--id", m.id, "--json", "--no-records"} + sim.link());
    EXPECT_TRUE(messageOf(tooMany).contains("the firmware image makes 400 blocks; this controller reads at most 126"))
        << qPrintable(messageOf(tooMany));
    EXPECT_EQ(tooMany.eventsOf("result").value(0).value("detail").toObject().value("blocksLeftOut").toInt(-1), 276);
}

TEST(CliExitCodes, AllowPartialProgramsWhatTheModelTakesAndSaysWhatWasLeftOut) {
    const SimModelCase m = ModelCaseFor(6);
    QTemporaryDir dir;
    const QString huge = WriteFirmware(dir, m.header, PatternImage(200 * 1024), "huge.KVF");
    const QString store = dir.filePath("records.sqlite");
    SimProcess sim({"--model", "v6", "--id", m.id});
    const CliResult r = RunCli(QStringList{"upgrade", huge, "--allow-partial", "--id", m.id, "--json",
                                           "--records", store} + sim.link());
    ASSERT_EQ(r.exitCode, 0) << r.out.constData();
    const QJsonObject result = r.eventsOf("result").value(0);
    EXPECT_TRUE(result.value("ok").toBool());
    EXPECT_EQ(result.value("detail").toObject().value("blocks").toInt(), 124);
    EXPECT_EQ(result.value("detail").toObject().value("blocksLeftOut").toInt(), 276);
    EXPECT_TRUE(messageOf(r).contains("276 blocks of the file left out")) << qPrintable(messageOf(r));
    EXPECT_EQ(recordedOutcome(store, "firmware-upgrade"), "ok");
    const CliResult list = RunCli({"records", "list", "--records", store, "--procedure", "firmware-upgrade"});
    EXPECT_TRUE(list.out.contains("OK (warning: 276 blocks of the file left out)")) << list.out.constData();

    // A file the model takes whole: nothing left out, and the field says so.
    const QString small = WriteFirmware(dir, m.header, PatternImage(2 * 512), "small.KVF");
    const CliResult whole = RunCli(QStringList{"upgrade", small, "--id", m.id, "--json", "--no-records"} + sim.link());
    ASSERT_EQ(whole.exitCode, 0) << whole.out.constData();
    EXPECT_EQ(whole.eventsOf("result").value(0).value("detail").toObject().value("blocksLeftOut").toInt(-1), 0);
}
