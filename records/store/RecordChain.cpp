#include "records/store/RecordChain.h"

#include <QCryptographicHash>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSqlQuery>
#include <QSqlField>
#include <QSqlRecord>
#include <algorithm>
#include <map>

namespace pb::records {
namespace {

// The store's own keys (another on a server than on the station), the figures' marks
// that later unit tests change (the first test, its final pass, a retest's number), the writer's token (not sent) and the chain itself.
bool LeftOut(const QString& column) {
    static const QSet<QString> out = {
        QStringLiteral("id"), QStringLiteral("unit_id"), QStringLiteral("origin"),
        QStringLiteral("local_recipe_run_id"), QStringLiteral("writer"), QStringLiteral("first_test"),
        QStringLiteral("retest"), QStringLiteral("final_pass"), QStringLiteral("recipe_run_id"), QStringLiteral("chain_seq"), QStringLiteral("chain_prev"),
        QStringLiteral("chain_prev_hash"), QStringLiteral("chain_hash")};
    return out.contains(column.toLower());
}

QJsonObject Columns(const QSqlQuery& q) {
    const QSqlRecord record = q.record();
    QJsonObject o;
    for (int i = 0; i < record.count(); ++i) {
        const QString name = record.fieldName(i).toLower();
        if (LeftOut(name) || q.value(i).isNull()) continue;
        const QString text = q.value(i).toString();
        if (!text.isEmpty()) o.insert(name, text);
    }
    return o;
}

bool Run(QSqlQuery& q, QSqlError* error) {
    if (q.exec()) return true;
    if (error) *error = q.lastError();
    return false;
}

QString ChainKey(const QString& origin, const QString& station) {
    return origin.isEmpty() ? station : origin + u'/' + station;
}

}  // namespace

QByteArray UnitTestContent(QSqlDatabase& db, qint64 id, QSqlError* error) {
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT * FROM recipe_runs WHERE id = ?"));
    q.addBindValue(id);
    if (!Run(q, error) || !q.next()) return {};
    QJsonObject content;
    content.insert(QStringLiteral("row"), Columns(q));
    const qint64 unitId = q.value(q.record().indexOf(QStringLiteral("unit_id"))).toLongLong();
    q.finish();
    q.prepare(QStringLiteral("SELECT serial FROM units WHERE id = ?"));
    q.addBindValue(unitId);
    if (!Run(q, error)) return {};
    if (q.next() && !q.value(0).toString().isEmpty()) content.insert(QStringLiteral("unit"), q.value(0).toString());
    q.finish();
    q.prepare(QStringLiteral("SELECT * FROM recipe_steps WHERE recipe_run_id = ? ORDER BY step_index"));
    q.addBindValue(id);
    if (!Run(q, error)) return {};
    QJsonArray steps;
    while (q.next()) steps.append(Columns(q));
    content.insert(QStringLiteral("steps"), steps);
    return QJsonDocument(content).toJson(QJsonDocument::Compact);
}

namespace {

QString Hash(const ChainLink& link, const QByteArray& content) {
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(link.prevHash.toLatin1() + '\n' + QByteArray::number(link.seq) + '\n' +
              QByteArray::number(link.prevId) + '\n');
    h.addData(content);
    return QString::fromLatin1(h.result().toHex());
}

bool KeepLink(QSqlDatabase& db, qint64 id, const ChainLink& link, QSqlError* error) {
    QSqlQuery q(db);
    q.prepare(QStringLiteral("UPDATE recipe_runs SET chain_seq = ?, chain_prev = ?, chain_prev_hash = ?, "
                             "chain_hash = ? WHERE id = ?"));
    q.addBindValue(link.seq);
    q.addBindValue(link.prevId);
    q.addBindValue(link.prevHash);
    q.addBindValue(link.hash);
    q.addBindValue(id);
    return Run(q, error);
}

bool KeepHead(QSqlDatabase& db, const QString& chain, const QString& station, qint64 ownId, const ChainLink& link,
              QSqlError* error) {
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO chain_heads (chain, station, seq, last_id, last_hash) VALUES (?, ?, ?, ?, ?) "
                             "ON CONFLICT (chain) DO UPDATE SET seq = excluded.seq, last_id = excluded.last_id, "
                             "last_hash = excluded.last_hash WHERE chain_heads.seq < excluded.seq"));
    q.addBindValue(chain.isNull() ? QStringLiteral("") : chain);
    q.addBindValue(station.isNull() ? QStringLiteral("") : station);  // a unit test kept without a station
    q.addBindValue(link.seq);
    q.addBindValue(ownId);
    q.addBindValue(link.hash);
    return Run(q, error);
}

}  // namespace

bool ChainUnitTest(QSqlDatabase& db, qint64 id, QSqlError* error) {
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT station, chain_hash FROM recipe_runs WHERE id = ?"));
    q.addBindValue(id);
    if (!Run(q, error)) return false;
    if (!q.next() || !q.value(1).isNull()) return true;
    const QString station = q.value(0).toString();
    q.finish();
    q.prepare(QStringLiteral("SELECT seq, last_id, last_hash FROM chain_heads WHERE chain = ?"));
    q.addBindValue(station);
    if (!Run(q, error)) return false;
    ChainLink link;
    if (q.next()) {
        link.seq = q.value(0).toLongLong();
        link.prevId = q.value(1).toLongLong();
        link.prevHash = q.value(2).toString();
    }
    q.finish();
    ++link.seq;
    const QByteArray content = UnitTestContent(db, id, error);
    if (content.isEmpty()) return false;
    link.hash = Hash(link, content);
    return KeepLink(db, id, link, error) && KeepHead(db, station, station, id, link, error);
}

bool ChainOldUnitTests(QSqlDatabase& db, QString* error) {
    QSqlQuery q(db);
    QSqlError failed;
    QList<qint64> ended;
    if (!q.exec(QStringLiteral("SELECT id FROM recipe_runs WHERE verdict <> 'running' AND origin IS NULL "
                               "ORDER BY COALESCE(end_ms, start_ms), id"))) {
        *error = q.lastError().text();
        return false;
    }
    while (q.next()) ended << q.value(0).toLongLong();
    q.finish();
    for (qint64 id : ended) {
        if (!ChainUnitTest(db, id, &failed)) {
            *error = failed.text();
            return false;
        }
    }
    // Rows after this one that hold no link were put in by hand.
    if (!q.exec(QStringLiteral("INSERT INTO schema_info (name, value) SELECT 'chain_from', "
                               "CAST(COALESCE(MAX(id), 0) AS VARCHAR(20)) FROM recipe_runs"))) {
        *error = q.lastError().text();
        return false;
    }
    return true;
}

namespace {

// Sets the columns of one row (`where` binds `keys`) that differ from `sent`; only
// columns the table has, none the chain leaves out.
bool Align(QSqlDatabase& db, const QString& table, const QString& where, const QVariantList& keys,
           const QJsonObject& sent, QSqlError* error) {
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT * FROM %1 WHERE %2").arg(table, where));
    for (const QVariant& k : keys) q.addBindValue(k);
    if (!Run(q, error)) return false;
    if (!q.next()) return true;
    const QJsonObject here = Columns(q);
    const QSqlRecord record = q.record();
    q.finish();
    for (int i = 0; i < record.count(); ++i) {
        const QString name = record.fieldName(i).toLower();
        if (LeftOut(name) || here.value(name) == sent.value(name)) continue;
        QSqlQuery set(db);
        set.prepare(QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3").arg(table, name, where));
        set.addBindValue(sent.contains(name) ? QVariant(sent.value(name).toString()) : QVariant(record.field(i).metaType()));
        for (const QVariant& k : keys) set.addBindValue(k);
        if (!Run(set, error)) return false;
    }
    return true;
}

}  // namespace

bool TakeContent(QSqlDatabase& db, qint64 id, const QByteArray& content, QSqlError* error) {
    const QJsonObject sent = QJsonDocument::fromJson(content).object();
    if (sent.isEmpty()) return true;
    if (!Align(db, QStringLiteral("recipe_runs"), QStringLiteral("id = ?"), {id}, sent.value(u"row").toObject(), error))
        return false;
    for (const QJsonValue& step : sent.value(u"steps").toArray()) {
        const QJsonObject s = step.toObject();
        if (!Align(db, QStringLiteral("recipe_steps"), QStringLiteral("recipe_run_id = ? AND step_index = ?"),
                   {id, s.value(u"step_index").toString().toInt()}, s, error))
            return false;
    }
    return true;
}

QString CheckArrivingLink(QSqlDatabase& db, qint64 id, const QString& origin, const ChainLink& link,
                          QSqlError* error) {
    if (link.hash.isEmpty()) return {};
    const QByteArray content = UnitTestContent(db, id, error);
    if (Hash(link, content) != link.hash) return QLatin1String(kRefusedChanged);
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT station, local_recipe_run_id FROM recipe_runs WHERE id = ?"));
    q.addBindValue(id);
    if (!Run(q, error) || !q.next()) return QLatin1String(kRefusedBroken);
    const QString station = q.value(0).toString();
    const qint64 ownId = q.value(1).toLongLong();
    q.finish();
    if (link.prevId > 0) {
        // The link before, when the server has it with its hash (one sent before the
        // chain began has none).
        q.prepare(QStringLiteral("SELECT chain_hash FROM recipe_runs WHERE origin = ? AND local_recipe_run_id = ?"));
        q.addBindValue(origin);
        q.addBindValue(link.prevId);
        if (!Run(q, error)) return QLatin1String(kRefusedBroken);
        if (q.next() && !q.value(0).isNull() && q.value(0).toString() != link.prevHash)
            return QLatin1String(kRefusedBroken);
        q.finish();
    }
    q.prepare(QStringLiteral("SELECT COUNT(*) FROM recipe_runs WHERE origin = ? AND station = ? AND chain_seq = ? "
                             "AND id <> ?"));
    q.addBindValue(origin);
    q.addBindValue(station);
    q.addBindValue(link.seq);
    q.addBindValue(id);
    if (!Run(q, error) || !q.next() || q.value(0).toLongLong() > 0) return QLatin1String(kRefusedBroken);
    q.finish();
    if (!KeepLink(db, id, link, error) || !KeepHead(db, ChainKey(origin, station), station, ownId, link, error))
        return QLatin1String(kRefusedBroken);
    return {};
}

ChainReport VerifyChains(QSqlDatabase& db, QSqlError* error) {
    ChainReport report;
    struct Row {
        qint64 serverId, ownId;
        QString station;
        bool server;
        ChainLink link;
    };
    std::map<QString, QList<Row>> chains;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT id, COALESCE(local_recipe_run_id, id), origin, station, chain_seq, chain_prev, "
                             "chain_prev_hash, chain_hash FROM recipe_runs WHERE chain_hash IS NOT NULL "
                             "ORDER BY chain_seq, id"));
    if (!Run(q, error)) return report;
    while (q.next()) {
        Row r{q.value(0).toLongLong(), q.value(1).toLongLong(), q.value(3).toString(), !q.value(2).isNull(),
              {q.value(4).toLongLong(), q.value(5).toLongLong(), q.value(6).toString(), q.value(7).toString()}};
        chains[ChainKey(q.value(2).toString(), r.station)] << r;
    }
    q.finish();
    QHash<QString, std::pair<qint64, qint64>> heads;  // chain: seq, last id
    if (!q.exec(QStringLiteral("SELECT chain, seq, last_id FROM chain_heads"))) {
        if (error) *error = q.lastError();
        return report;
    }
    while (q.next()) heads.insert(q.value(0).toString(), {q.value(1).toLongLong(), q.value(2).toLongLong()});
    q.finish();
    const auto found = [&](ChainFinding::Kind kind, const QString& station, qint64 id) {
        for (const ChainFinding& f : std::as_const(report.findings))
            if (f.kind == kind && f.station == station && f.rowId == id) return;
        report.findings.append({kind, station, id});
    };
    for (auto& [key, rows] : chains) {
        ++report.chains;
        QSet<qint64> present;
        for (const Row& r : rows) present.insert(r.ownId);
        const Row* prev = nullptr;
        for (const Row& r : rows) {
            if (prev && r.link.seq == prev->link.seq) {  // a second row in one place
                found(ChainFinding::Inserted, r.station, r.ownId);
                continue;
            }
            if (Hash(r.link, UnitTestContent(db, r.serverId, error)) != r.link.hash)
                found(ChainFinding::Changed, r.station, r.ownId);
            const qint64 expectedPrev = prev ? prev->ownId : 0;
            // A server holds a station's links from the first one it was sent.
            const bool start = !prev && r.server;
            if (!start && r.link.prevId != expectedPrev) {
                if (r.link.prevId > 0 && !present.contains(r.link.prevId))
                    found(ChainFinding::Removed, r.station, r.link.prevId);
                else if (prev)
                    found(ChainFinding::Inserted, prev->station, prev->ownId);
            } else if (prev && r.link.prevHash != prev->link.hash) {
                found(ChainFinding::Changed, prev->station, prev->ownId);
            }
            ++report.links;
            prev = &r;
        }
        const auto head = heads.constFind(key);
        if (prev && head != heads.constEnd() && head->first > prev->link.seq && !present.contains(head->second))
            found(ChainFinding::Removed, prev->station, head->second);
    }
    // A unit test that ended after the chain began and holds no link was put in by hand.
    q.prepare(QStringLiteral("SELECT COALESCE(local_recipe_run_id, id), station FROM recipe_runs "
                             "WHERE chain_hash IS NULL AND verdict <> 'running' AND id > "
                             "(SELECT CAST(value AS BIGINT) FROM schema_info WHERE name = 'chain_from')"));
    if (!Run(q, error)) return report;
    while (q.next()) found(ChainFinding::Inserted, q.value(1).toString(), q.value(0).toLongLong());
    std::sort(report.findings.begin(), report.findings.end(), [](const ChainFinding& a, const ChainFinding& b) {
        return std::tie(a.station, a.rowId) < std::tie(b.station, b.rowId);
    });
    return report;
}

}  // namespace pb::records
