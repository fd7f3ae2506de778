#pragma once
// Where the shared records are: a PostgreSQL URL as libpq writes it,
//   postgresql://user@host:port/dbname?sslmode=require&connect_timeout=5
// with a Unix socket folder as host percent-encoded (postgresql://user@%2Frun%2Fpostgresql/db).
// The password is never part of it: libpq reads ~/.pgpass, PGPASSFILE or PGPASSWORD.

#include <QString>
#include <QStringList>
#include <optional>

namespace pb::records {

struct ServerAddress {
    QString user;      // empty: libpq's default (the login name)
    QString host;      // name, address or socket folder; empty: libpq's default
    int port = -1;     // -1: 5432
    QString database;  // empty: the user's name
    QStringList options;  // "key=value" for libpq (sslmode, connect_timeout, ...)

    // The URL again, for the status line and logs.
    QString display() const;
    // The value of option `key`, or empty.
    QString option(const QString& key) const;
};

// True for text that names a server rather than a file.
bool IsServerUrl(const QString& text);
// The address, or empty with `why` set: not a postgresql:// URL, a bad port, or a
// password in it (it belongs in ~/.pgpass, not in a setting or a command line).
// `problem` names the reason for a window to say in its language; `why` then holds the
// part at fault (the port, the option) as `argument`.
enum class UrlProblem { None, NotAUrl, Password, BadPort, BadOption };
std::optional<ServerAddress> ParseServerUrl(const QString& url, QString* why = nullptr,
                                            UrlProblem* problem = nullptr, QString* argument = nullptr);

}  // namespace pb::records
