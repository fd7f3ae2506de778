#pragma once
// A PostgreSQL cluster of the bench's own (scripts/pg-cluster.sh, on a Unix socket in a
// temporary folder) or the server PANELBENCH_BENCH_PG names, and a fresh database on it.

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <cstdio>
#include <optional>

#include "records/store/ServerAddress.h"

namespace pbbench {

inline bool PgScript(const QString& action, const QString& dir, QString* out = nullptr) {
    QProcess p;
    p.start(QStringLiteral("bash"), {QStringLiteral(PANELBENCH_SOURCE_DIR "/scripts/pg-cluster.sh"), action, dir});
    p.waitForFinished(120000);
    if (out) *out = QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    std::fputs(p.readAllStandardError().constData(), stderr);
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A database of its own on the server at `base`, made afresh.
inline QString FreshPgDatabase(const QString& base, const QString& name) {
    std::optional<pb::records::ServerAddress> a = pb::records::ParseServerUrl(base);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("bench-admin"));
    db.setHostName(a->host);
    if (a->port > 0) db.setPort(a->port);
    db.setUserName(a->user);
    db.setDatabaseName(a->database);
    bool ok = db.open();
    if (ok) {
        QSqlQuery q(db);
        q.exec(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(name));
        ok = q.exec(QStringLiteral("CREATE DATABASE %1").arg(name));
        if (!ok) std::fprintf(stderr, "%s\n", qPrintable(q.lastError().text()));
    }
    db.close();
    db = {};
    QSqlDatabase::removeDatabase(QStringLiteral("bench-admin"));
    a->database = name;
    return ok ? a->display() : QString();
}

}  // namespace pbbench
