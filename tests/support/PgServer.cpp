#include "tests/support/PgServer.h"

#include <unistd.h>

#include <QAtomicInt>
#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include "records/store/ServerAddress.h"

namespace pbtest {
namespace {

QAtomicInt counter;

QString Script() {
    return QStringLiteral(PANELBENCH_SOURCE_DIR "/scripts/pg-cluster.sh");
}

}  // namespace

QString TestServerUrl() {
    const QString url = qEnvironmentVariable("PANELBENCH_TEST_PG");
#ifdef PANELBENCH_TEST_PG_URL
    if (url.isEmpty()) return QStringLiteral(PANELBENCH_TEST_PG_URL);
#endif
    return url;
}

QString ServerUrl(const QString& database, const QString& user, const QString& base) {
    std::optional<pb::records::ServerAddress> a = pb::records::ParseServerUrl(base);
    if (!a) return {};
    a->database = database;
    a->user = user;
    return a->display();
}

QString ServerSql(const QString& sql, const QString& database, const QString& base) {
    const std::optional<pb::records::ServerAddress> a = pb::records::ParseServerUrl(base);
    if (!a) return QStringLiteral("no test server URL (PANELBENCH_TEST_PG): '%1'").arg(base);
    const QString name = QStringLiteral("pbtest-admin-%1").arg(counter.fetchAndAddRelaxed(1));
    QString why;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(a->host);
        if (a->port > 0) db.setPort(a->port);
        db.setUserName(QStringLiteral("postgres"));
        db.setDatabaseName(database);
        db.setConnectOptions(QStringLiteral("connect_timeout=10"));
        if (!db.open()) {
            why = QStringLiteral("the test server at %1 does not answer (run the tests through ctest, "
                                 "which starts it, or scripts/pg-cluster.sh start DIR): %2")
                      .arg(base, db.lastError().text());
        } else {
            QSqlQuery q(db);
            if (!q.exec(sql)) why = q.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return why;
}

QString FreshDatabase(QString* why, const QString& base) {
    const QString name = QStringLiteral("pbtest_%1_%2_%3")
                             .arg(::getpid())
                             .arg(counter.fetchAndAddRelaxed(1))
                             .arg(QUuid::createUuid().toString(QUuid::Id128).left(8));
    *why = ServerSql(QStringLiteral("CREATE DATABASE %1").arg(name), QStringLiteral("postgres"), base);
    return why->isEmpty() ? ServerUrl(name, QStringLiteral("postgres"), base) : QString();
}

PrivateCluster::PrivateCluster() {
    // A short path: a Unix socket's name has room for about 100 characters.
    QTemporaryDir parent(QStringLiteral("/tmp/pbpg-XXXXXX"));
    parent.setAutoRemove(false);
    dir_ = parent.path();
    QString out;
    if (script(QStringLiteral("start"), &out)) url_ = out.trimmed();
}

PrivateCluster::~PrivateCluster() {
    script(QStringLiteral("stop"));
}

bool PrivateCluster::pause() { return script(QStringLiteral("pause")); }
bool PrivateCluster::resume() { return script(QStringLiteral("resume")); }

bool PrivateCluster::script(const QString& action, QString* out) {
    QProcess p;
    p.start(QStringLiteral("bash"), {Script(), action, dir_});
    if (!p.waitForFinished(120000)) p.kill();
    if (out) *out = QString::fromLocal8Bit(p.readAllStandardOutput());
    log_ += QString::fromLocal8Bit(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

}  // namespace pbtest
