#pragma once
// The PostgreSQL server the shared records' tests write to: a throwaway cluster made by
// scripts/pg-cluster.sh, listening only on a Unix socket in its own folder. ctest starts
// one before these tests and removes it after (the pg_cluster fixture); its URL comes
// from PANELBENCH_TEST_PG, else from the build. A server that cannot be reached fails
// the test that needs it: it is never skipped.

#include <QString>
#include <QTemporaryDir>

namespace pbtest {

// The superuser's URL on the test cluster.
QString TestServerUrl();
// The same server, another database (and user, when given).
QString ServerUrl(const QString& database, const QString& user = QStringLiteral("postgres"),
                  const QString& base = TestServerUrl());
// A new, empty database on the test server, for one test; its URL, or empty with `why`.
QString FreshDatabase(QString* why, const QString& base = TestServerUrl());
// Runs `sql` as the superuser on `database`; empty when it went well, else why not.
QString ServerSql(const QString& sql, const QString& database = QStringLiteral("postgres"),
                  const QString& base = TestServerUrl());

// A cluster of the test's own, for tests that stop and start it.
class PrivateCluster {
public:
    PrivateCluster();
    ~PrivateCluster();
    bool started() const { return !url_.isEmpty(); }
    QString url() const { return url_; }
    QString log() const { return log_; }
    bool pause();   // stopped, its data kept
    bool resume();

private:
    bool script(const QString& action, QString* out = nullptr);
    QString dir_;
    QString url_;
    QString log_;
};

}  // namespace pbtest
