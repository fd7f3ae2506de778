#pragma once
// Each fixture's sockets as a grid of cells coloured by their failure rate, a flagged
// socket (failing more than the rest of its fixture) with a thick red border and a "!".
// Drawn by QPainter onto any paint device, in the units of a 96 dpi pixel.

#include <QList>
#include <QPainter>

#include "records/figures/LineFigures.h"

namespace pb::reports {

// Cells per row: a 16-up fixture takes two rows.
inline constexpr int kGridColumns = 8;

// The height the grid of `sockets` takes (a line for each fixture's name, then its rows).
double SocketGridHeight(const QList<records::SocketHealth>& sockets);
double SocketGridWidth();
void DrawSocketGrid(QPainter& painter, const QPointF& topLeft, const QList<records::SocketHealth>& sockets);

}  // namespace pb::reports
