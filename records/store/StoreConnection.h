#pragma once
// The one database connection of a store, as its parts share it: the back end, whether it
// is open, and the first failure. After a failure the store is off: every part then does
// nothing and returns an empty value, and status() keeps the reason.

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include "records/store/RecordsError.h"
#include "records/store/SqlDialect.h"

namespace pb::records {

class StoreConnection {
public:
    QSqlDatabase database() const;
    const SqlDialect& dialect() const { return *dialect_; }
    bool isOpen() const { return open_; }
    const RecordsStatus& status() const { return status_; }
    QString name() const { return name_; }
    // The file's path or the server's address (never a password).
    QString where() const { return path_; }

    // Turns the store off for `error` met while doing `what` and keeps the reason.
    RecordsStatus fail(const QSqlError& error, const QString& what);
    // The same for a failed query, rolling back the write in hand; always false.
    bool failed(const QSqlQuery& q, const QString& what);
    RecordsError classify(const QSqlError& error) const;
    // The key of the row `q` just inserted, as the back end tells it.
    qint64 insertedId(QSqlQuery& q) const;

    // Who writes (this process: "host/pid/start ms") and whether a writer still runs:
    // unfinished work of a writer that is gone was interrupted.
    static QString writerToken();
    static bool writerAlive(const QString& writer);

private:
    friend class RecordStore;  // opens and closes it

    const SqlDialect* dialect_ = &SqliteDialect();
    QString name_;
    QString path_;
    bool open_ = false;
    RecordsStatus status_;
};

// True when 64 KiB more can be written in `folder`: a failing I/O with no room left
// (no space, or a file size limit) is a full disk, not a broken file.
bool RoomToWrite(const QString& folder);

}  // namespace pb::records
