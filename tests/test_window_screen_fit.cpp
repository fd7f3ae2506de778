// The main window on screens of several sizes: 1280x1024 at scale 1, 1.5 and 2 leaves
// 1280x1024, 853x682 and 640x512 device-independent pixels. It is centred where it
// fits; where it does not, it sits wholly on the screen and its client area scrolls.
// With PANELBENCH_SCREENSHOT_DIR set, a picture of each is saved there.
#include <gtest/gtest.h>

#include <QDir>
#include <QMenuBar>
#include <QScrollArea>
#include <QScrollBar>

#include "app/ScreenFit.h"
#include "app/TfrmModule.h"

namespace {

const QSize kFrame(8, 32);

void SavePicture(QWidget& window, const QString& name) {
    const QString dir = qEnvironmentVariable("PANELBENCH_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QDir().mkpath(dir);
    window.grab().save(QDir(dir).filePath(name));
}

}  // namespace

TEST(ScreenFit, TheDesignedWindowIsOnlyCentredWhereItFits) {
    for (const QRect area : {QRect(0, 0, 1280, 1024), QRect(0, 0, 853, 682)}) {
        TfrmModule window;
        const pb::ScreenFit fit = pb::FitWindowInto(window, area, kFrame);
        EXPECT_FALSE(fit.scrolls);
        EXPECT_TRUE(area.contains(fit.frame)) << area.width();
        EXPECT_EQ(fit.frame.center(), area.center());
        EXPECT_EQ(window.centralWidget(), window.ui().centralWidget);
        EXPECT_EQ(window.ui().centralWidget->size(), QSize(680, 614));
        window.show();
        SavePicture(window, QStringLiteral("screen-fit-%1.png").arg(area.width()));
    }
}

TEST(ScreenFit, ATooSmallScreenScrollsTheClientAreaAndShowsTheMenuAndStatusLine) {
    const QRect area(0, 0, 640, 512);
    TfrmModule window;
    const pb::ScreenFit fit = pb::FitWindowInto(window, area, kFrame);
    EXPECT_TRUE(fit.scrolls);
    EXPECT_TRUE(area.contains(fit.frame));
    EXPECT_EQ(window.pos(), area.topLeft());
    EXPECT_LE(window.width() + kFrame.width(), area.width());
    EXPECT_LE(window.height() + kFrame.height(), area.height());

    auto* scroller = qobject_cast<QScrollArea*>(window.centralWidget());
    ASSERT_NE(scroller, nullptr);
    EXPECT_EQ(scroller->widget(), window.ui().centralWidget);
    EXPECT_EQ(window.ui().centralWidget->size(), QSize(680, 614)) << "the layout is kept";
    window.show();
    // The menu and the status line are in view; the rest is reached by scrolling.
    EXPECT_TRUE(window.menuBar()->isVisible());
    const QRect status(window.ui().pnMsg->mapTo(&window, QPoint()), window.ui().pnMsg->size());
    EXPECT_TRUE(window.rect().contains(status.topLeft()));
    SavePicture(window, QStringLiteral("screen-fit-640.png"));
    // The bottom right corner of the client area is reached by scrolling.
    QWidget* client = window.ui().centralWidget;
    scroller->verticalScrollBar()->setValue(scroller->verticalScrollBar()->maximum());
    scroller->horizontalScrollBar()->setValue(scroller->horizontalScrollBar()->maximum());
    const QPoint corner = client->mapTo(scroller->viewport(), QPoint(client->width(), client->height()));
    EXPECT_EQ(corner, QPoint(scroller->viewport()->width(), scroller->viewport()->height()));
}
