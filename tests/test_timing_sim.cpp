// The simulator's own pace on the wall clock: it answers far faster than any reply
// limit of the tool. Runs alone (label "timing", RUN_SERIAL).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "sim/SimController.h"
#include "sim/SimFrames.h"

using sim::Model;

namespace {

TEST(SimPerformance, AnsweringTakesWellUnderAMillisecond) {
    sim::Controller c(Model::V5);
    int replies = 0;
    QObject::connect(&c, &sim::Controller::send, [&](const QByteArray&) { ++replies; });
    c.receive(sim::buildCrcCommand("0000Zx33BB"));
    const QByteArray verify = sim::buildCrcCommand("0000Zv0200");
    const QByteArray status = sim::buildCrcCommand("0000DG0");
    constexpr int kRounds = 500;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < kRounds; ++i) {
        c.receive(verify);
        c.receive(status);
    }
    const double perCommandMs = double(t.nsecsElapsed()) / 1e6 / (2 * kRounds);
    EXPECT_LT(perCommandMs, 0.5);  // well under the 300 ms quiet limit, with room for a busy machine
    QCoreApplication::processEvents();
    EXPECT_GT(replies, 0);
}

}  // namespace
