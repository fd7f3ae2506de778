#pragma once
// A statement run beside a test's store, as an older program left the rows: on the SQLite
// file over a connection of its own, or on the PostgreSQL test cluster's database of `url`.

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

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

// The statements that take a store back to before its causes and measurements were kept
// and before the later steps' columns and tables; `figureTables`: the store back then
// still has the figures' hour tables, whose later columns go too.
inline QStringList LaterColumnsUndone(bool figureTables) {
    QStringList undo = {QStringLiteral("DROP INDEX recipe_runs_by_chain")};
    for (const char* column : {"runs DROP COLUMN cause_code", "runs DROP COLUMN cause_values",
                               "runs DROP COLUMN measurements", "recipe_runs DROP COLUMN cause_code",
                               "recipe_runs DROP COLUMN cause_values", "recipe_steps DROP COLUMN cause_code",
                               "recipe_steps DROP COLUMN cause_values", "recipe_steps DROP COLUMN measurements",
                               "recipe_steps DROP COLUMN attempt_causes", "recipe_runs DROP COLUMN retest",
                               "recipe_runs DROP COLUMN final_pass", "runs DROP COLUMN recipe_attempt",
                               "recipe_runs DROP COLUMN tool_version", "recipe_runs DROP COLUMN fixture_hash",
                               "recipe_runs DROP COLUMN chain_seq", "recipe_runs DROP COLUMN chain_prev",
                               "recipe_runs DROP COLUMN chain_prev_hash", "recipe_runs DROP COLUMN chain_hash"})
        undo << QStringLiteral("ALTER TABLE ") + QLatin1String(column);
    undo << QStringLiteral("DROP TABLE chain_heads") << QStringLiteral("DROP TABLE event_outbox")
         << QStringLiteral("DELETE FROM schema_info WHERE name = 'chain_from'")
         << QStringLiteral("ALTER TABLE outbox DROP COLUMN refused");
    if (figureTables)
        for (const char* column : {"recipe_failure_hours DROP COLUMN cause_code",
                                   "recipe_run_hours DROP COLUMN final_after_pass",
                                   "recipe_run_hours DROP COLUMN final_after_fail",
                                   "recipe_run_hours DROP COLUMN final_after_interrupted"})
            undo << QStringLiteral("ALTER TABLE ") + QLatin1String(column);
    return undo;
}

}  // namespace pbtest
