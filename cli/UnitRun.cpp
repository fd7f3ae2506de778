// A unit's run: the plan through the one runner, its news as the unit's events, and what
// the command line makes of the outcome (its words in the run's language, the exit code,
// the result's detail).
#include "cli/UnitRun.h"

#include <QJsonArray>

#include "catalogue/StepNames.h"
#include "catalogue/TestCatalogue.h"
#include "cli/ExitCode.h"
#include "cli/UnitRecords.h"
#include "cli/UnitReporter.h"
#include "i18n/CauseTexts.h"
#include "i18n/CommandTexts.h"
#include "i18n/EndingTexts.h"
#include "i18n/MeasurementTexts.h"
#include "records/store/RecordStore.h"
#include "runner/RunClock.h"

namespace cli {
namespace {

using pb::CommandText;

// The runner's news as the unit's events: a single command tells each status as a step
// line; a recipe tells a line per step, its statuses on the terminal's live line only.
class UnitNews final : public pb::RecipeRunObserver, public UnitReporter {
public:
    UnitNews(int unit, const CommandJob& job, const EventSink& sink)
        : UnitReporter(unit, sink), job_(job), language_(pb::LanguageIndex(job.language)), recipe_(job.recipe.has_value()) {}

    void recipeStarted(const pb::Recipe& recipe, const QString& scanned) override {
        if (!recipe_) return;
        step(pb::Text(CommandText::RecipeStarted,
                      {recipe.product, QString::number(recipe.steps.size()), recipe.hashHex().left(12)}, language_) +
             (scanned.isEmpty() ? pb::Text(CommandText::NoSerialGiven, language_)
                                : pb::Text(CommandText::UnitSerial, {scanned}, language_)));
    }
    void stepStarted(int index, int attempt) override {
        if (!recipe_) return;
        step(stepName(index) + (attempt > 1 ? pb::Text(CommandText::StepTry, {QString::number(attempt)}, language_)
                                            : pb::Text(CommandText::StepStartedNow, language_)));
        live(stepName(index));
    }
    void stepStatus(int index, const QString& text, bool liveOnly) override {
        if (recipe_) return live(stepName(index) + QStringLiteral(": ") + text);
        setStepsLive(liveOnly);
        step(text);
        setStepsLive(false);
    }
    void stepProgress(int index, const QString& phase, int done, int total) override {
        progress(phase, done, total, recipe_ ? stepName(index) : QString());
    }
    void stepPolled(int index, const pb::PollingShown& shown) override {
        if (recipe_) return progress(QStringLiteral("poll"), shown.texts, 0, stepName(index));
        if (!shown.record) return step(shown.text);
        step(shown.date + QStringLiteral("  ") + shown.text);
        progress(QStringLiteral("poll"), shown.records, shown.stored);
    }
    void stepEnded(int index, const pb::StepResult& result) override {
        if (!recipe_) return;
        live({});  // the step's bar and status end with it
        QString text = stepName(index) + pb::Text(result.verdict.passed() ? CommandText::StepPassed : CommandText::StepFailed, language_);
        // Why it failed, or the note of a pass (no upgrade needed).
        if (result.verdict.cause.code != pb::CauseCode::Ok) text += QStringLiteral(", ") + pb::CauseText(result.verdict.cause, language_);
        if (!result.measurements.isEmpty())
            text += QStringLiteral(" (") + pb::MeasurementsText(result.measurements, language_) + u')';
        step(text);
    }
    // Said once: the output drops a warning it has shown.
    void linkNote(const QString& text) override { warn(text); }

    void warn(const QString& text) {
        if (text.isEmpty()) return;
        UnitEvent e;
        e.kind = UnitEvent::Kind::Warning;
        e.text = text;
        emitEvent(e);
    }

private:
    QString stepName(int index) const {
        const pb::RecipeStep& s = job_.recipe->steps[index];
        return pb::Text(CommandText::StepLine,
                        {QString::number(index + 1), QString::number(job_.recipe->steps.size()), pb::StepName(s, language_)},
                        language_);
    }

    const CommandJob& job_;
    int language_;
    bool recipe_;
};

// The last result of type T a step's procedures found; null when none.
template <class T>
const T* LastFound(const QList<pb::TestResult>& found) {
    for (auto it = found.crbegin(); it != found.crend(); ++it)
        if (const T* r = it->as<T>()) return r;
    return nullptr;
}

QJsonArray RunIds(const QList<qint64>& ids) {
    QJsonArray array;
    for (qint64 id : ids) array.append(id);
    return array;
}

// What a single command's detail says of what it found (as the command line always said).
void AddFound(QJsonObject& d, const QList<pb::TestResult>& found) {
    if (const auto* r = LastFound<pb::IdentifyResult>(found)) {
        d.insert(QStringLiteral("deviceId"), r->deviceId);
        d.insert(QStringLiteral("modelKind"), r->modelKind);
        d.insert(QStringLiteral("version"), r->versionText);
        d.insert(QStringLiteral("serialNumber"), r->serialNumber);
    }
    if (const auto* r = LastFound<pb::DidoResult>(found)) {
        d.insert(QStringLiteral("cycles"), r->answeredReads);
        d.insert(QStringLiteral("cyclesRun"), r->cycles);
        if (!r->lastInputs.isEmpty()) d.insert(QStringLiteral("inputs"), r->lastInputs);
        d.insert(QStringLiteral("closingCommandSent"), r->closingSent);
    }
    if (const auto* r = LastFound<pb::PollingResult>(found)) {
        QJsonArray records;
        for (const pb::PolledRecord& record : r->records)
            records.append(QJsonObject{{QStringLiteral("date"), record.dateText}, {QStringLiteral("text"), record.text}});
        d.insert(QStringLiteral("records"), records);
    }
    if (const auto* r = LastFound<pb::ConsoleResult>(found)) d.insert(QStringLiteral("reply"), r->reply);
    if (const auto* r = LastFound<pb::UpgradeResult>(found)) {
        d.insert(QStringLiteral("blocksProgrammed"), r->blocksProgrammed);
        d.insert(QStringLiteral("blocksVerified"), r->blocksVerified);
        d.insert(QStringLiteral("blocks"), r->blocks);
        d.insert(QStringLiteral("blocksLeftOut"), r->blocksLeftOut);
        d.insert(QStringLiteral("mayLackFirmware"), r->mayLackFirmware);
    }
}

// The words of a single command's ending.
QString CommandWords(const CommandJob& job, const pb::RecipeRunResult& r, int language) {
    const pb::StepResult& s = r.results.value(0);
    const QList<pb::TestResult>& found = r.found.value(0);
    const pb::UpgradeResult* upgrade = LastFound<pb::UpgradeResult>(found);
    if (s.verdict.passed()) {
        // Told by what the command's own test found: its last procedure's result.
        const pb::TestResult last = found.isEmpty() ? pb::TestResult{} : found.last();
        QString done;
        if (const auto* i = last.as<pb::IdentifyResult>())
            done = pb::Text(CommandText::Identified,
                            {i->deviceId, QString::number(i->modelKind), i->versionText, i->serialNumber}, language);
        else if (const auto* d = last.as<pb::DidoResult>())
            done = pb::Text(CommandText::DidoDone, {QString::number(d->answeredReads), d->lastInputs}, language);
        else if (const auto* p = last.as<pb::PollingResult>())
            done = pb::Text(CommandText::RecordsRead, {QString::number(p->recordsRead())}, language);
        else if (const auto* c = last.as<pb::ConsoleResult>())
            done = pb::Text(CommandText::Reply, {c->reply}, language);
        else if (upgrade) {
            done = pb::Text(CommandText::BlocksDone, {QString::number(upgrade->blocks)}, language);
            if (upgrade->blocksLeftOut > 0)
                done += pb::Text(CommandText::BlocksLeftOut,
                                 {QString::number(upgrade->blocksLeftOut), QString::number(upgrade->blocks)}, language);
            if (s.attempts > 1)
                done += pb::Text(CommandText::OnTry, {QString::number(s.attempts), QString::number(job.step.retries + 1)},
                                 language);
        } else
            done = pb::RowText(pb::CatalogueEntry(job.step.kind).done, language);
        return done;
    }
    QString why = pb::CauseText(s.verdict.cause, language);
    if (r.cancelled && upgrade && upgrade->blocksProgrammed > 0) {
        const bool verifying = upgrade->blocksVerified > 0 || upgrade->phase == QLatin1String("verify");
        why = pb::Text(verifying ? CommandText::VerifyStopped : CommandText::ProgrammingStopped,
                       {QString::number(verifying ? upgrade->blocksVerified : upgrade->blocksProgrammed),
                        QString::number(upgrade->blocks)},
                       language) +
              QStringLiteral("; ") + pb::Text(CommandText::MayLackFirmware, language);
    } else if (r.cancelled) {
        if (const auto* d = LastFound<pb::DidoResult>(found); d && d->closingSent)
            why = pb::Text(CommandText::DidoStopped, {QString::number(d->answeredReads)}, language);
    } else if (upgrade && upgrade->ending() == pb::UpgradeEnding::Refused) {
        // A file refused as the window refuses it reads with the window's ending; one the
        // window would have programmed in part says only why. Then that nothing was sent.
        const pb::MsgId ending = pb::ErrorEnding(s.verdict.cause);
        if (ending != pb::MsgId::CommandError) why = pb::EndingStatus(ending, s.verdict.cause, language);
        why += pb::Text(CommandText::NothingSent, language);
    } else if (upgrade && upgrade->ending() == pb::UpgradeEnding::FlashFailed) {
        why += pb::Text(CommandText::BlocksSoFar,
                        {QString::number(upgrade->blocksProgrammed), QString::number(upgrade->blocks),
                         QString::number(upgrade->blocksVerified)},
                        language) +
               pb::Text(upgrade->mayLackFirmware ? CommandText::MayLackFirmware : CommandText::FirmwareAsItWas, language);
    }
    return r.cancelled ? pb::Text(CommandText::Interrupted, {why}, language) : why;
}

// The words of a recipe's ending.
QString RecipeWords(const pb::Recipe& recipe, const pb::RecipeRunResult& r, int language) {
    if (r.verdict.passed) return pb::Text(CommandText::RecipePassed, {QString::number(recipe.steps.size())}, language);
    const int i = r.verdict.failingStep;
    const QString text = i >= 0 ? pb::Text(CommandText::RecipeFailedAt,
                                           {QString::number(i + 1), pb::StepName(recipe.steps[i], language),
                                            pb::CauseText(r.verdict.cause, language)},
                                           language)
                                : pb::Text(CommandText::RecipeFailed, language);
    return r.cancelled ? pb::Text(CommandText::Interrupted, {text}, language) : text;
}

QJsonObject RecipeDetail(const pb::Recipe& recipe, const QString& scanned, const pb::RecipeRunResult& r) {
    QJsonArray steps;
    for (int i = 0; i < recipe.steps.size(); ++i) {
        const pb::StepResult& s = r.results[i];
        QJsonObject step{{QStringLiteral("step"), i + 1},
                         {QStringLiteral("kind"), pb::CommandName(recipe.steps[i].kind)},
                         {QStringLiteral("label"), pb::KeptStepLabel(recipe.steps[i])},
                         {QStringLiteral("verdict"), pb::StepStateName(s.verdict.state)},
                         {QStringLiteral("attempts"), s.attempts},
                         {QStringLiteral("measurements"), pb::ToJson(s.measurements)},
                         {QStringLiteral("runIds"), RunIds(r.stepRunIds.value(i))}};
        if (s.verdict.ran()) step.insert(QStringLiteral("cause"), pb::ToJson(s.verdict.cause));
        steps.append(step);
    }
    QJsonObject o{{QStringLiteral("recipe"), recipe.product},
                  {QStringLiteral("recipeHash"), recipe.hashHex()},
                  {QStringLiteral("unitSerial"), scanned},
                  {QStringLiteral("verdict"), r.verdict.passed ? QStringLiteral("pass")
                                              : r.cancelled    ? QStringLiteral("interrupted")
                                                               : QStringLiteral("fail")},
                  {QStringLiteral("failingStep"), r.verdict.failingStep >= 0 ? QJsonValue(r.verdict.failingStepNumber())
                                                                             : QJsonValue(QJsonValue::Null)},
                  {QStringLiteral("cause"), pb::ToJson(r.verdict.cause)},
                  {QStringLiteral("steps"), steps}};
    if (r.identity) o.insert(QStringLiteral("controller"), pb::ToJson(*r.identity));
    // recordId: the same number under its older name.
    if (r.recordId > 0) {
        o.insert(QStringLiteral("recipeRunId"), r.recordId);
        o.insert(QStringLiteral("recordId"), r.recordId);
    }
    return o;
}

int ExitOfCause(const pb::Cause& cause) {
    using C = pb::CauseCode;
    switch (cause.code) {
        case C::LinkOpenFailed:
            return kExitLinkNotOpened;
        case C::NoController:
        case C::ModelUnknown:
        case C::NotIdentified:
        case C::ModelKindMismatch:
        case C::ModelMismatch:
        case C::VersionUnreadable:
        case C::VersionOutOfRange:
        case C::SerialMismatch:
            return kExitNoController;
        case C::FileNotChosen:
        case C::FileMissing:
        case C::FileUnreadable:
        case C::FileTooShort:
        case C::FileNotFirmware:
        case C::FileForOtherModel:
        case C::FileHashMismatch:
        case C::FileNoImage:
        case C::FileTooLarge:
        case C::FileChanged:
        case C::Unsigned:
        case C::BadSignature:
        case C::UntrustedKey:
        case C::NotForThisModel:
        case C::Downgrade:
        case C::Expired:
        case C::NoLoader:
            return kExitFirmwareRefused;
        case C::LoaderNotEntered:
        case C::LoaderNotAnswering:
        case C::FlashNotErased:
        case C::EraseFailed:
        case C::NotProgrammed:
        case C::NotReadBack:
        case C::VerifyFailed:
        case C::VersionAfterUpgrade:
            return kExitFlashFailed;
        case C::Interrupted:
            return kExitInterrupted;
        default:
            return kExitCommandFailed;
    }
}

// Each try of a command that was tried again: why it ended and the exit it would have had.
QJsonArray Tries(const pb::StepResult& s) {
    QJsonArray tries;
    for (const pb::Cause& c : s.attemptCauses)
        tries.append(QJsonObject{{QStringLiteral("cause"), pb::ToJson(c)},
                                 {QStringLiteral("exit"), c.passed() ? int(kExitOk) : ExitOfCause(c)}});
    return tries;
}

}  // namespace

int ExitCodeOf(const pb::RecipeRunResult& r) {
    if (r.verdict.passed) return kExitOk;
    if (r.cancelled) return kExitInterrupted;
    // An upgrade that had entered the loader failed in its flash, whatever stopped it.
    if (r.verdict.failingStep >= 0)
        if (const auto* u = LastFound<pb::UpgradeResult>(r.found.value(r.verdict.failingStep));
            u && u->ending() == pb::UpgradeEnding::FlashFailed)
            return kExitFlashFailed;
    return ExitOfCause(r.verdict.cause);
}

UnitEvent RunUnit(int unit, const UnitLink& link, const CommandJob& job, pb::Cancel& cancel, const EventSink& sink) {
    const int language = pb::LanguageIndex(job.language);
    UnitNews news(unit, job, sink);
    UnitEvent start;
    start.kind = UnitEvent::Kind::Start;
    start.text = job.command;
    news.emitEvent(start);
    const pb::Recipe plan = job.plan();

    UnitEvent e;
    e.kind = UnitEvent::Kind::Result;
    if (link.linkProblem) {
        // An adapter socket whose adapter is not there has no link to open: it fails as a
        // link that cannot be opened, and the other sockets run.
        const pb::Cause& cause = *link.linkProblem;
        e.exitCode = kExitLinkNotOpened;
        e.text = pb::Text(CommandText::LinkNotOpened, {pb::CauseText(cause, language)}, language);
        e.detail = QJsonObject{{QStringLiteral("recipe"), plan.product},
                               {QStringLiteral("recipeHash"), plan.hashHex()},
                               {QStringLiteral("unitSerial"), link.unitSerial},
                               {QStringLiteral("verdict"), QStringLiteral("fail")},
                               {QStringLiteral("failingStep"), 1},
                               {QStringLiteral("cause"), pb::ToJson(cause)},
                               {QStringLiteral("fixture"), job.fixtureName},
                               {QStringLiteral("socket"), link.socket},
                               {QStringLiteral("steps"), QJsonArray()}};
        news.emitEvent(e);
        return e;
    }

    UnitRecords records(job);
    news.warn(records.takeWarning());
    pb::RunClock clock(&cancel);
    pb::RecipeRunner runner(plan, clock, cancel);
    runner.setObserver(&news);
    runner.setLanguage(job.language);
    runner.setRecords(records.store(), job.operatorName, job.station);
    if (job.traffic)
        QObject::connect(&runner.link(), &pb::Link::traffic, &runner, [&](const pb::TrafficRecord& r) {
            UnitEvent f;
            f.kind = UnitEvent::Kind::Frame;
            f.direction = DirectionName(r.direction);
            f.bytes = r.bytes;
            f.checksumOk = r.checksumOk;
            f.text = r.note;
            news.emitEvent(f);
        });

    pb::RecipeUnit target;
    target.link = SettingsOf(link);
    target.id = link.id.isEmpty() ? job.id : link.id;
    target.scannedSerial = link.unitSerial;
    target.fixture = job.fixtureName;
    target.fixtureHash = job.fixtureHash;
    target.socket = link.socket;
    if (!job.recipe) target.modelKind = job.modelKind;
    const pb::RecipeRunResult r = runner.run(target);
    news.warn(records.takeWarning());

    e.exitCode = ExitCodeOf(r);
    if (job.recipe) {
        e.text = RecipeWords(plan, r, language);
        e.detail = RecipeDetail(plan, link.unitSerial, r);
        if (!link.socket.isEmpty()) {
            e.detail.insert(QStringLiteral("fixture"), job.fixtureName);
            e.detail.insert(QStringLiteral("socket"), link.socket);
        }
    } else {
        e.text = CommandWords(job, r, language);
        const pb::StepResult& s = r.results.value(0);
        AddFound(e.detail, r.found.value(0));
        e.detail.insert(QStringLiteral("cause"), pb::ToJson(s.verdict.cause));
        e.detail.insert(QStringLiteral("measurements"), pb::ToJson(s.measurements));
        if (s.attempts > 1) e.detail.insert(QStringLiteral("tries"), Tries(s));
        // The command's run in the records, by what it is: `records show <runId>`.
        if (r.recordId > 0) e.detail.insert(QStringLiteral("runId"), r.recordId);
    }
    news.emitEvent(e);
    return e;
}

pb::LinkSettings SettingsOf(const UnitLink& u) {
    pb::LinkSettings s;
    if (u.kind == UnitLink::Kind::Tcp) {
        s.kind = pb::LinkKind::Net;
        s.ip = u.host;
        s.tcpPort = u.tcpPort;
    } else {
        s.kind = pb::LinkKind::Com;
        s.portName = u.port;
        s.speed = u.speed;
        s.lowLatency = u.lowLatency;
        s.rs485 = u.rs485;
    }
    return s;
}

QString DirectionName(pb::TrafficRecord::Direction d) {
    switch (d) {
        case pb::TrafficRecord::Direction::Sent:
            return QStringLiteral("sent");
        case pb::TrafficRecord::Direction::Received:
            return QStringLiteral("received");
        case pb::TrafficRecord::Direction::Failed:
            break;
    }
    return QStringLiteral("failed");
}

}  // namespace cli
