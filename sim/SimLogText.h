#pragma once
// The frame log as text: one readable line for the screen, one JSON object per line
// for a file.

#include <QByteArray>
#include <QString>

#include "sim/SimController.h"

namespace sim {

// Control bytes shown as <SOH> <STX> <ETX> <EOT> <CR>, other non-printables as <xx>.
QString visibleBytes(const QByteArray& bytes);
QString screenLine(const LogEntry& e);
QByteArray jsonLine(const LogEntry& e);

}  // namespace sim
