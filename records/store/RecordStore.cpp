#include "records/store/RecordStore.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSqlError>
#include <QStandardPaths>
#include <QUrl>

#include "records/store/Migrations.h"
#include "records/store/ServerAddress.h"

namespace pb::records {
namespace {

QAtomicInt connectionCounter;

void MoveAside(const QString& path, const QString& suffix, QString* movedTo) {
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = QStringLiteral("%1.%2-%3").arg(path, suffix, stamp);
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = QStringLiteral("%1.%2-%3-%4").arg(path, suffix, stamp).arg(n);
    if (!QFile::rename(path, target)) return;
    *movedTo = target;
    // The journal files belong to the file moved aside, never to the fresh one.
    for (const char* side : {"-wal", "-shm"})
        if (QFileInfo::exists(path + QLatin1String(side)))
            QFile::rename(path + QLatin1String(side), target + QLatin1String(side));
}

// The folders of the records that are not there yet, each made for its owner alone: an
// operator's records are not for every user of the PC. Folders that exist are left as they are.
bool MakeOwnFolder(const QString& folder) {
    const QFileInfo info(folder);
    if (info.exists()) return info.isDir();
    if (!MakeOwnFolder(info.absolutePath())) return false;
    return QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) || QFileInfo(folder).isDir();
}

// A new store's file, empty and for its owner alone, before SQLite makes it (with the
// umask's mode); its -wal and -shm files take this mode from it. A file that exists is kept.
bool MakeOwnFile(const QString& path) {
    if (QFileInfo::exists(path)) return true;
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFile::ReadOwner | QFile::WriteOwner) ||
           QFileInfo(path).isFile();
}

// A reader reads its own schema only: another one it names, and leaves to a program
// that records (an older one is upgraded there; a newer one is left alone everywhere).
RecordsStatus SchemaOfReader(int version, const QString& where) {
    if (version > LatestSchemaVersion())
        return {RecordsError::NewerSchema,
                QStringLiteral("schema version %1, this program's %2").arg(version).arg(LatestSchemaVersion()), where, {}};
    if (version < LatestSchemaVersion())
        return {RecordsError::OlderSchema,
                QStringLiteral("schema version %1, this program's %2").arg(version).arg(LatestSchemaVersion()), where, {}};
    return {};
}

}  // namespace

RecordStore::RecordStore() = default;

RecordStore::~RecordStore() { close(); }

QString RecordStore::DefaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/NORDAX/PanelBench/records.sqlite");
}

void RecordStore::close() {
    // Verdicts a full disk held back, if there is room now.
    if (conn_.open_) recipeWriter_.writeWaitingEnds();
    conn_.open_ = false;
    conn_.device_ = conn_.inode_ = 0;
    outbox_.origin_.clear();
    if (conn_.name_.isEmpty()) return;
    {
        QSqlDatabase db = QSqlDatabase::database(conn_.name_, false);
        if (db.isOpen()) db.close();
    }
    QSqlDatabase::removeDatabase(conn_.name_);
    conn_.name_.clear();
}

RecordsStatus RecordStore::openSqlite(const QString& path, Access access) {
    // Units in several threads open their stores at once: one at a time in this program,
    // so that a file to be set aside is set aside once, by the first, and the others open
    // the new one it made.
    static QMutex opening;
    const QMutexLocker lock(&opening);
    close();
    conn_.dialect_ = &SqliteDialect();
    conn_.path_ = path;
    interruptedAtOpen_ = 0;
    RecordsStatus status;
    const QFileInfo file(path);
    const QString folder = file.absolutePath();
    if (!QSqlDatabase::isDriverAvailable(conn_.dialect_->driver)) {
        status = {RecordsError::DriverMissing, conn_.dialect_->driver, path, {}};
    } else if (file.exists() && !file.isFile()) {
        // A folder, device or pipe is never opened, nor moved aside.
        status = {RecordsError::NotAStore, QStringLiteral("not a regular file"), path, {}};
    } else if (access == Access::ReadOnly && !file.exists()) {
        status = {RecordsError::Missing, {}, path, {}};
    } else if (access == Access::Record &&
               (!MakeOwnFolder(folder) || !QFileInfo(folder).isWritable() || !MakeOwnFile(path))) {
        status = {RecordsError::FolderNotWritable, folder, path, {}};
    } else {
        status = openFile(path, access);
        const bool unusable = status.error == RecordsError::NotAStore || status.error == RecordsError::Damaged ||
                              status.error == RecordsError::Foreign;
        if (access == Access::Record && unusable) {
            close();
            MoveAside(path, status.error == RecordsError::Foreign ? QStringLiteral("foreign") : QStringLiteral("damaged"),
                      &status.movedAsideTo);
            if (!status.movedAsideTo.isEmpty()) {
                const RecordsStatus fresh =
                    MakeOwnFile(path) ? openFile(path, access)
                                      : RecordsStatus{RecordsError::FolderNotWritable, folder, path, {}};
                if (!fresh.ok()) status = fresh;
            }
        }
    }
    status.path = path;
    conn_.status_ = status;
    return conn_.status_;
}

RecordsStatus RecordStore::openUrl(const QString& url, Access access) {
    close();
    conn_.dialect_ = &PostgresDialect();
    interruptedAtOpen_ = 0;
    QString why;
    const std::optional<ServerAddress> address = ParseServerUrl(url, &why);
    // Never a password: without the user's part and the options of a URL not understood.
    conn_.path_ = address ? address->display() : url.section(u'@', -1).section(u'?', 0, 0);
    if (!address) {
        conn_.status_ = {RecordsError::BadAddress, why, conn_.path_, {}};
    } else if (!QSqlDatabase::isDriverAvailable(conn_.dialect_->driver)) {
        conn_.status_ = {RecordsError::DriverMissing, conn_.dialect_->driver, conn_.path_, {}};
    } else {
        conn_.status_ = openServer(url, access);
        conn_.status_.path = conn_.path_;
        if (!conn_.status_.ok()) close();
    }
    return conn_.status_;
}

RecordsStatus RecordStore::openServer(const QString& url, Access access) {
    const ServerAddress address = *ParseServerUrl(url);
    conn_.name_ = QStringLiteral("panelbench-records-%1").arg(connectionCounter.fetchAndAddRelaxed(1));
    QSqlDatabase db = QSqlDatabase::addDatabase(conn_.dialect_->driver, conn_.name_);
    db.setHostName(address.host);
    if (address.port > 0) db.setPort(address.port);
    db.setUserName(address.user);
    db.setDatabaseName(address.database);
    // No password here: libpq takes it from PGPASSWORD, PGPASSFILE or ~/.pgpass.
    QStringList options = address.options;
    if (address.option(QStringLiteral("connect_timeout")).isEmpty())
        options << QStringLiteral("connect_timeout=5");
    options << QStringLiteral("application_name=panelbench");
    db.setConnectOptions(options.join(u';'));
    if (!db.open()) return {conn_.classify(db.lastError()), db.lastError().text().trimmed(), conn_.path_, {}};
    const int version = SchemaVersion(db, *conn_.dialect_);
    if (version < 0) return {RecordsError::Foreign, QStringLiteral("no Panel Bench schema"), conn_.path_, {}};
    if (access == Access::ReadOnly) {
        if (version == 0) return {RecordsError::Missing, QStringLiteral("no Panel Bench records there yet"), conn_.path_, {}};
        if (RecordsStatus other = SchemaOfReader(version, conn_.path_); !other.ok()) return other;
        // The server refuses any write of this connection too.
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY")))
            return {conn_.classify(q.lastError()), q.lastError().text(), conn_.path_, {}};
        conn_.open_ = true;
        return {};
    }
    const RecordsStatus migrated = Migrate(db, *conn_.dialect_);
    if (!migrated.ok()) return migrated;
    conn_.open_ = true;
    return {};
}

RecordsStatus RecordStore::openFile(const QString& path, Access access) {
    conn_.name_ = QStringLiteral("panelbench-records-%1").arg(connectionCounter.fetchAndAddRelaxed(1));
    QSqlDatabase db = QSqlDatabase::addDatabase(conn_.dialect_->driver, conn_.name_);
    db.setDatabaseName(path);
    db.setConnectOptions(conn_.dialect_->connectOptions());
    RecordsStatus found;
    if (!db.open()) found = {conn_.classify(db.lastError()), db.lastError().text(), path, {}};
    // What the file is, before anything of it is changed.
    else found = whatFileHolds(db, access);
    // A reader of a file it may not write (read-only media, a folder it cannot write the
    // -shm file in): read-only, then as an immutable file, which needs no -shm at all.
    if (access == Access::ReadOnly && found.error == RecordsError::FolderNotWritable) {
        const QString uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
        for (const auto& [name, options] :
             {std::pair{path, QStringLiteral(";QSQLITE_OPEN_READONLY")},
              std::pair{uri + QStringLiteral("?immutable=1"), QStringLiteral(";QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI")}}) {
            db.close();
            db.setDatabaseName(name);
            db.setConnectOptions(conn_.dialect_->connectOptions() + options);
            if (!db.open()) continue;
            found = whatFileHolds(db, access);
            if (found.error != RecordsError::FolderNotWritable) break;
        }
        if (found.ok()) {
            conn_.open_ = true;
            return {};
        }
    }
    if (!found.ok()) return found;
    if (access == Access::ReadOnly) {
        // Opened for writing all the same, so that SQLite takes away the -wal and -shm
        // files a reader of a WAL file makes; no statement of this connection may write.
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("PRAGMA query_only = ON")))
            return {conn_.classify(q.lastError()), q.lastError().text(), path, {}};
        conn_.open_ = true;
        return {};
    }
    if (const QSqlError error = conn_.dialect_->prepareConnection(db); error.isValid())
        return {conn_.classify(error), error.text(), path, {}};
    RecordsStatus migrated = Migrate(db, *conn_.dialect_);
    if (migrated.error == RecordsError::WriteFailed && !RoomToWrite(QFileInfo(path).absolutePath()))
        migrated.error = RecordsError::DiskFull;
    if (!migrated.ok()) return migrated;
    conn_.open_ = true;
    conn_.noteFile();
    if (!outbox_.loadOrigin()) return conn_.status_;
    interruptedAtOpen_ = writer_.markInterrupted();
    if (conn_.open_) recipeWriter_.markInterrupted();
    if (!conn_.open_) return conn_.status_;
    return {};
}

RecordsStatus RecordStore::whatFileHolds(QSqlDatabase& db, Access access) {
    QSqlQuery probe(db);
    if (!probe.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master")) || !probe.next()) {
        // SQLITE_NOTADB: no database at all; one whose pages cannot be read is damaged.
        const QSqlError error = probe.lastError();
        const RecordsError kind =
            error.nativeErrorCode() == QLatin1String("26") ? RecordsError::NotAStore : conn_.classify(error);
        return {kind, error.text(), conn_.path_, {}};
    }
    const bool empty = probe.value(0).toLongLong() == 0;
    probe.finish();
    // An empty file is where a store is made, but nothing to read.
    if (empty)
        return access == Access::Record ? RecordsStatus{}
                                        : RecordsStatus{RecordsError::NotAStore, QStringLiteral("an empty file"), conn_.path_, {}};
    const int version = SchemaVersion(db, *conn_.dialect_);
    if (version < 0) {
        // A table of ours that cannot be read is a damaged store, not another program's.
        QSqlQuery ours(db);
        if (db.tables().contains(QLatin1String("schema_info")) &&
            !ours.exec(QStringLiteral("SELECT COUNT(*) FROM schema_info")))
            return {conn_.classify(ours.lastError()), ours.lastError().text(), conn_.path_, {}};
        return {RecordsError::Foreign, QStringLiteral("no Panel Bench schema"), conn_.path_, {}};
    }
    return access == Access::Record ? RecordsStatus{} : SchemaOfReader(version, conn_.path_);
}

}  // namespace pb::records
