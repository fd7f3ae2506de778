#pragma once
// The records' schema, built and upgraded by numbered steps kept here. The version
// reached is stored in the database (table schema_info, row "version").

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include "records/store/RecordsError.h"
#include "records/store/SqlDialect.h"

namespace pb::records {

// The application tag in schema_info: a database without it is another program's.
inline constexpr char kSchemaApplication[] = "PanelBench records";

struct Migration {
    int version;
    QStringList statements;  // with {KEY}, {BLOB}, {BIG} for the dialect's types
    // Then what SQL alone cannot make from the rows kept before, in the same transaction.
    bool (*fill)(QSqlDatabase& db, QString* error) = nullptr;
};

const QList<Migration>& Migrations();
int LatestSchemaVersion();

// The version of `db`: 0 when empty, -1 when it is another program's database.
int SchemaVersion(QSqlDatabase& db, const SqlDialect& dialect);

// Brings `db` to `target` (default: the latest), each step in its own transaction.
RecordsStatus Migrate(QSqlDatabase& db, const SqlDialect& dialect, int target = -1);

}  // namespace pb::records
