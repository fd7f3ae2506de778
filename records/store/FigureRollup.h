#pragma once
// What the line's figures read instead of every unit test: each ended unit test is counted
// once in its hour (UTC), by station, fixture, socket and recipe (recipe_run_hours), and
// each failure again by its failing step and reason (recipe_failure_hours). With them a
// month of a busy line is tens of thousands of rows, not a million.
//
// A unit test is its unit's first test of its recipe (recipe_runs.first_test) when no
// ended test of the same unit and recipe began before it; its retest number
// (recipe_runs.retest) is how many did (0 for the first), and the first is marked
// final_pass when the unit's last ended test of the recipe passed. That is decided as
// tests end, here and on the server as they arrive, in any order: a test arriving late that
// began earlier takes the marks from the one that had them.
//
// The passed and failed unit tests' times are counted by the ms in their hour, by station,
// recipe and verdict (recipe_time_hours), so that a distribution of a month is thousands
// of rows too.
//
// The writer calls RefreshFigures in the transaction that ends or takes in a unit test, so
// the counts never lag the rows. The counts of a bucket are counted again from its rows,
// never added to, so a unit test sent twice is still counted once.

#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>

namespace pb::records {

constexpr qint64 kRollupHourMs = 3600000;

// After the unit test `recipeRunId` ended or changed: the first-test marks of its unit's
// tests of its recipe, and of `formerUnitId`'s (the unit it was under before, 0 for none),
// and the counts of every bucket those tests are in. False with `error` set when a
// statement failed (the caller rolls back).
bool RefreshFigures(QSqlDatabase& db, qint64 recipeRunId, qint64 formerUnitId, QSqlError* error);

// Every mark and count made again from all unit tests: for a store filled by other means
// (the migration that brought them, a benchmark's generated rows). The statements leave
// the times' counts; RebuildFigures makes those too.
QStringList RebuildFiguresStatements();
// The first-test marks and the hours' counts alone (the failures' rows cleared), and the
// failures' rows alone: a schema step before the failures were counted by cause makes
// the first, the step that brought the causes the second.
QStringList RebuildMarksAndHoursStatements();
// As the schema step that brought the first-test marks made them (before retests were
// numbered and final passes counted).
QStringList FirstTestMarksAndHoursStatements();
QStringList RebuildFailureHoursStatements();
bool RebuildFigures(QSqlDatabase& db, QString* error);
bool RebuildRecipeTimeHours(QSqlDatabase& db, QString* error);

}  // namespace pb::records
