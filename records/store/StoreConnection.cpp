#include "records/store/StoreConnection.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
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

void StoreConnection::noteFile() {
    struct stat st {};
    const bool file = dialect_->isSqlite() && ::stat(QFile::encodeName(path_).constData(), &st) == 0;
    device_ = file ? quint64(st.st_dev) : 0;
    inode_ = file ? quint64(st.st_ino) : 0;
}

bool StoreConnection::writable() {
    if (!open_) return false;
    if (inode_ == 0) return true;
    struct stat st {};
    if (::stat(QFile::encodeName(path_).constData(), &st) == 0 && quint64(st.st_dev) == device_ &&
        quint64(st.st_ino) == inode_)
        return true;
    return reopen();
}

bool StoreConnection::reopen() {
    QSqlDatabase db = database();
    QString aside;
    if (QFileInfo::exists(path_)) {
        // Another file in its place: kept, beside the one made from this connection.
        aside = path_ + QStringLiteral(".replaced-") +
                QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
        if (!QFile::rename(path_, aside)) {
            status_ = {RecordsError::FolderNotWritable, QStringLiteral("the file was replaced"), path_, {}};
            return open_ = false;
        }
        for (const char* side : {"-wal", "-shm"})
            if (QFileInfo::exists(path_ + QLatin1String(side))) QFile::rename(path_ + QLatin1String(side), aside + QLatin1String(side));
    } else {
        QDir().mkpath(QFileInfo(path_).absolutePath());
    }
    QSqlQuery q(db);
    q.prepare(QStringLiteral("VACUUM INTO ?"));
    q.addBindValue(path_);
    if (!q.exec()) {
        fail(q.lastError(), QStringLiteral("making the records file anew"));
        return false;
    }
    q.finish();
    QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner);
    db.close();
    if (!db.open()) {
        fail(db.lastError(), QStringLiteral("opening the records file made anew"));
        return false;
    }
    if (const QSqlError error = dialect_->prepareConnection(db); error.isValid()) {
        fail(error, QStringLiteral("opening the records file made anew"));
        return false;
    }
    noteFile();
    status_ = {RecordsError::Reopened, {}, path_, aside};
    return true;
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
    open_ = kind == RecordsError::DiskFull && dialect_->isSqlite() && open_;
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
