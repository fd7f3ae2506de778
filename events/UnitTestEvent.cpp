#include "events/UnitTestEvent.h"

#include "records/exports/RecordsExport.h"
#include "records/store/RecordStore.h"

namespace pb::events {

QString ToolVersion() { return QStringLiteral(PANELBENCH_VERSION); }

QString MessageId(const QString& station, const QString& origin, qint64 recipeRunId) {
    return QStringLiteral("%1/%2/%3").arg(station, origin).arg(recipeRunId);
}

std::optional<QJsonObject> UnitTestPayload(records::RecordStore& store, qint64 recipeRunId, qint64 sequence,
                                           const QString& station, qint64 publishedMs) {
    const std::optional<records::RecipeRunRow> run = store.queries().recipeRun(recipeRunId);
    if (!run) return std::nullopt;
    const QString from = run->station.isEmpty() ? station : run->station;
    QJsonValue unit = QJsonValue::Null;
    if (run->unitIdentified())
        if (const auto row = store.queries().unit(run->unitId); row && row->identified) unit = records::UnitJson(*row);
    return QJsonObject{{"format", QLatin1String(kUnitTestFormat)},
                       {"formatVersion", kUnitTestFormatVersion},
                       {"messageId", MessageId(from, store.outbox().origin(), recipeRunId)},
                       {"station", from},
                       {"origin", store.outbox().origin()},
                       {"sequence", sequence},
                       {"toolVersion", ToolVersion()},
                       {"publishedMs", publishedMs},
                       {"unit", unit},
                       {"unitTest", records::RecipeRunJson(*run)}};
}

}  // namespace pb::events
