#pragma once
// The links of a command: a units file ("host:port [ID]" or "PORT [ID]" per line, '#'
// starts a comment) and the pieces the options --tcp and --id share with it. Text in,
// values out: reading the file is the caller's.

#include <QList>
#include <QString>

#include "cli/UnitJob.h"

namespace cli {

// Three or four digits.
bool IsUnitId(const QString& id);
// "host:port" with a port number 1..65535 sets `u` to that TCP link; false for anything else.
bool ParseTcpLink(const QString& text, UnitLink& u);
// Appends a unit per line; false with `error` naming the first line that is neither.
bool ParseUnitsFile(const QString& text, const QString& speed, QList<UnitLink>& units,
                    QString& error);

}  // namespace cli
