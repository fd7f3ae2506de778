#pragma once
// Why a transaction or an open failed, by name; the detail text says the rest.

#include <QString>

namespace pb {

enum class LinkError {
    None,
    NotOpen,      // no link open when the command was to go out
    TextTooLong,  // the frame would not fit the transmit buffer; nothing sent
    NotAscii,     // the text has a character above 0x7F; nothing sent
    WriteFailed,  // the device took fewer bytes than the frame has
    DeviceGone,   // the device went away (adapter pulled, peer closed); the link closed
    NoReply,      // no complete reply within the time limit
    Closed,       // the link was closed while the reply was awaited
    BadChecksum,  // a complete reply came, but its checksum is wrong (the reply is kept)
};

enum class OpenError {
    None,
    NotFound,          // no such serial device
    PermissionDenied,  // the device exists but may not be opened
    Busy,              // the device is in use
    BadAddress,        // not an IPv4 address in dotted form
    BadPort,           // not a TCP port number
    Refused,           // the peer refused the connection
    Unreachable,       // no route to the peer, or no such host
    TimedOut,          // no connection within the limit
    NoRs485,           // RS-485 asked, and the port does not take the kernel's RS-485 mode
    Other,
};

// The names as written above, for logs and the traffic monitor.
QString LinkErrorName(LinkError error);
QString OpenErrorName(OpenError error);

}  // namespace pb
