#pragma once
// Why the records are off. A store that fails says so with one of these values and
// keeps out of the way: tests run on without it.

#include <QString>

namespace pb::records {

enum class RecordsError {
    None,
    DriverMissing,      // Qt's SQL driver for the back end is not installed
    FolderNotWritable,  // the folder cannot be made or written
    DiskFull,           // no room (or a file size limit)
    Damaged,            // a store whose pages cannot be read; moved aside and made anew
    Foreign,            // another program's database; moved aside and made anew
    NewerSchema,        // written by a newer Panel Bench; left alone
    // Found by an open that only reads (left alone); recording makes, upgrades or mends.
    Missing,            // no file (or, on a server, no records yet)
    NotAStore,          // not a database at all, or one without tables; to record: moved aside
    OlderSchema,        // an older schema, upgraded by the next program that records
    WriteFailed,        // any other failure to read or write
    // The shared server's.
    BadAddress,         // the records URL cannot be read (or carries a password)
    ServerUnreachable,  // no server answers at the address
    AuthFailed,         // the server refused the role or its password
    NoDatabase,         // the server has no database of that name
    // A note while the store works: its file was deleted or replaced under it and made
    // anew from the open connection, every record in it.
    Reopened,
};

QString ErrorName(RecordsError error);  // "FolderNotWritable", ...

struct RecordsStatus {
    RecordsError error = RecordsError::None;
    QString detail;        // the driver's or system's words, for the log
    QString path;          // the database file, or the server's URL (never with a password)
    QString movedAsideTo;  // where a damaged or foreign file now lies; empty if none

    bool ok() const { return error == RecordsError::None; }
};

}  // namespace pb::records
