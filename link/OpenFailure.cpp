#include "link/OpenFailure.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

#include "link/PortLock.h"

namespace pb {
namespace {

using Reason = OpenFailure::Reason;

OpenFailure SerialFailure(Reason reason, const QString& portName, const QString& devicePath,
                          const QString& detail = {}) {
    OpenFailure failure;
    failure.reason = reason;
    failure.target = portName.trimmed();
    failure.device = devicePath;
    failure.detail = detail;
    if (reason == Reason::PermissionDenied) failure.group = DeviceGroup(devicePath);
    return failure;
}

OpenFailure Held(const PortHolder& holder, const QString& portName, const QString& devicePath) {
    OpenFailure failure = SerialFailure(Reason::Busy, portName, devicePath);
    failure.pid = holder.pid;
    failure.program = holder.program;
    failure.lockFile = holder.lockFile;
    failure.lockHoldsNoPid = holder.lockHoldsNoPid;
    return failure;
}

QString SystemText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

OpenFailure Examine(const QString& portName, const QString& devicePath,
                    const QStringList& lockDirs, bool takeOverStale) {
    const QByteArray path = QFile::encodeName(devicePath);
    struct stat info {};
    if (::stat(path.constData(), &info) != 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            return SerialFailure(Reason::NotFound, portName, devicePath, SystemText(error));
        if (error == EACCES)
            return SerialFailure(Reason::PermissionDenied, portName, devicePath, SystemText(error));
        return SerialFailure(Reason::Other, portName, devicePath, SystemText(error));
    }
    if (::access(path.constData(), R_OK | W_OK) != 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM)
            return SerialFailure(Reason::PermissionDenied, portName, devicePath, SystemText(error));
    }
    const LockCheck locks = CheckPortLocks(devicePath, lockDirs, takeOverStale);
    if (locks.holder) return Held(*locks.holder, portName, devicePath);
    return {};
}

}  // namespace

QString ReasonName(Reason reason) {
    switch (reason) {
        case Reason::None: return QStringLiteral("none");
        case Reason::NotFound: return QStringLiteral("not-found");
        case Reason::PermissionDenied: return QStringLiteral("permission-denied");
        case Reason::Busy: return QStringLiteral("busy");
        case Reason::BadAddress: return QStringLiteral("bad-address");
        case Reason::BadPort: return QStringLiteral("bad-port");
        case Reason::Refused: return QStringLiteral("refused");
        case Reason::Unreachable: return QStringLiteral("unreachable");
        case Reason::TimedOut: return QStringLiteral("timed-out");
        case Reason::NoRs485: return QStringLiteral("no-rs485");
        case Reason::Other: return QStringLiteral("other");
    }
    return {};
}

QString Describe(const OpenFailure& failure) {
    QStringList facts;
    if (!failure.device.isEmpty()) facts << failure.device;
    else if (!failure.target.isEmpty()) facts << failure.target;
    if (!failure.group.isEmpty()) facts << QStringLiteral("group %1").arg(failure.group);
    if (!failure.program.isEmpty()) facts << failure.program;
    if (failure.pid > 0) facts << QStringLiteral("PID %1").arg(failure.pid);
    if (failure.lockHoldsNoPid)
        facts << QStringLiteral("the lock file %1 holds no process id").arg(failure.lockFile);
    else if (!failure.lockFile.isEmpty())
        facts << failure.lockFile;
    if (!failure.detail.isEmpty()) facts << failure.detail;
    return ReasonName(failure.reason) + QStringLiteral(": ") + facts.join(QStringLiteral(", "));
}

QString DeviceGroup(const QString& devicePath) {
    struct stat info {};
    if (::stat(QFile::encodeName(devicePath).constData(), &info) != 0) return {};
    if (const group* g = ::getgrgid(info.st_gid)) return QString::fromLocal8Bit(g->gr_name);
    return QString::number(info.st_gid);
}

OpenFailure ExamineSerialPort(const QString& portName, const QString& devicePath,
                              const QStringList& lockDirs) {
    return Examine(portName, devicePath, lockDirs, /*takeOverStale=*/true);
}

OpenFailure ClassifySerialOpenError(const QString& portName, const QString& devicePath,
                                    const QStringList& lockDirs, const QString& systemText) {
    // The device may have gone, or been locked, between the check and the open.
    if (OpenFailure found = Examine(portName, devicePath, lockDirs, false); found) {
        found.detail = systemText;
        return found;
    }
    // An exclusive open (TIOCEXCL) by another program gives "busy"; /proc may name it.
    const QList<PortHolder> holders = ProcessesWithDeviceOpen(devicePath);
    const bool busyText = systemText == SystemText(EBUSY);
    if (busyText || systemText.contains(QLatin1String("locking"), Qt::CaseInsensitive)) {
        OpenFailure failure = holders.isEmpty() ? SerialFailure(Reason::Busy, portName, devicePath)
                                                : Held(holders.first(), portName, devicePath);
        failure.detail = systemText;
        return failure;
    }
    return SerialFailure(Reason::Other, portName, devicePath, systemText);
}

OpenFailure ClassifyTcpError(const QString& ip, quint16 port, QAbstractSocket::SocketError error,
                             const QString& systemText, bool limitReached) {
    OpenFailure failure;
    failure.target = QStringLiteral("%1:%2").arg(ip).arg(port);
    failure.detail = systemText;
    if (limitReached) {
        failure.reason = Reason::TimedOut;
        return failure;
    }
    switch (error) {
        case QAbstractSocket::ConnectionRefusedError:
            failure.reason = Reason::Refused;
            break;
        case QAbstractSocket::SocketTimeoutError:
            failure.reason = Reason::TimedOut;
            break;
        case QAbstractSocket::NetworkError:
        case QAbstractSocket::HostNotFoundError:
            // The system says "timed out" for a peer that never answered the dial.
            failure.reason = systemText.contains(QLatin1String("timed out"), Qt::CaseInsensitive)
                                 ? Reason::TimedOut
                                 : Reason::Unreachable;
            break;
        default:
            failure.reason = Reason::Other;
            break;
    }
    return failure;
}

}  // namespace pb
