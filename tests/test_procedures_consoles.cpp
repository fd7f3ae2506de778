// The controller and module consoles: the texts sent, the reply shown with its control
// bytes visible, and when the link settings are stored.
#include <gtest/gtest.h>

#include "link/FrameText.h"
#include "procedures/CommandConsoles.h"
#include "tests/support/ProcedureHarness.h"

using namespace pb;
using namespace pbtest;

TEST(FrameText, ControlBytesByNameOthersInHex) {
    EXPECT_EQ(FrameText(QByteArray("\x03"
                                     "0000AB\x04"
                                     "1A2B\r")),
              "<ETX>0000AB<EOT>1A2B<CR>");
    EXPECT_EQ(FrameText(QByteArray("\x01\x02\n\x00\x1f\x7f\xff", 7)),
              "<SOH><STX><LF><x00><x1F><x7F><xFF>");
    EXPECT_EQ(FrameText(QByteArray()), "");
}

TEST(CommandConsoles, ControllerCommandShowsTheReplyAndStoresTheLink) {
    ProcedureHarness h;
    h.state.deviceId = "0123";
    const QByteArray reply = CrcReplyFrame("0123AB12");
    h.answer([&](const QString&) { return reply; });

    EXPECT_EQ(ControllerCommand(h.ctx, " ab "), Outcome::Ok);
    EXPECT_EQ(h.texts(), QStringList({"0123 ab "}));  // no trimming, no case change
    EXPECT_EQ(h.clock.pauses(), QList<int>({100}));
    EXPECT_EQ(h.view.controllerReply, FrameText(reply));
    EXPECT_TRUE(h.view.controllerReply.startsWith("<ETX>0123AB12<EOT>"));
    EXPECT_TRUE(h.view.controllerReply.endsWith("<CR>"));
    EXPECT_EQ(h.view.linkSettingsSaves, 1);
    EXPECT_EQ(h.view.status(), "Command ok.");
    EXPECT_EQ(h.view.lamp(), LampColour::Yellow);
}

TEST(CommandConsoles, EmptyCommandSendsTheIdAlone) {
    ProcedureHarness h;
    h.answer([](const QString&) { return ReplyOfLength(10); });
    EXPECT_EQ(ControllerCommand(h.ctx, ""), Outcome::Ok);
    EXPECT_EQ(h.texts(), QStringList({"0000"}));
}

TEST(CommandConsoles, FailedCommandEmptiesItsReplyFieldAndStoresNothing) {
    // Refused by the controller (bad checksum), unanswered, or no link at all: the
    // earlier reply never stays beside the error.
    ProcedureHarness h;
    h.view.controllerReply = "earlier";
    h.view.moduleReply = "earlier module";
    h.answer([](const QString&) { return BadChecksumReplyOfLength(12); });
    EXPECT_EQ(ControllerCommand(h.ctx, "AB"), Outcome::Error);
    EXPECT_EQ(h.view.controllerReply, "");
    EXPECT_EQ(h.view.moduleReply, "earlier module");  // the other console keeps its own
    EXPECT_EQ(h.view.linkSettingsSaves, 0);
    EXPECT_EQ(h.view.status(), "Command error! the reply to AB failed its checksum");
    EXPECT_EQ(h.view.lastBeepHz(), 300);
    EXPECT_EQ(h.runs.last().cause, pb::Cause::of(pb::CauseCode::BadChecksum, {"AB"}));

    h.answer([](const QString&) { return QByteArray(); });
    EXPECT_EQ(ModuleCommand(h.ctx, 0, "1", "B"), Outcome::Error);
    EXPECT_EQ(h.view.moduleReply, "");

    h.view.controllerReply = "earlier";
    h.view.settings.tcpPort = "0";  // never opens
    EXPECT_EQ(ControllerCommand(h.ctx, "AB"), Outcome::OpenFailed);
    EXPECT_EQ(h.view.controllerReply, "");
}

TEST(CommandConsoles, OverlongOrNonAsciiCommandIsRefusedWithoutSending) {
    for (const QString& typed : {QString(1490, 'A'), QStringLiteral("AB\u00e9")}) {
        ProcedureHarness h;
        h.answer([](const QString&) { return ReplyOfLength(12); });
        EXPECT_EQ(ControllerCommand(h.ctx, typed), Outcome::Error);
        EXPECT_TRUE(h.peer.received().isEmpty());
        EXPECT_EQ(h.view.status(), typed.size() > 3 ? "Command error! the command is too long"
                                                    : "Command error! the command has a character that cannot be sent");
        EXPECT_EQ(h.view.linkSettingsSaves, 0);
    }
    // The longest text that fits is sent: 4 + 1489 = 1493 characters.
    ProcedureHarness h;
    h.answer([](const QString&) { return ReplyOfLength(12); });
    EXPECT_EQ(ControllerCommand(h.ctx, QString(1489, 'A')), Outcome::Ok);
    EXPECT_EQ(h.texts().value(0).size(), 1493);
}

TEST(CommandConsoles, ModuleCommandAddressesTypeAndNumberAndStoresNothing) {
    const QStringList letters = {"A", "B", "H", "I", "J", "E"};
    for (int type = 0; type < letters.size(); ++type)
        EXPECT_EQ(ModuleTypeLetter(type), letters[type]);
    EXPECT_EQ(ModuleTypeLetter(6), "");

    ProcedureHarness h;
    const QByteArray reply = CrcReplyFrame("0000DDA1B");
    h.answer([&](const QString&) { return reply; });
    EXPECT_EQ(ModuleCommand(h.ctx, 0, "1", "B"), Outcome::Ok);
    EXPECT_EQ(ModuleCommand(h.ctx, 2, "8", "xyz"), Outcome::Ok);
    EXPECT_EQ(h.texts(), QStringList({"0000DDA1B", "0000DDH8xyz"}));
    EXPECT_EQ(h.view.moduleReply, FrameText(reply));
    EXPECT_EQ(h.view.controllerReply, "");
    EXPECT_EQ(h.view.linkSettingsSaves, 0);
}
