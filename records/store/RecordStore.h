#pragma once
// The records of units and their test runs, behind Qt SQL. One store is one connection
// with a name of its own, to be used from the thread that opened it: a unit tested on
// another thread opens a store of its own on the same file.
//
// Never in the way: nothing here throws or waits long (a busy timeout bounds waiting on
// another writer). When the store cannot be opened or a write fails, status() names the
// reason once and every later call does nothing and returns an empty value.
//
// The store opens and closes the connection and hands out its parts, one concern each:
// writer() for units and procedure runs, recipeWriter() for recipe runs, queries() for
// reading, outbox() for what waits to go to a shared server.

#include <QSqlDatabase>
#include <QString>

#include "records/store/Outbox.h"
#include "records/store/RecipeRunWriter.h"
#include "records/store/RecordQueries.h"
#include "records/store/RecordTypes.h"
#include "records/store/RecordsError.h"
#include "records/store/RunWriter.h"
#include "records/store/SqlDialect.h"
#include "records/store/StoreConnection.h"

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
    bool isServer() const { return !conn_.dialect().isSqlite(); }
    // The file's path or the server's URL.
    QString where() const { return conn_.where(); }
    void close();

    bool isOpen() const { return conn_.isOpen(); }
    // Why the records are off, or the note of a file moved aside at open.
    const RecordsStatus& status() const { return conn_.status(); }
    QString connectionName() const { return conn_.name(); }
    QSqlDatabase database() const { return conn_.database(); }
    const SqlDialect& dialect() const { return conn_.dialect(); }

    // A station whose runs also go to a shared server keeps an outbox: set before
    // openSqlite.
    void setOutbox(bool on) { outbox_.setEnabled(on); }
    // A station that publishes live events queues every unit test that ends: set before
    // openSqlite.
    void setEventOutbox(bool on) { outbox_.setEventsEnabled(on); }
    // How many runs a program that died had left running; marked at open.
    int interruptedAtOpen() const { return interruptedAtOpen_; }

    RunWriter& writer() { return writer_; }
    RecipeRunWriter& recipeWriter() { return recipeWriter_; }
    RecordQueries& queries() { return queries_; }
    Outbox& outbox() { return outbox_; }

private:
    RecordsStatus openFile(const QString& path, Access access);
    // What the open file holds: ok when it is a store this access may use.
    RecordsStatus whatFileHolds(QSqlDatabase& db, Access access);
    RecordsStatus openServer(const QString& url, Access access);

    StoreConnection conn_;
    RecordQueries queries_{conn_};
    Outbox outbox_{conn_, queries_};
    RunWriter writer_{conn_, outbox_};
    RecipeRunWriter recipeWriter_{conn_, writer_, outbox_};
    int interruptedAtOpen_ = 0;
};

}  // namespace pb::records
