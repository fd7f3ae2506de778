#include "records/store/StoreConnection.h"

#include <signal.h>
#include <unistd.h>

#include <QDateTime>
#include <QFileInfo>
#include <QHostInfo>
#include <QSqlError>
#include <QTemporaryFile>

namespace pb::records {

QString StoreConnection::writerToken() {
    static const QString token = QStringLiteral("%1/%2/%3")
                                     .arg(QHostInfo::localHostName())
                                     .arg(qint64(::getpid()))
                                     .arg(QDateTime::currentMSecsSinceEpoch());
    return token;
}

bool StoreConnection::writerAlive(const QString& writer) {
    if (writer == writerToken()) return true;
    const QStringList parts = writer.split(u'/');
    if (parts.size() != 3 || parts[0] != QHostInfo::localHostName()) return false;
    const qint64 pid = parts[1].toLongLong();
    return pid > 0 && ::kill(pid_t(pid), 0) == 0;
}

bool RoomToWrite(const QString& folder) {
    QTemporaryFile probe(folder + QStringLiteral("/.room-XXXXXX"));
    if (!probe.open()) return false;
    const QByteArray block(64 * 1024, '\0');
    return probe.write(block) == block.size() && probe.flush();
}

QSqlDatabase StoreConnection::database() const {
    return name_.isEmpty() ? QSqlDatabase() : QSqlDatabase::database(name_, false);
}

RecordsError StoreConnection::classify(const QSqlError& error) const {
    const RecordsError kind = dialect_->classify(error);
    if (kind == RecordsError::WriteFailed && dialect_->driver == QLatin1String("QSQLITE") &&
        !RoomToWrite(QFileInfo(path_).absolutePath()))
        return RecordsError::DiskFull;
    return kind;
}

RecordsStatus StoreConnection::fail(const QSqlError& error, const QString& what) {
    RecordsError kind = classify(error);
    // A write that fails after open is not a damaged file to move aside.
    if (kind == RecordsError::Foreign) kind = RecordsError::WriteFailed;
    status_ = {kind, what + QStringLiteral(": ") + error.text(), path_, {}};
    open_ = false;
    return status_;
}

bool StoreConnection::failed(const QSqlQuery& q, const QString& what) {
    QSqlDatabase db = database();
    if (db.isOpen()) db.rollback();
    fail(q.lastError(), what);
    return false;
}

qint64 StoreConnection::insertedId(QSqlQuery& q) const {
    if (dialect_->keyFromReturning) return q.next() ? q.value(0).toLongLong() : 0;
    return q.lastInsertId().toLongLong();
}

}  // namespace pb::records
