#pragma once
// A cause in words, made from its code and values when it is shown, in the reader's
// language (the message table's index): the status line's words after its ending, a
// step's reason at the station, the records window, `records show`, the reports.

#include <QString>

#include "evidence/Cause.h"

namespace pb {

// The cause with its values filled in ("the line was lost after 102 exchanges").
QString CauseText(const Cause& cause, int language);
// The cause's short name for a table or a tile ("Line lost", "Inputs differ").
QString CauseTitle(CauseCode code, int language);

}  // namespace pb
