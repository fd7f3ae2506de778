#pragma once
// Why a link did not open, with the facts a technician needs to fix it: the port that
// is missing, the group that may open it, the program that holds it, the address that
// refused. Serial causes come from the file system (stat, access, lock files, /proc),
// TCP causes from the connect attempt.

#include <QAbstractSocket>
#include <QString>
#include <QStringList>

#include "link/LinkError.h"

namespace pb {

struct OpenFailure {
    // The link's named open errors: None, NotFound, PermissionDenied (group: who may),
    // Busy (pid, program, lockFile when known), BadAddress, BadPort, Refused, Unreachable,
    // TimedOut, NoRs485 (the port has no RS-485 mode: detail says what the kernel said),
    // Other (detail says what the system said).
    using Reason = OpenError;

    Reason reason = Reason::None;
    QString target;    // the port name, IP address or TCP port as the user typed it
    QString device;    // serial: the device path tried
    QString group;     // PermissionDenied: the device's group ("dialout")
    qint64 pid = 0;    // Busy: the holder's PID, 0 when unknown
    QString program;   // Busy: the holder's name, when known
    QString lockFile;  // Busy: the lock file that says so
    QString detail;    // the system's own words, for the console and Other
    bool lockHoldsNoPid = false;  // Busy: the lock file is empty or garbage

    explicit operator bool() const { return reason != Reason::None; }
};

// The short name of a reason, for logs and tests ("not-found", "busy", ...).
QString ReasonName(OpenFailure::Reason reason);

// One line of facts in English for the console and logs: "busy: minicom, PID 42, ...".
QString Describe(const OpenFailure& failure);

// Checks before a serial open: missing device, no read/write access for this user, or a
// living lock file (left alone). With nothing against the open, locks of processes that
// are gone are removed so the port can be taken over; None is returned.
OpenFailure ExamineSerialPort(const QString& portName, const QString& devicePath,
                              const QStringList& lockDirs);

// After a serial open failed with the system's text: finds the cause again from the file
// system, /proc (the program holding an exclusive port) and that text.
OpenFailure ClassifySerialOpenError(const QString& portName, const QString& devicePath,
                                    const QStringList& lockDirs, const QString& systemText);

// The device's group name, empty when it cannot be read.
QString DeviceGroup(const QString& devicePath);

// A TCP connect that failed: the socket's error, its text, and whether the tool's own
// connect limit ended the wait.
OpenFailure ClassifyTcpError(const QString& ip, quint16 port, QAbstractSocket::SocketError error,
                             const QString& systemText, bool limitReached);

}  // namespace pb
