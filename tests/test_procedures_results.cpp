// What each procedure returns against the simulated controller: its result's fields, on
// the way that ends well and on the ways that do not, agree with what the window showed,
// the controller received and the run's report kept.
#include <gtest/gtest.h>

#include <memory>

#include "firmware/FirmwareUpgrade.h"
#include "procedures/CommandConsoles.h"
#include "procedures/ConnectAndIdentify.h"
#include "procedures/DidoTest.h"
#include "procedures/PollingTest.h"
#include "procedures/SystemCommands.h"
#include "tests/support/SimHarness.h"
#include "tests/test_firmware_rig.h"

using namespace pb;
using namespace pbtest;

namespace {

// Clicks btnDIDO a second time once `cycles` input reads were asked.
void stopDidoAfterReads(SimHarness& h, const QString& read, int cycles) {
    auto seen = std::make_shared<int>(0);
    QObject::connect(&h.controller, &sim::Controller::logged, &h.controller,
                     [&h, read, cycles, seen](const sim::LogEntry& e) {
                         if (e.dir == sim::LogEntry::Received && e.text == read && ++*seen == cycles &&
                             h.state.didoRunning)
                             DidoTestClick(h.ctx);
                     });
}

void identified(SimHarness& h, const QString& id, int kind) {
    h.state.deviceId = id;
    h.state.modelKind = kind;
}

UpgradeResult upgradeOn(FirmwareRig& rig) {
    FirmwareUpgrade upgrade(rig.link, rig.view.settings, rig.view, rig.bars, rig.clock);
    upgrade.setObserver(&rig.runs);
    return upgrade.run(rig.job, rig.buffer);
}

class IdentifyResults : public ::testing::TestWithParam<Wire> {};

}  // namespace

TEST_P(IdentifyResults, TheControllerFoundIsReturnedWholeWithASerialOfBlanks) {
    SimHarness h(sim::Model::V5, "0042", GetParam());
    h.controller.setSerial("AB 12 CD");
    h.view.id = "0042";

    const IdentifyResult r = ConnectAndIdentify(h.ctx);

    EXPECT_EQ(r, Outcome::Ok);
    EXPECT_TRUE(r.identified());
    EXPECT_TRUE(r.cause.passed());
    EXPECT_TRUE(r.opened.ok());
    EXPECT_EQ(r.deviceId, "0042");
    EXPECT_EQ(r.modelKind, 3);
    EXPECT_EQ(r.versionText, "KV320MX -V5.10.02");
    EXPECT_EQ(r.serialNumber, "AB 12 CD");  // blanks and all, not cut at the first
    // The same controller the window shows and the records keep.
    EXPECT_EQ(h.view.version, r.versionText);
    EXPECT_EQ(h.view.serialNumber, "S/N:AB 12 CD   ID:0042");
    ASSERT_EQ(h.runs.identities.size(), 1);
    EXPECT_EQ(h.runs.identities[0].serialNumber, r.serialNumber);
    EXPECT_EQ(r.identity().deviceId, h.runs.identities[0].deviceId);
    EXPECT_EQ(r.identity().versionText, h.runs.identities[0].versionText);
}

INSTANTIATE_TEST_SUITE_P(Wires, IdentifyResults, ::testing::Values(Wire::Tcp, Wire::Pty),
                         [](const auto& info) { return std::string(WireName(info.param)); });

TEST(IdentifyResults, EachWayOfNotIdentifyingSaysWhichInTheResult) {
    {
        SCOPED_TRACE("a controller whose version names no model");
        SimHarness h(sim::Model::Unknown, "0123", Wire::Tcp);
        h.view.id = "0123";
        const IdentifyResult r = ConnectAndIdentify(h.ctx);
        EXPECT_EQ(r, Outcome::Error);
        EXPECT_FALSE(r.identified());
        EXPECT_FALSE(r.linkNotOpened());
        EXPECT_EQ(r.cause.code, CauseCode::ModelUnknown);
        EXPECT_EQ(r.deviceId, "0123");
        EXPECT_EQ(r.modelKind, 0);
        EXPECT_EQ(r.versionText, "KV990MX -X9.00.00");  // what pnVER showed
        EXPECT_EQ(r.serialNumber, "");
    }
    {
        SCOPED_TRACE("nobody answers at the ID asked");
        SimHarness h(sim::Model::Kv410, "0123", Wire::Tcp);
        h.controller.setAnswerZeroId(false);
        h.view.id = "0999";
        const IdentifyResult r = ConnectAndIdentify(h.ctx);
        EXPECT_EQ(r, Outcome::OpenFailed);
        // The link opened and carried the questions: no controller, not no link.
        EXPECT_TRUE(r.opened.ok());
        EXPECT_FALSE(r.linkNotOpened());
        EXPECT_EQ(r.cause, Cause::of(CauseCode::NoController, {"0999"}));
        EXPECT_EQ(r.deviceId, "0000");
        EXPECT_EQ(r.serialNumber, "");
    }
    {
        SCOPED_TRACE("the link does not open");
        SimHarness h(sim::Model::Kv410, "0123", Wire::Tcp);
        h.tcp->close();
        const IdentifyResult r = ConnectAndIdentify(h.ctx);
        EXPECT_EQ(r, Outcome::OpenFailed);
        EXPECT_TRUE(r.linkNotOpened());
        EXPECT_NE(r.opened.error, OpenError::None);
        EXPECT_FALSE(r.opened.detail.isEmpty());
        EXPECT_EQ(r.cause.code, CauseCode::LinkOpenFailed);  // the link's cause, not the unit's
        EXPECT_TRUE(h.controller.commands().isEmpty());
        // The report keeps the open's error as before.
        EXPECT_EQ(h.runs.last().detail.value("openDetail").toString(), r.opened.detail);
    }
}

TEST(DidoResults, CyclesInputsAndTheClosingCommandOfAStoppedRun) {
    SimHarness h(sim::Model::Kv410, "0123", Wire::Tcp);
    identified(h, "0123", 7);
    h.controller.setInputs("10100001");
    h.view.outputs = {false, true, false, false, false};
    stopDidoAfterReads(h, "0123DG0", 3);

    const DidoResult r = DidoTestClick(h.ctx);

    EXPECT_EQ(r, Outcome::Ok);
    EXPECT_FALSE(r.onlyStopped);
    EXPECT_EQ(r.cycles, 3);
    EXPECT_EQ(r.answeredReads, 3);
    EXPECT_EQ(r.unansweredReads(), 0);
    EXPECT_EQ(r.readCommand, "DG0");
    EXPECT_EQ(r.lastInputs, "10100001");
    EXPECT_EQ(r.inputStates, QStringList({"10100001"}));
    EXPECT_EQ(r.inputsPerCycle, QStringList(3, "10100001"));
    EXPECT_TRUE(r.closingSent);
    EXPECT_EQ(h.controller.commands().last(), "0123JD");
    EXPECT_EQ(h.runs.last().detail.value("cycles").toInt(), r.cycles);
}

TEST(DidoResults, AnUnansweredReadAndALostLineEndInErrorSayingHowFarTheyCame) {
    {
        SCOPED_TRACE("the inputs are never answered, and a reader needs them");
        SimHarness h(sim::Model::Kv410, "0123", Wire::Tcp);
        identified(h, "0123", 7);
        h.controller.faults().silentPrefixes = {"DG0"};
        stopDidoAfterReads(h, "0123DG0", 1);
        const DidoResult r = DidoTestClick(h.ctx, DidoEnding::NeedsAnsweredRead);
        EXPECT_EQ(r, Outcome::Error);
        EXPECT_EQ(r.cause, Cause::of(CauseCode::NoReply, {"DG0"}));
        EXPECT_EQ(r.cycles, 1);
        EXPECT_EQ(r.answeredReads, 0);
        EXPECT_EQ(r.lastInputs, "");
        EXPECT_EQ(r.inputsPerCycle, QStringList({""}));  // asked, never answered
        EXPECT_TRUE(r.closingSent);  // the line held: everything was switched off
        EXPECT_EQ(DidoUnansweredText(r), "no reply to DG0 in 1 of 1 cycles");
    }
    {
        SCOPED_TRACE("the line goes away in the third cycle");
        SimHarness h(sim::Model::Old28, "012", Wire::Tcp);
        identified(h, "012", kModelKindStatusIdentified);
        h.controller.setInputs("10100001");
        int reads = 0;
        QObject::connect(&h.controller, &sim::Controller::logged, &h.controller, [&](const sim::LogEntry& e) {
            if (e.dir == sim::LogEntry::Received && e.text == "012IE" && ++reads == 3)
                h.controller.faults().closeMidReply = true;
        });
        const DidoResult r = DidoTestClick(h.ctx);
        EXPECT_EQ(r, Outcome::Error);
        EXPECT_EQ(r.readCommand, "IE and DF");
        EXPECT_EQ(r.cycles, 2);
        EXPECT_EQ(r.answeredReads, 2);
        // Inputs 5 and 6 are not read on the older controller.
        EXPECT_EQ(r.inputsPerCycle, QStringList(2, "1010--01"));
        EXPECT_FALSE(r.closingSent);
        EXPECT_EQ(r.cause.code, CauseCode::LineLost);
        EXPECT_EQ(r.cause.text("command"), "IE");
    }
}

TEST(DidoResults, ASecondClickRunsNothingAndSaysSo) {
    SimHarness h(sim::Model::Kv410, "0123", Wire::Tcp);
    identified(h, "0123", 7);
    DidoResult second;
    h.view.onProcessEvents = [&] {
        if (h.state.didoRunning) second = DidoTestClick(h.ctx);
    };
    const DidoResult first = DidoTestClick(h.ctx);
    EXPECT_EQ(first, Outcome::Ok);
    EXPECT_FALSE(first.onlyStopped);
    EXPECT_TRUE(first.closingSent);
    EXPECT_EQ(second, Outcome::Ok);
    EXPECT_TRUE(second.onlyStopped);
    EXPECT_EQ(second.cycles, 0);
    EXPECT_FALSE(second.closingSent);
}

TEST(PollingResults, EveryRecordReadIsReturnedAsShownAndCountedAsStored) {
    SimHarness h(sim::Model::Kv410, QString(), Wire::Tcp);
    h.controller.setInput(5, true);  // a sixth record
    const QList<sim::Event> stored = h.controller.events().events();

    const PollingResult r = PollingTestClick(h.ctx);

    EXPECT_EQ(r, Outcome::Ok);
    EXPECT_EQ(r.stored, int(stored.size()));
    ASSERT_EQ(r.recordsRead(), int(stored.size()));
    EXPECT_EQ(h.runs.last().detail.value("records").toInt(), r.recordsRead());
    for (int i = 0; i < r.recordsRead(); ++i) {
        EXPECT_EQ(r.records[i].record.sequence, i + 1);
        EXPECT_EQ(r.records[i].dateText, h.view.pollingDates[i + 1]);
        EXPECT_EQ(r.records[i].text, h.view.pollingDataShown[i + 1]);
    }
    EXPECT_EQ(r.records.last().text, "#6 Input on, input 5");
    EXPECT_EQ(r.records.last().record.kind, int(EventKind::InputOn));
    EXPECT_EQ(r.records.last().record.point, 5);
}

TEST(PollingResults, AnEmptyStoreAndAStoreFallingSilentSayHowManyWereRead) {
    {
        SCOPED_TRACE("empty");
        SimHarness h(sim::Model::Kv410, QString(), Wire::Tcp);
        h.controller.events().clear();
        const PollingResult r = PollingTestClick(h.ctx);
        EXPECT_EQ(r, Outcome::Ok);
        EXPECT_EQ(r.stored, 0);
        EXPECT_TRUE(r.records.isEmpty());
    }
    {
        SCOPED_TRACE("silent after two records");
        SimHarness h(sim::Model::Kv410, QString(), Wire::Tcp);
        h.view.onProcessEvents = [&] {
            if (h.view.pollingDataShown.size() == 3) h.controller.faults().silentPrefixes = {""};
        };
        const PollingResult r = PollingTestClick(h.ctx);
        EXPECT_EQ(r, Outcome::Error);
        EXPECT_EQ(r.stored, 5);
        EXPECT_EQ(r.recordsRead(), 2);
        EXPECT_EQ(r.cause.code, CauseCode::NoReply);
        EXPECT_EQ(h.runs.last().detail.value("records").toInt(), 2);
    }
    {
        SCOPED_TRACE("no link");
        SimHarness h(sim::Model::Kv410, QString(), Wire::Tcp);
        h.tcp->close();
        const PollingResult r = PollingTestClick(h.ctx);
        EXPECT_TRUE(r.linkNotOpened());
        EXPECT_EQ(r.stored, -1);
        EXPECT_TRUE(r.records.isEmpty());
    }
}

TEST(ConsoleResults, TheReplyComesBackAsShownAndAfterTheDeviceId) {
    SimHarness h(sim::Model::Kv410, "0123", Wire::Tcp);
    identified(h, "0123", 7);

    const ConsoleResult r = ControllerCommand(h.ctx, "DB");
    EXPECT_EQ(r, Outcome::Ok);
    EXPECT_EQ(r.command, "0123DB");
    EXPECT_EQ(r.reply, h.view.controllerReply);
    ASSERT_TRUE(r.replyText.has_value());
    EXPECT_TRUE(r.replyText->startsWith("DB")) << r.replyText->toStdString();
    EXPECT_TRUE(r.reply.contains(*r.replyText));  // the frame's text holds it whole
    EXPECT_FALSE(r.replyText->contains("0123DB"));

    const ConsoleResult m = ModuleCommand(h.ctx, ModuleTypeOfLetter("H"), "8", "xyz");
    EXPECT_EQ(m, Outcome::Ok);
    EXPECT_EQ(m.command, "0123DDH8xyz");
    EXPECT_EQ(m.reply, h.view.moduleReply);
    EXPECT_TRUE(m.replyText.has_value());

    h.controller.faults().silentPrefixes = {""};
    const ConsoleResult silent = ControllerCommand(h.ctx, "DB");
    EXPECT_EQ(silent, Outcome::Error);
    EXPECT_EQ(silent.command, "0123DB");
    EXPECT_EQ(silent.reply, "");
    EXPECT_FALSE(silent.replyText.has_value());
    EXPECT_EQ(silent.cause, Cause::of(CauseCode::NoReply, {"DB"}));
}

TEST(ConsoleResults, AModuleTypeIsFoundByItsLetter) {
    for (int i = 0; !ModuleTypeLetter(i).isEmpty(); ++i) EXPECT_EQ(ModuleTypeOfLetter(ModuleTypeLetter(i)), i);
    EXPECT_EQ(ModuleTypeOfLetter("H"), 2);
    EXPECT_EQ(ModuleTypeOfLetter("h"), -1);  // a recipe writes the letter as the list does
    EXPECT_EQ(ModuleTypeOfLetter("h", Qt::CaseInsensitive), 2);
    EXPECT_EQ(ModuleTypeOfLetter("E", Qt::CaseInsensitive), 5);
    EXPECT_EQ(ModuleTypeOfLetter("X", Qt::CaseInsensitive), -1);
    EXPECT_EQ(ModuleTypeOfLetter(""), -1);
    EXPECT_EQ(ModuleTypeOfLetter("HI"), -1);
}

TEST(SystemCommandResults, EndingAndReasonOfEachWayAndTheAnswerAfterARestart) {
    SimHarness h(sim::Model::Kv410, "0123", Wire::Tcp);
    identified(h, "0123", 7);

    const RunResult set = SetDateTime(h.ctx);
    EXPECT_EQ(set, Outcome::Ok);
    EXPECT_TRUE(set.cause.passed());

    const AnswerResult back = AwaitAnswer(h.ctx, 5000);
    EXPECT_EQ(back, Outcome::Ok);
    EXPECT_GE(back.answeredAfterMs, 0);

    h.controller.faults().silentPrefixes = {"JF", "AC"};
    const RunResult alarm = AlarmTest(h.ctx, 3);
    EXPECT_EQ(alarm, Outcome::Error);
    EXPECT_EQ(alarm.cause, Cause::of(CauseCode::NoReply, {"JF3"}));
    EXPECT_FALSE(alarm.linkNotOpened());

    const AnswerResult silent = AwaitAnswer(h.ctx, 1);
    EXPECT_EQ(silent, Outcome::Error);
    EXPECT_EQ(silent.answeredAfterMs, -1);
    EXPECT_EQ(silent.cause.code, CauseCode::NoReply);

    h.tcp->close();
    const RunResult reboot = Reboot(h.ctx);
    EXPECT_TRUE(reboot.linkNotOpened());
    EXPECT_FALSE(reboot.opened.detail.isEmpty());
}

TEST(UpgradeResults, ACleanUpgradeReachesTheRestartWithEveryBlock) {
    FirmwareRig rig(6);
    rig.writeImage(PatternImage(3 * 512));
    const UpgradeResult r = upgradeOn(rig);
    EXPECT_EQ(r, UpgradeOutcome::Upgraded);
    EXPECT_EQ(r.ending(), UpgradeEnding::Upgraded);
    EXPECT_EQ(r.asRun(), Outcome::Ok);
    EXPECT_EQ(r.blocks, 3);
    EXPECT_EQ(r.blocksProgrammed, 3);
    EXPECT_EQ(r.blocksVerified, 3);
    EXPECT_EQ(r.failingBlock, -1);
    EXPECT_EQ(r.phase, "restart");
    EXPECT_EQ(r.failure, "");
    EXPECT_TRUE(r.cause.passed());
    EXPECT_FALSE(r.mayLackFirmware);
    EXPECT_EQ(r.versionBefore, rig.modelCase.version);
    EXPECT_EQ(r.blocksLeftOut, 0);
}

TEST(UpgradeResults, AFailedBlockIsNamedWithThePhaseAndTheRetriesSpentOnIt) {
    {
        SCOPED_TRACE("programming: block 2 silent five times");
        FirmwareRig rig(1, Line::Pty);
        rig.controller.faults().silentFirstAttemptsOfBlock = 5;
        rig.controller.faults().faultBlock = 2;
        rig.writeImage(PatternImage(4 * 256));
        const UpgradeResult r = upgradeOn(rig);
        EXPECT_EQ(r, UpgradeOutcome::Failed);
        EXPECT_EQ(r.ending(), UpgradeEnding::FlashFailed);
        EXPECT_EQ(r.failingBlock, 2);
        EXPECT_EQ(r.phase, "program");
        EXPECT_EQ(r.blocks, 4);
        EXPECT_EQ(r.blocksProgrammed, 2);
        EXPECT_EQ(r.blocksVerified, 0);
        EXPECT_EQ(r.programRetries, 4);
        EXPECT_EQ(r.verifyRetries, 0);
        EXPECT_EQ(r.cause, Cause::of(CauseCode::NotProgrammed, {3}));
        EXPECT_EQ(r.failure, "block 3 was not programmed");
        EXPECT_TRUE(r.mayLackFirmware);
        EXPECT_FALSE(r.stoppedOnRequest);
        // The report says the same.
        EXPECT_EQ(rig.runs.last().detail.value("programmed").toInt(), r.blocksProgrammed);
    }
    {
        SCOPED_TRACE("verifying: block 2 read back wrong");
        FirmwareRig rig(6);
        rig.controller.faults().corruptVerifyBlock = 2;
        rig.writeImage(PatternImage(4 * 512));
        const UpgradeResult r = upgradeOn(rig);
        EXPECT_EQ(r, UpgradeOutcome::Failed);
        EXPECT_EQ(r.failingBlock, 2);
        EXPECT_EQ(r.phase, "verify");
        EXPECT_EQ(r.blocksProgrammed, 4);
        EXPECT_EQ(r.blocksVerified, 2);
        EXPECT_EQ(r.cause.code, CauseCode::VerifyFailed);
    }
    {
        SCOPED_TRACE("the loader never answers: no block, nothing touched");
        FirmwareRig rig(2, Line::Pty);
        rig.controller.faults().silentPrefixes = {"A"};
        rig.writeImage(PatternImage(512));
        const UpgradeResult r = upgradeOn(rig);
        EXPECT_EQ(r, UpgradeOutcome::Failed);
        EXPECT_EQ(r.failingBlock, -1);
        EXPECT_EQ(r.phase, "loader");
        EXPECT_EQ(r.cause.code, CauseCode::LoaderNotAnswering);
        EXPECT_FALSE(r.mayLackFirmware);
    }
}

TEST(UpgradeResults, RefusedAndUnopenedRunsSentNothingAndSaySo) {
    {
        SCOPED_TRACE("a file for another model");
        FirmwareRig rig(3);
        rig.writeFile(FirmwareFileBytes("KV999ZZ-X9", PatternImage(1024)));
        const UpgradeResult r = upgradeOn(rig);
        EXPECT_EQ(r, UpgradeOutcome::ModelCheckFailed);
        EXPECT_EQ(r.ending(), UpgradeEnding::Refused);
        EXPECT_EQ(r.phase, "");
        EXPECT_FALSE(r.cause.passed());
        EXPECT_FALSE(r.failure.isEmpty());
        EXPECT_TRUE(rig.controller.commands().isEmpty());
    }
    {
        SCOPED_TRACE("the link does not open");
        FirmwareRig rig(3);
        rig.writeImage(PatternImage(1024));
        rig.tcp->close();
        const UpgradeResult r = upgradeOn(rig);
        EXPECT_EQ(r.ending(), UpgradeEnding::LinkNotOpened);
        EXPECT_NE(r.opened.error, OpenError::None);
        EXPECT_TRUE(r.asRun().linkNotOpened());
        EXPECT_EQ(r.asRun().opened.detail, r.opened.detail);
        EXPECT_TRUE(r.failure.startsWith("the link could not be opened: ")) << r.failure.toStdString();
    }
}
