// The window's own pace on the wall clock: it shows quickly, and a beep with no audio
// device does not hold it up. They run alone (label "timing", RUN_SERIAL), with bounds
// that leave room for a busy machine; the figures themselves are in docs/performance.md.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>

#include "app/TfrmModule.h"

// Two beeps that waited out their 300 ms each would take 600 ms.
TEST(WindowTiming, BeepWithoutAudioOutputReturnsAtOnce) {
    TfrmModule w;
    QElapsedTimer timer;
    timer.start();
    w.beep(1000, 300);
    w.beep(300, 300);
    EXPECT_LT(timer.elapsed(), 600);
}

TEST(WindowTiming, ShowsWithinASecondWithRoomForABusyMachine) {
    QElapsedTimer timer;
    timer.start();
    TfrmModule w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const qint64 ms = timer.elapsed();
    RecordProperty("StartMs", int(ms));
    std::printf("window created and shown in %lld ms\n", static_cast<long long>(ms));
    EXPECT_LT(ms, 2000);
}
