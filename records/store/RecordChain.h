#pragma once
// The unit tests of each station as a hash chain. When a unit test ends (or is found
// interrupted) it becomes the next link of its station's chain: its hash is the SHA-256
// of the previous link's hash and of the unit test's content, that is every column of its
// row (whatever columns the schema has, sorted by name, NULL and empty left out, the
// store's own keys and the chain's columns left out), the serial of its unit and every
// column of each of its steps (measurements and causes are columns of the steps). A
// column added to the schema later is covered the day it is added, and links made before
// stay whole because a NULL column is not part of the content.
//
// Each station's last link is kept apart (chain_heads), so that a link taken off the end
// shows too. On a shared server the links keep the station's numbering (the station's
// row ids) and each arriving link is checked against the one before it.
//
// This shows an edit made after the fact with SQL or a database tool. It does not stop
// someone who holds the store and this code from computing a new chain.

#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

namespace pb::records {

class SqlDialect;

// The chain columns of a unit test: its place, the previous link (by the station's row
// id) and the hashes. seq 0: not chained.
struct ChainLink {
    qint64 seq = 0;
    qint64 prevId = 0;
    QString prevHash;
    QString hash;
};

// The content of unit test `id` as hashed (canonical compact JSON); empty when no such row.
QByteArray UnitTestContent(QSqlDatabase& db, qint64 id, QSqlError* error);
// Within the write in hand: makes the ended unit test `id` its station's next link
// (nothing when it is chained already). False with `error` when a statement failed.
bool ChainUnitTest(QSqlDatabase& db, qint64 id, QSqlError* error);

// The schema step that adds the chain: the unit tests that have ended, oldest end first,
// chained from now (those before were not protected until now).
bool ChainOldUnitTests(QSqlDatabase& db, QString* error);

// On the server, within the import in hand: the columns of unit test `id` and of its steps
// made what `content` (as the station read it) says, for the columns this server has.
bool TakeContent(QSqlDatabase& db, qint64 id, const QByteArray& content, QSqlError* error);

// Codes of why a server refused an arriving link, kept with the outbox entry.
inline constexpr char kRefusedChanged[] = "chain-changed";   // its content is not what its hash covers
inline constexpr char kRefusedBroken[] = "chain-broken";     // it does not follow the link before it

// On the server, within the import in hand: checks the arriving link of the station's
// unit test (stored as server row `id`, station row `localId`, store `origin`) and keeps
// it as the chain's head. Empty when whole, else one of the codes above.
QString CheckArrivingLink(QSqlDatabase& db, qint64 id, const QString& origin, const ChainLink& link,
                          QSqlError* error);

// What a walk of the chains found.
struct ChainFinding {
    enum Kind { Changed, Removed, Inserted };
    Kind kind;
    QString station;
    qint64 rowId;  // the station's id of the unit test
};
struct ChainReport {
    qint64 links = 0;   // unit tests found in their place
    int chains = 0;
    QList<ChainFinding> findings;
    bool whole() const { return findings.isEmpty(); }
};
// Walks every chain in the store (a station's file or a shared server).
ChainReport VerifyChains(QSqlDatabase& db, QSqlError* error);

}  // namespace pb::records
