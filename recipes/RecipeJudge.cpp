#include "recipes/RecipeJudge.h"

#include <QRegularExpression>

namespace pb {
namespace {

QString kindsText(const QList<int>& kinds) {
    QStringList parts;
    for (int k : kinds) parts.append(QString::number(k));
    return parts.join(QStringLiteral(", "));
}

Measurement judgedIf(Measurement m, bool checked, bool pass) { return checked ? m.judged(pass) : m; }

}  // namespace

QString StepStateName(StepState state) {
    switch (state) {
        case StepState::Passed:
            return QStringLiteral("pass");
        case StepState::Failed:
            return QStringLiteral("fail");
        case StepState::Interrupted:
            return QStringLiteral("interrupted");
        case StepState::NotRun:
            break;
    }
    return QStringLiteral("not-run");
}

std::optional<StepState> StepStateNamed(const QString& name) {
    for (StepState s : {StepState::NotRun, StepState::Passed, StepState::Failed, StepState::Interrupted})
        if (StepStateName(s) == name) return s;
    return std::nullopt;
}

Judgement judgeIdentify(const IdentifyParams& expect, const IdentifyFound& m) {
    Judgement out;
    const bool kindOk = expect.modelKinds.isEmpty() || expect.modelKinds.contains(m.modelKind);
    const bool textOk = expect.modelText.isEmpty() || m.modelText.trimmed().startsWith(expect.modelText.trimmed());
    const std::optional<VersionText> v = parseVersion(m.versionText);
    const bool versionOk = !expect.version || (v && expect.version->contains(*v));
    const bool serialOk = !expect.checkSerial || m.serial.trimmed() == m.scannedSerial.trimmed();
    out.measurements = {
        Measurement::textOf(QStringLiteral("device-id"), m.deviceId),
        judgedIf(Measurement::numberOf(QStringLiteral("model-kind"), m.modelKind).expecting(kindsText(expect.modelKinds)),
                 !expect.modelKinds.isEmpty(), kindOk),
        judgedIf(Measurement::textOf(QStringLiteral("model-text"), m.modelText.trimmed())
                     .expecting(expect.modelText.trimmed()),
                 !expect.modelText.isEmpty(), textOk),
        judgedIf(Measurement::textOf(QStringLiteral("version"), v ? v->text : m.versionText.trimmed())
                     .expecting(expect.version ? expect.version->text() : QString()),
                 expect.version.has_value(), versionOk),
        judgedIf(Measurement::textOf(QStringLiteral("serial"), m.serial.trimmed())
                     .expecting(expect.checkSerial ? m.scannedSerial.trimmed() : QString()),
                 expect.checkSerial, serialOk),
    };
    if (!kindOk)
        out.verdict = StepVerdict::fail(
            Cause::of(CauseCode::ModelKindMismatch, {m.modelKind, kindsText(expect.modelKinds)}));
    else if (!textOk)
        out.verdict = StepVerdict::fail(
            Cause::of(CauseCode::ModelMismatch, {m.modelText.trimmed(), expect.modelText.trimmed()}));
    else if (expect.version && !v)
        out.verdict = StepVerdict::fail(Cause::of(CauseCode::VersionUnreadable, {m.versionText}));
    else if (!versionOk)
        out.verdict = StepVerdict::fail(Cause::of(CauseCode::VersionOutOfRange, {v->text, expect.version->text()}));
    else if (!serialOk)
        out.verdict = StepVerdict::fail(
            Cause::of(CauseCode::SerialMismatch, {m.serial.trimmed(), m.scannedSerial.trimmed()}));
    else
        out.verdict = StepVerdict::pass();
    return out;
}

StepVerdict judgeDidoReading(const DidoParams& step, const DidoReading& r) {
    if (r.pattern < 0 || r.pattern >= step.patterns.size())
        return StepVerdict::fail(Cause::of(CauseCode::InputNotRead, {r.cycle, 1}));
    const DidoPattern& p = step.patterns[r.pattern];
    for (qsizetype i = 0; i < p.inputs.size(); ++i) {
        const QChar want = p.inputs[i];
        if (want == u'x') continue;
        const QChar got = i < r.inputs.size() ? r.inputs[i] : QChar(u'-');
        if (got != u'0' && got != u'1')
            return StepVerdict::fail(Cause::of(CauseCode::InputNotRead, {r.cycle, int(i + 1)}));
        if (got != want)
            return StepVerdict::fail(
                Cause::of(CauseCode::InputMismatch, {r.cycle, p.outputs, r.inputs, p.inputs, int(i + 1)}));
    }
    return StepVerdict::pass();
}

Judgement judgeDido(const DidoParams& step, const QList<DidoReading>& readings, const QString& readCommand) {
    Judgement out;
    int answered = 0;
    std::optional<StepVerdict> first;  // the first reading that fails, in the order read
    for (const DidoReading& r : readings) {
        const bool read = !r.inputs.isEmpty();
        if (read) ++answered;
        const StepVerdict v = read ? judgeDidoReading(step, r)
                                   : StepVerdict::fail(Cause::of(CauseCode::NoReply, {readCommand}));
        if (!v.passed() && !first) first = v;
        const DidoPattern& p = step.patterns.value(r.pattern);
        out.measurements << Measurement::bitsOf(QStringLiteral("inputs"), r.inputs)
                                .expecting(p.inputs)
                                .belongingTo(QStringLiteral("%1/%2").arg(r.cycle).arg(p.outputs))
                                .judged(v.passed());
    }
    const int wanted = step.cycles * int(step.patterns.size());
    out.measurements.prepend(Measurement::numberOf(QStringLiteral("reads-answered"), answered)
                                 .within(wanted, wanted)
                                 .judged(answered == wanted));
    out.measurements.prepend(Measurement::numberOf(QStringLiteral("patterns-applied"), readings.size()));
    if (first) out.verdict = *first;
    else if (readings.size() < wanted) out.verdict = StepVerdict::fail(Cause::of(CauseCode::NoReply, {readCommand}));
    else out.verdict = StepVerdict::pass();
    return out;
}

Judgement judgePoll(const PollParams& step, int records) {
    Judgement out;
    const bool low = step.atLeast && records < *step.atLeast;
    const bool high = step.atMost && records > *step.atMost;
    Measurement m = Measurement::numberOf(QStringLiteral("records"), records)
                        .within(step.atLeast ? std::optional<double>(*step.atLeast) : std::nullopt,
                                step.atMost ? std::optional<double>(*step.atMost) : std::nullopt);
    out.measurements << ((step.atLeast || step.atMost) ? m.judged(!low && !high) : m);
    if (low) out.verdict = StepVerdict::fail(Cause::of(CauseCode::TooFewRecords, {records, *step.atLeast}));
    else if (high) out.verdict = StepVerdict::fail(Cause::of(CauseCode::TooManyRecords, {records, *step.atMost}));
    else out.verdict = StepVerdict::pass();
    return out;
}

Judgement judgeReply(const ConsoleParams& step, const QString& command, const std::optional<QString>& reply) {
    Judgement out;
    if (!reply) {
        out.verdict = StepVerdict::fail(Cause::of(CauseCode::NoReply, {command}));
        return out;
    }
    const bool matches = step.replyPattern.isEmpty() || QRegularExpression(step.replyPattern).match(*reply).hasMatch();
    out.measurements << judgedIf(Measurement::textOf(QStringLiteral("reply"), *reply).expecting(step.replyPattern),
                                 !step.replyPattern.isEmpty(), matches);
    out.verdict = matches ? StepVerdict::pass()
                          : StepVerdict::fail(Cause::of(CauseCode::ReplyMismatch, {*reply, step.replyPattern}));
    return out;
}

bool upgradeNeeded(const UpgradeParams& step, const QString& versionText) {
    if (step.always || !step.wanted) return true;
    const std::optional<VersionText> v = parseVersion(versionText);
    return !v || !step.wanted->contains(*v);
}

StepVerdict judgeUpgradeSkipped(const UpgradeParams& step, const QString& versionText) {
    const std::optional<VersionText> v = parseVersion(versionText);
    return StepVerdict::pass(Cause::of(CauseCode::UpgradeNotNeeded,
                                       {v ? v->text : versionText.trimmed(), step.wanted ? step.wanted->text() : QString()}));
}

StepVerdict judgeFirmwareHash(const UpgradeParams& step, const QByteArray& sha256) {
    if (!step.sha256.isEmpty() && sha256 != step.sha256)
        return StepVerdict::fail(Cause::of(CauseCode::FileHashMismatch, {QString::fromLatin1(sha256.toHex())}));
    return StepVerdict::pass();
}

StepVerdict judgeUpgradedVersion(const UpgradeParams& step, const QString& versionText) {
    if (!step.wanted) return StepVerdict::pass();
    const std::optional<VersionText> v = parseVersion(versionText);
    if (!v) return StepVerdict::fail(Cause::of(CauseCode::VersionUnreadable, {versionText}));
    if (!step.wanted->contains(*v))
        return StepVerdict::fail(Cause::of(CauseCode::VersionAfterUpgrade, {v->text, step.wanted->text()}));
    return StepVerdict::pass();
}

Judgement judgeBackAfterRestart(int withinSeconds, std::optional<double> answeredAfterSeconds) {
    Judgement out;
    const bool back = answeredAfterSeconds && *answeredAfterSeconds <= withinSeconds;
    if (answeredAfterSeconds)
        out.measurements << Measurement::numberOf(QStringLiteral("answered-after"), *answeredAfterSeconds,
                                                  QStringLiteral("s"))
                                .within(std::nullopt, withinSeconds)
                                .judged(back);
    out.verdict = back ? StepVerdict::pass()
                       : StepVerdict::fail(Cause::of(CauseCode::NotBackAfterRestart, {withinSeconds}));
    return out;
}

}  // namespace pb
