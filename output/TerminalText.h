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

namespace pb {

// The columns a text takes on a terminal: two for each wide (East Asian) character, one
// for any other.
int TerminalWidth(QStringView text);
// The text filled with blanks to `width` columns, on its right (a left-aligned column) or
// on its left; a wider text is left as it is.
QString PadRight(const QString& text, int width);
QString PadLeft(const QString& text, int width);

}  // namespace pb
