#include "link/PortLock.h"

#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace pb {

QStringList DefaultLockDirs() {
    QStringList dirs;
    QStringList seen;
    for (const QString& dir : {QStringLiteral("/var/lock"), QStringLiteral("/run/lock")}) {
        const QString real = QFileInfo(dir).canonicalFilePath();
        if (real.isEmpty() || seen.contains(real)) continue;
        seen << real;
        dirs << dir;
    }
    return dirs;
}

QStringList LockFileNames(const QString& devicePath) {
    QStringList names;
    // A link (/dev/serial/by-id/...) is locked by others under the device it points to.
    QStringList paths{devicePath};
    const QString real = QFileInfo(devicePath).canonicalFilePath();
    if (!real.isEmpty() && real != devicePath) paths << real;
    for (const QString& path : paths) {
        QString below = path;
        if (below.startsWith(QLatin1String("/dev/"))) below = below.mid(5);
        const QString underscored = QString(below).replace(u'/', u'_');
        const QString last = below.section(u'/', -1);
        for (const QString& name : {underscored, last})
            if (!names.contains(QStringLiteral("LCK..") + name)) names << QStringLiteral("LCK..") + name;
    }
    return names;
}

std::optional<qint64> LockFilePid(const QByteArray& content) {
    bool text = !content.isEmpty();
    for (char c : content) {
        const auto u = uchar(c);
        if (u < 0x20 && c != '\n' && c != '\r' && c != '\t') text = false;
        if (u >= 0x7F) text = false;
    }
    if (!text) {
        // Binary: the PID as the writer's int.
        if (content.size() != qsizetype(sizeof(int))) return std::nullopt;
        int pid = 0;
        std::memcpy(&pid, content.constData(), sizeof pid);
        if (pid <= 0) return std::nullopt;
        return pid;
    }
    const QByteArray first = content.trimmed().split(' ').value(0).split('\n').value(0).trimmed();
    bool ok = false;
    const qint64 pid = first.toLongLong(&ok, 10);
    if (!ok || pid <= 0) return std::nullopt;
    return pid;
}

QString LockFileProgram(const QByteArray& content) {
    const QList<QByteArray> words = content.simplified().split(' ');
    if (words.size() < 2 || !LockFilePid(content)) return {};
    // A Qt lock file puts the program on the second line; a UUCP one after the PID.
    return QString::fromLocal8Bit(words.at(1));
}

bool ProcessLives(qint64 pid) {
    if (pid <= 0) return false;
    // EPERM: it lives, under another user.
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

QString ProcessName(qint64 pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly)) return {};
    return QString::fromLocal8Bit(comm.readAll().trimmed());
}

LockCheck CheckPortLocks(const QString& devicePath, const QStringList& lockDirs,
                         bool takeOverStale) {
    LockCheck check;
    QStringList stale;
    const qint64 self = ::getpid();
    for (const QString& dir : lockDirs) {
        for (const QString& name : LockFileNames(devicePath)) {
            const QString path = QDir(dir).filePath(name);
            QFile file(path);
            if (!file.exists()) continue;
            // A FIFO or device in its place would hold the open or never end: not read,
            // named like a lock that says nothing.
            if (!QFileInfo(path).isFile()) {
                if (!check.holder) check.holder = PortHolder{0, {}, path, true};
                continue;
            }
            if (!file.open(QIODevice::ReadOnly)) {
                if (!check.holder) check.holder = PortHolder{0, {}, path};
                continue;
            }
            const QByteArray content = file.read(256);
            const std::optional<qint64> pid = LockFilePid(content);
            if (pid && *pid == self) continue;
            if (pid && !ProcessLives(*pid)) {
                stale << path;
                continue;
            }
            if (!check.holder) {
                QString program = pid ? ProcessName(*pid) : QString();
                if (program.isEmpty()) program = LockFileProgram(content);
                check.holder = PortHolder{pid.value_or(0), program, path, !pid};
            }
        }
    }
    if (check.holder || !takeOverStale) return check;
    for (const QString& path : stale)
        if (QFile::remove(path)) check.staleRemoved << path;
    return check;
}

QList<PortHolder> ProcessesWithDeviceOpen(const QString& devicePath) {
    QList<PortHolder> holders;
    const QString target = QFileInfo(devicePath).canonicalFilePath();
    if (target.isEmpty()) return holders;
    const qint64 self = ::getpid();
    const QDir proc(QStringLiteral("/proc"));
    for (const QString& entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid || pid == self) continue;
        // Unreadable for processes of other users unless we are root: those stay unnamed.
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
        for (const QString& fd : fds.entryList(QDir::System | QDir::NoDotAndDotDot)) {
            if (QFileInfo(fds.filePath(fd)).symLinkTarget() != target) continue;
            holders.append({pid, ProcessName(pid), {}});
            break;
        }
    }
    return holders;
}

}  // namespace pb
