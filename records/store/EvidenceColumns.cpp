#include "records/store/EvidenceColumns.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace pb::records {
namespace {

QVariant NullText() { return QVariant(QMetaType::fromType<QString>()); }

QString Compact(const QJsonObject& o) { return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)); }
QString Compact(const QJsonArray& a) { return QString::fromUtf8(QJsonDocument(a).toJson(QJsonDocument::Compact)); }

}  // namespace

QVariant CauseCodeColumn(const Cause& cause) { return cause.name(); }

QVariant CauseValuesColumn(const Cause& cause) {
    return cause.values.isEmpty() ? NullText() : QVariant(Compact(cause.values));
}

Cause CauseOfColumns(const QVariant& code, const QVariant& values, const QString& oldText) {
    const std::optional<CauseCode> named = code.isNull() ? std::nullopt : CauseCodeNamed(code.toString());
    if (!named) return Cause::of(CauseCode::Unknown, {oldText});
    QJsonObject json = QJsonDocument::fromJson(values.toString().toUtf8()).object();
    json.insert(QStringLiteral("code"), code.toString());
    return CauseFromJson(json).value_or(Cause::of(*named));
}

QVariant MeasurementsColumn(const Measurements& ms) { return ms.isEmpty() ? NullText() : QVariant(Compact(ToJson(ms))); }

Measurements MeasurementsOfColumn(const QVariant& column) {
    if (column.isNull()) return {};
    return MeasurementsFromJson(QJsonDocument::fromJson(column.toString().toUtf8()).array());
}

QVariant CausesColumn(const QList<Cause>& causes) {
    if (causes.isEmpty()) return NullText();
    QJsonArray a;
    for (const Cause& c : causes) a.append(ToJson(c));
    return Compact(a);
}

QList<Cause> CausesOfColumn(const QVariant& column) {
    QList<Cause> causes;
    if (column.isNull()) return causes;
    for (const QJsonValue& v : QJsonDocument::fromJson(column.toString().toUtf8()).array())
        if (const auto c = CauseFromJson(v.toObject())) causes << *c;
    return causes;
}

}  // namespace pb::records
