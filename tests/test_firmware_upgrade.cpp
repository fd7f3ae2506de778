// The firmware upgrade against the simulated controller: the three loader protocols
// end to end, their pauses and retries, and how they fail.
#include <gtest/gtest.h>

#include <tuple>

#include "i18n/FeedbackTexts.h"
#include "tests/support/QtPrinters.h"
#include "tests/test_firmware_rig.h"

using namespace pb;
using namespace pbtest;

namespace pb {
inline void PrintTo(UpgradeOutcome o, std::ostream* os) {
    const char* names[] = {"ModelCheckFailed", "ImageRefused", "OpenFailed", "NoLoader", "Failed", "Upgraded"};
    *os << names[int(o)];
}
}  // namespace pb

namespace {

// The first offset where two images differ, -1 when they are equal (flash images
// are too big to print).
qsizetype firstDifference(const QByteArray& a, const QByteArray& b) {
    for (qsizetype i = 0; i < qMin(a.size(), b.size()); ++i)
        if (a[i] != b[i]) return i;
    return a.size() == b.size() ? -1 : qMin(a.size(), b.size());
}

QString hexOf(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex().toUpper());
}

QByteArray padded(const QByteArray& image, int blocks, int blockSize) {
    QByteArray p = image.left(blocks * blockSize);
    return p + QByteArray(blocks * blockSize - p.size(), char(0xFF));
}

// The commands a clean upgrade sends, as the loaders expect them.
QStringList expectedCommands(int kind, const QString& id, const QByteArray& image, int blocks) {
    QStringList c;
    const QByteArray p = padded(image, blocks, ModelCaseFor(kind).blockSize);
    if (kind == 3 || kind == 6) {
        c << id + "Zx33BB";
        for (int k = 0; k < blocks; ++k)
            c << id + QString::asprintf("Zp%04X", k * 512) + hexOf(p.mid(k * 512, 512));
        for (int k = 0; k < blocks; ++k) c << id + QString::asprintf("Zv%04X", k * 512);
        c << id + "ZrAA55";
    } else if (kind == 4) {
        c << id + "Zx" << id + "Zx"
          << "A"
          << "E";
        for (int k = 0; k < blocks; ++k)
            c << QString::asprintf("P%04x", k * 64) + hexOf(p.mid(k * 64, 64));
        for (int k = 0; k < blocks; ++k) c << QString::asprintf("R%04x", k * 64);
        c << "X";
    } else {
        c << id + "ZxA5" << id + "ZxA5" << id + "A";
        for (int k = 0; k < blocks; ++k) {
            if (k % 2 == 0) c << id + QString::asprintf("E%04x", k * 256);
            c << id + QString::asprintf("P%04x", k * 256) + hexOf(p.mid(k * 256, 256));
        }
        for (int k = 0; k < blocks; ++k) c << id + QString::asprintf("R%04x", k * 256);
        c << id + "X";
    }
    return c;
}

// A clean upgrade of blocks blocks; leftOut blocks of the file beyond the model's cap.
void expectCleanUpgrade(FirmwareRig& rig, const QByteArray& image, int blocks, int leftOut = 0) {
    const int size = rig.modelCase.blockSize;
    EXPECT_EQ(rig.controller.commands(),
              expectedCommands(rig.job.modelKind, rig.job.deviceId, image, blocks));
    const QByteArray flash = rig.controller.flash();
    EXPECT_EQ(firstDifference(flash.left(blocks * size), padded(image, blocks, size)), -1);
    EXPECT_EQ(firstDifference(flash.mid(blocks * size),
                              QByteArray(flash.size() - blocks * size, char(0xFF))),
              -1);
    EXPECT_EQ(rig.bars.programMax, blocks);
    EXPECT_EQ(rig.bars.programPos, blocks);
    EXPECT_EQ(rig.bars.verifyMax, blocks);
    EXPECT_EQ(rig.bars.verifyPos, blocks);
    EXPECT_EQ(rig.view.status(), leftOut > 0 ? QStringLiteral("Command ok. %1 blocks left out").arg(leftOut)
                                              : QStringLiteral("Command ok."));
    EXPECT_EQ(rig.view.lamp(), LampColour::Yellow);
    EXPECT_EQ(rig.view.lastBeepHz(), 1000);
    // The window stays disabled from the start of the run to its end.
    EXPECT_EQ(rig.view.busyChanges, (QList<bool>{true, false}));
    EXPECT_FALSE(rig.link.isOpen());
}

QList<int> repeated(std::initializer_list<int> ms, int times) {
    QList<int> out;
    for (int i = 0; i < times; ++i) out.append(QList<int>(ms));
    return out;
}

}  // namespace

class CleanUpgrade : public ::testing::TestWithParam<int> {};

// Every model kind with a loader: the image (and only it) lands in flash, in the
// protocol's command order and address case; both bars end at their maximum.
TEST_P(CleanUpgrade, FlashHoldsTheImageAndCommandsFollowTheProtocol) {
    const int kind = GetParam();
    FirmwareRig rig(kind);
    // Blocks enough for an address with a hex letter (0x0A00), the last one short.
    const int blocks = kind == 4 ? 41 : kind == 3 || kind == 6 ? 6 : 11;
    const QByteArray image =
        PatternImage(blocks * rig.modelCase.blockSize - rig.modelCase.blockSize / 3, kind);
    rig.writeImage(image);

    ASSERT_EQ(rig.run(), UpgradeOutcome::Upgraded) << rig.failure.toStdString();
    expectCleanUpgrade(rig, image, blocks);
    const QString letterAddress = kind == 3 || kind == 6 ? "0A00" : "0a00";
    EXPECT_TRUE(rig.controller.loaderAddresses().contains(letterAddress));
    EXPECT_TRUE(rig.view.statuses.contains("Programming ..."));
    EXPECT_TRUE(rig.view.statuses.contains("Verifying ..."));
    EXPECT_TRUE(rig.view.statuses.contains("Upgrading ..."));
    // The run's report: every block programmed and verified, by the model's loader.
    ASSERT_EQ(rig.runs.reports.size(), 1);
    const pb::RunReport& report = rig.runs.last();
    EXPECT_EQ(pb::TestName(report.test), "firmware-upgrade");
    EXPECT_EQ(report.outcome, RunOutcome::Ok);
    EXPECT_EQ(report.detail.value("loader").toString(), kind == 4                ? "C"
                                                        : kind == 3 || kind == 6 ? "A"
                                                                                 : "B");
    EXPECT_EQ(report.detail.value("blocks").toInt(), blocks);
    EXPECT_EQ(report.detail.value("programmed").toInt(), blocks);
    EXPECT_EQ(report.detail.value("verified").toInt(), blocks);
    EXPECT_FALSE(report.detail.contains("failure"));
}

INSTANTIATE_TEST_SUITE_P(AllLoaders, CleanUpgrade, ::testing::Values(3, 6, 1, 2, 5, 4));

TEST(FirmwarePauses, EachProtocolMakesExactlyItsPauses) {
    struct Case {
        int kind;
        QList<int> pauses;
    };
    const QList<Case> cases = {
        {3, QList<int>{100, 50} + repeated({20}, 3) + QList<int>{50} + repeated({50}, 3) +
                QList<int>{100, 7000}},
        {6, QList<int>{100, 50} + repeated({4}, 3) + QList<int>{50} + repeated({4}, 3) +
                QList<int>{100, 7000}},
        // Erase before blocks 0 and 2.
        {1, QList<int>{100, 20, 50, 50, 4, 4, 4, 4, 4, 50, 4, 4, 4, 100, 2000}},
        {4, QList<int>{100, 20, 50, 50, 200, 4, 4, 4, 50, 4, 4, 4, 100, 2000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        FirmwareRig rig(c.kind);
        rig.writeImage(PatternImage(3 * rig.modelCase.blockSize));
        ASSERT_EQ(rig.run(), UpgradeOutcome::Upgraded);
        EXPECT_EQ(rig.clock.pauses(), c.pauses);
    }
}

TEST(FirmwareBlockCounts, ExactMultiplesAndCapsDecideWhatIsSent) {
    struct Case {
        int kind;
        int imageBlocks;
        int sent;
    };
    // A: 124 exactly, and 130 capped at 124; B: 249 capped at 248.
    for (const Case& c : {Case{3, 124, 124}, Case{6, 130, 124}, Case{2, 249, 248}}) {
        SCOPED_TRACE(c.kind);
        FirmwareRig rig(c.kind);
        const QByteArray image = PatternImage(c.imageBlocks * rig.modelCase.blockSize, c.kind);
        rig.writeImage(image);
        ASSERT_EQ(rig.run(), UpgradeOutcome::Upgraded);
        expectCleanUpgrade(rig, image, c.sent, c.imageBlocks - c.sent);
        EXPECT_EQ(rig.runs.last().detail.value("blocksLeftOut").toInt(), c.imageBlocks - c.sent);
        // The record is ok, with a warning when the model's cap cut the file.
        EXPECT_EQ(rig.runs.last().detail.value("warning").toString(),
                  c.imageBlocks > c.sent ? "blocks-left-out" : "");
        // The whole story a hover away: how many the file holds and the model takes.
        if (c.imageBlocks > c.sent) {
            EXPECT_EQ(rig.view.advice, QStringLiteral("The file holds %1 blocks; this model takes %2, so "
                                                      "the rest were not programmed.")
                                           .arg(c.imageBlocks)
                                           .arg(c.sent));
        }
    }
}

TEST(FirmwareBlockCounts, AnEmptyImageProgramsNothingButStillRestarts) {
    FirmwareRig rig(3);
    rig.writeImage({});
    ASSERT_EQ(rig.run(), UpgradeOutcome::Upgraded);
    EXPECT_EQ(rig.controller.commands(), (QStringList{"0001Zx33BB", "0001ZrAA55"}));
    EXPECT_EQ(rig.bars.programMax, 0);
    EXPECT_EQ(rig.bars.programPos, 0);
    EXPECT_EQ(rig.bars.verifyPos, 0);
    ASSERT_EQ(rig.runs.reports.size(), 1);
    EXPECT_EQ(rig.runs.last().outcome, RunOutcome::Ok);
    EXPECT_EQ(rig.runs.last().detail.value("blocks").toInt(), 0);
    EXPECT_EQ(rig.runs.last().detail.value("programmed").toInt(), 0);
    EXPECT_EQ(rig.runs.last().detail.value("warning").toString(), "nothing-programmed");
}

TEST(FirmwareRetries, ABlockSilentFourTimesPassesOnItsFifthAttempt) {
    FirmwareRig rig(3, Line::Pty);  // silence costs 300 ms on a serial line
    rig.controller.faults().silentFirstAttemptsOfBlock = 4;
    rig.controller.faults().faultBlock = 1;
    const QByteArray image = PatternImage(3 * 512);
    rig.writeImage(image);

    ASSERT_EQ(rig.run(), UpgradeOutcome::Upgraded);
    EXPECT_EQ(firstDifference(rig.controller.flash().left(3 * 512), image), -1);
    EXPECT_EQ(rig.commandsStarting("Zp0200").size(), 5);
    EXPECT_EQ(rig.commandsStarting("Zv0200").size(), 5);
    const QList<int> expected = QList<int>{100, 50, 20} + repeated({20, 50}, 4) +
                                QList<int>{20, 20, 50, 50} + repeated({50, 150}, 4) +
                                QList<int>{50, 50, 100, 7000};
    EXPECT_EQ(rig.clock.pauses(), expected);
}

TEST(FirmwareRetries, ABlockSilentFiveTimesFailsAndTheBarsStayWhereTheyStood) {
    FirmwareRig rig(1, Line::Pty);
    rig.controller.faults().silentFirstAttemptsOfBlock = 5;
    rig.controller.faults().faultBlock = 2;
    rig.writeImage(PatternImage(4 * 256));

    ASSERT_EQ(rig.run(), UpgradeOutcome::Failed);
    EXPECT_EQ(rig.commandsStarting("P0200").size(), 5);
    EXPECT_TRUE(rig.commandsStarting("P0300").isEmpty());
    EXPECT_TRUE(rig.commandsStarting("R").isEmpty());
    EXPECT_EQ(rig.bars.programMax, 4);
    EXPECT_EQ(rig.bars.programPos, 1);
    EXPECT_EQ(rig.bars.verifyMax, 100);
    EXPECT_EQ(rig.bars.verifyPos, 0);
    // Blocks 0 and 1 went in; the report says so and why the rest did not.
    ASSERT_EQ(rig.runs.reports.size(), 1);
    EXPECT_EQ(rig.runs.last().outcome, RunOutcome::Error);
    EXPECT_EQ(rig.runs.last().detail.value("blocks").toInt(), 4);
    EXPECT_EQ(rig.runs.last().detail.value("programmed").toInt(), 2);
    EXPECT_EQ(rig.runs.last().detail.value("verified").toInt(), 0);
    EXPECT_EQ(rig.runs.last().detail.value("failure").toString(), rig.failure);
    // Flash was erased and written: the unit may not start as it is.
    EXPECT_EQ(rig.view.status(), "Command error! block 3 was not programmed. Upgrade again before use");
    EXPECT_EQ(rig.failure, "block 3 was not programmed");  // counted from 1, as the bar
    EXPECT_TRUE(rig.view.advice.contains("without working firmware")) << rig.view.advice.toStdString();
    EXPECT_TRUE(rig.runs.last().detail.value("mayLackFirmware").toBool());
    EXPECT_EQ(rig.view.lamp(), LampColour::Red);
    EXPECT_EQ(rig.view.lastBeepHz(), 300);
    EXPECT_FALSE(rig.link.isOpen());
    EXPECT_FALSE(rig.view.busy);
}

TEST(FirmwareRetries, OneFlippedDigitInAVerifyReplyFailsTheUpgrade) {
    for (int kind : {6, 5, 4}) {
        SCOPED_TRACE(kind);
        FirmwareRig rig(kind);
        rig.controller.faults().corruptVerifyBlock = 2;
        rig.writeImage(PatternImage(4 * rig.modelCase.blockSize));
        ASSERT_EQ(rig.run(), UpgradeOutcome::Failed);
        EXPECT_EQ(rig.bars.programPos, 4);
        EXPECT_EQ(rig.bars.verifyPos, 1);
        EXPECT_TRUE(rig.commandsStarting("X").isEmpty());
        EXPECT_TRUE(rig.commandsStarting("ZrAA55").isEmpty());
        EXPECT_EQ(rig.view.status(), "Command error! block 3 differs when read back. Upgrade again before use");
    }
}

TEST(FirmwareWaitLoop, ProtocolBCountsDownFromTenToOneThenFails) {
    FirmwareRig rig(2, Line::Pty);
    rig.controller.faults().silentPrefixes = {"A"};
    rig.writeImage(PatternImage(512));

    ASSERT_EQ(rig.run(), UpgradeOutcome::Failed);
    QStringList countdown;
    for (int n = 10; n >= 1; --n) countdown << QString::asprintf("Connecting device ... ( %d )", n);
    EXPECT_EQ(rig.view.statuses.mid(1, 10), countdown);
    // Nothing was erased yet: the old firmware is still there, no warning.
    EXPECT_EQ(rig.view.status(), "Command error! the loader did not answer");
    EXPECT_EQ(rig.view.advice, "");
    EXPECT_FALSE(rig.runs.last().detail.contains("mayLackFirmware"));
    QStringList expected = {"0001ZxA5", "0001ZxA5"};
    for (int i = 0; i < 10; ++i) expected << "0001A";
    EXPECT_EQ(rig.controller.commands(), expected);
    EXPECT_EQ(rig.clock.pauses(), QList<int>({100, 20}) + repeated({50}, 10));
}

TEST(FirmwareWaitLoop, ProtocolCGoesOnWhenTheLoaderNeverAnswers) {
    FirmwareRig rig(4, Line::Pty);
    rig.controller.faults().silentPrefixes = {"A"};
    const QByteArray image = PatternImage(3 * 64);
    rig.writeImage(image);

    ASSERT_EQ(rig.run(), UpgradeOutcome::Upgraded);
    EXPECT_EQ(rig.commandsStarting("A").size(), 10);
    EXPECT_TRUE(rig.view.statuses.contains("Connecting device ... ( 1 )"));
    EXPECT_EQ(firstDifference(rig.controller.flash().left(3 * 64), image), -1);
}

TEST(FirmwareFinish, AFinishWithoutReplyStillSucceedsWithoutTheFinalWait) {
    for (auto [kind, finish] : {std::pair{3, "ZrAA55"}, std::pair{1, "X"}}) {
        SCOPED_TRACE(kind);
        FirmwareRig rig(kind);
        rig.controller.faults().silentPrefixes = {finish};
        rig.writeImage(PatternImage(2 * rig.modelCase.blockSize));
        ASSERT_EQ(rig.run(), UpgradeOutcome::Upgraded);
        EXPECT_EQ(rig.clock.pauses().last(), 100);
        EXPECT_EQ(rig.view.status(), "Command ok.");
    }
}

TEST(FirmwareStart, AFileOfAnotherModelOrNoFileStopsBeforeTheLinkOpens) {
    FirmwareRig rig(3);
    rig.writeFile(FirmwareFileBytes("KV740MX-V6", PatternImage(1024)));
    EXPECT_EQ(rig.run(), UpgradeOutcome::ModelCheckFailed);
    EXPECT_EQ(rig.view.status(),
              "Firmware file format model error! the file is for KV740MX-V6, the controller is KV320MX-V5");
    EXPECT_EQ(rig.view.lamp(), LampColour::Red);
    EXPECT_EQ(rig.view.lastBeepHz(), 300);

    rig.job.fileName = rig.dir.filePath("missing.KVF");
    EXPECT_EQ(rig.run(), UpgradeOutcome::ModelCheckFailed);
    EXPECT_EQ(rig.view.status(), "Load firmware file error! no such file: " + rig.job.fileName);
    EXPECT_EQ(rig.failure, rig.view.status());  // in English, for the command line

    EXPECT_EQ(rig.tcp->clientsAccepted(), 0);
    EXPECT_TRUE(rig.view.busyChanges.isEmpty());
    EXPECT_EQ(rig.bars.programPos, 0);
    EXPECT_EQ(rig.bars.verifyPos, 0);
    // Each refusal is a run of its own that ended in error without a link: the unit's
    // history names the file and why it was refused.
    ASSERT_EQ(rig.runs.reports.size(), 2);
    EXPECT_EQ(rig.runs.starts.size(), 2);
    EXPECT_EQ(rig.runs.reports[0].outcome, RunOutcome::Error);
    EXPECT_EQ(pb::TestName(rig.runs.reports[0].test), "firmware-upgrade");
    EXPECT_EQ(rig.runs.reports[0].detail.value("refused").toString(), "model-error");
    EXPECT_EQ(rig.runs.reports[0].detail.value("file").toObject().value("header").toString(), "KV740MX-V6");
    EXPECT_EQ(rig.runs.reports[1].statusText, rig.view.status());
    EXPECT_EQ(rig.runs.reports[1].cause, pb::Cause::of(pb::CauseCode::FileMissing, {rig.runs.reports[1].cause.text("path")}));
    EXPECT_FALSE(rig.runs.reports[1].cause.text("path").isEmpty());
}

TEST(FirmwareStart, ModelKindsWithoutALoaderEndTheRunWithCommandError) {
    for (int kind : {0, 7}) {
        SCOPED_TRACE(kind);
        FirmwareRig rig(kind);
        rig.writeImage(PatternImage(1024));
        EXPECT_EQ(rig.run(), UpgradeOutcome::NoLoader);
        EXPECT_TRUE(rig.controller.commands().isEmpty());
        EXPECT_EQ(rig.view.status(), kind == 0 ? "Command error! no controller identified"
                                               : "Command error! model kind 7 has no loader");
        EXPECT_EQ(rig.view.busyChanges, (QList<bool>{true, false}));
        EXPECT_FALSE(rig.link.isOpen());
        ASSERT_EQ(rig.runs.reports.size(), 1);
        EXPECT_EQ(rig.runs.last().outcome, RunOutcome::Error);
        EXPECT_EQ(rig.runs.last().detail.value("loader").toString(), "none");
    }
}

TEST(FirmwareStart, ALinkThatCannotOpenEndsWithConnectDeviceError) {
    FirmwareRig rig(3);
    rig.writeImage(PatternImage(1024));
    rig.tcp->close();
    EXPECT_EQ(rig.run(), UpgradeOutcome::OpenFailed);
    EXPECT_TRUE(rig.view.status().startsWith("Connect device error!")) << rig.view.status().toStdString();
    EXPECT_FALSE(rig.view.busy);
}

namespace {

// done / total, elapsed and left in ms (-1: no estimate yet).
std::tuple<int, int, qint64, qint64> figures(const pb::BarProgress& p) {
    return {p.done, p.total, p.elapsedMs, p.remainingMs};
}

QList<std::tuple<int, int, qint64, qint64>> figuresOf(const QList<pb::BarProgress>& told) {
    QList<std::tuple<int, int, qint64, qint64>> out;
    for (const pb::BarProgress& p : told) out.append(figures(p));
    return out;
}

}  // namespace

// The figures beside the bars and the countdown of the restart, by the procedure's
// clock: every pause moves it on, the transactions take no time on it.
TEST(FirmwareFeedback, BarFiguresAndTheRestartCountdownFollowTheProceduresClock) {
    FirmwareRig rig(3);
    rig.clock.setAdvancesOnPause(true);
    rig.writeImage(PatternImage(4 * 512));
    ASSERT_EQ(rig.run(), UpgradeOutcome::Upgraded);

    EXPECT_EQ(rig.bars.figureClears, 1);  // the last upgrade's figures went first
    // Kind 3 waits 20 ms before each block it programs and 50 ms before each it reads
    // back; the time left is the blocks left at the pace so far.
    using F = std::tuple<int, int, qint64, qint64>;
    EXPECT_EQ(figuresOf(rig.bars.programFigures),
              (QList<F>{{0, 4, 0, -1}, {1, 4, 20, 60}, {2, 4, 40, 40}, {3, 4, 60, 20}, {4, 4, 80, 0}}));
    EXPECT_EQ(figuresOf(rig.bars.verifyFigures),
              (QList<F>{{0, 4, 0, -1}, {1, 4, 50, 150}, {2, 4, 100, 100}, {3, 4, 150, 50}, {4, 4, 200, 0}}));

    // "Upgrading ...", then the seven seconds of the restart, then the ending.
    const qsizetype upgrading = rig.view.statuses.indexOf("Upgrading ...");
    ASSERT_GE(upgrading, 0);
    QStringList expected;
    for (int left = 7; left >= 1; --left) expected << QStringLiteral("Upgrading ... (%1 s left)").arg(left);
    expected << "Command ok.";
    EXPECT_EQ(rig.view.statuses.mid(upgrading + 1), expected);
    EXPECT_EQ(rig.clock.pauses().last(), 7000);  // still one wait of 7 s
}

TEST(FirmwareFeedback, BarFiguresReadAsBlocksPercentAndTimes) {
    EXPECT_EQ(BarProgressText(37, 124, 12'400, 29'100, 0), "37 / 124 blocks   29%   0:12 elapsed   0:29 left");
    EXPECT_EQ(BarProgressText(0, 124, 0, -1, 0), "0 / 124 blocks   0%   0:00 elapsed   --:-- left");
    EXPECT_EQ(BarProgressText(0, 0, 0, -1, 0), "0 / 0 blocks   100%   0:00 elapsed   --:-- left");
    EXPECT_EQ(BarProgressText(984, 984, 3'725'000, 0, 1), QStringLiteral("984 / 984 块   100%   已用 1:02:05   剩余 0:00"));
    EXPECT_EQ(BarProgressText(1, 3, 61'000, 122'000, 2), QStringLiteral("1 / 3 塊   33%   已用 1:01   剩餘 2:02"));
}
