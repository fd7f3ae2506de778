#include "records/RecordStore.h"

#include <signal.h>
#include <unistd.h>

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostInfo>
#include <QJsonDocument>
#include <QSqlError>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QUuid>

#include "records/Migrations.h"
#include "records/ServerAddress.h"
#include "records/TrafficLog.h"

namespace pb::records {
namespace {

QAtomicInt connectionCounter;

// Who writes a run: "host/pid/start ms" of this process. A run left "running" by a
// writer that is gone was interrupted.
const QString& WriterToken() {
    static const QString token = QStringLiteral("%1/%2/%3")
                                     .arg(QHostInfo::localHostName())
                                     .arg(qint64(::getpid()))
                                     .arg(QDateTime::currentMSecsSinceEpoch());
    return token;
}

bool WriterAlive(const QString& writer) {
    if (writer == WriterToken()) return true;
    const QStringList parts = writer.split(u'/');
    if (parts.size() != 3 || parts[0] != QHostInfo::localHostName()) return false;
    const qint64 pid = parts[1].toLongLong();
    return pid > 0 && ::kill(pid_t(pid), 0) == 0;
}

QVariant TextOrNull(const QString& text) {
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

QString DetailsText(const QJsonObject& details) {
    return QString::fromUtf8(QJsonDocument(details).toJson(QJsonDocument::Compact));
}

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

// True when 64 KiB more can be written in `folder`: a failing I/O with no room left
// (no space, or a file size limit) is a full disk, not a broken file.
bool RoomToWrite(const QString& folder) {
    QTemporaryFile probe(folder + QStringLiteral("/.room-XXXXXX"));
    if (!probe.open()) return false;
    const QByteArray block(64 * 1024, '\0');
    return probe.write(block) == block.size() && probe.flush();
}

constexpr char kRunSelect[] =
    "SELECT r.id, r.unit_id, u.serial, r.station, r.operator_name, r.link_text, "
    "r.procedure_id, r.start_ms, r.end_ms, r.outcome, r.status_text, r.details, "
    "t.frame_count, t.dropped, r.recipe_run_id, r.recipe_step, r.writer FROM runs r "
    "JOIN units u ON u.id = r.unit_id LEFT JOIN traffic t ON t.run_id = r.id";

RunRow ReadRun(const QSqlQuery& q) {
    RunRow row;
    row.id = q.value(0).toLongLong();
    row.unitId = q.value(1).toLongLong();
    row.unitSerial = q.value(2).toString();
    row.station = q.value(3).toString();
    row.operatorName = q.value(4).toString();
    row.linkText = q.value(5).toString();
    row.procedure = q.value(6).toString();
    row.startMs = q.value(7).toLongLong();
    row.endMs = q.value(8).toLongLong();
    row.outcome = OutcomeFromCode(q.value(9).toString()).value_or(Outcome::Error);
    row.statusText = q.value(10).toString();
    row.details = QJsonDocument::fromJson(q.value(11).toString().toUtf8()).object();
    row.frameCount = q.value(12).toLongLong();
    row.framesDropped = q.value(13).toLongLong();
    row.recipeRunId = q.value(14).toLongLong();
    row.recipeStep = q.value(15).isNull() ? -1 : q.value(15).toInt();
    // A reader marks nothing: a run its writer left running when it died shows as what
    // the next program that records will make it.
    if (row.outcome == Outcome::Running && !q.value(16).isNull() && !WriterAlive(q.value(16).toString()))
        row.outcome = Outcome::Interrupted;
    return row;
}

constexpr char kUnitSelect[] =
    "SELECT u.id, u.unit_key, u.serial, u.link_text, u.model_kind, u.model_text, u.version, "
    "u.device_id, u.first_seen_ms, u.last_seen_ms, "
    "(SELECT COUNT(*) FROM runs r WHERE r.unit_id = u.id) FROM units u";

UnitRow ReadUnit(const QSqlQuery& q) {
    UnitRow row;
    row.id = q.value(0).toLongLong();
    row.key = q.value(1).toString();
    row.identity.serial = q.value(2).toString();
    row.identified = !row.identity.serial.isEmpty();
    row.linkText = q.value(3).toString();
    row.identity.modelKind = q.value(4).isNull() ? -1 : q.value(4).toInt();
    row.identity.modelText = q.value(5).toString();
    row.identity.version = q.value(6).toString();
    row.identity.deviceId = q.value(7).toString();
    row.firstSeenMs = q.value(8).toLongLong();
    row.lastSeenMs = q.value(9).toLongLong();
    row.runCount = q.value(10).toLongLong();
    return row;
}

}  // namespace

RecordStore::RecordStore() : dialect_(&SqliteDialect()) {}

QString RecordStore::writerToken() { return WriterToken(); }
bool RecordStore::writerAlive(const QString& writer) { return WriterAlive(writer); }

RecordStore::~RecordStore() { close(); }

QString RecordStore::DefaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/NORDAX/PanelBench/records.sqlite");
}

QSqlDatabase RecordStore::database() const {
    return connection_.isEmpty() ? QSqlDatabase() : QSqlDatabase::database(connection_, false);
}

void RecordStore::close() {
    open_ = false;
    origin_.clear();
    if (connection_.isEmpty()) return;
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        if (db.isOpen()) db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
    connection_.clear();
}

RecordsStatus RecordStore::openSqlite(const QString& path, Access access) {
    close();
    dialect_ = &SqliteDialect();
    path_ = path;
    interruptedAtOpen_ = 0;
    RecordsStatus status;
    const QFileInfo file(path);
    const QString folder = file.absolutePath();
    if (!QSqlDatabase::isDriverAvailable(dialect_->driver)) {
        status = {RecordsError::DriverMissing, dialect_->driver, path, {}};
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
    status_ = status;
    return status_;
}

RecordsStatus RecordStore::openUrl(const QString& url, Access access) {
    close();
    dialect_ = &PostgresDialect();
    interruptedAtOpen_ = 0;
    QString why;
    const std::optional<ServerAddress> address = ParseServerUrl(url, &why);
    path_ = address ? address->display() : url.section(u'@', -1);  // never a password
    if (!address) {
        status_ = {RecordsError::BadAddress, why, path_, {}};
    } else if (!QSqlDatabase::isDriverAvailable(dialect_->driver)) {
        status_ = {RecordsError::DriverMissing, dialect_->driver, path_, {}};
    } else {
        status_ = openServer(url, access);
        status_.path = path_;
        if (!status_.ok()) close();
    }
    return status_;
}

RecordsStatus RecordStore::openServer(const QString& url, Access access) {
    const ServerAddress address = *ParseServerUrl(url);
    connection_ = QStringLiteral("panelbench-records-%1").arg(connectionCounter.fetchAndAddRelaxed(1));
    QSqlDatabase db = QSqlDatabase::addDatabase(dialect_->driver, connection_);
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
    if (!db.open()) return {classify(db.lastError()), db.lastError().text().trimmed(), path_, {}};
    const int version = SchemaVersion(db, *dialect_);
    if (version < 0) return {RecordsError::Foreign, QStringLiteral("no Panel Bench schema"), path_, {}};
    if (access == Access::ReadOnly) {
        if (version == 0) return {RecordsError::Missing, QStringLiteral("no Panel Bench records there yet"), path_, {}};
        if (RecordsStatus other = SchemaOfReader(version, path_); !other.ok()) return other;
        // The server refuses any write of this connection too.
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY")))
            return {classify(q.lastError()), q.lastError().text(), path_, {}};
        open_ = true;
        return {};
    }
    const RecordsStatus migrated = Migrate(db, *dialect_);
    if (!migrated.ok()) return migrated;
    open_ = true;
    return {};
}

bool RecordStore::loadOrigin() {
    // Made once per file; two connections making it at once keep the first.
    QSqlDatabase db = database();
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT value FROM schema_info WHERE name = 'origin'")))
        return failed(q, QStringLiteral("reading the store's id"));
    if (q.next()) {
        origin_ = q.value(0).toString();
        return true;
    }
    q.finish();
    q.prepare(QStringLiteral("INSERT INTO schema_info (name, value) VALUES ('origin', ?) "
                             "ON CONFLICT (name) DO NOTHING"));
    q.addBindValue(QUuid::createUuid().toString(QUuid::WithoutBraces));
    if (!q.exec()) return failed(q, QStringLiteral("keeping the store's id"));
    return loadOrigin();
}

RecordsStatus RecordStore::openFile(const QString& path, Access access) {
    connection_ = QStringLiteral("panelbench-records-%1").arg(connectionCounter.fetchAndAddRelaxed(1));
    QSqlDatabase db = QSqlDatabase::addDatabase(dialect_->driver, connection_);
    db.setDatabaseName(path);
    db.setConnectOptions(dialect_->connectOptions());
    if (!db.open()) return {classify(db.lastError()), db.lastError().text(), path, {}};
    // What the file is, before anything of it is changed.
    if (RecordsStatus found = whatFileHolds(db, access); !found.ok()) return found;
    if (access == Access::ReadOnly) {
        // Opened for writing all the same, so that SQLite takes away the -wal and -shm
        // files a reader of a WAL file makes; no statement of this connection may write.
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("PRAGMA query_only = ON")))
            return {classify(q.lastError()), q.lastError().text(), path, {}};
        open_ = true;
        return {};
    }
    if (const QSqlError error = dialect_->prepareConnection(db); error.isValid())
        return {classify(error), error.text(), path, {}};
    RecordsStatus migrated = Migrate(db, *dialect_);
    if (migrated.error == RecordsError::WriteFailed && !RoomToWrite(QFileInfo(path).absolutePath()))
        migrated.error = RecordsError::DiskFull;
    if (!migrated.ok()) return migrated;
    open_ = true;
    if (!loadOrigin()) return status_;
    interruptedAtOpen_ = markInterrupted();
    if (open_) markInterruptedRecipeRuns();
    if (!open_) return status_;
    return {};
}

RecordsStatus RecordStore::whatFileHolds(QSqlDatabase& db, Access access) {
    QSqlQuery probe(db);
    if (!probe.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master")) || !probe.next()) {
        // SQLITE_NOTADB: no database at all; one whose pages cannot be read is damaged.
        const QSqlError error = probe.lastError();
        const RecordsError kind =
            error.nativeErrorCode() == QLatin1String("26") ? RecordsError::NotAStore : classify(error);
        return {kind, error.text(), path_, {}};
    }
    const bool empty = probe.value(0).toLongLong() == 0;
    probe.finish();
    // An empty file is where a store is made, but nothing to read.
    if (empty)
        return access == Access::Record ? RecordsStatus{}
                                        : RecordsStatus{RecordsError::NotAStore, QStringLiteral("an empty file"), path_, {}};
    const int version = SchemaVersion(db, *dialect_);
    if (version < 0) {
        // A table of ours that cannot be read is a damaged store, not another program's.
        QSqlQuery ours(db);
        if (db.tables().contains(QLatin1String("schema_info")) &&
            !ours.exec(QStringLiteral("SELECT COUNT(*) FROM schema_info")))
            return {classify(ours.lastError()), ours.lastError().text(), path_, {}};
        return {RecordsError::Foreign, QStringLiteral("no Panel Bench schema"), path_, {}};
    }
    return access == Access::Record ? RecordsStatus{} : SchemaOfReader(version, path_);
}

RecordsError RecordStore::classify(const QSqlError& error) const {
    const RecordsError kind = dialect_->classify(error);
    if (kind == RecordsError::WriteFailed && dialect_->driver == QLatin1String("QSQLITE") &&
        !RoomToWrite(QFileInfo(path_).absolutePath()))
        return RecordsError::DiskFull;
    return kind;
}

RecordsStatus RecordStore::fail(const QSqlError& error, const QString& what) {
    RecordsError kind = classify(error);
    // A write that fails after open is not a damaged file to move aside.
    if (kind == RecordsError::Foreign) kind = RecordsError::WriteFailed;
    status_ = {kind, what + QStringLiteral(": ") + error.text(), path_, {}};
    open_ = false;
    return status_;
}

bool RecordStore::failed(const QSqlQuery& q, const QString& what) {
    QSqlDatabase db = database();
    if (db.isOpen()) db.rollback();
    fail(q.lastError(), what);
    return false;
}

qint64 RecordStore::insertedId(QSqlQuery& q) {
    if (dialect_->keyFromReturning) return q.next() ? q.value(0).toLongLong() : 0;
    return q.lastInsertId().toLongLong();
}

int RecordStore::markInterrupted() {
    QSqlDatabase db = database();
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT id, writer FROM runs WHERE outcome = 'running'"))) {
        failed(q, QStringLiteral("reading unfinished runs"));
        return 0;
    }
    QList<qint64> dead;
    while (q.next())
        if (!WriterAlive(q.value(1).toString())) dead << q.value(0).toLongLong();
    q.finish();
    if (dead.isEmpty()) return 0;
    if (const QSqlError error = dialect_->beginWrite(db); error.isValid()) {
        fail(error, QStringLiteral("marking interrupted runs"));
        return 0;
    }
    QSqlQuery mark(db);
    for (qint64 id : dead) {
        mark.prepare(QStringLiteral("UPDATE runs SET outcome = 'interrupted' WHERE id = ?"));
        mark.addBindValue(id);
        if (!mark.exec()) return failed(mark, QStringLiteral("marking interrupted runs")), 0;
        if (!enqueue(mark, id, false)) return 0;
    }
    if (!db.commit()) return fail(db.lastError(), QStringLiteral("marking interrupted runs")), 0;
    return int(dead.size());
}

qint64 RecordStore::ensureUnit(const UnitIdentity& identity, const QString& linkText,
                               qint64 seenMs, qint64 firstSeenMs) {
    // One statement: stations writing the same unit at once neither add it twice nor
    // fail. The identity as last identified; parts not known now stay as they were.
    QSqlQuery q(database());
    QString key = UnitKey(identity, linkText);
    if (!identity.serial.isEmpty() && identity.modelKind < 0) {
        // A serial without its family: the unit of that serial last seen, if any.
        q.prepare(QStringLiteral("SELECT unit_key FROM units WHERE serial = ? AND model_kind IS NOT NULL "
                                 "ORDER BY last_seen_ms DESC, id DESC LIMIT 1"));
        q.addBindValue(identity.serial);
        if (!q.exec()) return failed(q, QStringLiteral("adding the unit")), 0;
        if (q.next()) key = q.value(0).toString();
        q.finish();
    }
    q.prepare(QStringLiteral(
        "INSERT INTO units (unit_key, serial, link_text, model_kind, model_text, version, "
        "device_id, first_seen_ms, last_seen_ms) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?) "
        "ON CONFLICT (unit_key) DO UPDATE SET "
        "model_kind = COALESCE(excluded.model_kind, units.model_kind), "
        "model_text = COALESCE(excluded.model_text, units.model_text), "
        "version = COALESCE(excluded.version, units.version), "
        "device_id = COALESCE(excluded.device_id, units.device_id), "
        "link_text = excluded.link_text, "
        "first_seen_ms = CASE WHEN excluded.first_seen_ms < units.first_seen_ms "
        "THEN excluded.first_seen_ms ELSE units.first_seen_ms END, "
        "last_seen_ms = CASE WHEN units.last_seen_ms < excluded.last_seen_ms "
        "THEN excluded.last_seen_ms ELSE units.last_seen_ms END RETURNING id"));
    q.addBindValue(key);
    q.addBindValue(TextOrNull(identity.serial));
    q.addBindValue(linkText);
    q.addBindValue(identity.modelKind >= 0 ? QVariant(identity.modelKind)
                                           : QVariant(QMetaType::fromType<int>()));
    q.addBindValue(TextOrNull(identity.modelText));
    q.addBindValue(TextOrNull(identity.version));
    q.addBindValue(TextOrNull(identity.deviceId));
    q.addBindValue(firstSeenMs > 0 ? firstSeenMs : seenMs);
    q.addBindValue(seenMs);
    if (!q.exec()) return failed(q, QStringLiteral("adding the unit")), 0;
    const qint64 id = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    return id;
}

qint64 RecordStore::upsertUnit(const UnitIdentity& identity, const QString& linkText,
                               qint64 seenMs) {
    if (!open_) return 0;
    QSqlDatabase db = database();
    if (const QSqlError error = dialect_->beginWrite(db); error.isValid())
        return fail(error, QStringLiteral("adding the unit")), 0;
    const qint64 id = ensureUnit(identity, linkText, seenMs);
    if (id == 0) return 0;
    if (!db.commit()) return fail(db.lastError(), QStringLiteral("adding the unit")), 0;
    return id;
}

qint64 RecordStore::beginRun(const RunStart& start) {
    if (!open_) return 0;
    QSqlDatabase db = database();
    if (const QSqlError error = dialect_->beginWrite(db); error.isValid())
        return fail(error, QStringLiteral("starting a run")), 0;
    const qint64 unitId = ensureUnit(start.unit, start.linkText, start.startMs);
    if (unitId == 0) return 0;
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "INSERT INTO runs (unit_id, station, operator_name, writer, link_text, procedure_id, "
        "start_ms, outcome, details) VALUES (?, ?, ?, ?, ?, ?, ?, 'running', ?)") +
              (dialect_->keyFromReturning ? QStringLiteral(" RETURNING id") : QString()));
    q.addBindValue(unitId);
    q.addBindValue(start.station.isEmpty() ? QHostInfo::localHostName() : start.station);
    q.addBindValue(start.operatorName);
    q.addBindValue(WriterToken());
    q.addBindValue(start.linkText);
    q.addBindValue(start.procedure);
    q.addBindValue(start.startMs);
    q.addBindValue(DetailsText(start.details));
    if (!q.exec()) return failed(q, QStringLiteral("starting a run")), 0;
    const qint64 id = insertedId(q);
    q.finish();
    if (!db.commit()) return fail(db.lastError(), QStringLiteral("starting a run")), 0;
    return id;
}

bool RecordStore::updateRunDetails(qint64 runId, const QJsonObject& details) {
    if (!open_ || runId <= 0) return false;
    QSqlQuery q(database());
    q.prepare(QStringLiteral("UPDATE runs SET details = ? WHERE id = ?"));
    q.addBindValue(DetailsText(details));
    q.addBindValue(runId);
    if (!q.exec()) return failed(q, QStringLiteral("recording progress"));
    // A run changed after its end (the version after an upgrade) goes to the server again.
    return enqueue(q, runId, true);
}

bool RecordStore::endRun(qint64 runId, const RunEnd& end) {
    if (!open_ || runId <= 0) return false;
    QSqlDatabase db = database();
    if (const QSqlError error = dialect_->beginWrite(db); error.isValid())
        return fail(error, QStringLiteral("ending a run")), false;
    QSqlQuery q(db);
    if (end.identity && !end.identity->serial.isEmpty()) {
        // The unit is known now: the run belongs to it, not to the link's unidentified unit.
        q.prepare(QStringLiteral("SELECT link_text FROM runs WHERE id = ?"));
        q.addBindValue(runId);
        if (!q.exec()) return failed(q, QStringLiteral("ending a run"));
        const QString link = q.next() ? q.value(0).toString() : QString();
        q.finish();
        const qint64 unitId = ensureUnit(*end.identity, link, end.endMs);
        if (unitId == 0) return false;
        q.prepare(QStringLiteral("UPDATE runs SET unit_id = ? WHERE id = ?"));
        q.addBindValue(unitId);
        q.addBindValue(runId);
        if (!q.exec()) return failed(q, QStringLiteral("ending a run"));
    }
    q.prepare(QStringLiteral("UPDATE runs SET end_ms = ?, outcome = ?, status_text = ?") +
              (end.details.isEmpty() ? QString() : QStringLiteral(", details = ?")) +
              QStringLiteral(" WHERE id = ?"));
    q.addBindValue(end.endMs);
    q.addBindValue(OutcomeCode(end.outcome));
    q.addBindValue(end.statusText);
    if (!end.details.isEmpty()) q.addBindValue(DetailsText(end.details));
    q.addBindValue(runId);
    if (!q.exec()) return failed(q, QStringLiteral("ending a run"));
    if (!enqueue(q, runId, false)) return false;
    if (!db.commit()) return fail(db.lastError(), QStringLiteral("ending a run")), false;
    return true;
}

bool RecordStore::saveTraffic(qint64 runId, const KeptTraffic& traffic) {
    if (!open_ || runId <= 0) return false;
    QSqlDatabase db = database();
    if (const QSqlError error = dialect_->beginWrite(db); error.isValid())
        return fail(error, QStringLiteral("keeping traffic")), false;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("DELETE FROM traffic WHERE run_id = ?"));
    q.addBindValue(runId);
    if (!q.exec()) return failed(q, QStringLiteral("keeping traffic"));
    q.prepare(QStringLiteral("INSERT INTO traffic (run_id, frame_count, dropped, data) VALUES (?, ?, ?, ?)"));
    q.addBindValue(runId);
    q.addBindValue(qint64(traffic.frames.size()));
    q.addBindValue(traffic.dropped);
    q.addBindValue(EncodeTraffic(traffic));
    if (!q.exec()) return failed(q, QStringLiteral("keeping traffic"));
    if (!db.commit()) return fail(db.lastError(), QStringLiteral("keeping traffic")), false;
    return true;
}

bool RecordStore::enqueue(QSqlQuery& q, qint64 runId, bool onlyEnded) {
    if (!outbox_) return true;
    // Queued once: a run already waiting keeps its place, and counts the change, so that
    // a sending that read it before the change leaves it queued.
    q.prepare(QStringLiteral("INSERT INTO outbox (run_id, queued_ms) SELECT id, ? FROM runs "
                             "WHERE id = ?%1 ON CONFLICT (run_id) DO UPDATE SET "
                             "changes = outbox.changes + 1")
                  .arg(onlyEnded ? QStringLiteral(" AND outcome <> 'running'") : QString()));
    q.addBindValue(QDateTime::currentMSecsSinceEpoch());
    q.addBindValue(runId);
    if (!q.exec()) return failed(q, QStringLiteral("queueing the run for the server"));
    return true;
}

bool RecordStore::enqueueRecipeRun(QSqlQuery& q, qint64 recipeRunId) {
    if (!outbox_) return true;
    q.prepare(QStringLiteral("INSERT INTO outbox (recipe_run_id, queued_ms) SELECT id, ? FROM recipe_runs "
                             "WHERE id = ? AND verdict <> 'running' ON CONFLICT (recipe_run_id) DO UPDATE SET "
                             "changes = outbox.changes + 1"));
    q.addBindValue(QDateTime::currentMSecsSinceEpoch());
    q.addBindValue(recipeRunId);
    if (!q.exec()) return failed(q, QStringLiteral("queueing the recipe run for the server"));
    return true;
}

qint64 RecordStore::pendingUploads() {
    if (!open_) return 0;
    QSqlQuery q(database());
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM outbox"))) return failed(q, QStringLiteral("reading the outbox")), 0;
    return q.next() ? q.value(0).toLongLong() : 0;
}

QList<QueuedRun> RecordStore::queuedRuns(int limit) {
    QList<QueuedRun> queued;
    if (!open_) return queued;
    QSqlQuery q(database());
    if (!q.exec(QStringLiteral("SELECT run_id, changes, recipe_run_id FROM outbox ORDER BY id LIMIT %1").arg(limit)))
        return failed(q, QStringLiteral("reading the outbox")), queued;
    while (q.next()) queued.append({q.value(0).toLongLong(), q.value(1).toInt(), q.value(2).toLongLong()});
    return queued;
}

bool RecordStore::dequeue(const QueuedRun& sent) {
    if (!open_) return false;
    QSqlQuery q(database());
    q.prepare(sent.recipeRunId > 0 ? QStringLiteral("DELETE FROM outbox WHERE recipe_run_id = ? AND changes = ?")
                                   : QStringLiteral("DELETE FROM outbox WHERE run_id = ? AND changes = ?"));
    q.addBindValue(sent.recipeRunId > 0 ? sent.recipeRunId : sent.runId);
    q.addBindValue(sent.changes);
    if (!q.exec()) return failed(q, QStringLiteral("emptying the outbox"));
    return true;
}

std::optional<RunUpload> RecordStore::uploadOf(qint64 runId) {
    const std::optional<RunRow> row = run(runId);
    if (!row) return std::nullopt;
    const std::optional<UnitRow> owner = unit(row->unitId);
    if (!owner) return std::nullopt;
    RunUpload upload{origin_, runId, *owner, *row, {}, 0, 0};
    QSqlQuery q(database());
    q.prepare(QStringLiteral("SELECT data, frame_count, dropped FROM traffic WHERE run_id = ?"));
    q.addBindValue(runId);
    if (!q.exec()) return failed(q, QStringLiteral("reading traffic")), std::nullopt;
    if (q.next()) {
        upload.traffic = q.value(0).toByteArray();
        upload.frameCount = q.value(1).toLongLong();
        upload.framesDropped = q.value(2).toLongLong();
    }
    q.finish();
    q.prepare(QStringLiteral("SELECT recipe_run_id, recipe_step FROM runs WHERE id = ?"));
    q.addBindValue(runId);
    if (!q.exec()) return failed(q, QStringLiteral("reading a run")), std::nullopt;
    if (q.next() && !q.value(0).isNull()) {
        upload.localRecipeRunId = q.value(0).toLongLong();
        upload.recipeStep = q.value(1).isNull() ? -1 : q.value(1).toInt();
    }
    return upload;
}

qint64 RecordStore::importRun(const RunUpload& u) {
    if (!open_) return 0;
    QSqlDatabase db = database();
    if (const QSqlError error = dialect_->beginWrite(db); error.isValid())
        return fail(error, QStringLiteral("adding a station's run")), 0;
    const qint64 unitId = ensureUnit(u.unit.identity, u.unit.linkText, u.unit.lastSeenMs, u.unit.firstSeenMs);
    if (unitId == 0) return 0;
    // Sent again (its acknowledgement was lost, or it changed): the same row, updated.
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "INSERT INTO runs (unit_id, station, operator_name, writer, link_text, procedure_id, "
        "start_ms, end_ms, outcome, status_text, details, origin, local_run_id) "
        "VALUES (?, ?, ?, NULL, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (origin, local_run_id) "
        "DO UPDATE SET unit_id = excluded.unit_id, end_ms = excluded.end_ms, "
        "outcome = excluded.outcome, status_text = excluded.status_text, "
        "details = excluded.details RETURNING id"));
    const RunRow& r = u.run;
    q.addBindValue(unitId);
    q.addBindValue(r.station);
    q.addBindValue(r.operatorName);
    q.addBindValue(r.linkText);
    q.addBindValue(r.procedure);
    q.addBindValue(r.startMs);
    q.addBindValue(r.endMs > 0 ? QVariant(r.endMs) : QVariant(QMetaType::fromType<qint64>()));
    q.addBindValue(OutcomeCode(r.outcome));
    q.addBindValue(r.statusText);
    q.addBindValue(DetailsText(r.details));
    q.addBindValue(u.origin);
    q.addBindValue(u.localRunId);
    if (!q.exec()) return failed(q, QStringLiteral("adding a station's run")), 0;
    const qint64 id = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    if (!u.traffic.isEmpty()) {
        q.prepare(QStringLiteral(
            "INSERT INTO traffic (run_id, frame_count, dropped, data) VALUES (?, ?, ?, ?) "
            "ON CONFLICT (run_id) DO UPDATE SET frame_count = excluded.frame_count, "
            "dropped = excluded.dropped, data = excluded.data"));
        q.addBindValue(id);
        q.addBindValue(u.frameCount);
        q.addBindValue(u.framesDropped);
        q.addBindValue(u.traffic);
        if (!q.exec()) return failed(q, QStringLiteral("adding a station's traffic")), 0;
    }
    if (u.localRecipeRunId > 0) {
        // Its recipe run when that came first; otherwise the recipe run links it on arrival.
        q.prepare(QStringLiteral(
            "UPDATE runs SET recipe_step = ?, recipe_run_id = (SELECT id FROM recipe_runs "
            "WHERE origin = ? AND local_recipe_run_id = ?) WHERE id = ?"));
        q.addBindValue(u.recipeStep);
        q.addBindValue(u.origin);
        q.addBindValue(u.localRecipeRunId);
        q.addBindValue(id);
        if (!q.exec()) return failed(q, QStringLiteral("adding a station's run")), 0;
    }
    if (!db.commit()) return fail(db.lastError(), QStringLiteral("adding a station's run")), 0;
    return id;
}

QList<UnitRow> RecordStore::units(const QString& serialPart) {
    QList<UnitRow> rows;
    if (!open_) return rows;
    QSqlQuery q(database());
    prepareUnits(q, QLatin1String(kUnitSelect), serialPart);
    if (!q.exec()) return failed(q, QStringLiteral("reading units")), rows;
    while (q.next()) rows << ReadUnit(q);
    return rows;
}

bool RecordStore::selectById(QSqlQuery& q, const char* select, const char* key, qint64 id,
                             const QString& what) {
    if (!open_) return false;
    q.prepare(QLatin1String(select) + QStringLiteral(" WHERE %1 = ?").arg(QLatin1String(key)));
    q.addBindValue(id);
    if (!q.exec()) return failed(q, what);
    return q.next();
}

std::optional<UnitRow> RecordStore::unit(qint64 unitId) {
    QSqlQuery q(database());
    if (!selectById(q, kUnitSelect, "u.id", unitId, QStringLiteral("reading a unit"))) return std::nullopt;
    return ReadUnit(q);
}

void RecordStore::prepareUnits(QSqlQuery& q, const QString& select, const QString& serialPart) {
    // A link's runs before any identify are no unit: never listed as one.
    QString sql = select + QStringLiteral(" WHERE u.serial IS NOT NULL");
    if (!serialPart.isEmpty()) sql += QStringLiteral(" AND ") + ContainsCondition(QStringLiteral("u.serial"));
    q.prepare(sql + QStringLiteral(" ORDER BY u.last_seen_ms DESC, u.id DESC"));
    if (!serialPart.isEmpty()) q.addBindValue(ContainsPattern(serialPart));
}

QString RecordStore::marks(const QList<qint64>& ids, QVariantList* binds) {
    QStringList marks;
    for (qint64 id : ids) {
        marks << QStringLiteral("?");
        *binds << id;
    }
    return marks.join(u',');
}

QString RecordStore::whereClause(const RunFilter& filter, QVariantList* binds) const {
    QStringList parts;
    if (filter.unitId > 0) {
        parts << QStringLiteral("r.unit_id = ?");
        *binds << filter.unitId;
    }
    if (!filter.serial.isEmpty()) {
        parts << ContainsCondition(QStringLiteral("u.serial"));
        *binds << ContainsPattern(filter.serial);
    }
    if (filter.fromMs > 0) {
        parts << QStringLiteral("r.start_ms >= ?");
        *binds << filter.fromMs;
    }
    if (filter.toMs > 0) {
        parts << QStringLiteral("r.start_ms < ?");
        *binds << filter.toMs;
    }
    if (filter.outcome) {
        parts << QStringLiteral("r.outcome = ?");
        *binds << OutcomeCode(*filter.outcome);
    }
    if (!filter.procedure.isEmpty()) {
        parts << QStringLiteral("r.procedure_id = ?");
        *binds << filter.procedure;
    }
    if (!filter.station.isEmpty()) {
        parts << ContainsCondition(QStringLiteral("r.station"));
        *binds << ContainsPattern(filter.station);
    }
    if (filter.selects()) {
        // The runs chosen, and those of the unit tests chosen.
        QStringList either;
        if (!filter.runIds.isEmpty()) either << QStringLiteral("r.id IN (%1)").arg(marks(filter.runIds, binds));
        if (!filter.recipeRunIds.isEmpty())
            either << QStringLiteral("r.recipe_run_id IN (%1)").arg(marks(filter.recipeRunIds, binds));
        parts << u'(' + either.join(QLatin1String(" OR ")) + u')';
    }
    return parts.isEmpty() ? QString() : QStringLiteral(" WHERE ") + parts.join(QLatin1String(" AND "));
}

QList<RunRow> RecordStore::runs(const RunFilter& filter, int limit) {
    QList<RunRow> rows;
    if (!open_) return rows;
    QVariantList binds;
    QString sql = QLatin1String(kRunSelect) + whereClause(filter, &binds) +
                  QStringLiteral(" ORDER BY r.start_ms DESC, r.id DESC");
    if (limit >= 0) sql += QStringLiteral(" LIMIT %1").arg(limit);
    QSqlQuery q(database());
    q.setForwardOnly(true);
    q.prepare(sql);
    for (const QVariant& bind : binds) q.addBindValue(bind);
    if (!q.exec()) return failed(q, QStringLiteral("reading runs")), rows;
    while (q.next()) rows << ReadRun(q);
    return rows;
}

std::optional<RunRow> RecordStore::run(qint64 runId) {
    QSqlQuery q(database());
    if (!selectById(q, kRunSelect, "r.id", runId, QStringLiteral("reading a run"))) return std::nullopt;
    return ReadRun(q);
}

KeptTraffic RecordStore::traffic(qint64 runId) {
    if (!open_) return {};
    QSqlQuery q(database());
    q.prepare(QStringLiteral("SELECT data FROM traffic WHERE run_id = ?"));
    q.addBindValue(runId);
    if (!q.exec()) return failed(q, QStringLiteral("reading traffic")), KeptTraffic{};
    if (!q.next()) return {};
    return DecodeTraffic(q.value(0).toByteArray()).value_or(KeptTraffic{});
}

QSqlQuery RecordStore::unitsQuery(const QString& serialPart) {
    QSqlQuery q(database());
    prepareUnits(q,
                 QStringLiteral("SELECT u.id, COALESCE(u.serial, ''), u.link_text, u.model_text, "
                                "u.version, u.last_seen_ms FROM units u"),
                 serialPart);
    if (open_) q.exec();
    return q;
}

QSqlQuery RecordStore::runsQuery(const RunFilter& filter) {
    // The procedure runs and the unit tests (recipe runs) in one list: a unit test is a row
    // of its own, with the outcome of its verdict and its failing step.
    // The binds in the order of the text: each half's clause made in its turn.
    QVariantList binds;
    const QString runsWhere = whereClause(filter, &binds);
    const QString recipesWhere = recipeWhereClause(filter, &binds);
    const QString sql =
        QStringLiteral(
            "SELECT r.id, r.start_ms, COALESCE(u.serial, u.link_text), r.procedure_id, "
            "r.outcome, r.end_ms - r.start_ms, r.operator_name, r.station, r.status_text, "
            "r.unit_id, r.details, 0, NULL, NULL, NULL FROM runs r JOIN units u ON u.id = r.unit_id") +
        runsWhere +
        QStringLiteral(
            " UNION ALL SELECT rr.id, rr.start_ms, COALESCE(u.serial, u.link_text), '%1', "
            "CASE rr.verdict WHEN 'pass' THEN 'ok' WHEN 'fail' THEN 'error' ELSE rr.verdict END, "
            "rr.end_ms - rr.start_ms, rr.operator_name, rr.station, rr.reason_text, rr.unit_id, NULL, 1, "
            "rr.recipe_name, rr.failing_step, (SELECT s.label FROM recipe_steps s WHERE "
            "s.recipe_run_id = rr.id AND s.step_index = rr.failing_step) "
            "FROM recipe_runs rr JOIN units u ON u.id = rr.unit_id")
            .arg(QLatin1String(kRecipeProcedure)) +
        recipesWhere + QStringLiteral(" ORDER BY 2 DESC, 1 DESC");
    QSqlQuery q(database());
    q.prepare(sql);
    for (const QVariant& bind : binds) q.addBindValue(bind);
    if (open_) q.exec();
    return q;
}

}  // namespace pb::records
