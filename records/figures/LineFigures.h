#pragma once
// How the line does, from the unit tests kept (recipe runs): units tested, passed and
// failed, first-pass yield and retests per day, shift, station, fixture, socket or recipe;
// the failures by step and by reason; and fixture health, a socket failing more than the
// rest of its fixture. Computed by the database (one grouped query each) over any filter
// the records list has, the same SQL on SQLite and PostgreSQL.

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QTime>
#include <optional>

#include "records/store/RecordTypes.h"

namespace pb::records {

enum class FigureBy { Day, Shift, Station, Fixture, Socket, Recipe };
// "day", "shift", "station", "fixture", "socket", "recipe".
QString FigureByName(FigureBy by);
std::optional<FigureBy> FigureByFromName(const QString& name);

// Where the shifts begin, in local time, in order (default 06:00, 14:00, 22:00). A shift
// belongs to the day it began on: 02:00 is in the night shift of the day before.
struct ShiftTimes {
    QList<QTime> starts{QTime(6, 0), QTime(14, 0), QTime(22, 0)};
};
// "06:00,14:00,22:00": one to eight times, each later than the one before; none when not so.
std::optional<ShiftTimes> ParseShiftTimes(const QString& text);

// One group's unit tests. A unit's first test of a recipe is its first pass when it passed;
// every further test of the unit on that recipe is a retest, in this filter or not (a unit
// failed yesterday and passed today is a retest today). The unit passed in the end when
// its last test of the recipe so far passed, in this filter or later: the final yield is
// of the same units as the first-pass yield (those first tested in the group).
struct YieldRow {
    QString key;         // the station, recipe, ...; "2026-12-09"; "2026-12-09 #2" (shift 2)
    QDate day;           // Day and Shift: the day (of the shift's start)
    int shift = 0;       // Shift: 1, 2, 3 in the order of ShiftTimes
    qint64 tests = 0;    // unit tests (recipe runs)
    qint64 units = 0;    // distinct units; -1 when not counted (LineFigures::setCountUnits)
    qint64 passed = 0;
    qint64 failed = 0;
    qint64 interrupted = 0;
    qint64 firstTests = 0;  // unit tests that were their unit's first of their recipe
    qint64 firstPassed = 0;
    qint64 finalPassed = 0;  // of the first tests, those whose unit passed in the end
    qint64 retests() const { return tests - firstTests; }
    // Of the units first tested in this group, the share that passed then; none without a
    // first test (no figure, never 0).
    std::optional<double> firstPassYield() const {
        if (firstTests <= 0) return std::nullopt;
        return double(firstPassed) / double(firstTests);
    }
    // Of the same units, the share that passed in the end, retested or not.
    std::optional<double> finalYield() const {
        if (firstTests <= 0) return std::nullopt;
        return double(finalPassed) / double(firstTests);
    }
};

// The failed unit tests of one failing step (by its recipe and label) or one cause.
struct FailureRow {
    QString recipe;    // the step's recipe (steps of two recipes are two rows)
    int step = -1;     // from 0 (shown from 1); -1 in the rows by cause
    QString label;     // the step's label as kept
    QString cause;     // the cause's code ("line-lost"); empty in the rows by step
    qint64 failures = 0;
    double share = 0;       // of all failures in the filter
    double cumulative = 0;  // the Pareto line: this row and those before it
};

// A socket of a fixture against the rest of its fixture.
struct SocketHealth {
    QString fixture;
    QString socket;
    qint64 tests = 0;
    qint64 failed = 0;
    qint64 othersTests = 0;
    qint64 othersFailed = 0;
    double rate() const { return tests > 0 ? double(failed) / double(tests) : 0.0; }
    double othersRate() const { return othersTests > 0 ? double(othersFailed) / double(othersTests) : 0.0; }
    // One-sided exact binomial test: the chance of this many failures or more in its tests
    // at the others' rate.
    double p = 1.0;
    bool flagged = false;  // p below kHealthAlpha with at least kHealthMinTests tests
};
constexpr double kHealthAlpha = 0.01;
constexpr qint64 kHealthMinTests = 20;

// P(X >= k) for X ~ Binomial(n, p).
double BinomialUpperTail(qint64 k, qint64 n, double p);

class LineFigures {
public:
    explicit LineFigures(QSqlDatabase db) : db_(std::move(db)) {}

    // In the order of their key (days and shifts oldest first). Days and shifts are in the
    // local time of this PC (its offset from UTC at the end of the filter, or now).
    QList<YieldRow> yields(const RunFilter& filter, FigureBy by, const ShiftTimes& shifts = {});
    // The whole filter as one row (key empty).
    YieldRow total(const RunFilter& filter);
    // Most failures first.
    QList<FailureRow> failuresByStep(const RunFilter& filter);
    // One row per cause code, whatever the values or the language the station ran in.
    QList<FailureRow> failuresByCause(const RunFilter& filter);
    // The failed unit tests (recipe run ids) of one row by step: what its count counts.
    QList<qint64> failedAtStep(const RunFilter& filter, const QString& recipe, int step);
    // Every socket of every fixture in the filter, by fixture and socket.
    QList<SocketHealth> fixtureHealth(const RunFilter& filter);

    // Whether the yields count the distinct units (YieldRow::units). Counting them reads
    // every unit test the filter selects; without, most figures read the hours' counts
    // (FigureRollup.h) and `units` is -1.
    void setCountUnits(bool count) { countUnits_ = count; }

    // Why the last query failed; empty when it went well.
    const QString& error() const { return error_; }

private:
    // The stations of the hours' counts whose name holds the filter's part.
    QStringList stationsNamed(const RunFilter& filter);
    QList<YieldRow> grouped(const RunFilter& filter, const QString& keyExpression, FigureBy by, bool fromHours);
    QSqlDatabase db_;
    bool countUnits_ = true;
    QString error_;
};

}  // namespace pb::records
