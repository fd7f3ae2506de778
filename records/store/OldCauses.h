#pragma once
// The causes of rows kept before causes were: a run's from its outcome and the reason its
// details named ({"cause": "no-reply", "command": "AA"}), a unit test's and a step's from
// their verdict and the English words they kept. What no words or details name is
// unknown, its words kept as its text. Used once, by the schema step that brought causes.

#include <QJsonObject>
#include <QSqlDatabase>
#include <QString>

#include "evidence/Cause.h"

namespace pb::records {

// A run's cause from its stored outcome code, details and status text.
Cause OldRunCause(const QString& outcome, const QJsonObject& details, const QString& statusText);
// A unit test's or step's cause from its verdict code and the reason it kept in English.
Cause OldStepCause(const QString& verdict, const QString& reasonText);

// Fills the new columns of every row kept before, then counts the failures by cause.
bool FillOldCauses(QSqlDatabase& db, QString* error);

}  // namespace pb::records
