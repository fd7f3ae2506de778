// The station for a fixture of 1, 4 and 16 sockets in each language, after a run with
// passes, three failures and a socket out of use: every caption fits its control, sixteen
// tiles fit a 1280x1024 screen whole and, at twice the scale (640x512 device independent
// pixels), in their compact form, with the serial field, hint, totals and buttons: no
// socket's verdict is out of view.
// With PANELBENCH_SCREENSHOT_DIR set, a picture of each is saved there.
#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "app/GangStationWindow.h"
#include "app/SocketTile.h"
#include "i18n/CauseTexts.h"
#include "tests/support/CutCaptions.h"
#include "tests/support/GangRig.h"

using namespace pb;
using pbtest::GangRig;
using pbtest::SocketWire;

namespace {

struct Shot {
    int sockets;
    int language;
    const char* name;
};

class GangShots : public ::testing::TestWithParam<Shot> {};

// Whether `child` lies wholly inside `window`.
bool Inside(QWidget& window, QWidget* child) {
    const QRect r(child->mapTo(&window, QPoint(0, 0)), child->size());
    return window.rect().contains(r);
}

TEST_P(GangShots, CaptionsFitTheScreenHoldsItAndThePictureIsSaved) {
    const Shot shot = GetParam();
    QList<SocketWire> wires;
    for (int i = 0; i < shot.sockets; ++i) wires << (i % 4 == 1 ? SocketWire::Pty : SocketWire::Tcp);
    GangRig rig(wires);
    ASSERT_TRUE(rig.mistakes.isEmpty()) << rig.mistakes.join('\n').toStdString();
    if (shot.sockets >= 4) rig.controller(2).setStuckInput(2, true);
    if (shot.sockets >= 16) rig.controller(6).setStuckInput(5, true);
    if (shot.sockets >= 16) rig.controller(15).setStuckInput(1, true);
    GangStationWindow w(rig.fixture, shot.language, rig.records());
    w.runner().setPauseDivisor(10);
    w.fitInto(QRect(0, 0, 1280, 1024));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    if (shot.sockets >= 16) {
        ASSERT_TRUE(w.takeOutOfUse(13, QStringLiteral("contact worn, spare ordered")));
    }
    for (int i = 0; i < shot.sockets; ++i) {
        if (i == 13 && shot.sockets >= 16) continue;
        QTest::keyClicks(w.serialField(), GangRig::serial(i));
        QTest::keyClick(w.serialField(), Qt::Key_Return);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.running(); }, 120000));
    QCoreApplication::processEvents();

    EXPECT_EQ(pbtest::CutCaptions(w), QStringList());
    for (int i = 0; i < shot.sockets; ++i)
        EXPECT_TRUE(w.tile(i)->detailFits()) << i << ' ' << w.tile(i)->detailLabel()->text().toStdString();
    // On a 1280x1024 screen every tile shows whole.
    EXPECT_LE(w.width(), 1280);
    EXPECT_LE(w.height(), 1024);
    EXPECT_EQ(w.tileArea()->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(w.tileArea()->horizontalScrollBar()->maximum(), 0);

    const QString folder = qEnvironmentVariable("PANELBENCH_SCREENSHOT_DIR");
    if (!folder.isEmpty()) {
        QDir().mkpath(folder);
        const QString file = folder + QStringLiteral("/gang-%1-%2.png").arg(shot.sockets).arg(shot.name);
        EXPECT_TRUE(w.grab().save(file)) << file.toStdString();
    }

    // At twice the scale the screen is half as large: compact tiles, every one in view.
    w.fitInto(QRect(0, 0, 640, 512));
    QCoreApplication::processEvents();
    EXPECT_LE(w.width(), 640);
    EXPECT_LE(w.height(), 512);
    EXPECT_TRUE(Inside(w, w.tileArea()));
    EXPECT_EQ(w.tileArea()->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(w.tileArea()->horizontalScrollBar()->maximum(), 0);
    for (int i = 0; i < shot.sockets; ++i) {
        if (w.socket(i).state == SocketShown::State::Fail && w.compactTiles()) {
            EXPECT_EQ(w.tile(i)->briefLabel()->text(), CauseTitle(w.socket(i).verdict.cause.code, shot.language));
        }
    }
    for (QWidget* kept : std::initializer_list<QWidget*>{w.serialField(), w.hintLabel(), w.totalsLabel(),
                                                         w.startButton(), w.outOfUseButton(), w.closeButton()})
        EXPECT_TRUE(Inside(w, kept)) << kept->objectName().toStdString();
    EXPECT_EQ(pbtest::CutCaptions(w), QStringList());
    for (int i = 0; i < shot.sockets; ++i) EXPECT_TRUE(w.tile(i)->detailFits()) << i;
    if (!folder.isEmpty() && shot.sockets == 16) {
        EXPECT_TRUE(w.grab().save(folder + QStringLiteral("/gang-16-%1-2x.png").arg(shot.name)));
    }
}

INSTANTIATE_TEST_SUITE_P(Fixture, GangShots,
                         ::testing::Values(Shot{1, 0, "en"}, Shot{1, 1, "zh-hans"}, Shot{1, 2, "zh-hant"},
                                           Shot{4, 0, "en"}, Shot{4, 1, "zh-hans"}, Shot{4, 2, "zh-hant"},
                                           Shot{16, 0, "en"}, Shot{16, 1, "zh-hans"}, Shot{16, 2, "zh-hant"}),
                         [](const auto& info) {
                             return std::to_string(info.param.sockets) + "_" + std::to_string(info.param.language);
                         });

}  // namespace
