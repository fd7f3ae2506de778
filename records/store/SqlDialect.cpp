#include "records/store/SqlDialect.h"

#include <QSqlError>
#include <QDeadlineTimer>
#include <QSqlQuery>
#include <QThread>
#include <QStringList>

namespace pb::records {

QString SqlDialect::expand(const QString& sql) const {
    return QString(sql)
        .replace(QLatin1String("{KEY}"), keyType)
        .replace(QLatin1String("{BLOB}"), blobType)
        .replace(QLatin1String("{BIG}"), bigType);
}

QString SqlDialect::connectOptions() const {
    // A writer waits up to 5 s for another; a run is never held up longer than that.
    if (driver == QLatin1String("QSQLITE")) return QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000");
    return {};
}

QSqlError SqlDialect::prepareConnection(QSqlDatabase& db) const {
    if (driver != QLatin1String("QSQLITE")) return {};
    // WAL lets the records window read while a run writes; NORMAL sync is safe with WAL.
    const char* const pragmas[] = {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL",
                                   "PRAGMA foreign_keys=ON"};
    for (const char* pragma : pragmas) {
        QSqlQuery q(db);
        // Switching a new file to WAL needs it to itself, and SQLite answers "locked" at
        // once, without its busy wait, while another connection makes the schema: ask
        // again within the same 5 s a writer waits.
        const QDeadlineTimer deadline(5000);
        while (!q.exec(QLatin1String(pragma))) {
            if (q.lastError().nativeErrorCode() != QLatin1String("5") || deadline.hasExpired())
                return q.lastError();
            QThread::msleep(20);
        }
    }
    return {};
}

QSqlError SqlDialect::lockSchema(QSqlDatabase& db) const {
    if (isSqlite()) return {};
    // Any fixed number: the one lock every Panel Bench station takes to change the schema.
    QSqlQuery q(db);
    return q.exec(QStringLiteral("SELECT pg_advisory_xact_lock(741017)")) ? QSqlError() : q.lastError();
}

QSqlError SqlDialect::beginWrite(QSqlDatabase& db) const {
    if (driver != QLatin1String("QSQLITE")) return db.transaction() ? QSqlError() : db.lastError();
    QSqlQuery q(db);
    return q.exec(QStringLiteral("BEGIN IMMEDIATE")) ? QSqlError() : q.lastError();
}

bool SqlDialect::isEmpty(QSqlDatabase& db) const {
    return db.tables(QSql::Tables).isEmpty();
}

bool SqlDialect::integrityOk(QSqlDatabase& db, QString* detail) const {
    if (driver != QLatin1String("QSQLITE")) return true;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA integrity_check"))) {
        if (detail) *detail = q.lastError().text();
        return false;
    }
    QStringList lines;
    while (q.next()) lines << q.value(0).toString();
    if (detail) *detail = lines.join(u'\n');
    return lines == QStringList{QStringLiteral("ok")};
}

RecordsError SqlDialect::classify(const QSqlError& error) const {
    if (driver == QLatin1String("QSQLITE")) {
        // SQLite's primary result codes.
        switch (error.nativeErrorCode().toInt()) {
        case 13: return RecordsError::DiskFull;                       // SQLITE_FULL
        case 11: case 26: return RecordsError::Damaged;               // CORRUPT, NOTADB
        case 8: case 14: return RecordsError::FolderNotWritable;      // READONLY, CANTOPEN
        default: break;
        }
        const QString text = error.text();
        if (text.contains(QLatin1String("not a database")) ||
            text.contains(QLatin1String("malformed")))
            return RecordsError::Damaged;
        if (text.contains(QLatin1String("database or disk is full")))
            return RecordsError::DiskFull;
        if (text.contains(QLatin1String("unable to open")) ||
            text.contains(QLatin1String("readonly")))
            return RecordsError::FolderNotWritable;
    }
    if (driver == QLatin1String("QPSQL")) {
        // libpq says why a connection failed only in words; a statement's SQLSTATE says
        // a lost connection (class 08, 57P0x).
        const QString text = error.text();
        const QString state = error.nativeErrorCode();
        if (text.contains(QLatin1String("password authentication failed")) ||
            text.contains(QLatin1String("no password supplied")) ||
            (text.contains(QLatin1String("role \"")) && text.contains(QLatin1String("does not exist"))) ||
            state == QLatin1String("28P01") || state == QLatin1String("28000"))
            return RecordsError::AuthFailed;
        if ((text.contains(QLatin1String("database \"")) && text.contains(QLatin1String("does not exist"))) ||
            state == QLatin1String("3D000"))
            return RecordsError::NoDatabase;
        if (error.type() == QSqlError::ConnectionError || state.startsWith(QLatin1String("08")) ||
            state.startsWith(QLatin1String("57P")) ||
            text.contains(QLatin1String("server closed the connection")) ||
            text.contains(QLatin1String("no connection to the server")) ||
            text.contains(QLatin1String("could not connect")) ||
            text.contains(QLatin1String("Connection refused")) ||
            text.contains(QLatin1String("timeout expired")))
            return RecordsError::ServerUnreachable;
    }
    return RecordsError::WriteFailed;
}

// '!' rather than a backslash: no string-literal rules of either back end touch it.
QString ContainsCondition(const QString& column) {
    return QStringLiteral("UPPER(%1) LIKE UPPER(?) ESCAPE '!'").arg(column);
}

QString ContainsPattern(const QString& part) {
    QString escaped;
    escaped.reserve(part.size() + 2);
    for (const QChar c : part) {
        if (c == u'!' || c == u'%' || c == u'_') escaped += u'!';
        escaped += c;
    }
    return u'%' + escaped + u'%';
}

const SqlDialect& SqliteDialect() {
    static const SqlDialect dialect{QStringLiteral("QSQLITE"),
                                    QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT"),
                                    QStringLiteral("BLOB"), QStringLiteral("BIGINT"), false};
    return dialect;
}

const SqlDialect& PostgresDialect() {
    static const SqlDialect dialect{QStringLiteral("QPSQL"), QStringLiteral("BIGSERIAL PRIMARY KEY"),
                                    QStringLiteral("BYTEA"), QStringLiteral("BIGINT"), true};
    return dialect;
}

}  // namespace pb::records
