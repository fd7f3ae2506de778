#include "cli/RecipeRun.h"

#include <QJsonArray>

#include "cli/ExitCode.h"
#include "cli/HeadlessClock.h"
#include "cli/UnitRecords.h"
#include "cli/UnitReporter.h"
#include "catalogue/StepNames.h"
#include "records/store/RecordStore.h"
#include "runner/RecipeRecorder.h"
#include "runner/RecipeRunner.h"

namespace cli {
namespace {

// The runner's news as unit events.
class EventView : public pb::RecipeRunObserver, public UnitReporter {
public:
    EventView(int unit, const pb::Recipe& recipe, int language, const EventSink& sink)
        : UnitReporter(unit, sink), recipe_(recipe), language_(language) {}

    void recipeStarted(const pb::Recipe& recipe, const QString& scanned) override {
        step(QStringLiteral("recipe '%1' (%2 steps, SHA-256 %3)%4")
                 .arg(recipe.product).arg(recipe.steps.size()).arg(recipe.hashHex().left(12))
                 .arg(scanned.isEmpty() ? QStringLiteral(", no unit serial given: serials not compared")
                                        : QStringLiteral(", unit serial ") + scanned));
    }
    void stepStarted(int index, int attempt) override {
        step(stepName(index) + (attempt > 1 ? QStringLiteral(": try %1").arg(attempt)
                                            : QStringLiteral(": started")));
        live(stepName(index));
    }
    // The step's status goes to the terminal's live line only: the lines stay one per step.
    void stepStatus(int index, const QString& text) override {
        live(stepName(index) + QStringLiteral(": ") + text);
    }
    void stepProgress(int index, const QString& phase, int done, int total) override {
        progress(phase, done, total, stepName(index));
    }
    void stepEnded(int index, const pb::StepResult& result, const pb::StepMeasured& measured) override {
        live({});  // the step's bar and status end with it
        QString text = stepName(index) + (result.verdict.passed ? QStringLiteral(": PASS") : QStringLiteral(": FAIL"));
        if (!result.verdict.passed || result.verdict.reason != pb::RecipeReason::Passed)
            text += QStringLiteral(", ") + result.verdict.text(language_);
        if (!measured.isEmpty()) text += QStringLiteral(" (") + measured.text(language_) + u')';
        step(text);
    }

    // Said once: the output drops a warning it has shown.
    void linkNote(const QString& text) override {
        UnitEvent e;
        e.kind = UnitEvent::Kind::Warning;
        e.text = text;
        emitEvent(e);
    }

private:
    QString stepName(int index) const {
        return QStringLiteral("step %1/%2 %3").arg(index + 1).arg(recipe_.steps.size())
            .arg(pb::KeptStepLabel(recipe_.steps[index]));
    }

    const pb::Recipe& recipe_;
    int language_;
};

QJsonArray runIds(const QList<qint64>& ids) {
    QJsonArray array;
    for (qint64 id : ids) array.append(id);
    return array;
}

QJsonObject detailOf(const pb::Recipe& recipe, const QString& scanned, const pb::RecipeRunResult& r,
                     int language) {
    QJsonArray steps;
    for (int i = 0; i < recipe.steps.size(); ++i) {
        const pb::StepResult& s = r.results[i];
        steps.append(QJsonObject{{QStringLiteral("index"), i},
                                 {QStringLiteral("kind"), pb::CommandName(recipe.steps[i].kind)},
                                 {QStringLiteral("label"), pb::KeptStepLabel(recipe.steps[i])},
                                 {QStringLiteral("verdict"), pb::StepVerdictCode(s.verdict)},
                                 {QStringLiteral("reason"), s.verdict.reason == pb::RecipeReason::NotRun
                                                                ? QString() : s.verdict.text(language)},
                                 {QStringLiteral("attempts"), s.attempts},
                                 {QStringLiteral("measured"), r.measured.value(i).text(language)},
                                 {QStringLiteral("runIds"), runIds(r.stepRunIds.value(i))}});
    }
    QJsonObject o{{QStringLiteral("recipe"), recipe.product},
                  {QStringLiteral("recipeHash"), recipe.hashHex()},
                  {QStringLiteral("unitSerial"), scanned},
                  {QStringLiteral("verdict"), r.verdict.passed ? QStringLiteral("pass")
                                              : r.cancelled    ? QStringLiteral("interrupted")
                                                               : QStringLiteral("fail")},
                  {QStringLiteral("failingStep"), r.verdict.failingStep},
                  {QStringLiteral("steps"), steps}};
    if (r.verdict.failingStep >= 0) o.insert(QStringLiteral("reason"), r.verdict.reason.text(language));
    if (r.identity) o.insert(QStringLiteral("controller"), pb::ToJson(*r.identity));
    // recordId: the same number under its older name.
    if (r.recordId > 0) {
        o.insert(QStringLiteral("recipeRunId"), r.recordId);
        o.insert(QStringLiteral("recordId"), r.recordId);
    }
    return o;
}

}  // namespace

int RecipeExitCode(const pb::UnitVerdict& verdict) {
    if (verdict.passed) return kExitOk;
    using R = pb::RecipeReason;
    switch (verdict.reason.reason) {
        case R::LinkNotOpened:
            return kExitLinkNotOpened;
        case R::NoController:
        case R::WrongModelKind:
        case R::WrongModelText:
        case R::VersionUnreadable:
        case R::VersionOutOfRange:
        case R::SerialMismatch:
            return kExitNoController;
        case R::FirmwareHashMismatch:
        case R::FirmwareUnreadable:
        case R::FirmwareRefused:
        case R::FirmwareNoImage:
        case R::FirmwareTooLarge:
            return kExitFirmwareRefused;
        case R::FlashFailed:
        case R::VersionAfterUpgrade:
            return kExitFlashFailed;
        case R::Interrupted:
            return kExitInterrupted;
        default:
            return kExitCommandFailed;
    }
}

UnitEvent RunRecipeUnit(int unit, const UnitLink& link, const CommandJob& job, Cancel& cancel,
                        const EventSink& sink) {
    const pb::Recipe& recipe = *job.recipe;
    const int language = pb::LanguageIndex(job.language);
    EventView view(unit, recipe, language, sink);
    UnitEvent start;
    start.kind = UnitEvent::Kind::Start;
    start.text = job.command;
    view.emitEvent(start);
    if (!link.adapterFailure.isEmpty()) {
        // An adapter socket whose adapter is not there has no link to open: it fails as a
        // link that cannot be opened, and the other sockets run.
        UnitEvent e;
        e.kind = UnitEvent::Kind::Result;
        e.exitCode = kExitLinkNotOpened;
        e.text = QStringLiteral("FAIL: ") + link.adapterFailure;
        e.detail = QJsonObject{{QStringLiteral("recipe"), recipe.product},
                               {QStringLiteral("recipeHash"), recipe.hashHex()},
                               {QStringLiteral("unitSerial"), link.unitSerial},
                               {QStringLiteral("verdict"), QStringLiteral("fail")},
                               {QStringLiteral("failingStep"), -1},
                               {QStringLiteral("reason"), link.adapterFailure},
                               {QStringLiteral("fixture"), job.fixtureName},
                               {QStringLiteral("socket"), link.socket},
                               {QStringLiteral("steps"), QJsonArray()}};
        view.emitEvent(e);
        return e;
    }

    UnitRecords records(job);
    const auto warn = [&] {
        const QString text = records.takeWarning();
        if (text.isEmpty()) return;
        UnitEvent e;
        e.kind = UnitEvent::Kind::Warning;
        e.text = text;
        view.emitEvent(e);
    };
    warn();

    HeadlessClock clock(cancel, job.time, &view);
    pb::RecipeRunner runner(recipe, clock);
    runner.setObserver(&view);
    runner.setLanguage(job.language);
    runner.setRecords(records.store(), job.operatorName, job.station);
    QObject::connect(&cancel, &Cancel::requestedNow, &runner, [&runner] { runner.cancel(); });
    if (cancel.requested()) runner.cancel();
    if (job.traffic)
        QObject::connect(&runner.link(), &pb::Link::traffic, &runner, [&](const pb::TrafficRecord& r) {
            UnitEvent e;
            e.kind = UnitEvent::Kind::Frame;
            e.direction = DirectionName(r.direction);
            e.bytes = r.bytes;
            e.checksumOk = r.checksumOk;
            e.text = r.note;
            view.emitEvent(e);
        });

    pb::RecipeUnit target;
    target.link = SettingsOf(link);
    target.id = link.id.isEmpty() ? job.id : link.id;
    target.scannedSerial = link.unitSerial;
    target.fixture = job.fixtureName;
    target.socket = link.socket;
    const pb::RecipeRunResult r = runner.run(target);
    if (records.store() && !records.store()->status().ok()) {
        const pb::records::RecordsStatus& s = records.store()->status();
        UnitEvent e;
        e.kind = UnitEvent::Kind::Warning;
        e.text = QStringLiteral("unit records: %1 (%2): %3; later runs are not kept")
                     .arg(s.path, pb::records::ErrorName(s.error), s.detail);
        view.emitEvent(e);
    }

    UnitEvent e;
    e.kind = UnitEvent::Kind::Result;
    e.exitCode = RecipeExitCode(r.verdict);
    if (r.cancelled) e.exitCode = kExitInterrupted;
    e.detail = detailOf(recipe, link.unitSerial, r, language);
    if (!link.socket.isEmpty()) {
        e.detail.insert(QStringLiteral("fixture"), job.fixtureName);
        e.detail.insert(QStringLiteral("socket"), link.socket);
    }
    if (r.verdict.passed) {
        e.text = QStringLiteral("PASS: all %1 steps passed").arg(recipe.steps.size());
    } else {
        const int i = r.verdict.failingStep;
        e.text = i >= 0 ? QStringLiteral("FAIL at step %1 (%2): %3")
                              .arg(i + 1).arg(pb::KeptStepLabel(recipe.steps[i]), r.verdict.reason.text(language))
                        : QStringLiteral("FAIL");
        if (r.cancelled) e.text = QStringLiteral("interrupted: ") + e.text;
    }
    view.emitEvent(e);
    return e;
}

}  // namespace cli
