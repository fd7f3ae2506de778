#pragma once
// One cell of a CSV file, the same in every CSV the tool writes (records, traffic).
// RFC 4180: a cell with a comma, quote or line break goes in quotes, quotes doubled.
// A cell that a spreadsheet would take for a formula (its first character =, +, -, @,
// tab or CR) is led by an apostrophe, so that it shows as the text it is: operators,
// stations and serials (which come from the controller) are outside input.

#include <QByteArray>
#include <QStringList>
#include <QStringView>

namespace pb {

void AppendCsvCell(QByteArray& out, QStringView text);
// The cells joined by commas, ended by CRLF.
void AppendCsvRow(QByteArray& out, const QStringList& cells);

}  // namespace pb
