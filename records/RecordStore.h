#pragma once
// The records of units and their test runs, behind Qt SQL. One store is one connection
// with a name of its own, to be used from the thread that opened it: a unit tested on
// another thread opens a store of its own on the same file.
//
// Never in the way: nothing here throws or waits long (a busy timeout bounds waiting on
// another writer). When the store cannot be opened or a write fails, status() names the
// reason once and every later call does nothing and returns an empty value.

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <optional>

#include "records/RecordTypes.h"
#include "records/RecordsError.h"
#include "records/SqlDialect.h"

namespace pb::records {

class RecordStore {
public:
    RecordStore();
    ~RecordStore();
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    // $XDG_DATA_HOME/NORDAX/PanelBench/records.sqlite (through QStandardPaths).
    static QString DefaultPath();

    // What an open is for. A program that records runs may make, upgrade and mend the
    // store; one that only reads changes nothing: it opens a store of this schema
    // version read-only, and otherwise says what it found (Missing, NotAStore, Foreign,
    // Damaged, NewerSchema, OlderSchema) and leaves it as it is.
    enum class Access { Record, ReadOnly };

    // Opens the SQLite file at `path`. To record, the folder and the file are made as
    // needed (only their owner may read them: 0700, 0600), the schema made or upgraded;
    // a file that is no store, damaged or another program's is renamed aside
    // ("records.sqlite.damaged-20261208-121314", ".foreign-...") and a fresh one made, the
    // returned status then saying so with NotAStore / Damaged / Foreign although the
    // store works; runs left "running" by a program that died become "interrupted".
    RecordsStatus openSqlite(const QString& path = DefaultPath(), Access access = Access::Record);
    // Opens the shared records on a PostgreSQL server ("postgresql://user@host:port/db",
    // see ServerAddress.h); to record, making or upgrading the schema under an advisory
    // lock. Waits at most the URL's connect_timeout (default 5 s) for a server that does
    // not answer.
    RecordsStatus openUrl(const QString& url, Access access = Access::Record);
    bool isServer() const { return !dialect_->isSqlite(); }
    // The file's path or the server's URL.
    QString where() const { return path_; }
    void close();

    bool isOpen() const { return open_; }
    // Why the records are off, or the note of a file moved aside at open.
    const RecordsStatus& status() const { return status_; }
    QString connectionName() const { return connection_; }
    QSqlDatabase database() const;
    const SqlDialect& dialect() const { return *dialect_; }

    // Writing, each call its own transaction. 0 / false when the store is off or failed.
    qint64 beginRun(const RunStart& start);
    bool updateRunDetails(qint64 runId, const QJsonObject& details);  // progress mid-run
    bool endRun(qint64 runId, const RunEnd& end);
    bool saveTraffic(qint64 runId, const KeptTraffic& traffic);  // replaces the run's traffic
    // Records an identify outside a run; returns the unit's id.
    qint64 upsertUnit(const UnitIdentity& identity, const QString& linkText, qint64 seenMs);

    // The outbox, for a station whose runs also go to a shared server: set before
    // openSqlite. Every run that ends (or is found interrupted, or changed after its end)
    // is queued in the same transaction, and stays queued until sent.
    void setOutbox(bool on) { outbox_ = on; }
    qint64 pendingUploads();
    QList<QueuedRun> queuedRuns(int limit);  // oldest first
    // Takes a sent run off the queue, unless it changed after it was read.
    bool dequeue(const QueuedRun& sent);
    // The run as it goes to the server; empty when it is not here.
    std::optional<RunUpload> uploadOf(qint64 runId);
    // The random id of this store, kept in it: the origin of the runs it sends.
    QString origin() const { return origin_; }
    // On the server: adds or updates the uploaded run (keyed by origin and local id) with
    // its unit and traffic, in one transaction. The server's run id, or 0 when failed.
    qint64 importRun(const RunUpload& upload);
    // The same for a recipe run (records/RecipeRunStore.cpp): its steps replaced, the
    // server's copies of its runs tied to it.
    std::optional<RecipeRunUpload> recipeUploadOf(qint64 recipeRunId);
    qint64 importRecipeRun(const RecipeRunUpload& upload);

    // Reading.
    QList<UnitRow> units(const QString& serialPart = {});
    std::optional<UnitRow> unit(qint64 unitId);
    QList<RunRow> runs(const RunFilter& filter, int limit = -1);  // newest first
    std::optional<RunRow> run(qint64 runId);
    KeptTraffic traffic(qint64 runId);

    // Executed queries for a SQL model (columns as below), newest first.
    QSqlQuery unitsQuery(const QString& serialPart);
    QSqlQuery runsQuery(const RunFilter& filter);
    // Column order of unitsQuery and runsQuery.
    enum UnitColumn { UnitId, UnitSerial, UnitLink, UnitModel, UnitVersion, UnitLastSeen, UnitColumns };
    // A unit test's row: RunKind 1, RunId its recipe run id, RunProcedure "recipe", RunOutcome
    // that of its verdict, RunStatus why it failed, and its recipe and failing step; a
    // procedure run's: RunKind 0, the last three null.
    enum RunColumn {
        RunId, RunStartMs, RunSerial, RunProcedure, RunOutcome, RunDurationMs, RunOperator,
        RunStation, RunStatus, RunUnitId, RunDetails, RunKind, RunRecipe, RunFailingStep,
        RunFailingLabel, RunColumns
    };

    // Recipe runs (records/RecipeRunStore.cpp): one unit test grouping its steps' runs.
    qint64 beginRecipeRun(const RecipeRunStart& start);
    bool linkRunToRecipe(qint64 runId, qint64 recipeRunId, int stepIndex);
    // One step's verdict as soon as it is known (one statement), so that a recipe run
    // killed later keeps the steps it had passed.
    bool recordRecipeStep(qint64 recipeRunId, const RecipeStepRow& step);
    bool endRecipeRun(qint64 recipeRunId, const RecipeRunEnd& end);
    // Newest first; the whole filter applies: unit, serial (unit or scanned), station, times,
    // outcome (that of the verdict), procedure ("recipe", or none), and a selection
    // (recipeRunIds, or recipe runs holding one of runIds).
    QList<RecipeRunRow> recipeRuns(const RunFilter& filter, int limit = -1);
    std::optional<RecipeRunRow> recipeRun(qint64 recipeRunId);
    // The recipe run a run belongs to; 0 when none.
    qint64 recipeRunOf(qint64 runId);

    // How many runs a program that died had left running; marked at open.
    int interruptedAtOpen() const { return interruptedAtOpen_; }

private:
    RecordsStatus openFile(const QString& path, Access access);
    // What the open file holds: ok when it is a store this access may use.
    RecordsStatus whatFileHolds(QSqlDatabase& db, Access access);
    RecordsStatus openServer(const QString& url, Access access);
    bool loadOrigin();
    bool enqueue(QSqlQuery& q, qint64 runId, bool onlyEnded);
    bool enqueueRecipeRun(QSqlQuery& q, qint64 recipeRunId);  // only when it ended
    RecordsError classify(const QSqlError& error) const;
    RecordsStatus fail(const QSqlError& error, const QString& what);
    bool failed(const QSqlQuery& q, const QString& what);
    qint64 insertedId(QSqlQuery& q);
    qint64 ensureUnit(const UnitIdentity& identity, const QString& linkText, qint64 seenMs,
                      qint64 firstSeenMs = 0);
    int markInterrupted();
    QString whereClause(const RunFilter& filter, QVariantList* binds) const;
    QString recipeWhereClause(const RunFilter& filter, QVariantList* binds) const;
    // "?,?,?" for `ids`, each bound.
    static QString marks(const QList<qint64>& ids, QVariantList* binds);
    static void prepareUnits(QSqlQuery& q, const QString& select, const QString& serialPart);
    // Positions `q` on the row of `select` whose `key` is `id`; false when none or failed.
    bool selectById(QSqlQuery& q, const char* select, const char* key, qint64 id, const QString& what);
    // Who writes (this process) and whether a writer still runs: unfinished work of a
    // writer that is gone was interrupted.
    static QString writerToken();
    static bool writerAlive(const QString& writer);
    int markInterruptedRecipeRuns();
    bool writeRecipeSteps(qint64 recipeRunId, const QList<RecipeStepRow>& steps, bool insert);
    bool readRecipeSteps(RecipeRunRow& row);

    const SqlDialect* dialect_;
    QString connection_;
    QString path_;
    bool open_ = false;
    bool outbox_ = false;
    QString origin_;
    int interruptedAtOpen_ = 0;
    RecordsStatus status_;
};

}  // namespace pb::records
