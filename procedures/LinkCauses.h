#pragma once
// The causes the link's own facts make: what went wrong with one exchange, and what the
// line did over a whole run (procedures/LineWatch.h), decided before any judge of the
// unit looks at what the test found. A line that went away is never the unit's fault.

#include <QString>

#include "evidence/Cause.h"
#include "link/Exchange.h"

namespace pb {

// What went wrong with an exchange of `command` (the mnemonic and data, without the ID):
// the line gone, no reply, a bad checksum, a text that could not be sent; BadReply, with
// the reply's length, for an exchange that did succeed (its reply is not one the command
// has).
Cause CauseOf(const Exchange& exchange, const QString& command);

// A cause the link decides (the line, a reply that did not come, came damaged or of the
// wrong shape, a frame not sent): such an ending says nothing of the unit's inputs,
// serial or firmware.
bool IsLineCause(CauseCode code);

}  // namespace pb
