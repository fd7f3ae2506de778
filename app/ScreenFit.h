#pragma once
// Puts the fixed-size main window fully on its screen. At the designed scale it is only
// centred; when a large scale factor makes it bigger than the screen's free area, its
// client area goes into a scroll area that fits, so the menu and the status line stay
// on screen and the rest scrolls; the layout itself never changes.

#include <QRect>
#include <QSize>

class QMainWindow;

namespace pb {

// Where the window went and whether its client area now scrolls.
struct ScreenFit {
    QRect frame;           // the window's frame, inside the free area
    bool scrolls = false;
};

// Fits `window` (laid out, not yet shown) into `area` (free screen space, device
// independent pixels); `frameExtra` is what the window manager's frame adds around it.
ScreenFit FitWindowInto(QMainWindow& window, const QRect& area, const QSize& frameExtra);

// The same for the screen the window is on, before it is shown.
ScreenFit FitWindowToScreen(QMainWindow& window);

}  // namespace pb
