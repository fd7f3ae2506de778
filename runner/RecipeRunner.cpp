#include "runner/RecipeRunner.h"

#include <QElapsedTimer>
#include <QHash>
#include <QScopeGuard>

#include "catalogue/TestCatalogue.h"
#include "catalogue/TestSteps.h"
#include "i18n/CommandTexts.h"
#include "procedures/ControllerState.h"
#include "procedures/LinkCauses.h"
#include "procedures/LineWatch.h"
#include "runner/HeadlessView.h"
#include "runner/RecipeRecorder.h"
#include "runner/RunClock.h"

namespace pb {
namespace {

// What the headless view shows, as the observer's news of the step in hand.
class StepNews final : public HeadlessSink {
public:
    StepNews(RecipeRunObserver* observer, const QElapsedTimer& since) : observer_(observer), since_(since) {}

    int step = -1;

    void status(const QString& text, bool live) override {
        if (observer_) observer_->stepStatus(step, text, live);
    }
    void progress(const QString& phase, int done, int total) override {
        if (observer_) observer_->stepProgress(step, phase, done, total);
    }
    void phaseBegins(const QString& phase, int total) override { progress(phase, 0, total); }
    void polled(const PollingShown& shown) override {
        if (observer_) observer_->stepPolled(step, shown);
    }
    void warning(const QString& text) override {
        if (observer_) observer_->linkNote(text);
    }
    qint64 elapsedMs() const override { return since_.elapsed(); }

private:
    RecipeRunObserver* observer_;
    const QElapsedTimer& since_;
};

// Whether the link opens at all, without a run in the records for each try.
bool Opens(LinkSettings settings) {
    settings.lowLatency = false;  // a probe leaves the port alone
    settings.rs485 = false;
    Link probe;
    probe.setPortList([] { return QList<PortFacts>{}; });  // no adapter lookup for each look
    const bool opened = probe.OpenLink(settings).ok();
    probe.CloseLink();
    return opened;
}

// A try that failed on the line (or in the loader's blocks, which a power cut or a pulled
// cable leaves behind): the next try waits for the controller to answer again first, and
// identifies it afresh.
bool WaitsForTheLine(const Cause& cause) {
    switch (cause.code) {
        case CauseCode::LineLost:
        case CauseCode::NoReply:
        case CauseCode::BadChecksum:
        case CauseCode::LoaderNotEntered:
        case CauseCode::LoaderNotAnswering:
        case CauseCode::FlashNotErased:
        case CauseCode::EraseFailed:
        case CauseCode::NotProgrammed:
        case CauseCode::NotReadBack:
        case CauseCode::VerifyFailed:
            return true;
        default:
            return false;
    }
}

}  // namespace

namespace {

// One run of a plan on one unit: the headless views, the procedures' context and what the
// run knows of its controller, and what each step may ask of it (catalogue/StepContext.h).
class PlanRun final : public StepContext {
public:
    PlanRun(const Recipe& plan, const RecipeUnit& unit, Link& link, Clock& clock, Cancel& cancel,
            RecipeRunObserver* observer, Language language, std::function<QList<PortFacts>()> ports)
        : plan_(plan), unit_(unit), link_(link), clock_(clock), cancel_(cancel), news_(observer, since_),
          view_(link, state_, news_, [&cancel] { return cancel.requested(); }), settings_(unit.link),
          ctx_{link, settings_, view_, view_, view_, view_, view_, clock, state_, &view_}, rig_{ctx_, view_},
          ports_(std::move(ports)) {
        since_.start();
        view_.lang = language;
        view_.idToAsk = unit.id.isEmpty() ? QStringLiteral("0000") : unit.id;
        // A run's very first command goes out at once: the scan (or the command) is the
        // cue, and no command went on the line before it to space it from.
        ctx_.skipFirstCommandPause = true;
        if (unit.modelKind) {
            state_.deviceId = view_.idToAsk;
            state_.modelKind = *unit.modelKind;
        }
        // A cancel stops a continuous test at the end of its cycle, closes the link under
        // any other at once.
        QObject::connect(&cancel, &Cancel::requestedNow, &link, [this] { view_.honourCancel(); });
        if (auto* runClock = dynamic_cast<RunClock*>(&clock))
            runClock->live = [this](bool on) { view_.setStatusesLive(on); };
    }
    ~PlanRun() override {
        if (auto* runClock = dynamic_cast<RunClock*>(&clock_)) {
            runClock->live = nullptr;
            runClock->holdThroughCancel = false;
        }
    }

    HeadlessView& view() { return view_; }
    StepNews& news() { return news_; }
    QList<TestResult> takeFound() { return std::exchange(found_, {}); }
    // Before a step's next try after one the line failed: the controller is asked for afresh.
    void forgetController() {
        identity_.reset();
        if (!unit_.modelKind) state_.modelKind = 0;
    }

    TestResult run(TestId test, const TestParams& params) override {
        const TestDescriptor& d = CatalogueEntry(test);
        // A continuous test: the view turns a cancel into its stop, and its pauses (the
        // closing command's) are kept.
        const bool continuous = d.continuous && d.continuous(params);
        view_.continuous = continuous;
        view_.dido = {params.dido.outputs, params.dido.cycles, params.dido.seconds};
        state_.didoRunning = false;
        state_.pollingRunning = false;
        auto* runClock = dynamic_cast<RunClock*>(&clock_);
        if (runClock) runClock->holdThroughCancel = continuous;
        TestResult r = d.run(rig_, params);
        if (continuous) view_.didoEnded();
        if (runClock) runClock->holdThroughCancel = false;
        view_.continuous = false;
        found_ << r;
        return r;
    }

    IdentifyResult identify() override {
        identity_.reset();
        const IdentifyResult found = *run(TestId::Connect, {}).as<IdentifyResult>();
        if (found.identified()) identity_ = found.identity();
        return found;
    }

    std::optional<StepOutcome> needController() override {
        if (unit_.modelKind || (state_.modelKind != 0 && identity_)) return std::nullopt;
        const IdentifyResult found = identify();
        if (found.identified()) return std::nullopt;
        return StepOutcome{StepVerdict::fail(found.cause.passed() ? Cause::of(CauseCode::NotIdentified) : found.cause), {}};
    }

    const std::optional<ControllerIdentity>& identity() const override { return identity_; }

    // The link opened anew as often as it takes (a controller that restarts refuses the
    // connection a while), an adapter followed to the name it comes back under, until the
    // controller answers or the time is up.
    std::optional<double> awaitAnswer(int withinS) override {
        constexpr int kProbePauseMs = 500;
        QElapsedTimer waited;
        waited.start();
        const qint64 limitMs = qint64(withinS) * 1000;
        const QString adapter = link_.adapterId();
        // A clock that does not really wait (a test's) still gives up after as many probes.
        for (int probe = 0; probe * kProbePauseMs <= limitMs && waited.elapsed() <= limitMs; ++probe) {
            if (cancel_.requested()) return std::nullopt;
            if (settings_.kind == LinkKind::Com && !adapter.isEmpty() && ports_)
                if (const auto moved = FindMovedAdapter(ports_(), settings_.portName, adapter)) settings_.portName = *moved;
            if (Opens(settings_)) {
                TestParams p;
                p.await.withinMs = int(qMax<qint64>(1000, limitMs - waited.elapsed()));
                const AnswerResult answer = *run(TestId::AwaitAnswer, p).as<AnswerResult>();
                if (answer == Outcome::Ok && answer.answeredAfterMs >= 0) return double(waited.elapsed()) / 1000.0;
                if (answer != Outcome::OpenFailed) return std::nullopt;  // it opened and nobody answered
            }
            clock_.pause(kProbePauseMs);
        }
        return std::nullopt;
    }

    QString scannedSerial() const override { return unit_.scannedSerial; }
    const Recipe& plan() const override { return plan_; }
    ControllerState& state() override { return state_; }

private:
    const Recipe& plan_;
    RecipeUnit unit_;
    Link& link_;
    Clock& clock_;
    Cancel& cancel_;
    QElapsedTimer since_;
    StepNews news_;
    ControllerState state_;
    HeadlessView view_;
    LinkSettings settings_;  // the unit's link; an adapter that comes back elsewhere is followed
    ProcedureContext ctx_;
    TestRig rig_;
    std::function<QList<PortFacts>()> ports_;
    std::optional<ControllerIdentity> identity_;
    QList<TestResult> found_;
};

// A step of a test without a step of its own: the controller identified first, then the
// procedure, passed when it ended well.
StepOutcome PlainStep(StepContext& run, TestId test, const TestParams& params) {
    if (auto failed = run.needController()) return *failed;
    const TestResult r = run.run(test, params);
    const RunResult ended = r.run();
    if (ended == Outcome::Ok) return {StepVerdict::pass(), MeasurementsOf(r)};
    return {StepVerdict::fail(ended.cause.passed() ? Cause::of(CauseCode::Unknown, {}) : ended.cause), MeasurementsOf(r)};
}

// The reply times of the step, beside what it measured.
Measurements Latency(const LineWatch& line) {
    if (line.medianReplyMs() < 0) return {};
    return {Measurement::numberOf(QStringLiteral("reply-median"), double(line.medianReplyMs()), QStringLiteral("ms")),
            Measurement::numberOf(QStringLiteral("reply-worst"), double(line.worstReplyMs()), QStringLiteral("ms"))};
}

}  // namespace

RecipeRunner::RecipeRunner(Recipe plan, Clock& clock, Cancel& cancel, QObject* parent)
    : QObject(parent), plan_(std::move(plan)), clock_(clock), cancel_(cancel), ports_([] { return SystemPorts(); }) {}

RecipeRunner::~RecipeRunner() = default;

void RecipeRunner::setRecords(records::RecordStore* store, const QString& operatorName, const QString& station) {
    store_ = store;
    operator_ = operatorName;
    station_ = station;
}

RecipeRunResult RecipeRunner::run(const RecipeUnit& unit) {
    running_ = true;
    RecipeRunResult out;
    out.results = notRunResults(plan_);
    out.found = QList<QList<TestResult>>(plan_.steps.size());
    out.startedMs = clock_.now().toMSecsSinceEpoch();
    if (unit.linkProblem && !plan_.steps.isEmpty()) {
        if (observer_) observer_->recipeStarted(plan_, unit.scannedSerial);
        out.results[0].verdict =
            StepVerdict::fail(*unit.linkProblem);
        out.verdict = unitVerdict(plan_, out.results);
        out.endedMs = out.startedMs;
        if (observer_) observer_->recipeEnded(out.verdict, out.results);
        running_ = false;
        return out;
    }

    PlanRun run(plan_, unit, link_, clock_, cancel_, observer_, language_, ports_);
    std::unique_ptr<RunKeeper> keeper = store_ ? MakeKeeper(*store_, plan_, operator_, station_) : nullptr;
    if (keeper) {
        keeper->planStarted(plan_, unit, out.startedMs);
        connect(&link_, &Link::traffic, keeper.get(), &RunKeeper::takeTraffic);
        run.view().keepers << keeper.get();
    }
    if (runObserver_) run.view().keepers << runObserver_;

    // An overdue reply, told with the command the step waits on, its device ID left off.
    link_.forgetUnanswered();
    QList<QMetaObject::Connection> waits;
    if (observer_) {
        waits << connect(&link_, &Link::replyOverdue, this, [this, &run](const AwaitedReply& awaited) {
            AwaitedReply told = awaited;
            for (const QString& id : {run.state().deviceId, run.view().idToAsk})
                if (!id.isEmpty() && told.commandText.size() > id.size() && told.commandText.startsWith(id)) {
                    told.commandText = told.commandText.mid(id.size());
                    break;
                }
            observer_->awaitingReply(run.news().step, told);
        });
        waits << connect(&link_, &Link::answeredAgain, this, [this, &run] { observer_->answeredAgain(run.news().step); });
    }
    const auto stopWaits = qScopeGuard([&waits] {
        for (const QMetaObject::Connection& c : std::as_const(waits)) QObject::disconnect(c);
    });

    if (observer_) observer_->recipeStarted(plan_, unit.scannedSerial);
    // The further runs each retry group has left, by the step that holds it.
    QHash<int, int> groupRunsLeft;
    for (int i = 0; i < plan_.steps.size(); ++i)
        if (plan_.steps[i].retryGroup) groupRunsLeft.insert(i, plan_.steps[i].retryGroup->times);
    for (int i = 0; i < plan_.steps.size() && !cancel_.requested(); ++i) {
        const RecipeStep& step = plan_.steps[i];
        const TestDescriptor& test = CatalogueEntry(step.kind);
        run.news().step = i;
        if (keeper) keeper->stepStarted(i);
        StepResult& result = out.results[i];
        FlowAction next = FlowAction::Retry;
        while (next == FlowAction::Retry) {
            ++result.attempts;
            if (keeper) keeper->attemptStarted(result.attempts);
            if (observer_) observer_->stepStarted(i, result.attempts);
            const LineWatch line(link_);
            StepOutcome o = test.step ? test.step(run, step.params) : PlainStep(run, step.kind, step.params);
            // Whatever the step saw after a cancel is not the unit's doing.
            if (cancel_.requested() && !o.verdict.passed()) o.verdict = StepVerdict::interrupted();
            result.verdict = o.verdict;
            result.measurements = o.measurements + Latency(line);
            result.attemptCauses << o.verdict.cause;
            out.found[i] = run.takeFound();
            next = afterAttempt(step, result.verdict, result.attempts);
            if (next != FlowAction::Retry || !WaitsForTheLine(o.verdict.cause)) continue;
            // Tried again once the controller answers again, identified afresh: nothing is
            // resumed (a loader may have erased the image).
            if (observer_)
                observer_->stepStatus(i, TryAgainText(result.attempts, step.retries + 1, o.verdict.cause,
                                                      steps::kBackAfterUpgradeS, LanguageIndex(language_)),
                                      false);
            if (!run.awaitAnswer(steps::kBackAfterUpgradeS)) {
                result.verdict = StepVerdict::fail(Cause::of(CauseCode::NotBackAfterRestart, {steps::kBackAfterUpgradeS}));
                if (cancel_.requested()) result.verdict = StepVerdict::interrupted();
                result.attemptCauses << result.verdict.cause;
                next = afterAttempt(step, result.verdict, step.retries + 1);
            }
            run.forgetController();
        }
        if (keeper) keeper->stepEnded(i, step, result);
        if (observer_) observer_->stepEnded(i, result);
        // A failed step that holds a retry group runs the group again from its first step;
        // each step keeps counting its tries, and the last run's verdicts stand.
        if (!result.verdict.passed() && result.verdict.state != StepState::Interrupted && step.retryGroup &&
            groupRunsLeft.value(i) > 0 && !cancel_.requested()) {
            groupRunsLeft[i] -= 1;
            i = step.retryGroup->first - 1;
            continue;
        }
        if (next == FlowAction::Stop) break;
    }
    if (link_.isOpen()) link_.CloseLink();

    out.cancelled = cancel_.requested();
    out.verdict = unitVerdict(plan_, out.results);
    if (out.cancelled && out.verdict.failingStep < 0) {
        // Cancelled between steps: the first step not run names it.
        for (int i = 0; i < out.results.size(); ++i)
            if (!out.results[i].verdict.passed()) {
                out.verdict.failingStep = i;
                out.verdict.cause = Cause::of(CauseCode::Interrupted);
                break;
            }
    }
    out.identity = run.identity();
    out.endedMs = clock_.now().toMSecsSinceEpoch();
    if (keeper) {
        keeper->planEnded(plan_, out);
        out.recordId = keeper->recordId();
        for (int i = 0; i < out.results.size(); ++i) out.stepRunIds << keeper->runIdsOf(i);
    }
    if (observer_) observer_->recipeEnded(out.verdict, out.results);
    running_ = false;
    return out;
}

}  // namespace pb
