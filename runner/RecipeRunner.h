#pragma once
// The one runner of tests without a window: a plan (a recipe, or one command of the
// command line as a plan of one step) run on one unit, each step through its test's row of
// the catalogue (the procedure and its judge), in the order recipes/RecipeFlow gives
// (retries, stop or go on), with one clock, one cancel, one wait for a line that comes
// back before a step is tried again, and one keeper of the records. Runs on the calling
// thread, waiting in nested event loops like the procedures; a station calls run() from a
// slot and stays responsive, many units each get a thread of the pool (pool/UnitPool.h).
//
//   RecipeRunner runner(recipe, clock, cancel);
//   runner.setObserver(&view);                 // live steps and the verdict
//   runner.setRecords(&store, operator, "");   // the records decide how it is kept
//   RecipeRunResult r = runner.run({settings, "0000", scannedSerial});

#include <QList>
#include <QObject>
#include <QString>
#include <optional>

#include "catalogue/TestRequest.h"
#include "evidence/Cause.h"
#include "i18n/Language.h"
#include "link/Clock.h"
#include "link/Link.h"
#include "link/LinkSettings.h"
#include "link/SystemPorts.h"
#include "procedures/RunObserver.h"
#include "recipes/Recipe.h"
#include "recipes/RecipeFlow.h"
#include "runner/Cancel.h"
#include "runner/RecipeRunObserver.h"

namespace pb {

namespace records {
class RecordStore;
}

// The unit to test: how to reach it and what its label says.
struct RecipeUnit {
    LinkSettings link;
    QString id = QStringLiteral("0000");  // the device ID identify asks first
    QString scannedSerial;  // empty: identify steps do not compare the serial
    // Where it sits when several are tested together (multiup/Fixture.h), kept with the
    // run; empty: tested alone.
    QString fixture = {};
    QString socket = {};
    QString fixtureHash = {};  // SHA-256 of the fixture file, hex
    // The model kind the caller knows: the steps run without identifying first.
    std::optional<int> modelKind = {};
    // Why the unit has no link to open (an adapter socket whose adapter is not there): it
    // fails at its first step as a link that cannot be opened, kept nowhere.
    std::optional<Cause> linkProblem = {};
};

struct RecipeRunResult {
    UnitVerdict verdict;
    QList<StepResult> results;  // one per step
    // Per step, what its procedures found (its last try's), in order: for a front end that
    // words a command's result from them.
    QList<QList<TestResult>> found;
    bool cancelled = false;
    std::optional<ControllerIdentity> identity;  // the controller as last identified
    qint64 recordId = 0;  // the unit test's record; 0 when none is kept (or a plain run)
    QList<QList<qint64>> stepRunIds;  // per step, its procedure runs in the records
    qint64 startedMs = 0;
    qint64 endedMs = 0;
};

class RecipeRunner : public QObject {
    Q_OBJECT
public:
    // `clock` takes every pause and gives the PC's time; `cancel` is this unit's (both must
    // outlive the runner).
    RecipeRunner(Recipe plan, Clock& clock, Cancel& cancel, QObject* parent = nullptr);
    ~RecipeRunner() override;

    const Recipe& recipe() const { return plan_; }
    void setObserver(RecipeRunObserver* observer) { observer_ = observer; }
    // The language of the procedures' status texts (verdict texts take theirs when shown).
    void setLanguage(Language language) { language_ = language; }
    // Keep the run in `store` (opened in this thread): a recipe as a unit test with its
    // steps, a plan of one command as its procedure runs with their causes and
    // measurements. Null: no records. Never fails the run.
    void setRecords(records::RecordStore* store, const QString& operatorName = {}, const QString& station = {});
    // Also told of every procedure run (after the records): the window's run history.
    void setRunObserver(RunObserver* observer) { runObserver_ = observer; }
    // The ports an adapter that went away is looked for among, when the line comes back.
    void setPorts(std::function<QList<PortFacts>()> ports) { ports_ = std::move(ports); }

    // The link the steps use: connect to Link::traffic for a traffic monitor.
    Link& link() { return link_; }

    // Runs the whole plan; returns when it has ended or was cancelled.
    RecipeRunResult run(const RecipeUnit& unit);
    bool running() const { return running_; }

    // Any thread: the cancel of this unit (the step in hand ends at its next exchange,
    // loops after their cycle; the steps left are not run).
    void cancel() { cancel_.request(); }
    bool cancelRequested() const { return cancel_.requested(); }

private:
    Recipe plan_;
    Clock& clock_;
    Cancel& cancel_;
    Link link_;
    RecipeRunObserver* observer_ = nullptr;
    RunObserver* runObserver_ = nullptr;
    Language language_ = Language::English;
    records::RecordStore* store_ = nullptr;
    QString operator_;
    QString station_;
    std::function<QList<PortFacts>()> ports_;
    bool running_ = false;
};

}  // namespace pb
