#include "procedures/LinkCauses.h"

namespace pb {

Cause CauseOf(const Exchange& x, const QString& command) {
    switch (x.error) {
        case LinkError::None:
            return Cause::of(CauseCode::BadReply, {command, x.reply.length()});
        case LinkError::NotOpen:
        case LinkError::DeviceGone:
        case LinkError::Closed:
            return Cause::of(CauseCode::LineLost, {0, command});
        case LinkError::NoReply:
            return Cause::of(CauseCode::NoReply, {command});
        case LinkError::BadChecksum:
            return Cause::of(CauseCode::BadChecksum, {command});
        case LinkError::TextTooLong:
            return Cause::of(CauseCode::CommandTooLong);
        case LinkError::NotAscii:
            return Cause::of(CauseCode::CommandNotAscii);
        case LinkError::WriteFailed:
            return Cause::of(CauseCode::NotSent, {command});
    }
    return Cause::of(CauseCode::NoReply, {command});
}

bool IsLineCause(CauseCode code) {
    switch (code) {
        case CauseCode::LinkOpenFailed:
        case CauseCode::LineLost:
        case CauseCode::NoReply:
        case CauseCode::BadChecksum:
        case CauseCode::BadReply:
        case CauseCode::NotSent:
            return true;
        default:
            return false;
    }
}

}  // namespace pb
