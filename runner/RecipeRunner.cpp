#include "runner/RecipeRunner.h"

#include <QDateTime>

#include "procedures/ControllerState.h"
#include "runner/RecipeRecorder.h"
#include "runner/HeadlessView.h"
#include "runner/RecipeSteps.h"

namespace pb {
namespace {

// What the headless view shows, as the recipe observer's news of the step in hand.
class StepNews final : public HeadlessSink {
public:
    explicit StepNews(RecipeRunObserver* observer) : observer_(observer) {}

    int step = -1;

    void status(const QString& text) override {
        if (observer_) observer_->stepStatus(step, text);
    }
    void progress(const QString& phase, int done, int total) override {
        if (observer_) observer_->stepProgress(step, phase, done, total);
    }
    void warning(const QString& text) override {
        if (observer_) observer_->linkNote(text);
    }
    // The station counts what the panels showed; it has no room for the records.
    void polled(const PollingShown& shown) override { progress(QStringLiteral("poll"), shown.texts, 0); }

private:
    RecipeRunObserver* observer_;
};

}  // namespace

RecipeRunner::RecipeRunner(Recipe recipe, Clock& clock, QObject* parent)
    : QObject(parent), recipe_(std::move(recipe)), clock_(clock) {}

RecipeRunner::~RecipeRunner() = default;

void RecipeRunner::setRecords(records::RecordStore* store, const QString& operatorName,
                              const QString& station) {
    store_ = store;
    operator_ = operatorName;
    station_ = station;
}

RecipeRunResult RecipeRunner::run(const RecipeUnit& unit) {
    running_ = true;
    RecipeRunResult out;
    out.results = notRunResults(recipe_);
    out.measured = QList<StepMeasured>(recipe_.steps.size());
    out.startedMs = clock_.now().toMSecsSinceEpoch();

    ControllerState state;
    StepNews news(observer_);
    HeadlessView view(link_, state, news, [this] { return cancelled_.load(); });
    view.settings = unit.link;
    view.lang = language_;
    view.idToAsk = unit.id.isEmpty() ? QStringLiteral("0000") : unit.id;
    StepClock clock(clock_, cancelled_);
    RecipeSteps steps(recipe_, link_, view, clock, state, unit.scannedSerial);

    std::unique_ptr<RecipeRecorder> recorder;
    if (store_) {
        recorder = std::make_unique<RecipeRecorder>(*store_, operator_, station_);
        recorder->begin(recipe_, unit, out.startedMs);
        connect(&link_, &Link::traffic, &recorder->runs(), &records::RunRecordsObserver::takeTraffic);
        view.keepers << recorder.get();
    }
    if (runObserver_) view.keepers << runObserver_;

    if (observer_) observer_->recipeStarted(recipe_, unit.scannedSerial);
    for (int i = 0; i < recipe_.steps.size() && !cancelled_.load(); ++i) {
        const RecipeStep& step = recipe_.steps[i];
        news.step = i;
        if (recorder) recorder->setStep(i);
        StepResult& result = out.results[i];
        FlowAction next = FlowAction::Retry;
        while (next == FlowAction::Retry) {
            ++result.attempts;
            if (observer_) observer_->stepStarted(i, result.attempts);
            const StepOutcome o = steps.run(step);
            result.verdict = o.verdict;
            out.measured[i] = o.measured;
            if (cancelled_.load()) {
                // Whatever the step saw after the cancel is not the unit's fault.
                if (!result.verdict.passed)
                    result.verdict = StepVerdict::fail(RecipeReason::Interrupted);
                next = FlowAction::Stop;
                break;
            }
            next = afterAttempt(step, result.verdict, result.attempts);
        }
        if (recorder) recorder->stepEnded(recipe_, i, result, out.measured[i]);
        if (observer_) observer_->stepEnded(i, result, out.measured[i]);
        if (next == FlowAction::Stop) break;
    }
    if (link_.isOpen()) link_.CloseLink();

    out.cancelled = cancelled_.load();
    out.verdict = unitVerdict(recipe_, out.results);
    if (out.cancelled && out.verdict.failingStep < 0) {
        // Cancelled between steps: the first step not run names it.
        for (int i = 0; i < out.results.size(); ++i)
            if (!out.results[i].verdict.passed) {
                out.verdict.failingStep = i;
                out.verdict.reason = StepVerdict::fail(RecipeReason::Interrupted);
                break;
            }
    }
    out.identity = steps.identity();
    out.endedMs = clock_.now().toMSecsSinceEpoch();
    if (recorder) {
        recorder->end(recipe_, out.verdict, out.results, out.measured, out.cancelled, out.identity,
                      out.endedMs);
        out.recordId = recorder->recipeRunId();
        for (int i = 0; i < out.results.size(); ++i) out.stepRunIds << recorder->runIdsOf(i);
    }
    if (observer_) observer_->recipeEnded(out.verdict, out.results);
    cancelled_ = false;
    running_ = false;
    return out;
}

}  // namespace pb
