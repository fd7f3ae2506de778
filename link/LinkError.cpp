#include "link/LinkError.h"

namespace pb {

QString LinkErrorName(LinkError error) {
    switch (error) {
        case LinkError::None: return QStringLiteral("None");
        case LinkError::NotOpen: return QStringLiteral("NotOpen");
        case LinkError::TextTooLong: return QStringLiteral("TextTooLong");
        case LinkError::NotAscii: return QStringLiteral("NotAscii");
        case LinkError::WriteFailed: return QStringLiteral("WriteFailed");
        case LinkError::DeviceGone: return QStringLiteral("DeviceGone");
        case LinkError::NoReply: return QStringLiteral("NoReply");
        case LinkError::Closed: return QStringLiteral("Closed");
        case LinkError::BadChecksum: return QStringLiteral("BadChecksum");
    }
    return QStringLiteral("Unknown");
}

QString OpenErrorName(OpenError error) {
    switch (error) {
        case OpenError::None: return QStringLiteral("None");
        case OpenError::NotFound: return QStringLiteral("NotFound");
        case OpenError::PermissionDenied: return QStringLiteral("PermissionDenied");
        case OpenError::Busy: return QStringLiteral("Busy");
        case OpenError::BadAddress: return QStringLiteral("BadAddress");
        case OpenError::BadPort: return QStringLiteral("BadPort");
        case OpenError::Refused: return QStringLiteral("Refused");
        case OpenError::Unreachable: return QStringLiteral("Unreachable");
        case OpenError::TimedOut: return QStringLiteral("TimedOut");
        case OpenError::NoRs485: return QStringLiteral("NoRs485");
        case OpenError::Other: return QStringLiteral("Other");
    }
    return QStringLiteral("Unknown");
}

}  // namespace pb
