#pragma once
// Keeps a recipe run in the records: one recipe run (product, recipe hash, scanned
// serial, verdict, every step with its verdict, even those never reached), and each
// step's procedure runs as the window keeps them, each tied to its step.

#include <QList>
#include <QString>
#include <QStringList>

#include "procedures/RunObserver.h"
#include "recipes/Recipe.h"
#include "recipes/RecipeFlow.h"
#include "records/RunRecordsObserver.h"

namespace pb {

class RecipeRecorder : public RunObserver {
public:
    RecipeRecorder(records::RecordStore& store, const QString& operatorName, const QString& station);

    void begin(const Recipe& recipe, const QString& scannedSerial, const LinkSettings& link,
               qint64 startMs);
    void setStep(int index) { step_ = index; }
    // A step's verdict, kept as soon as the step has ended.
    void stepEnded(const Recipe& recipe, int index, const StepResult& result,
                   const StepMeasured& measured, int language);
    // Completes the record; `language` is that of the reason texts kept.
    void end(const Recipe& recipe, const UnitVerdict& verdict, const QList<StepResult>& results,
             const QList<StepMeasured>& measured, bool cancelled,
             const std::optional<ControllerIdentity>& identity, qint64 endMs, int language);
    qint64 recipeRunId() const { return recipeRunId_; }

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
};

// "pass", "fail", "not-run": a step's verdict as the records keep it.
QString StepVerdictCode(const StepVerdict& verdict);

}  // namespace pb
