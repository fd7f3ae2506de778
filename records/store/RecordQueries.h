#pragma once
// Reading the store: units, runs, their traffic and recipe runs as values, and the
// executed queries a SQL model shows. Nothing here writes.

#include <QList>
#include <QSqlQuery>
#include <QString>
#include <optional>

#include "records/store/RecordTypes.h"

namespace pb::records {

class StoreConnection;

class RecordQueries {
public:
    explicit RecordQueries(StoreConnection& connection) : c_(connection) {}

    QList<UnitRow> units(const QString& serialPart = {});
    std::optional<UnitRow> unit(qint64 unitId);
    QList<RunRow> runs(const RunFilter& filter, int limit = -1);  // newest first
    std::optional<RunRow> run(qint64 runId);
    KeptTraffic traffic(qint64 runId);

    // Newest first; the whole filter applies: unit, serial (unit or scanned), station, times,
    // outcome (that of the verdict), procedure ("recipe", or none), and a selection
    // (recipeRunIds, or recipe runs holding one of runIds).
    QList<RecipeRunRow> recipeRuns(const RunFilter& filter, int limit = -1);
    std::optional<RecipeRunRow> recipeRun(qint64 recipeRunId);
    // The recipe run a run belongs to; 0 when none.
    qint64 recipeRunOf(qint64 runId);

    // Executed queries for a SQL model (columns as below), newest first.
    QSqlQuery unitsQuery(const QString& serialPart);
    QSqlQuery runsQuery(const RunFilter& filter);
    // Column order of unitsQuery and runsQuery.
    enum UnitColumn { UnitId, UnitSerial, UnitLink, UnitModel, UnitVersion, UnitLastSeen, UnitColumns };
    // A unit test's row: RunKind 1, RunId its recipe run id, RunProcedure "recipe", RunOutcome
    // that of its verdict, RunStatus why it failed, and its recipe and failing step; a
    // procedure run's: RunKind 0, its recipe and failing step null. Both keep their cause as
    // its code and values (null for a row still running). A unit test's RunRetest is its
    // retest number (null while running, under a link, and for a procedure run); a unit
    // test's fixture and socket (empty off a fixture), a procedure run's those of the unit
    // test it ran in.
    enum RunColumn {
        RunId, RunStartMs, RunSerial, RunProcedure, RunOutcome, RunDurationMs, RunOperator,
        RunStation, RunStatus, RunUnitId, RunDetails, RunKind, RunRecipe, RunFailingStep,
        RunFailingLabel, RunCauseCode, RunCauseValues, RunRetest, RunFixture, RunSocket, RunColumns
    };

private:
    static void prepareUnits(QSqlQuery& q, const QString& select, const QString& serialPart);
    // Positions `q` on the row of `select` whose `key` is `id`; false when none or failed.
    bool selectById(QSqlQuery& q, const char* select, const char* key, qint64 id, const QString& what);
    bool readRecipeSteps(RecipeRunRow& row);

    StoreConnection& c_;
};

}  // namespace pb::records
