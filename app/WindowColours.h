#pragma once
// Colours of the window: values written 0x00BBGGRR (red 0x0000FF) as the controller
// tools of this family give them, and the classic system colours the panels use.

#include <QColor>

namespace pb {

inline QColor ColourFromBgr(quint32 bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

constexpr quint32 kBgrRed = 0x0000FF;
constexpr quint32 kBgrYellow = 0x00FFFF;

namespace colour {
inline QColor BtnFace() {
    return QColor(240, 240, 240);
}
inline QColor ActiveCaption() {
    return QColor(10, 36, 106);
}
inline QColor Highlight() {
    return QColor(0, 120, 215);
}
inline QColor SkyBlue() {
    return ColourFromBgr(0xF0CAA6);
}
inline QColor GrayText() {
    return QColor(128, 128, 128);
}
}  // namespace colour

}  // namespace pb
