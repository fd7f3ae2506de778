#include "app/ScreenFit.h"

#include <QLayout>
#include <QMainWindow>
#include <QScreen>
#include <QScrollArea>

namespace pb {

ScreenFit FitWindowInto(QMainWindow& window, const QRect& area, const QSize& frameExtra) {
    window.adjustSize();
    const QSize client = window.size();
    ScreenFit fit;
    if (client.width() + frameExtra.width() <= area.width() &&
        client.height() + frameExtra.height() <= area.height()) {
        fit.frame = QRect(QPoint(), client + frameExtra);
        fit.frame.moveCenter(area.center());
        window.move(fit.frame.topLeft());
        return fit;
    }
    // Too big: the client area scrolls inside a window the size of the free area.
    auto* scroller = new QScrollArea(&window);
    scroller->setObjectName(QStringLiteral("screenFitScroller"));
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setBackgroundRole(QPalette::Window);
    scroller->setWidget(window.takeCentralWidget());
    window.setCentralWidget(scroller);
    window.layout()->setSizeConstraint(QLayout::SetDefaultConstraint);
    const QSize fitted = client.boundedTo(area.size() - frameExtra);
    window.setFixedSize(fitted);
    fit.frame = QRect(area.topLeft(), fitted + frameExtra);
    fit.scrolls = true;
    window.move(area.topLeft());
    return fit;
}

ScreenFit FitWindowToScreen(QMainWindow& window) {
    const QScreen* screen = window.screen();
    if (!screen) return {};
    // Before it is shown the frame is unknown; a title bar and thin borders are usual.
    const QSize frameExtra(8, 32);
    return FitWindowInto(window, screen->availableGeometry(), frameExtra);
}

}  // namespace pb
