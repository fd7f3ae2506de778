#pragma once
// Text for a terminal, from the store, the controller or a file: its control characters
// (C0, DEL, C1, and the line, paragraph and direction controls of Unicode) shown as
// visible escapes ("\e", "\n", "\x07", "\u202E"), so that a name cannot move the cursor,
// recolour the screen, forge a line or reverse what follows it.

#include <QString>
#include <QStringView>

namespace pb {

QString TerminalText(QStringView text);

}  // namespace pb
