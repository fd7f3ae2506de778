#pragma once
// Who keeps a plan's run in the records: told of every procedure run (as a RunObserver,
// with its frames) and of the plan's steps. How a plan is kept is the records' decision
// (MakeKeeper): a recipe as a unit test with its steps, tied to its procedure runs; a plan
// of one command as those runs alone, each with its cause and what it found.

#include <QList>
#include <QObject>
#include <memory>

#include "link/Link.h"
#include "procedures/RunObserver.h"
#include "recipes/Recipe.h"
#include "recipes/RecipeFlow.h"

namespace pb {

namespace records {
class RecordStore;
}
struct RecipeUnit;
struct RecipeRunResult;

class RunKeeper : public QObject, public RunObserver {
    Q_OBJECT
public:
    virtual void planStarted(const Recipe& /*plan*/, const RecipeUnit& /*unit*/, qint64 /*startMs*/) {}
    virtual void stepStarted(int /*index*/) {}
    // A try of the step in hand begins; `attempt` counts from 1 across the step's retries.
    virtual void attemptStarted(int /*attempt*/) {}
    virtual void stepEnded(int /*index*/, const RecipeStep& /*step*/, const StepResult& /*result*/) {}
    virtual void planEnded(const Recipe& /*plan*/, const RecipeRunResult& /*result*/) {}
    // The unit test kept, or the plain run kept last; 0 when none.
    virtual qint64 recordId() const = 0;
    // The procedure runs kept for step `index`, oldest first.
    virtual QList<qint64> runIdsOf(int /*index*/) const { return {}; }

public slots:
    // Connect to Link::traffic: the frame goes with the running run.
    virtual void takeTraffic(const pb::TrafficRecord& record) = 0;
};

std::unique_ptr<RunKeeper> MakeKeeper(records::RecordStore& store, const Recipe& plan, const QString& operatorName,
                                      const QString& station);

}  // namespace pb
