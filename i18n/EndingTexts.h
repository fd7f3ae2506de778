#pragma once
// Why a test ended, in the three languages of the message table (the same language
// index): the words that follow the ending's own text on the status line ("Command error!
// the line went away after 11 cycles"), in the command line's results and in the records.

#include <QString>

#include "i18n/EndingReason.h"
#include "i18n/Messages.h"

namespace pb {

// The reason with its facts filled in; empty for no reason.
QString EndingReasonText(const EndingReason& reason, int language);

// The ending as the status line shows it: the message's own text, then the reason.
QString EndingStatus(MsgId ending, const EndingReason& reason, int language);

// The ending of a failed upgrade that may have left the unit without firmware: the
// ending, then that it must be upgraded again before use.
QString MayLackFirmwareStatus(const EndingReason& reason, int language);

}  // namespace pb
