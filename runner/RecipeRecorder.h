#pragma once
// Keeps a recipe run in the records: one recipe run (product, recipe hash, scanned
// serial, verdict, every step with its verdict, even those never reached), and each
// step's procedure runs as the window keeps them, each tied to its step.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include "procedures/RunObserver.h"
#include "recipes/Recipe.h"
#include "recipes/RecipeFlow.h"
#include "records/store/RunRecordsObserver.h"
#include "runner/RecipeRunner.h"

namespace pb {

class RecipeRecorder : public RunObserver {
public:
    RecipeRecorder(records::RecordStore& store, const QString& operatorName, const QString& station);

    void begin(const Recipe& recipe, const RecipeUnit& unit, qint64 startMs);
    void setStep(int index) { step_ = index; }
    // A step's verdict, kept as soon as the step has ended.
    void stepEnded(const Recipe& recipe, int index, const StepResult& result,
                   const StepMeasured& measured);
    // Completes the record, its texts in English (the records keep them language-free).
    void end(const Recipe& recipe, const UnitVerdict& verdict, const QList<StepResult>& results,
             const QList<StepMeasured>& measured, bool cancelled,
             const std::optional<ControllerIdentity>& identity, qint64 endMs);
    qint64 recipeRunId() const { return recipeRunId_; }
    // The procedure runs kept for step `index`, oldest first.
    QList<qint64> runIdsOf(int index) const { return stepRuns_.value(index); }

    // The procedure runs, to the records and tied to the step in hand.
    void runStarted(const RunStart& start) override;
    void runEnded(const RunReport& report) override { runs_.runEnded(report); }
    void controllerIdentified(const ControllerIdentity& identity) override {
        runs_.controllerIdentified(identity);
    }
    records::RunRecordsObserver& runs() { return runs_; }

private:
    records::RecordStore& store_;
    records::RunRecordsObserver runs_;
    QString operator_;
    QString station_;
    qint64 recipeRunId_ = 0;
    int step_ = -1;
    QHash<int, QList<qint64>> stepRuns_;
};

// "pass", "fail", "not-run": a step's verdict as the records keep it.
QString StepVerdictCode(const StepVerdict& verdict);

}  // namespace pb
