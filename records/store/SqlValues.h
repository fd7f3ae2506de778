#pragma once
// Values as the store's writers bind them.

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QVariant>

namespace pb::records {

// An empty text is stored as NULL.
inline QVariant TextOrNull(const QString& text) {
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

// A run's details as compact JSON text.
inline QString DetailsText(const QJsonObject& details) {
    return QString::fromUtf8(QJsonDocument(details).toJson(QJsonDocument::Compact));
}

}  // namespace pb::records
