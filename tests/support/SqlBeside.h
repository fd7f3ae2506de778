#pragma once
// A statement run beside a test's store, as an older program left the rows: on the SQLite
// file over a connection of its own, or on the PostgreSQL test cluster's database of `url`.

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

#include "tests/support/PgServer.h"

namespace pbtest {

// Empty when it ran; else why not.
inline QString SqlBeside(const QString& sqliteFile, const QString& url, const QString& statement) {
    if (!url.isEmpty()) return ServerSql(statement, url.section(u'/', -1).section(u'?', 0, 0));
    QString why;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("by-hand"));
        db.setDatabaseName(sqliteFile);
        QSqlQuery q(db);
        if (!db.open() || !q.exec(statement)) why = q.lastError().text() + db.lastError().text();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("by-hand"));
    return why;
}

}  // namespace pbtest
