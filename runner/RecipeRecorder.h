#pragma once
// The records' two ways of keeping a plan (runner/RunKeeper.h): a recipe as one unit test
// (product, recipe hash, scanned serial, verdict and cause, every step with its verdict,
// cause, tries and measurements, even those never reached, each step's procedure runs tied
// to it), and a plan of one command as its procedure runs alone. Both keep each procedure
// run as the window keeps them, with its cause and what it found.

#include <QHash>
#include <QList>
#include <QString>

#include "records/store/RunRecordsObserver.h"
#include "runner/RecipeRunner.h"
#include "runner/RunKeeper.h"

namespace pb {

class RecipeRecorder final : public RunKeeper {
    Q_OBJECT
public:
    RecipeRecorder(records::RecordStore& store, const QString& operatorName, const QString& station);

    void planStarted(const Recipe& recipe, const RecipeUnit& unit, qint64 startMs) override;
    void stepStarted(int index) override;
    void attemptStarted(int attempt) override { attempt_ = attempt; }
    // A step's verdict, kept as soon as the step has ended.
    void stepEnded(int index, const RecipeStep& step, const StepResult& result) override;
    // Completes the record (its causes and measurements language-free).
    void planEnded(const Recipe& recipe, const RecipeRunResult& result) override;
    qint64 recordId() const override { return recipeRunId_; }
    QList<qint64> runIdsOf(int index) const override { return stepRuns_.value(index); }

    // The procedure runs, to the records and tied to the step in hand.
    void runStarted(const RunStart& start) override;
    void runEnded(const RunReport& report) override { runs_.runEnded(report); }
    void runProgressed(const QJsonObject& detail) override { runs_.runProgressed(detail); }
    void runMeasured(const Measurements& found) override { runs_.runMeasured(found); }
    // The unit test goes to its unit as soon as the controller says which it is.
    void controllerIdentified(const ControllerIdentity& identity) override;
    void takeTraffic(const pb::TrafficRecord& record) override { runs_.takeTraffic(record); }

private:
    records::RecordStore& store_;
    records::RunRecordsObserver runs_;
    QString operator_;
    QString station_;
    qint64 recipeRunId_ = 0;
    int step_ = -1;
    int attempt_ = 0;
    QHash<int, QList<qint64>> stepRuns_;
    const Recipe* recipe_ = nullptr;
};

// A plan of one command: its procedure runs, each with its cause and what it found.
class PlainRunKeeper final : public RunKeeper {
    Q_OBJECT
public:
    PlainRunKeeper(records::RecordStore& store, const QString& operatorName, const QString& station);

    qint64 recordId() const override { return runs_.lastRunId(); }
    void runStarted(const RunStart& start) override { runs_.runStarted(start); }
    void runEnded(const RunReport& report) override { runs_.runEnded(report); }
    void runProgressed(const QJsonObject& detail) override { runs_.runProgressed(detail); }
    void runMeasured(const Measurements& found) override { runs_.runMeasured(found); }
    void controllerIdentified(const ControllerIdentity& identity) override { runs_.controllerIdentified(identity); }
    void takeTraffic(const pb::TrafficRecord& record) override { runs_.takeTraffic(record); }

private:
    records::RunRecordsObserver runs_;
};

// A step's row as the records keep it: its kind's and label's names, verdict code, cause,
// tries and measurements.
records::RecipeStepRow StepRow(const RecipeStep& step, int index, const StepResult& result);

}  // namespace pb
