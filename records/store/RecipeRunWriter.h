#pragma once
// Writing recipe runs: a unit test of a product's recipe, its steps (every one, "not-run"
// until reached) and the procedure runs tied to each step; on a shared server, taking in
// the recipe runs the stations send. 0 / false when the store is off or failed.

#include <QList>
#include <QSqlQuery>
#include <QString>
#include <utility>

#include "records/store/RecordTypes.h"

namespace pb::records {

class Outbox;
class RunWriter;
class StoreConnection;

class RecipeRunWriter {
public:
    RecipeRunWriter(StoreConnection& connection, RunWriter& runs, Outbox& outbox)
        : c_(connection), runs_(runs), outbox_(outbox) {}

    qint64 beginRecipeRun(const RecipeRunStart& start);
    // `attempt`: the step's try that made the run, from 1 (0: not known).
    bool linkRunToRecipe(qint64 runId, qint64 recipeRunId, int stepIndex, int attempt = 0);
    // One step's verdict as soon as it is known (one statement), so that a recipe run
    // killed later keeps the steps it had passed.
    bool recordRecipeStep(qint64 recipeRunId, const RecipeStepRow& step);
    // On a full disk the verdict is kept here and written before the next unit test's
    // start or end, or at close: a verdict known is never left to be found interrupted.
    bool endRecipeRun(qint64 recipeRunId, const RecipeRunEnd& end);
    int endsWaiting() const { return int(waiting_.size()); }
    bool writeWaitingEnds();
    // The unit the controller said it is, as soon as it says so: a unit test killed later
    // stays with its unit, not with its link.
    bool setRecipeRunUnit(qint64 recipeRunId, const UnitIdentity& identity, qint64 seenMs);
    // On the server: the uploaded recipe run added or updated, its steps replaced, the
    // server's copies of its runs tied to it. The server's id, or 0 when failed.
    // A link that breaks its station's chain is refused (0) with the store left open and
    // the reason's code (RecordChain.h) in refusal().
    qint64 importRecipeRun(const RecipeRunUpload& upload);
    QString refusal() const { return refusal_; }

private:
    friend class RecordStore;  // marks the recipe runs of a writer that died, at open
    int markInterrupted();
    // The figures' first-test marks and counts after a unit test ended or changed.
    bool refreshFigures(qint64 recipeRunId, qint64 formerUnitId, const QString& what);
    // The ended unit test made its station's next link, within the write in hand.
    bool chain(qint64 recipeRunId, const QString& what);
    bool writeRecipeSteps(qint64 recipeRunId, const QList<RecipeStepRow>& steps, bool insert);

    StoreConnection& c_;
    RunWriter& runs_;
    Outbox& outbox_;
    bool endNow(qint64 recipeRunId, const RecipeRunEnd& end);

    QString refusal_;
    QList<std::pair<qint64, RecipeRunEnd>> waiting_;
};

}  // namespace pb::records
