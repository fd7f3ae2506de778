// Judging what a step measured, for each step kind, passing and failing for a real
// cause; and the version texts the ranges compare.
#include <gtest/gtest.h>

#include <QCryptographicHash>

#include "i18n/CauseTexts.h"
#include "recipes/RecipeFlow.h"
#include "recipes/RecipeJudge.h"
#include "tests/support/QtPrinters.h"

using pb::Cause;
using pb::CauseCode;
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

TEST(RecipeJudge, IdentifyPassesOnlyTheRightUnitAndMeasuresWhatItFound) {
    pb::IdentifyParams e;
    e.modelKinds = {6};
    e.modelText = QStringLiteral("KV740MX");
    e.version = Range("V6.01.00", "V6.99.99");
    pb::IdentifyFound m{QStringLiteral("0001"), 6, QStringLiteral("KV740MX "), QStringLiteral("V6.01.03"),
                        QStringLiteral("20251234"), QStringLiteral(" 20251234")};
    const pb::Judgement good = pb::judgeIdentify(e, m);
    EXPECT_TRUE(good.verdict.passed());
    const pb::Measurement* serial = pb::Find(good.measurements, QStringLiteral("serial"));
    ASSERT_NE(serial, nullptr);
    EXPECT_EQ(serial->text, "20251234");
    EXPECT_EQ(serial->outcome, pb::MeasureOutcome::Pass);
    EXPECT_EQ(pb::Find(good.measurements, QStringLiteral("model-kind"))->number, 6);

    auto wrongKind = m;
    wrongKind.modelKind = 3;
    const pb::Judgement k = pb::judgeIdentify(e, wrongKind);
    EXPECT_FALSE(k.verdict.passed());
    EXPECT_EQ(k.verdict.cause, Cause::of(CauseCode::ModelKindMismatch, {3, "6"}));
    EXPECT_EQ(pb::Find(k.measurements, QStringLiteral("model-kind"))->outcome, pb::MeasureOutcome::Fail);

    auto wrongModel = m;
    wrongModel.modelText = QStringLiteral("KV580MX ");
    EXPECT_EQ(pb::judgeIdentify(e, wrongModel).verdict.cause.code, CauseCode::ModelMismatch);

    auto old = m;
    old.versionText = QStringLiteral("V6.00.09");
    const StepVerdict v = pb::judgeIdentify(e, old).verdict;
    EXPECT_EQ(v.cause, Cause::of(CauseCode::VersionOutOfRange, {"V6.00.09", "V6.01.00 .. V6.99.99"}));
    old.versionText = QStringLiteral("garbled");
    EXPECT_EQ(pb::judgeIdentify(e, old).verdict.cause.code, CauseCode::VersionUnreadable);

    auto otherUnit = m;
    otherUnit.scannedSerial = QStringLiteral("20251235");
    const StepVerdict s = pb::judgeIdentify(e, otherUnit).verdict;
    EXPECT_EQ(s.cause, Cause::of(CauseCode::SerialMismatch, {"20251234", "20251235"}));
    EXPECT_EQ(pb::CauseText(s.cause, 2), QString::fromUtf8("序號 20251234 與掃描的 20251235 不符"));
    e.checkSerial = false;
    EXPECT_TRUE(pb::judgeIdentify(e, otherUnit).verdict.passed());
}

TEST(RecipeJudge, DidoFindsAStuckInputAMissedReadingAndCountsTheReadsAnswered) {
    pb::DidoParams step;
    step.cycles = 2;
    step.patterns = {{QStringLiteral("1000"), QStringLiteral("1000xx00")},
                     {QStringLiteral("0010"), QStringLiteral("0010xx00")}};
    QList<pb::DidoReading> readings;
    for (int cycle = 1; cycle <= 2; ++cycle) {
        readings.append({cycle, 0, QStringLiteral("10001100")});
        readings.append({cycle, 1, QStringLiteral("0010--00")});  // 5, 6 not read: not checked
    }
    EXPECT_TRUE(pb::judgeDido(step, readings, QStringLiteral("DG0")).verdict.passed());

    auto stuck = readings;
    stuck[3].inputs = QStringLiteral("00000000");  // input 3 stays off in cycle 2
    const pb::Judgement v = pb::judgeDido(step, stuck, QStringLiteral("DG0"));
    EXPECT_EQ(v.verdict.cause, Cause::of(CauseCode::InputMismatch, {2, "0010", "00000000", "0010xx00", 3}));
    EXPECT_EQ(pb::CauseText(v.verdict.cause, 0), "cycle 2, outputs 0010: inputs 00000000, expected 0010xx00 (DI3)");

    auto unread = readings;
    unread[2].inputs = QStringLiteral("100000-0");
    EXPECT_EQ(pb::judgeDido(step, unread, QStringLiteral("DG0")).verdict.cause,
              Cause::of(CauseCode::InputNotRead, {2, 7}));

    // A read that was not answered: no reply, and the counts say so without contradiction.
    auto dropped = readings;
    dropped[1].inputs.clear();
    const pb::Judgement d = pb::judgeDido(step, dropped, QStringLiteral("DG0"));
    EXPECT_EQ(d.verdict.cause, Cause::of(CauseCode::NoReply, {"DG0"}));
    EXPECT_EQ(pb::Find(d.measurements, QStringLiteral("patterns-applied"))->number, 4);
    EXPECT_EQ(pb::Find(d.measurements, QStringLiteral("reads-answered"))->number, 3);
    // A reading never made fails the step too, as no reply.
    readings.removeLast();
    EXPECT_EQ(pb::judgeDido(step, readings, QStringLiteral("DG0")).verdict.cause.code, CauseCode::NoReply);
}

TEST(RecipeJudge, PollReplyAndTheAnswerAfterARestart) {
    pb::PollParams poll{1, 200};
    EXPECT_TRUE(pb::judgePoll(poll, 1).verdict.passed());
    EXPECT_TRUE(pb::judgePoll(poll, 200).verdict.passed());
    EXPECT_EQ(pb::judgePoll(poll, 0).verdict.cause.code, CauseCode::TooFewRecords);
    const pb::Judgement many = pb::judgePoll(poll, 201);
    EXPECT_EQ(pb::CauseText(many.verdict.cause, 0), "201 records, expected at most 200");
    EXPECT_EQ(many.measurements.first().high, 200);
    EXPECT_TRUE(pb::judgePoll(pb::PollParams{std::nullopt, 0}, 0).verdict.passed());

    pb::ConsoleParams module;
    module.replyPattern = QStringLiteral("KVPA1 V1\\.[0-9]+");
    EXPECT_TRUE(pb::judgeReply(module, "A1B", QStringLiteral("DDA1KVPA1 V1.02")).verdict.passed());
    const StepVerdict wrong = pb::judgeReply(module, "A1B", QStringLiteral("DDA1ER")).verdict;
    EXPECT_EQ(wrong.cause, Cause::of(CauseCode::ReplyMismatch, {"DDA1ER", module.replyPattern}));
    EXPECT_EQ(pb::judgeReply(module, "A1B", std::nullopt).verdict.cause, Cause::of(CauseCode::NoReply, {"A1B"}));
    // A reply holding "{pattern}" is shown as it came.
    pb::ConsoleParams ok;
    ok.replyPattern = QStringLiteral("^OK$");
    EXPECT_EQ(pb::CauseText(pb::judgeReply(ok, "X", QStringLiteral("{pattern}")).verdict.cause, 0),
              "reply '{pattern}' does not match ^OK$");

    EXPECT_TRUE(pb::judgeBackAfterRestart(20, 3.5).verdict.passed());
    EXPECT_EQ(pb::judgeBackAfterRestart(20, std::nullopt).verdict.cause,
              Cause::of(CauseCode::NotBackAfterRestart, {20}));
    EXPECT_FALSE(pb::judgeBackAfterRestart(20, 20.5).verdict.passed());
}

TEST(RecipeJudge, UpgradeOnlyWhenTheVersionIsOutsideTheRange) {
    const QByteArray image(4096, char(0x5a));
    pb::UpgradeParams step;
    step.always = false;
    step.sha256 = QCryptographicHash::hash(image, QCryptographicHash::Sha256);
    step.wanted = Range("V6.02.00", "");
    EXPECT_TRUE(pb::upgradeNeeded(step, QStringLiteral("KV740MX -V6.01.03")));
    EXPECT_FALSE(pb::upgradeNeeded(step, QStringLiteral("V6.02.00")));
    EXPECT_TRUE(pb::upgradeNeeded(step, QStringLiteral("unreadable")));
    const StepVerdict skipped = pb::judgeUpgradeSkipped(step, QStringLiteral("V6.02.01"));
    EXPECT_TRUE(skipped.passed());
    EXPECT_EQ(pb::CauseText(skipped.cause, 0), "version V6.02.01 is already in >= V6.02.00: no upgrade needed");
    step.always = true;
    EXPECT_TRUE(pb::upgradeNeeded(step, QStringLiteral("V6.02.00")));

    const auto hashOf = [](const QByteArray& b) { return QCryptographicHash::hash(b, QCryptographicHash::Sha256); };
    EXPECT_TRUE(pb::judgeFirmwareHash(step, hashOf(image)).passed());
    QByteArray changed = image;
    changed[100] = 0;
    EXPECT_EQ(pb::judgeFirmwareHash(step, hashOf(changed)).cause,
              Cause::of(CauseCode::FileHashMismatch, {QString::fromLatin1(hashOf(changed).toHex())}));

    EXPECT_TRUE(pb::judgeUpgradedVersion(step, QStringLiteral("V6.02.00")).passed());
    EXPECT_EQ(pb::judgeUpgradedVersion(step, QStringLiteral("V6.01.03")).cause.code, CauseCode::VersionAfterUpgrade);
}

TEST(RecipeFlow, RetriesThenStopOrGoOnAndTheUnitVerdict) {
    pb::Recipe recipe;
    recipe.steps.resize(3);
    recipe.steps[0].retries = 2;
    recipe.steps[1].onFailure = pb::OnFailure::GoOn;
    const StepVerdict failed = StepVerdict::fail(Cause::of(CauseCode::NoReply, {"AC"}));
    const StepVerdict passed = StepVerdict::pass();

    // Two retries: tries 1 and 2 are tried again, the third failure stops the run.
    EXPECT_EQ(pb::afterAttempt(recipe.steps[0], failed, 1), pb::FlowAction::Retry);
    EXPECT_EQ(pb::afterAttempt(recipe.steps[0], failed, 2), pb::FlowAction::Retry);
    EXPECT_EQ(pb::afterAttempt(recipe.steps[0], failed, 3), pb::FlowAction::Stop);
    EXPECT_EQ(pb::afterAttempt(recipe.steps[0], passed, 2), pb::FlowAction::Next);
    EXPECT_EQ(pb::afterAttempt(recipe.steps[1], failed, 1), pb::FlowAction::Next);
    // A cancel is never tried again.
    EXPECT_EQ(pb::afterAttempt(recipe.steps[0], StepVerdict::interrupted(), 1), pb::FlowAction::Stop);

    QList<pb::StepResult> results = pb::notRunResults(recipe);
    EXPECT_FALSE(pb::unitVerdict(recipe, results).passed);  // nothing ran yet
    for (auto& r : results) r.verdict = passed;
    EXPECT_TRUE(pb::unitVerdict(recipe, results).passed);

    // A go-on step failed and the run went on: the unit fails by that step.
    results[1].verdict = StepVerdict::fail(Cause::of(CauseCode::TooFewRecords, {0, 1}));
    results[2].verdict = failed;
    pb::UnitVerdict unit = pb::unitVerdict(recipe, results);
    EXPECT_FALSE(unit.passed);
    EXPECT_EQ(unit.failingStep, 1);
    EXPECT_EQ(unit.failingStepNumber(), 2) << "steps are numbered from 1 where shown";
    EXPECT_EQ(unit.cause.code, CauseCode::TooFewRecords);

    // The first step stopped the run: the others stay not run, the first names the failure.
    results = pb::notRunResults(recipe);
    results[0].verdict = failed;
    unit = pb::unitVerdict(recipe, results);
    EXPECT_EQ(unit.failingStep, 0);
    EXPECT_EQ(pb::unitVerdict(recipe, results.mid(0, 1)).failingStep, 0);
    EXPECT_FALSE(pb::unitVerdict(recipe, {{passed, 1}}).passed);  // the run ended early
}

}  // namespace
