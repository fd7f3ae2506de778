#include "recipes/RecipeJudge.h"

#include <QCryptographicHash>
#include <QRegularExpression>

namespace pb {
namespace {

QString kindsText(const QList<int>& kinds) {
    QStringList parts;
    for (int k : kinds) parts.append(QString::number(k));
    return parts.join(QStringLiteral(", "));
}

}  // namespace

StepVerdict judgeIdentify(const IdentifyExpect& expect, const IdentifyMeasured& m) {
    if (!expect.modelKinds.isEmpty() && !expect.modelKinds.contains(m.modelKind))
        return StepVerdict::fail(RecipeReason::WrongModelKind,
                                 {QString::number(m.modelKind), kindsText(expect.modelKinds)});
    if (!expect.modelText.isEmpty() &&
        !m.modelText.trimmed().startsWith(expect.modelText.trimmed()))
        return StepVerdict::fail(RecipeReason::WrongModelText,
                                 {m.modelText.trimmed(), expect.modelText.trimmed()});
    if (expect.version) {
        const std::optional<VersionText> v = parseVersion(m.versionText);
        if (!v) return StepVerdict::fail(RecipeReason::VersionUnreadable, {m.versionText});
        if (!expect.version->contains(*v))
            return StepVerdict::fail(RecipeReason::VersionOutOfRange,
                                     {v->text, expect.version->text()});
    }
    if (expect.checkSerial && m.serial.trimmed() != m.scannedSerial.trimmed())
        return StepVerdict::fail(RecipeReason::SerialMismatch,
                                 {m.serial.trimmed(), m.scannedSerial.trimmed()});
    return StepVerdict::pass();
}

StepVerdict judgeDidoReading(const DidoStep& step, const DidoReading& r) {
    const QString cycle = QString::number(r.cycle);
    if (r.pattern < 0 || r.pattern >= step.patterns.size())
        return StepVerdict::fail(RecipeReason::InputNotRead, {cycle, QStringLiteral("1")});
    const DidoPattern& p = step.patterns[r.pattern];
    for (qsizetype i = 0; i < p.inputs.size(); ++i) {
        const QChar want = p.inputs[i];
        if (want == u'x') continue;
        const QChar got = i < r.inputs.size() ? r.inputs[i] : QChar(u'-');
        if (got != u'0' && got != u'1')
            return StepVerdict::fail(RecipeReason::InputNotRead, {cycle, QString::number(i + 1)});
        if (got != want)
            return StepVerdict::fail(RecipeReason::InputsMismatch,
                                     {cycle, p.outputs, r.inputs, p.inputs});
    }
    return StepVerdict::pass();
}

StepVerdict judgeDido(const DidoStep& step, const QList<DidoReading>& readings,
                      const QString& readCommand) {
    QList<DidoReading> wanted;
    int unanswered = 0;
    for (int cycle = 1; cycle <= step.cycles; ++cycle)
        for (int p = 0; p < step.patterns.size(); ++p) {
            DidoReading found{cycle, p, QString()};  // a reading never made: nothing read
            for (const DidoReading& r : readings)
                if (r.cycle == cycle && r.pattern == p) found = r;
            if (found.inputs.isEmpty()) ++unanswered;
            wanted << found;
        }
    const StepVerdict noReply = StepVerdict::fail(
        RecipeReason::InputsUnanswered,
        {readCommand, QString::number(unanswered), QString::number(wanted.size())});
    if (unanswered > 0 && unanswered == wanted.size()) return noReply;
    for (const DidoReading& r : wanted)
        if (const StepVerdict v = judgeDidoReading(step, r); !v.passed) return v;
    return unanswered > 0 ? noReply : StepVerdict::pass();
}

StepVerdict judgePoll(const PollStep& step, int records) {
    if (step.atLeast && records < *step.atLeast)
        return StepVerdict::fail(RecipeReason::TooFewRecords,
                                 {QString::number(records), QString::number(*step.atLeast)});
    if (step.atMost && records > *step.atMost)
        return StepVerdict::fail(RecipeReason::TooManyRecords,
                                 {QString::number(records), QString::number(*step.atMost)});
    return StepVerdict::pass();
}

StepVerdict judgeReply(const ReplyStep& step, const std::optional<QString>& reply) {
    if (!reply) return StepVerdict::fail(RecipeReason::NoReply);
    if (!QRegularExpression(step.replyPattern).match(*reply).hasMatch())
        return StepVerdict::fail(RecipeReason::ReplyMismatch, {*reply, step.replyPattern});
    return StepVerdict::pass();
}

bool upgradeNeeded(const UpgradeStep& step, const QString& versionText) {
    if (step.always) return true;
    const std::optional<VersionText> v = parseVersion(versionText);
    return !v || !step.wanted.contains(*v);
}

StepVerdict judgeUpgradeSkipped(const UpgradeStep& step, const QString& versionText) {
    const std::optional<VersionText> v = parseVersion(versionText);
    return StepVerdict::pass(RecipeReason::UpgradeNotNeeded,
                             {v ? v->text : versionText.trimmed(), step.wanted.text()});
}

StepVerdict judgeFirmwareFile(const UpgradeStep& step, const QByteArray& bytes) {
    const QByteArray hash = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
    if (hash != step.sha256)
        return StepVerdict::fail(RecipeReason::FirmwareHashMismatch,
                                 {QString::fromLatin1(hash.toHex())});
    return StepVerdict::pass();
}

StepVerdict judgeUpgradedVersion(const UpgradeStep& step, const QString& versionText) {
    const std::optional<VersionText> v = parseVersion(versionText);
    if (!v) return StepVerdict::fail(RecipeReason::VersionUnreadable, {versionText});
    if (!step.wanted.contains(*v))
        return StepVerdict::fail(RecipeReason::VersionAfterUpgrade, {v->text, step.wanted.text()});
    return StepVerdict::pass();
}

StepVerdict judgeReboot(const RebootStep& step, std::optional<double> answeredAfterSeconds) {
    if (!answeredAfterSeconds || *answeredAfterSeconds > step.withinSeconds)
        return StepVerdict::fail(RecipeReason::NoAnswerAfterReboot,
                                 {QString::number(step.withinSeconds)});
    return StepVerdict::pass();
}

}  // namespace pb
