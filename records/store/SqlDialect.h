#pragma once
// Everything that differs between the SQL back ends, in one place: the types of the
// migrations, the connection set-up, how a new row's key is read back, and how a
// driver's error maps onto the records' error values. The queries themselves are plain
// SQL that SQLite and PostgreSQL both take.

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

#include "records/store/RecordsError.h"


namespace pb::records {

struct SqlDialect {
    QString driver;    // "QSQLITE", "QPSQL"
    bool isSqlite() const { return driver == QLatin1String("QSQLITE"); }
    QString keyType;   // an auto-numbered primary key column
    QString blobType;  // bytes
    QString bigType;   // 64-bit integer
    bool keyFromReturning = false;  // INSERT ... RETURNING id instead of lastInsertId()

    // The migrations' SQL with {KEY}, {BLOB} and {BIG} replaced by this dialect's types.
    QString expand(const QString& sql) const;
    // Options to set before open (the busy timeout).
    QString connectOptions() const;
    // Session settings after open (journal mode); an invalid error when all went well.
    QSqlError prepareConnection(QSqlDatabase& db) const;
    // Within a transaction begun by beginWrite: waits for any other connection changing
    // the schema (PostgreSQL: an advisory lock held to the transaction's end, so two
    // stations starting at once apply each step once). SQLite's write lock already does.
    QSqlError lockSchema(QSqlDatabase& db) const;
    // Begins a transaction that writes: on SQLite it takes the write lock at once (waiting
    // up to the busy timeout), since a transaction that read first and writes later fails
    // at once when another connection wrote in between. An invalid error when begun.
    QSqlError beginWrite(QSqlDatabase& db) const;
    // True when the database holds no table at all.
    bool isEmpty(QSqlDatabase& db) const;
    // A full consistency check of the file; true when it passes.
    bool integrityOk(QSqlDatabase& db, QString* detail) const;
    RecordsError classify(const QSqlError& error) const;
};

// A part of a name searched for in `column`: case-blind and literal (a '%' or '_' in the
// part is that character, not a wildcard), the same on both back ends. The condition
// takes one bind value, ContainsPattern(part).
QString ContainsCondition(const QString& column);
QString ContainsPattern(const QString& part);

const SqlDialect& SqliteDialect();
const SqlDialect& PostgresDialect();

}  // namespace pb::records
