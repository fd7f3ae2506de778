// The panelbench-sim program: help and errors, serving over TCP and a pty, the
// interactive prompt, the JSON log and the flash dump, and a clean stop on SIGTERM.
#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "link/Link.h"

namespace {

QString simProgram() {
    const QString fromEnv = qEnvironmentVariable("PANELBENCH_SIM");
    if (!fromEnv.isEmpty()) return fromEnv;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../sim/panelbench-sim");
}

// Starts the program and waits for READY; returns the line before it.
QString startSim(QProcess& p, const QStringList& args) {
    p.start(simProgram(), args);
    if (!p.waitForStarted(5000)) return {};
    QByteArray out;
    QDeadlineTimer deadline(5000);
    while (!out.contains("READY\n") && !deadline.hasExpired()) {
        p.waitForReadyRead(100);
        out += p.readAllStandardOutput();
    }
    const QList<QByteArray> lines = out.split('\n');
    const qsizetype ready = lines.indexOf("READY");
    return ready > 0 ? QString::fromLatin1(lines[ready - 1]) : QString();
}

void stopSim(QProcess& p) {
    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
}

class SimProgram : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFile::exists(simProgram())) GTEST_SKIP() << "panelbench-sim not built";
    }
};

TEST_F(SimProgram, HelpAndBadOptions) {
    QProcess help;
    help.start(simProgram(), {QStringLiteral("--help")});
    ASSERT_TRUE(help.waitForFinished(5000));
    EXPECT_EQ(help.exitCode(), 0);
    const QByteArray text = help.readAllStandardOutput();
    for (const char* option :
         {"--tcp", "--pty", "--listen", "--model", "--id", "--log", "--inputs", "--flash-dump",
          "--silent", "--bad-checksum", "--lowercase-checksum", "--delay", "--split", "--noise",
          "--overlong", "--silent-first", "--corrupt-verify", "--close-mid-reply", "--reboot-ms",
          "--loopback", "--stuck-input"})
        EXPECT_TRUE(text.contains(option)) << option;

    QProcess bad;
    bad.start(simProgram(), {QStringLiteral("--tcp"), QStringLiteral("0"),
                             QStringLiteral("--model"), QStringLiteral("v9")});
    ASSERT_TRUE(bad.waitForFinished(5000));
    EXPECT_NE(bad.exitCode(), 0);
    EXPECT_TRUE(bad.readAllStandardError().contains("unknown model 'v9'"));
}

TEST_F(SimProgram, ServesTcpOnLoopbackWithPromptLogAndFlashDump) {
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("frames.jsonl"));
    const QString dump = dir.filePath(QStringLiteral("flash.bin"));
    QProcess p;
    const QString first = startSim(p, {"--tcp", "0", "--model", "v5", "--id", "0077", "--inputs",
                                       "10000001", "--log", log, "--flash-dump", dump, "--quiet"});
    ASSERT_TRUE(first.startsWith(QStringLiteral("TCP 127.0.0.1:"))) << qPrintable(first);

    pb::Link link;
    pb::LinkSettings s;
    s.kind = pb::LinkKind::Net;
    s.ip = QStringLiteral("127.0.0.1");
    s.tcpPort = first.section(QLatin1Char(':'), 1);
    ASSERT_TRUE(link.OpenLink(s));
    pb::Exchange x = link.SendCrcCommand(QStringLiteral("0000AC"));
    ASSERT_TRUE(x);
    EXPECT_EQ(x.reply.at(2, 4), "0077");
    x = link.SendCrcCommand(QStringLiteral("0077DG0"));
    ASSERT_TRUE(x);
    EXPECT_EQ(x.reply.at(8, 8), "10000001");

    // The prompt on standard input changes the inputs.
    p.write("in 2 1\n");
    p.waitForBytesWritten(1000);
    QDeadlineTimer deadline(3000);
    bool changed = false;
    while (!changed && !deadline.hasExpired()) {
        x = link.SendCrcCommand(QStringLiteral("0077DG0"));
        ASSERT_TRUE(x);
        changed = x.reply.at(8, 8) == "11000001";
    }
    EXPECT_TRUE(changed);

    // Program one loader block so the dump shows it.
    ASSERT_TRUE(link.SendCrcCommand(QStringLiteral("0077Zx33BB")));
    ASSERT_TRUE(
        link.SendCrcCommand(QStringLiteral("0077Zp0000") + QString(1024, QLatin1Char('0'))));
    link.CloseLink();
    stopSim(p);

    QFile d(dump);
    ASSERT_TRUE(d.open(QIODevice::ReadOnly));
    const QByteArray flash = d.readAll();
    ASSERT_EQ(flash.size(), 65536);
    EXPECT_EQ(flash.left(512), QByteArray(512, '\0'));
    EXPECT_EQ(flash.at(512), '\xFF');
    QFile l(log);
    ASSERT_TRUE(l.open(QIODevice::ReadOnly));
    const QByteArray firstLine = l.readLine();
    EXPECT_TRUE(firstLine.contains("\"text\":\"0000AC\"")) << firstLine.constData();
    EXPECT_TRUE(firstLine.contains("\"dir\":\"received\""));
}

TEST_F(SimProgram, TheFixtureFromTheCommandLineAndThePrompt) {
    QProcess p;
    const QString first =
        startSim(p, {"--tcp", "0", "--loopback", "--stuck-input", "3=on", "--quiet"});
    ASSERT_TRUE(first.startsWith(QStringLiteral("TCP 127.0.0.1:"))) << qPrintable(first);
    pb::Link link;
    pb::LinkSettings s;
    s.kind = pb::LinkKind::Net;
    s.ip = QStringLiteral("127.0.0.1");
    s.tcpPort = first.section(QLatin1Char(':'), 1);
    ASSERT_TRUE(link.OpenLink(s));
    ASSERT_TRUE(link.SendCrcCommand(QStringLiteral("0000JC00210000")));
    const pb::Exchange inputs = link.SendCrcCommand(QStringLiteral("0000DG0"));
    ASSERT_TRUE(inputs);
    EXPECT_EQ(inputs.reply.at(8, 8), "01100000");  // 2 follows its output, 3 is stuck

    // Freed at the prompt, input 3 follows its (off) output again.
    p.write("stuck 3 free\n");
    p.waitForBytesWritten(1000);
    QDeadlineTimer deadline(3000);
    bool freed = false;
    while (!freed && !deadline.hasExpired()) {
        const pb::Exchange again = link.SendCrcCommand(QStringLiteral("0000DG0"));
        ASSERT_TRUE(again);
        freed = again.reply.at(8, 8) == "01000000";
    }
    EXPECT_TRUE(freed);
    link.CloseLink();
    stopSim(p);
}

TEST_F(SimProgram, ServesAPtyThatTheToolOpensAsASerialPort) {
    QProcess p;
    const QString first = startSim(p, {"--pty", "--model", "old20"});
    ASSERT_TRUE(first.startsWith(QStringLiteral("PTY /dev/"))) << qPrintable(first);
    pb::Link link;
    pb::LinkSettings s;
    s.kind = pb::LinkKind::Com;
    s.portName = first.mid(4);
    for (int i = 0; i < 3; ++i) {
        const pb::OpenResult opened = link.OpenLink(s);
        ASSERT_TRUE(opened) << qPrintable(opened.detail);
        const pb::Exchange x = link.SendCrcCommand(QStringLiteral("000AS"));
        ASSERT_TRUE(x);
        EXPECT_EQ(x.reply.length(), 20);
        link.CloseLink();
    }
    stopSim(p);
    EXPECT_TRUE(p.readAllStandardOutput().contains("<- <SOH>000AS"));
}

}  // namespace
