#pragma once
// UUCP lock files ("LCK..ttyUSB0" in /var/lock or /run/lock): how terminal programs say
// that they hold a serial port. A lock whose process lives is left alone; one whose
// process is gone may be taken over.

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace pb {

// A program that holds a port, as a lock file or /proc tells it.
struct PortHolder {
    qint64 pid = 0;     // 0: the lock file does not say (unreadable or damaged)
    QString program;    // its name, when /proc or the lock file tells
    QString lockFile;   // the lock file that says so; empty when /proc told
    // The lock file was read but holds no PID (empty or garbage): nothing says whose it
    // is, so it is left alone and named for the user to remove.
    bool lockHoldsNoPid = false;
};

// The lock folders present on this system, each once (/var/lock is often /run/lock).
QStringList DefaultLockDirs();

// The names a lock for `devicePath` may have: "LCK..ttyUSB0"; for "/dev/pts/3" both
// "LCK..pts_3" (the path below /dev, '/' as '_') and "LCK..3" (the last part); for a
// link such as /dev/serial/by-id/..., the names of the device it points to as well.
QStringList LockFileNames(const QString& devicePath);

// The PID a lock file holds: ASCII ("%10d\n", "%d\n", optionally followed by the program
// and user) or a binary int as older programs write it. Nothing when it holds neither.
std::optional<qint64> LockFilePid(const QByteArray& content);

// The program name after the PID in an ASCII lock file ("      1234 minicom root").
QString LockFileProgram(const QByteArray& content);

bool ProcessLives(qint64 pid);
// The short name of a process (/proc/PID/comm), empty when it cannot be read.
QString ProcessName(qint64 pid);

struct LockCheck {
    std::optional<PortHolder> holder;  // a living process, or a lock that cannot be read
    QStringList staleRemoved;          // locks of processes that are gone, taken over
};

// Looks for lock files of `devicePath` in `lockDirs`. The first lock held by another
// living process (or unreadable: it may be half written) is the holder, and every file
// is left as it is. Without a holder, locks of processes that are gone are removed when
// `takeOverStale` is set. Locks of this process are not another program's.
LockCheck CheckPortLocks(const QString& devicePath, const QStringList& lockDirs,
                         bool takeOverStale);

// Processes other than this one with `devicePath` open, as far as /proc lets us see.
QList<PortHolder> ProcessesWithDeviceOpen(const QString& devicePath);

}  // namespace pb
