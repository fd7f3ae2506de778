#pragma once
// Why a link did not open, in the three languages of the message table (the same
// language index): a short reason that follows "Connect device error!" in the status
// line, and a line of advice with the facts and the usual fix.

#include <QString>

#include "link/OpenFailure.h"
#include "link/PortTuning.h"

namespace pb {

enum class LinkFailureText {
    NotFound,          // %1 port
    PermissionDenied,  // %1 port
    BusyByProgram,     // %1 program, %2 PID
    BusyByPid,         // %1 PID
    BusyByOther,       // %1 port
    BadAddress,        // %1 text typed
    BadPort,           // %1 text typed
    Refused,
    Unreachable,
    TimedOut,
    AdviceNotFound,
    AdviceGroup,       // %1 port, %2 group
    AdviceNoAccess,    // %1 port
    AdviceBusy,        // %1 port
    AdviceLockFile,    // %1 lock file
    AdviceBadAddress,  // %1 text typed
    AdviceBadPort,     // %1 text typed
    AdviceRefused,     // %1 address:port
    AdviceUnreachable, // %1 address:port
    AdviceTimedOut,    // %1 address:port
    AdapterMoved,      // %1 old port name, %2 new port name
    BusyByEmptyLock,   // %1 port
    AdviceEmptyLock,   // %1 lock file, %2 port
    NoRs485,
    AdviceNoRs485,     // %1 port, %2 what the kernel said
    LatencyStays,      // %1 port, %2 ms, %3 why
    LatencyNotOn,      // %1 port, %2 driver, %3 why
    LatencyCost,       // %1 ms
    LatencyCostUnknown,
    WhyNoPermission,
    WhyNotSupported,   // %1 driver
    TimerLowLatency,   // %1 ms
    TimerNotLow,       // %1 ms
};
constexpr int kLinkFailureTextCount = int(LinkFailureText::TimerNotLow) + 1;

QString Text(LinkFailureText id, int language);

// The short reason, short enough for the status line: "ttyUSB7 not found",
// "held by minicom (PID 4242)", "connection refused"; empty for Other (the advice line
// then carries the system's words, after "Open communication port error!" for a port).
QString OpenFailureReason(const OpenFailure& failure, int language);
// The facts and the usual fix: "ttyUSB0 belongs to the group dialout: add your user to
// the group dialout, then log in again." Empty for None.
QString OpenFailureAdvice(const OpenFailure& failure, int language);

// The status line after a failed open: "Connect device error!" and the reason after it.
QString OpenFailedStatus(const OpenFailure& failure, int language);
// The same with the advice as a second line ('\n' between), for a two-line status panel
// or a tool tip.
QString OpenFailedStatusLines(const OpenFailure& failure, int language);

// Where low latency was asked of a USB-serial adapter and replies may still wait longer
// than 1 ms in it: why, and what it likely costs ("ttyUSB0: the USB latency timer stays
// at 16 ms (no permission to lower it). Each short reply may wait up to 16 ms ...").
// Empty when there is nothing to say.
QString LowLatencyNote(const QString& port, const LowLatency& lowLatency, int language);

// A USB-serial adapter's latency timer as the port list's tool tip says it:
// "USB latency timer 16 ms (low latency off)".
QString LatencyTimerText(int ms, int language);

// "ttyUSB0 is now ttyUSB1 (same adapter)".
QString AdapterMovedText(const QString& from, const QString& to, int language);

}  // namespace pb
