// Why a link did not open, from real causes: a missing port, a port the user may not
// open, a port another program holds by a lock file, TCP to a closed loopback port, and
// malformed addresses; each named in the three languages. Locks of living programs stay.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <ctime>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTextStream>

#include "i18n/LinkFailureTexts.h"
#include "i18n/Messages.h"
#include "link/PortLock.h"
#include "link/SerialTransport.h"
#include "link/TcpTransport.h"
#include "tests/support/TestPeers.h"

namespace {

using Reason = pb::OpenFailure::Reason;

// Every status line starts with the specified text and gives the reason; with the advice
// line it names the facts, in each language.
void ExpectNamedInEachLanguage(const pb::OpenFailure& failure, const QStringList& facts) {
    for (int language = 0; language < pb::kLanguageCount; ++language) {
        const QString status = pb::OpenFailedStatus(failure, language);
        const QString head = pb::Msg(pb::MsgId::ConnectDeviceError, pb::LanguageAt(language));
        EXPECT_TRUE(status.startsWith(head + u' ')) << status.toStdString();
        EXPECT_GT(status.size(), head.size() + 1);
        const QString lines = pb::OpenFailedStatusLines(failure, language);
        EXPECT_EQ(lines, status + u'\n' + pb::OpenFailureAdvice(failure, language));
        for (const QString& fact : facts)
            EXPECT_TRUE(lines.contains(fact)) << lines.toStdString() << " lacks " << fact.toStdString();
    }
}

// A process that lives until the test ends: the holder of a lock.
struct Sleeper {
    QProcess process;
    Sleeper() {
        process.start(QStringLiteral("sleep"), {QStringLiteral("600")});
        process.waitForStarted();
    }
    ~Sleeper() {
        process.kill();
        process.waitForFinished();
    }
    qint64 pid() const { return process.processId(); }
};

// The PID of a process that has ended (and been reaped).
qint64 GonePid() {
    Sleeper gone;
    const qint64 pid = gone.pid();
    gone.process.kill();
    gone.process.waitForFinished();
    return pid;
}

QByteArray AsciiLock(qint64 pid) { return QString::asprintf("%10lld\n", pid).toLatin1(); }
QByteArray BinaryLock(qint64 pid) {
    const int value = int(pid);
    return QByteArray(reinterpret_cast<const char*>(&value), sizeof value);
}

void WriteFile(const QString& path, const QByteArray& bytes, bool old) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
    file.close();
    if (old) {
        // An hour old: older than any "stale after N seconds" rule.
        const utimbuf times{::time(nullptr) - 3600, ::time(nullptr) - 3600};
        ::utime(QFile::encodeName(path).constData(), &times);
    }
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

TEST(LockFiles, ReadThePidAsTerminalProgramsWriteIt) {
    EXPECT_EQ(pb::LockFilePid("      4242\n"), 4242);
    EXPECT_EQ(pb::LockFilePid("4242\n"), 4242);
    EXPECT_EQ(pb::LockFilePid("      4242 minicom root\n"), 4242);
    EXPECT_EQ(pb::LockFileProgram("      4242 minicom root\n"), QStringLiteral("minicom"));
    EXPECT_EQ(pb::LockFilePid("4242\nPanelBench\nbench-pc\n"), 4242);  // Qt's lock files
    EXPECT_EQ(pb::LockFilePid(BinaryLock(4242)), 4242);
    EXPECT_EQ(pb::LockFilePid("123\n"), 123);  // four bytes, but text
    EXPECT_FALSE(pb::LockFilePid(""));
    EXPECT_FALSE(pb::LockFilePid("garbage\n"));
    EXPECT_FALSE(pb::LockFilePid(QByteArray("\0\0\0\0", 4)));

    EXPECT_EQ(pb::LockFileNames(QStringLiteral("/dev/ttyUSB0")), QStringList{QStringLiteral("LCK..ttyUSB0")});
    EXPECT_EQ(pb::LockFileNames(QStringLiteral("/dev/pts/3")),
              (QStringList{QStringLiteral("LCK..pts_3"), QStringLiteral("LCK..3")}));
}

// A lock written as a terminal program writes it, by a process that still runs, in
// both name forms and both formats, and an hour old.
class HeldPort : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(HeldPort, IsReportedBusyAndTheLockStays) {
    const auto [nameForm, binary] = GetParam();
    pbtest::PtyPeer pty;
    ASSERT_TRUE(pty.isOpen());
    QTemporaryDir lockDir;
    Sleeper holder;
    const QString lock = lockDir.filePath(pb::LockFileNames(pty.slavePath()).at(nameForm));
    const QByteArray content = binary ? BinaryLock(holder.pid()) : AsciiLock(holder.pid());
    WriteFile(lock, content, /*old=*/true);

    pb::SerialTransport port(pty.slavePath(), QStringLiteral("19200,n,8,1"));
    port.setLockDirs({lockDir.path()});
    EXPECT_FALSE(port.open());
    const pb::OpenFailure failure = port.openFailure();
    EXPECT_EQ(failure.reason, Reason::Busy) << pb::Describe(failure).toStdString();
    EXPECT_EQ(failure.pid, holder.pid());
    EXPECT_EQ(failure.program, QStringLiteral("sleep"));
    EXPECT_EQ(failure.lockFile, lock);
    EXPECT_EQ(ReadFile(lock), content) << "another program's lock must stay as it was";
    ExpectNamedInEachLanguage(failure, {pty.slavePath(), QStringLiteral("sleep"),
                                        QStringLiteral("PID %1").arg(holder.pid())});
    EXPECT_TRUE(pb::OpenFailureAdvice(failure, 0).contains(lock));
}

// An empty or garbage lock names no one: the port stays refused (it may be a lock being
// written), but the user is told which file to remove, and it is left as it was.
TEST(LockWithoutPid, NamesTheLockFileAndSaysItHoldsNoPid) {
    for (const QByteArray& content : {QByteArray(), QByteArray("garbage\n"), QByteArray("\0\0\0\0", 4)}) {
        SCOPED_TRACE(content.toHex().toStdString());
        pbtest::PtyPeer pty;
        ASSERT_TRUE(pty.isOpen());
        QTemporaryDir lockDir;
        const QString lock = lockDir.filePath(pb::LockFileNames(pty.slavePath()).first());
        WriteFile(lock, content, /*old=*/true);

        pb::SerialTransport port(pty.slavePath(), QStringLiteral("19200,n,8,1"));
        port.setLockDirs({lockDir.path()});
        EXPECT_FALSE(port.open());
        const pb::OpenFailure failure = port.openFailure();
        EXPECT_EQ(failure.reason, Reason::Busy);
        EXPECT_TRUE(failure.lockHoldsNoPid);
        EXPECT_EQ(failure.lockFile, lock);
        EXPECT_TRUE(pb::Describe(failure).contains(QStringLiteral("the lock file %1 holds no process id").arg(lock)))
            << pb::Describe(failure).toStdString();
        ExpectNamedInEachLanguage(failure, {lock, pty.slavePath(), QStringLiteral("PID")});
        EXPECT_TRUE(QFile::exists(lock));
        EXPECT_EQ(ReadFile(lock), content) << "the lock is the user's to remove";
    }
    // A FIFO in the lock's place is not opened (that would wait for a writer for ever).
    pbtest::PtyPeer pty;
    QTemporaryDir lockDir;
    const QString fifo = lockDir.filePath(pb::LockFileNames(pty.slavePath()).first());
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const pb::LockCheck check = pb::CheckPortLocks(pty.slavePath(), {lockDir.path()}, true);
    ASSERT_TRUE(check.holder);
    EXPECT_TRUE(check.holder->lockHoldsNoPid);
    EXPECT_EQ(check.holder->lockFile, fifo);
}

TEST(HeldPortByLink, IsBusyUnderTheNameOfTheDeviceItPointsTo) {
    // Opened as /dev/serial/by-id/... would be: through a link, locked by others by device.
    pbtest::PtyPeer pty;
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("usb-FTDI_FT232R_USB_UART_A5-if00-port0"));
    ASSERT_TRUE(QFile::link(pty.slavePath(), link));
    Sleeper holder;
    const QString lock = dir.filePath(pb::LockFileNames(pty.slavePath()).first());
    WriteFile(lock, AsciiLock(holder.pid()), /*old=*/false);
    pb::SerialTransport port(link, QStringLiteral("19200,n,8,1"));
    port.setLockDirs({dir.path()});
    EXPECT_FALSE(port.open());
    EXPECT_EQ(port.openFailure().reason, Reason::Busy);
    EXPECT_EQ(port.openFailure().pid, holder.pid());
}

INSTANTIATE_TEST_SUITE_P(NameFormsAndFormats, HeldPort,
                         ::testing::Combine(::testing::Values(0, 1), ::testing::Bool()));

TEST(HeldPortSystemFolder, IsLeftAloneToo) {
    // The folder QSerialPort itself writes to, where its own lock handling would take
    // an old lock over although its program runs.
    const QStringList dirs = pb::DefaultLockDirs();
    if (dirs.isEmpty() || ::access(QFile::encodeName(dirs.first()).constData(), W_OK) != 0)
        GTEST_SKIP() << "no writable lock folder";
    pbtest::PtyPeer pty;
    Sleeper holder;
    const QString lock = dirs.first() + u'/' + pb::LockFileNames(pty.slavePath()).first();
    WriteFile(lock, AsciiLock(holder.pid()), /*old=*/true);

    pb::SerialTransport port(pty.slavePath(), QStringLiteral("19200,n,8,1"));
    EXPECT_FALSE(port.open());
    EXPECT_EQ(port.openFailure().reason, Reason::Busy);
    EXPECT_EQ(ReadFile(lock), AsciiLock(holder.pid()));
    QFile::remove(lock);
}

TEST(StalePort, IsTakenOverLockedWhileOpenAndFreedOnClose) {
    pbtest::PtyPeer pty;
    const QStringList dirs = pb::DefaultLockDirs();
    if (dirs.isEmpty() || ::access(QFile::encodeName(dirs.first()).constData(), W_OK) != 0)
        GTEST_SKIP() << "no writable lock folder";
    const QString lock = dirs.first() + u'/' + pb::LockFileNames(pty.slavePath()).first();
    WriteFile(lock, BinaryLock(GonePid()), /*old=*/false);

    pb::SerialTransport port(pty.slavePath(), QStringLiteral("19200,n,8,1"));
    ASSERT_TRUE(port.open()) << pb::Describe(port.openFailure()).toStdString();
    // While open the port carries this program's lock, PID first, as others read it.
    EXPECT_EQ(pb::LockFilePid(ReadFile(lock)), qint64(::getpid()));

    // A second open of the same port, here or elsewhere, is refused as busy.
    pb::SerialTransport second(pty.slavePath(), QStringLiteral("19200,n,8,1"));
    EXPECT_FALSE(second.open());
    EXPECT_EQ(second.openFailure().reason, Reason::Busy) << pb::Describe(second.openFailure()).toStdString();

    port.close();
    EXPECT_FALSE(QFile::exists(lock)) << "the lock goes with the port";
}

TEST(MissingPort, IsNamedNotFound) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ttyUSB7"));
    pb::SerialTransport port(path, QStringLiteral("19200,n,8,1"));
    EXPECT_FALSE(port.open());
    EXPECT_EQ(port.openFailure().reason, Reason::NotFound);
    ExpectNamedInEachLanguage(port.openFailure(), {QStringLiteral("ttyUSB7")});
}

// Runs only inside the child started by the test below: opens the port named by the
// environment as the user runuser chose, and prints what the tool would say.
TEST(PortOpenProbe, PrintsTheReason) {
    const QString port = qEnvironmentVariable("PB_PROBE_PORT");
    if (port.isEmpty()) GTEST_SKIP() << "run by NoPermission";
    pb::SerialTransport transport(port, QStringLiteral("19200,n,8,1"));
    const bool opened = transport.open();
    const pb::OpenFailure failure = transport.openFailure();
    QTextStream out(stdout);
    out << "OPENED=" << opened << "\nREASON=" << pb::ReasonName(failure.reason)
        << "\nGROUP=" << failure.group << "\n";
    for (int language = 0; language < pb::kLanguageCount; ++language)
        out << "STATUS" << language << "=" << pb::OpenFailedStatus(failure, language) << "\nADVICE"
            << language << "=" << pb::OpenFailureAdvice(failure, language) << "\n";
}

// Runs the probe above as the unprivileged user "nobody"; its output, or nothing when
// this machine cannot do that (not root, no runuser).
static QString ProbeAsNobody(const QString& port) {
    if (::geteuid() != 0) return {};
    if (QProcess::execute(QStringLiteral("runuser"), {QStringLiteral("-u"), QStringLiteral("nobody"),
                                                      QStringLiteral("true")}) != 0)
        return {};
    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PB_PROBE_PORT"), port);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    probe.setProcessEnvironment(env);
    probe.start(QStringLiteral("runuser"),
                {QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--"),
                 QCoreApplication::applicationFilePath(),
                 QStringLiteral("--gtest_filter=PortOpenProbe.*")});
    if (!probe.waitForFinished(60000)) return QStringLiteral("probe did not finish");
    return QString::fromUtf8(probe.readAllStandardOutput());
}

class NoPermission : public ::testing::TestWithParam<std::tuple<const char*, int>> {};

TEST_P(NoPermission, NamesTheGroupAndTheFix) {
    const auto [group, mode] = GetParam();
    pbtest::PtyPeer pty;
    const QByteArray path = QFile::encodeName(pty.slavePath());
    ASSERT_EQ(::chown(path.constData(), 0, ::getgrnam(group)->gr_gid), 0);
    ASSERT_EQ(::chmod(path.constData(), mode_t(mode)), 0);

    const QString out = ProbeAsNobody(pty.slavePath());
    if (out.isEmpty()) GTEST_SKIP() << "needs root and runuser to open as another user";
    EXPECT_TRUE(out.contains(QStringLiteral("OPENED=0\n"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("REASON=permission-denied\n"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("GROUP=%1\n").arg(QLatin1String(group)))) << out.toStdString();
    for (int language = 0; language < pb::kLanguageCount; ++language) {
        pb::OpenFailure expected;
        expected.reason = Reason::PermissionDenied;
        expected.target = pty.slavePath();
        expected.group = QLatin1String(group);
        EXPECT_TRUE(out.contains(QStringLiteral("STATUS%1=%2\n").arg(language).arg(pb::OpenFailedStatus(expected, language))))
            << out.toStdString();
        EXPECT_TRUE(out.contains(QStringLiteral("ADVICE%1=%2\n").arg(language).arg(pb::OpenFailureAdvice(expected, language))))
            << out.toStdString();
    }
}

TEST(ExclusivePort, IsReportedBusyToAnotherUser) {
    // Another program has the port open exclusively (TIOCEXCL), without a lock file.
    pbtest::PtyPeer pty;
    const QByteArray path = QFile::encodeName(pty.slavePath());
    ASSERT_EQ(::chmod(path.constData(), 0666), 0);
    const int held = ::open(path.constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::ioctl(held, TIOCEXCL), 0);
    const QString out = ProbeAsNobody(pty.slavePath());
    ::ioctl(held, TIOCNXCL);
    ::close(held);
    if (out.isEmpty()) GTEST_SKIP() << "needs root and runuser to open as another user";
    EXPECT_TRUE(out.contains(QStringLiteral("OPENED=0\n"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("REASON=busy\n"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("STATUS0=Connect device error! %1 in use by another program\n")
                                 .arg(pty.slavePath())))
        << out.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Modes, NoPermission,
                         ::testing::Values(std::make_tuple("dialout", 0660), std::make_tuple("tty", 0600)));

TEST(PermissionAdvice, AddsTheUserToTheGroup) {
    pb::OpenFailure failure;
    failure.reason = Reason::PermissionDenied;
    failure.target = QStringLiteral("ttyUSB0");
    failure.group = QStringLiteral("dialout");
    EXPECT_EQ(pb::OpenFailureAdvice(failure, 0),
              QStringLiteral("ttyUSB0 belongs to the group dialout: add your user to the group "
                             "dialout, then log in again."));
    for (int language = 1; language < pb::kLanguageCount; ++language)
        EXPECT_EQ(pb::OpenFailureAdvice(failure, language).count(QStringLiteral("dialout")), 2);
}

TEST(TcpOpen, ClosedLoopbackPortIsRefused) {
    quint16 closed = 0;
    {
        QTcpServer server;
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
        closed = server.serverPort();
    }
    pb::TcpTransport link(QStringLiteral("127.0.0.1"), QString::number(closed));
    EXPECT_FALSE(link.open());
    EXPECT_EQ(link.openFailure().reason, Reason::Refused) << pb::Describe(link.openFailure()).toStdString();
    ExpectNamedInEachLanguage(link.openFailure(), {QStringLiteral("127.0.0.1:%1").arg(closed)});
}

TEST(TcpOpen, MalformedAddressOrPortIsNamedAsSuch) {
    pb::TcpTransport shortIp(QStringLiteral("1.2.3"), QStringLiteral("5003"));
    EXPECT_FALSE(shortIp.open());
    EXPECT_EQ(shortIp.openFailure().reason, Reason::BadAddress);
    ExpectNamedInEachLanguage(shortIp.openFailure(), {QStringLiteral("1.2.3")});

    pb::TcpTransport bigPort(QStringLiteral("127.0.0.1"), QStringLiteral("70000"));
    EXPECT_FALSE(bigPort.open());
    EXPECT_EQ(bigPort.openFailure().reason, Reason::BadPort);
    ExpectNamedInEachLanguage(bigPort.openFailure(), {QStringLiteral("70000")});
}

TEST(TcpOpen, SocketErrorsMapToReasons) {
    const auto reason = [](QAbstractSocket::SocketError e, const char* text, bool limit) {
        return pb::ClassifyTcpError(QStringLiteral("127.0.0.1"), 5003, e, QLatin1String(text), limit).reason;
    };
    EXPECT_EQ(reason(QAbstractSocket::NetworkError, "Network unreachable", false), Reason::Unreachable);
    EXPECT_EQ(reason(QAbstractSocket::NetworkError, "Connection timed out", false), Reason::TimedOut);
    EXPECT_EQ(reason(QAbstractSocket::SocketTimeoutError, "", false), Reason::TimedOut);
    EXPECT_EQ(reason(QAbstractSocket::UnknownSocketError, "", true), Reason::TimedOut);
    EXPECT_EQ(reason(QAbstractSocket::SocketAccessError, "denied", false), Reason::Other);
}
