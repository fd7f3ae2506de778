// Set date, alarm, factory initial and reboot against a scripted controller: the exact
// command texts, the reply-length checks and the pauses.
#include <gtest/gtest.h>

#include <QJsonObject>

#include "procedures/SystemCommands.h"
#include "tests/support/ProcedureHarness.h"

using namespace pb;
using namespace pbtest;

namespace {

// Answers each command (by its suffix after the device ID) with a reply of that length.
ProcedureHarness::Answer lengths(QMap<QString, int> bySuffix, int idLength = 4) {
    return [bySuffix, idLength](const QString& text) -> QByteArray {
        const int length = bySuffix.value(text.mid(idLength), 0);
        return length ? ReplyOfLength(length) : QByteArray();
    };
}

}  // namespace

TEST(SystemCommands, SetDateSendsThePcClockOnceAfterThePause) {
    for (int length : {12, 13}) {
        ProcedureHarness h;
        h.state.deviceId = "0123";
        h.clock.setNow(QDateTime(QDate(2026, 12, 7), QTime(8, 5, 9)));
        h.answer([&](const QString&) { return ReplyOfLength(length); });

        EXPECT_EQ(SetDateTime(h.ctx), Outcome::Ok);
        EXPECT_EQ(h.texts(), QStringList({"0123AA20261207080509"}));
        EXPECT_EQ(h.clock.pauses(), QList<int>({100}));
        EXPECT_EQ(h.view.statuses,
                  QStringList({"Connecting device ...", "Set date and time", "Command ok."}));
        EXPECT_EQ(h.view.lamp(), LampColour::Yellow);
        EXPECT_EQ(h.view.lastBeepHz(), 1000);
    }
}

TEST(SystemCommands, AlarmSendsTheItemIndexAndJudgesTheLength) {
    ProcedureHarness h;
    h.answer([](const QString&) { return ReplyOfLength(14); });
    EXPECT_EQ(AlarmTest(h.ctx, 6), Outcome::Error);
    EXPECT_EQ(h.texts(), QStringList({"0000JF6"}));
    EXPECT_TRUE(h.view.statuses.contains("Alarm test"));
    EXPECT_EQ(h.view.status(), "Command error! the reply to JF6 is 14 bytes, not a reply it has");
    EXPECT_EQ(h.view.lamp(), LampColour::Red);
    EXPECT_EQ(h.view.lastBeepHz(), 300);

    ProcedureHarness ok;
    ok.answer([](const QString&) { return ReplyOfLength(12); });
    EXPECT_EQ(AlarmTest(ok.ctx, 0), Outcome::Ok);
    EXPECT_EQ(ok.texts(), QStringList({"0000JF0"}));
}

TEST(SystemCommands, BadChecksumIsCommandError) {
    ProcedureHarness h;
    h.answer([](const QString&) { return BadChecksumReplyOfLength(12); });
    EXPECT_EQ(SetDateTime(h.ctx), Outcome::Error);
    // Named by its mnemonic: the date and time after it are left out.
    EXPECT_EQ(h.view.status(), "Command error! the reply to AA failed its checksum");
    EXPECT_EQ(h.runs.last().cause, pb::Cause::of(pb::CauseCode::BadChecksum, {"AA"}));
}

TEST(SystemCommands, OlderControllerFactoryInitialWaitsThenAsksStatus) {
    ProcedureHarness h;
    h.state.deviceId = "045";
    h.state.modelKind = 4;
    h.answer(lengths({{"AI", 12}, {"AS", 20}}, 3));
    EXPECT_EQ(FactoryInitial(h.ctx), Outcome::Ok);
    EXPECT_EQ(h.texts(), QStringList({"045AI", "045AS"}));
    EXPECT_EQ(h.clock.pauses(), QList<int>({100, 16000}));
    // The wait counts down once a second in the status line, as the clock tells it.
    QStringList expected = {"Connecting device ...", "Set factory"};
    for (int left = 16; left >= 1; --left) expected << QStringLiteral("Set factory (%1 s left)").arg(left);
    expected << "Command ok.";
    EXPECT_EQ(h.view.statuses, expected);
}

TEST(SystemCommands, RestartWaitsCountDownInTheWindowsLanguage) {
    struct Case {
        Language language;
        QString first, last;
    };
    for (const Case& c : {Case{Language::SimplifiedChinese, QStringLiteral("设定重新开机 (剩余 4 秒)"), QStringLiteral("设定重新开机 (剩余 1 秒)")},
                          Case{Language::TraditionalChinese, QStringLiteral("設定重新開機 (剩餘 4 秒)"), QStringLiteral("設定重新開機 (剩餘 1 秒)")}}) {
        ProcedureHarness h;
        h.view.shownLanguage = c.language;
        h.state.deviceId = "045";
        h.state.modelKind = 4;
        h.answer(lengths({{"AJ", 12}, {"AS", 20}}, 3));
        EXPECT_EQ(Reboot(h.ctx), Outcome::Ok);
        // 3500 ms: four figures, the first for the half second.
        const QStringList counted = h.view.statuses.filter(QStringLiteral(" 秒)"));
        ASSERT_EQ(counted.size(), 4);
        EXPECT_EQ(counted.first(), c.first);
        EXPECT_EQ(counted.last(), c.last);
        EXPECT_EQ(h.clock.pauses(), QList<int>({100, 3500}));
    }
}

TEST(SystemCommands, OlderControllerFactoryInitialRefusedStopsAtOnce) {
    ProcedureHarness h;
    h.state.deviceId = "045";
    h.state.modelKind = 4;
    h.answer(lengths({{"AI", 13}, {"AS", 20}}, 3));
    EXPECT_EQ(FactoryInitial(h.ctx), Outcome::Error);
    EXPECT_EQ(h.texts(), QStringList({"045AI"}));  // no "AS" and no long wait
    EXPECT_EQ(h.clock.pauses(), QList<int>({100}));
}

TEST(SystemCommands, OlderControllerRebootWaitsThenAsksStatus) {
    ProcedureHarness h;
    h.state.deviceId = "045";
    h.state.modelKind = 4;
    h.answer(lengths({{"AJ", 12}, {"AS", 21}}, 3));  // "AS" of the wrong length
    EXPECT_EQ(Reboot(h.ctx), Outcome::Error);
    EXPECT_EQ(h.texts(), QStringList({"045AJ", "045AS"}));
    EXPECT_EQ(h.clock.pauses(), QList<int>({100, 3500}));
    EXPECT_TRUE(h.view.statuses.contains("Set reboot"));
}

TEST(SystemCommands, OtherControllersUseTheRestartCommand) {
    for (int kind : {0, 1, 7}) {
        ProcedureHarness reboot;
        reboot.state.modelKind = kind;
        reboot.answer(lengths({{"AR00", 13}, {"AR01", 12}}));
        EXPECT_EQ(Reboot(reboot.ctx), Outcome::Ok);
        EXPECT_EQ(reboot.texts(), QStringList({"0000AR00"}));
        EXPECT_EQ(reboot.clock.pauses(), QList<int>({100}));

        ProcedureHarness initial;
        initial.state.modelKind = kind;
        initial.answer(lengths({{"AR00", 13}, {"AR01", 12}}));
        EXPECT_EQ(FactoryInitial(initial.ctx), Outcome::Error);  // wants 13
        EXPECT_EQ(initial.texts(), QStringList({"0000AR01"}));
    }
}

TEST(SystemCommands, LinkThatDoesNotOpenSendsNothing) {
    ProcedureHarness h;
    h.view.settings.tcpPort = "0";
    EXPECT_EQ(SetDateTime(h.ctx), Outcome::OpenFailed);
    EXPECT_TRUE(h.view.status().startsWith("Connect device error!")) << h.view.status().toStdString();
    EXPECT_TRUE(h.clock.pauses().isEmpty());
    EXPECT_FALSE(h.view.statuses.contains("Set date and time"));
}
