#pragma once
// The colours of the line's charts, one set for the report and the records window alike.

#include <QColor>

namespace pb::reports {

inline const QColor kPassedColour{0x3c, 0xa0, 0x4a};
inline const QColor kFailedColour{0xd0, 0x3a, 0x2f};
inline const QColor kLineColour{0x1f, 0x5f, 0xbf};
inline const QColor kGridColour{0xd8, 0xdc, 0xe2};
inline const QColor kInkColour{0x20, 0x20, 0x20};
inline const QColor kFlaggedColour{0xd0, 0x00, 0x00};

// A socket's cell by its failure rate: green at none through yellow to red at a quarter
// and more; light enough for black text.
inline QColor RateColour(double rate) {
    const double t = rate < 0 ? 0.0 : rate > 0.25 ? 1.0 : rate / 0.25;
    return QColor::fromHsv(int(120 * (1.0 - t)), 110, 245);
}

}  // namespace pb::reports
