#pragma once
// Runs a test recipe on one unit: each step through the same procedures the window's
// buttons run (so every step's runs are recorded as usual), judged by recipes/RecipeJudge,
// in the order recipes/RecipeFlow gives (retries, stop or go on). Runs on the calling
// thread, waiting in nested event loops like the procedures; a window calls run() from a
// slot and stays responsive, the command line gives each unit a thread of its own.
//
//   RecipeRunner runner(recipe, clock);
//   runner.setObserver(&view);                 // live steps and the verdict
//   runner.setRecords(&store, operator, "");   // one recipe-run record with its steps
//   RecipeRunResult r = runner.run({settings, "0000", scannedSerial});

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <optional>

#include "i18n/Language.h"
#include "link/Clock.h"
#include "link/Link.h"
#include "link/LinkSettings.h"
#include "procedures/RunObserver.h"
#include "recipes/Recipe.h"
#include "recipes/RecipeFlow.h"
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
};

struct RecipeRunResult {
    UnitVerdict verdict;
    QList<StepResult> results;  // one per step
    QList<StepMeasured> measured;  // one per step, empty for a step not run
    bool cancelled = false;
    std::optional<ControllerIdentity> identity;  // the controller as last identified
    qint64 recordId = 0;  // the recipe run's record; 0 when none is kept
    QList<QList<qint64>> stepRunIds;  // per step, its procedure runs in the records
    qint64 startedMs = 0;
    qint64 endedMs = 0;
};

class RecipeRunContext;

class RecipeRunner : public QObject {
    Q_OBJECT
public:
    // `clock` takes every pause (and gives the PC's time for set-date); it must outlive
    // the runner.
    RecipeRunner(Recipe recipe, Clock& clock, QObject* parent = nullptr);
    ~RecipeRunner() override;

    const Recipe& recipe() const { return recipe_; }
    void setObserver(RecipeRunObserver* observer) { observer_ = observer; }
    // The language of the procedures' status texts (verdict texts take theirs when shown).
    void setLanguage(Language language) { language_ = language; }
    // Keep the run in `store` (opened in this thread): one recipe run with its steps, and
    // each step's procedure runs as usual. Null: no records. Never fails the run.
    void setRecords(records::RecordStore* store, const QString& operatorName = {},
                    const QString& station = {});
    // Also told of every procedure run (after the records): the window's run history.
    void setRunObserver(RunObserver* observer) { runObserver_ = observer; }

    // The link the steps use: connect to Link::traffic for a traffic monitor.
    Link& link() { return link_; }

    // Runs the whole recipe; returns when it has ended or was cancelled.
    RecipeRunResult run(const RecipeUnit& unit);
    bool running() const { return running_; }

    // Any thread. The step in hand ends at its next exchange (the link is closed in the
    // run's thread), loops after their pattern; the steps left are not run.
    void cancel() { cancelled_ = true; }
    bool cancelRequested() const { return cancelled_; }

private:
    Recipe recipe_;
    Clock& clock_;
    Link link_;
    RecipeRunObserver* observer_ = nullptr;
    RunObserver* runObserver_ = nullptr;
    Language language_ = Language::English;
    records::RecordStore* store_ = nullptr;
    QString operator_;
    QString station_;
    std::atomic<bool> cancelled_{false};
    bool running_ = false;
};

}  // namespace pb
