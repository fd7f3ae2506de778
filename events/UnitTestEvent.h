#pragma once
// The message of one unit test as it goes to the broker: the export's own unit test object
// (records/exports: "recipeRuns" items, docs/records.schema.json) with its unit, in an
// envelope that names it once and for all (station, the store's id, the unit test's id), so
// a consumer that gets it twice drops the repeat.

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <optional>

namespace pb::records {
class RecordStore;
}

namespace pb::events {

inline constexpr char kUnitTestFormat[] = "panelbench-unit-test";
inline constexpr int kUnitTestFormatVersion = 2;  // as the records' JSON export

// "<station>/<store id>/<unit test id>": the same for every sending of one unit test.
QString MessageId(const QString& station, const QString& origin, qint64 recipeRunId);

// The payload of `recipeRunId` (null when the store does not hold it). `sequence` is its
// place in the station's queue (grows in the order unit tests end), `publishedMs` the
// envelope's time of sending.
std::optional<QJsonObject> UnitTestPayload(records::RecordStore& store, qint64 recipeRunId, qint64 sequence,
                                           const QString& station, qint64 publishedMs);

QString ToolVersion();

}  // namespace pb::events
