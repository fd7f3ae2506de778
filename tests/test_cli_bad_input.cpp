// Input that is not a regular file, or far too big, and links given twice: refused with a
// clear message and the documented exit code before anything is read whole or sent.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QTemporaryDir>

#include "tests/support/CliRig.h"
#include "tests/test_firmware_rig.h"

using namespace pbtest;

namespace {

QString makeFifo(const QTemporaryDir& dir) {
    const QString path = dir.filePath(QStringLiteral("pipe"));
    EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    return path;
}

}  // namespace

TEST(CliBadInput, EndlessDevicesAndFifosAreRefusedAtOnceWithTheirName) {
    QTemporaryDir dir;
    const QString fifo = makeFifo(dir);
    // A FIFO nobody writes to would hold the program for ever; /dev/zero would fill memory.
    for (const QString& path : {QStringLiteral("/dev/zero"), fifo}) {
        SCOPED_TRACE(path.toStdString());
        const CliResult units = RunCli({"identify", "--units", path});
        EXPECT_EQ(units.exitCode, 2);
        EXPECT_TRUE(units.err.contains("is not a regular file")) << units.err.constData();
        EXPECT_TRUE(units.err.contains(path.toUtf8()));
        const CliResult recipe = RunCli({"run", path, "--tcp", "127.0.0.1:9"});
        EXPECT_EQ(recipe.exitCode, 2);
        EXPECT_TRUE(recipe.err.contains("is not a regular file")) << recipe.err.constData();
    }
    const QString huge = dir.filePath(QStringLiteral("units.txt"));
    QFile f(huge);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray((1 << 20) + 1, '#'));
    f.close();
    const CliResult big = RunCli({"identify", "--units", huge});
    EXPECT_EQ(big.exitCode, 2);
    EXPECT_TRUE(big.err.contains("1048577 bytes, more than the 1048576")) << big.err.constData();
}

TEST(CliBadInput, FirmwareThatIsNoFileOrTooBigIsRefusedBeforeAnythingIsSent) {
    const SimModelCase m = ModelCaseFor(3);
    QTemporaryDir dir;
    const QString fifo = makeFifo(dir);
    const QString over = WriteFirmware(dir, m.header, PatternImage(126 * 512 + 1), QStringLiteral("over.KVF"));
    {
        // No file at all: refused before any link is opened.
        SimProcess sim({"--model", "v5", "--id", m.id});
        for (const QString& file : {fifo, QStringLiteral("/dev/zero")}) {
            SCOPED_TRACE(file.toStdString());
            const CliResult r = RunCli(QStringList{"upgrade", file, "--id", m.id} + sim.link());
            EXPECT_EQ(r.exitCode, 6);
            EXPECT_TRUE(r.err.contains("is not a regular file")) << r.err.constData();
        }
        sim.stop();
        EXPECT_TRUE(sim.received().isEmpty()) << qPrintable(sim.received().join(' '));
    }
    // Past the most the model reads: only the head is read, and the image is refused
    // after the identify, before the loader.
    SimProcess sim({"--model", "v5", "--id", m.id});
    const CliResult r = RunCli(QStringList{"upgrade", over, "--id", m.id} + sim.link());
    EXPECT_EQ(r.exitCode, 6);
    EXPECT_TRUE((r.out + r.err).contains("the firmware image makes 127 blocks; this controller reads at most 126"))
        << r.out.constData() << r.err.constData();
    sim.stop();
    for (const QString& command : sim.received()) EXPECT_FALSE(command.contains("Zx")) << qPrintable(command);
}

TEST(CliBadInput, TheSameLinkTwiceIsRefused) {
    QTemporaryDir dir;
    const QString units = dir.filePath(QStringLiteral("units.txt"));
    QFile f(units);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("127.0.0.1:4001 0001\n");
    f.close();
    for (const QStringList& links :
         {QStringList{"--tcp", "127.0.0.1:4001", "--tcp", "127.0.0.1:4001"},
          QStringList{"--tcp", "127.0.0.1:04001", "--units", units},
          QStringList{"--tcp", "[::1]:4001", "--tcp", "0:0:0:0:0:0:0:1:4001"},
          QStringList{"--tcp", "Bench-PC:4001", "--tcp", "bench-pc.:4001"}}) {
        SCOPED_TRACE(qPrintable(links.join(' ')));
        const CliResult r = RunCli(QStringList{"identify"} + links);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(r.err.contains("is the same as")) << r.err.constData();
    }

    // A serial device under two names: once links are followed it is one port.
    SimProcess pty({"--model", "kv410"}, /*pty=*/true);
    ASSERT_TRUE(pty.serving());
    const QString alias = dir.filePath(QStringLiteral("ttyBench"));
    ASSERT_TRUE(QFile::link(pty.address(), alias));
    const CliResult serial = RunCli({"identify", "--serial", pty.address(), "--serial", alias});
    EXPECT_EQ(serial.exitCode, 2);
    EXPECT_TRUE(serial.err.contains("is the same as")) << serial.err.constData();
    pty.stop();
    EXPECT_TRUE(pty.received().isEmpty());
}
