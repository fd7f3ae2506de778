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

    // Before a write: open, and its file still the one it opened (device and inode). A file
    // deleted under the store is made anew from the open connection (VACUUM INTO), one put
    // in its place is moved aside first (".replaced-..."); the status then says Reopened.
    bool writable();

    // A full disk turns the store off only for the write in hand: the next write tries
    // again, and the note goes once one succeeds.
    void roomAgain() {
        if (status_.error == RecordsError::DiskFull) status_ = {};
    }

    // Turns the store off for `error` met while doing `what` and keeps the reason (a full
    // disk leaves it on, see roomAgain).
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

    // The file as opened; 0: not a file (a server).
    void noteFile();
    bool reopen();

    const SqlDialect* dialect_ = &SqliteDialect();
    quint64 device_ = 0;
    quint64 inode_ = 0;
    QString name_;
    QString path_;
    bool open_ = false;
    RecordsStatus status_;
};

// True when 64 KiB more can be written in `folder`: a failing I/O with no room left
// (no space, or a file size limit) is a full disk, not a broken file.
bool RoomToWrite(const QString& folder);

}  // namespace pb::records
