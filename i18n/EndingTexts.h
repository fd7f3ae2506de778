#pragma once
// How a test's ending reads on the status line, in the three languages of the message
// table (the same language index): the ending's own text, then why ("Command error! no
// reply to AA"). The command line's results and the records word the same cause the same
// way (i18n/CauseTexts.h).

#include <QString>

#include "evidence/Cause.h"
#include "i18n/Messages.h"

namespace pb {

// The ending as the status line shows it: the message's own text, then the cause (none
// for a cause that passed).
QString EndingStatus(MsgId ending, const Cause& cause, int language);

// The ending a run that failed for `cause` showed: a firmware file that could not be
// loaded, or was for another model, has an ending of its own; every other failure is a
// command error. The records show a kept failure with the same ending.
MsgId ErrorEnding(const Cause& cause);

// The ending of a failed upgrade that may have left the unit without firmware: the
// ending, then that it must be upgraded again before use.
QString MayLackFirmwareStatus(const Cause& cause, int language);

}  // namespace pb
