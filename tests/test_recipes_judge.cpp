// Judging what a step measured, for each step kind, passing and failing for a real
// cause; and the version texts the ranges compare.
#include <gtest/gtest.h>

#include <QCryptographicHash>

#include "recipes/RecipeFlow.h"
#include "recipes/RecipeJudge.h"
#include "tests/support/QtPrinters.h"

using pb::RecipeReason;
using pb::StepVerdict;

namespace {

pb::VersionRange Range(const char* min, const char* max) {
    pb::VersionRange r;
    if (*min) r.min = pb::parseVersion(QString::fromLatin1(min));
    if (*max) r.max = pb::parseVersion(QString::fromLatin1(max));
    return r;
}

TEST(RecipeVersions, TheControllersTextsCompareByTheirNumbers) {
    const auto v6 = pb::parseVersion(QStringLiteral("V6.01.03"));
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->tag, "V");
    EXPECT_EQ(v6->numbers, (QList<int>{6, 1, 3}));
    // The version field with the product in front, as the identify step shows it.
    EXPECT_EQ(pb::parseVersion(QStringLiteral("KV740MX -V6.01.03"))->text, "V6.01.03");
    EXPECT_EQ(pb::parseVersion(QStringLiteral("KV150RB V2.03.11"))->numbers,
              (QList<int>{2, 3, 11}));
    EXPECT_EQ(pb::parseVersion(QStringLiteral("KV410 ACCESS  0470"))->numbers, QList<int>{470});
    for (const char* bad : {"", "V6..1", "V6.01a", "6.x", "KV740MX -"})
        EXPECT_FALSE(pb::parseVersion(QString::fromLatin1(bad))) << bad;

    const pb::VersionRange r = Range("V6.01.00", "V6.9");
    EXPECT_TRUE(r.contains(*v6));
    EXPECT_TRUE(r.contains(*pb::parseVersion(QStringLiteral("v6.1"))));  // = V6.01.00
    EXPECT_TRUE(r.contains(*pb::parseVersion(QStringLiteral("V6.09.00"))));
    EXPECT_FALSE(r.contains(*pb::parseVersion(QStringLiteral("V6.09.01"))));  // above V6.9.0
    EXPECT_FALSE(r.contains(*pb::parseVersion(QStringLiteral("V6.10.00"))));  // 10 > 9, not "1"
    EXPECT_FALSE(r.contains(*pb::parseVersion(QStringLiteral("V6.00.99"))));
    EXPECT_FALSE(r.contains(*pb::parseVersion(QStringLiteral("R6.01.03"))));  // another line
    EXPECT_TRUE(Range("6.01", "").contains(*pb::parseVersion(QStringLiteral("R6.01.03"))));
    EXPECT_TRUE(Range("", "0499").contains(*pb::parseVersion(QStringLiteral("0470"))));
    EXPECT_FALSE(Range("0471", "").contains(*pb::parseVersion(QStringLiteral("0470"))));
}

TEST(RecipeJudge, IdentifyPassesOnlyTheRightUnit) {
    pb::IdentifyExpect e;
    e.modelKinds = {6};
    e.modelText = QStringLiteral("KV740MX");
    e.version = Range("V6.01.00", "V6.99.99");
    pb::IdentifyMeasured m{6, QStringLiteral("KV740MX "), QStringLiteral("V6.01.03"),
                           QStringLiteral("20251234"), QStringLiteral(" 20251234")};
    EXPECT_TRUE(pb::judgeIdentify(e, m).passed);

    auto wrongKind = m;
    wrongKind.modelKind = 3;
    const StepVerdict k = pb::judgeIdentify(e, wrongKind);
    EXPECT_FALSE(k.passed);
    EXPECT_EQ(k.reason, RecipeReason::WrongModelKind);
    EXPECT_EQ(k.text(0), "Model kind 3, expected 6");

    auto wrongModel = m;
    wrongModel.modelText = QStringLiteral("KV580MX ");
    EXPECT_EQ(pb::judgeIdentify(e, wrongModel).reason, RecipeReason::WrongModelText);

    auto old = m;
    old.versionText = QStringLiteral("V6.00.09");
    const StepVerdict v = pb::judgeIdentify(e, old);
    EXPECT_EQ(v.reason, RecipeReason::VersionOutOfRange);
    EXPECT_EQ(v.text(0), "Version V6.00.09 is outside V6.01.00 .. V6.99.99");
    old.versionText = QStringLiteral("garbled");
    EXPECT_EQ(pb::judgeIdentify(e, old).reason, RecipeReason::VersionUnreadable);

    auto otherUnit = m;
    otherUnit.scannedSerial = QStringLiteral("20251235");
    const StepVerdict s = pb::judgeIdentify(e, otherUnit);
    EXPECT_EQ(s.reason, RecipeReason::SerialMismatch);
    EXPECT_EQ(s.text(2), QString::fromUtf8("序號 20251234 與掃描的 20251235 不符"));
    e.checkSerial = false;
    EXPECT_TRUE(pb::judgeIdentify(e, otherUnit).passed);
}

TEST(RecipeJudge, DidoFindsAStuckInputAndAMissedReading) {
    pb::DidoStep step;
    step.cycles = 2;
    step.patterns = {{QStringLiteral("1000"), QStringLiteral("1000xx00")},
                     {QStringLiteral("0010"), QStringLiteral("0010xx00")}};
    QList<pb::DidoReading> readings;
    for (int cycle = 1; cycle <= 2; ++cycle) {
        readings.append({cycle, 0, QStringLiteral("10001100")});
        readings.append({cycle, 1, QStringLiteral("0010--00")});  // 5, 6 not read: not checked
    }
    EXPECT_TRUE(pb::judgeDido(step, readings, QStringLiteral("DG0")).passed);

    auto stuck = readings;
    stuck[3].inputs = QStringLiteral("00000000");  // input 3 stays off in cycle 2
    const StepVerdict v = pb::judgeDido(step, stuck, QStringLiteral("DG0"));
    EXPECT_EQ(v.reason, RecipeReason::InputsMismatch);
    EXPECT_EQ(v.text(0), "Cycle 2, outputs 0010: inputs 00000000, expected 0010xx00");

    auto unread = readings;
    unread[2].inputs = QStringLiteral("100000-0");
    const StepVerdict u = pb::judgeDido(step, unread, QStringLiteral("DG0"));
    EXPECT_EQ(u.reason, RecipeReason::InputNotRead);
    EXPECT_EQ(u.args, (QStringList{QStringLiteral("2"), QStringLiteral("7")}));
    // A reading never made fails the step too.
    readings.removeLast();
    EXPECT_EQ(pb::judgeDido(step, readings, QStringLiteral("DG0")).reason, RecipeReason::InputNotRead);
}

TEST(RecipeJudge, PollReplyAndReboot) {
    pb::PollStep poll{1, 200};
    EXPECT_TRUE(pb::judgePoll(poll, 1).passed);
    EXPECT_TRUE(pb::judgePoll(poll, 200).passed);
    EXPECT_EQ(pb::judgePoll(poll, 0).reason, RecipeReason::TooFewRecords);
    EXPECT_EQ(pb::judgePoll(poll, 201).text(0), "201 records, expected at most 200");
    EXPECT_TRUE(pb::judgePoll(pb::PollStep{std::nullopt, 0}, 0).passed);

    const pb::ReplyStep module{QStringLiteral("A1B"), QStringLiteral("KVPA1 V1\\.[0-9]+")};
    EXPECT_TRUE(pb::judgeReply(module, QStringLiteral("DDA1KVPA1 V1.02")).passed);
    const StepVerdict wrong = pb::judgeReply(module, QStringLiteral("DDA1ER"));
    EXPECT_EQ(wrong.reason, RecipeReason::ReplyMismatch);
    EXPECT_EQ(wrong.args[0], "DDA1ER");
    EXPECT_EQ(pb::judgeReply(module, std::nullopt).reason, RecipeReason::NoReply);
    // A reply holding "%2" is shown as it came.
    EXPECT_EQ(
        pb::judgeReply({QStringLiteral("X"), QStringLiteral("^OK$")}, QStringLiteral("%2")).text(0),
        "Reply '%2' does not match ^OK$");

    const pb::RebootStep reboot{20};
    EXPECT_TRUE(pb::judgeReboot(reboot, 3.5).passed);
    EXPECT_EQ(pb::judgeReboot(reboot, std::nullopt).reason, RecipeReason::NoAnswerAfterReboot);
    EXPECT_FALSE(pb::judgeReboot(reboot, 20.5).passed);
}

TEST(RecipeJudge, UpgradeOnlyWhenTheVersionIsOutsideTheRange) {
    const QByteArray image(4096, char(0x5a));
    pb::UpgradeStep step;
    step.sha256 = QCryptographicHash::hash(image, QCryptographicHash::Sha256);
    step.wanted = Range("V6.02.00", "");
    EXPECT_TRUE(pb::upgradeNeeded(step, QStringLiteral("KV740MX -V6.01.03")));
    EXPECT_FALSE(pb::upgradeNeeded(step, QStringLiteral("V6.02.00")));
    EXPECT_TRUE(pb::upgradeNeeded(step, QStringLiteral("unreadable")));
    const StepVerdict skipped = pb::judgeUpgradeSkipped(step, QStringLiteral("V6.02.01"));
    EXPECT_TRUE(skipped.passed);
    EXPECT_EQ(skipped.text(0), "Version V6.02.01 is already in >= V6.02.00: no upgrade needed");
    step.always = true;
    EXPECT_TRUE(pb::upgradeNeeded(step, QStringLiteral("V6.02.00")));

    EXPECT_TRUE(pb::judgeFirmwareFile(step, image).passed);
    QByteArray changed = image;
    changed[100] = 0;
    const StepVerdict file = pb::judgeFirmwareFile(step, changed);
    EXPECT_EQ(file.reason, RecipeReason::FirmwareHashMismatch);
    EXPECT_EQ(
        file.args[0],
        QString::fromLatin1(QCryptographicHash::hash(changed, QCryptographicHash::Sha256).toHex()));

    EXPECT_TRUE(pb::judgeUpgradedVersion(step, QStringLiteral("V6.02.00")).passed);
    EXPECT_EQ(pb::judgeUpgradedVersion(step, QStringLiteral("V6.01.03")).reason,
              RecipeReason::VersionAfterUpgrade);
}

TEST(RecipeFlow, RetriesThenStopOrGoOnAndTheUnitVerdict) {
    pb::Recipe recipe;
    recipe.steps.resize(3);
    recipe.steps[0].retries = 2;
    recipe.steps[1].onFailure = pb::OnFailure::GoOn;
    const StepVerdict failed = StepVerdict::fail(RecipeReason::NoReply);
    const StepVerdict passed = StepVerdict::pass();

    // Two retries: tries 1 and 2 are tried again, the third failure stops the run.
    EXPECT_EQ(pb::afterAttempt(recipe.steps[0], failed, 1), pb::FlowAction::Retry);
    EXPECT_EQ(pb::afterAttempt(recipe.steps[0], failed, 2), pb::FlowAction::Retry);
    EXPECT_EQ(pb::afterAttempt(recipe.steps[0], failed, 3), pb::FlowAction::Stop);
    EXPECT_EQ(pb::afterAttempt(recipe.steps[0], passed, 2), pb::FlowAction::Next);
    EXPECT_EQ(pb::afterAttempt(recipe.steps[1], failed, 1), pb::FlowAction::Next);

    QList<pb::StepResult> results = pb::notRunResults(recipe);
    EXPECT_FALSE(pb::unitVerdict(recipe, results).passed);  // nothing ran yet
    for (auto& r : results) r.verdict = passed;
    EXPECT_TRUE(pb::unitVerdict(recipe, results).passed);

    // A go-on step failed and the run went on: the unit fails by that step.
    results[1].verdict = StepVerdict::fail(RecipeReason::TooFewRecords, {"0", "1"});
    results[2].verdict = failed;
    pb::UnitVerdict unit = pb::unitVerdict(recipe, results);
    EXPECT_FALSE(unit.passed);
    EXPECT_EQ(unit.failingStep, 1);
    EXPECT_EQ(unit.reason.reason, RecipeReason::TooFewRecords);

    // The first step stopped the run: the others stay not run, the first names the failure.
    results = pb::notRunResults(recipe);
    results[0].verdict = failed;
    unit = pb::unitVerdict(recipe, results);
    EXPECT_EQ(unit.failingStep, 0);
    EXPECT_EQ(pb::unitVerdict(recipe, results.mid(0, 1)).failingStep, 0);
    EXPECT_FALSE(pb::unitVerdict(recipe, {{passed, 1}}).passed);  // the run ended early
}

}  // namespace
