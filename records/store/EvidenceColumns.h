#pragma once
// Causes and measurements as the store keeps them: a cause's code in a column of its own
// (the figures group by it) and its values as JSON beside it; measurements as a JSON
// array. No words: they are made when shown.

#include <QString>
#include <QVariant>

#include "evidence/Cause.h"
#include "evidence/Measurement.h"

namespace pb::records {

// The cause's code and its values (JSON, null without any), as bound to a statement.
QVariant CauseCodeColumn(const Cause& cause);
QVariant CauseValuesColumn(const Cause& cause);
// The cause of a row read back; Unknown (with `oldText` as its text) for a row kept before
// causes were.
Cause CauseOfColumns(const QVariant& code, const QVariant& values, const QString& oldText = {});

QVariant MeasurementsColumn(const Measurements& ms);
Measurements MeasurementsOfColumn(const QVariant& column);

// A list of causes (a step's tries) as JSON, and back.
QVariant CausesColumn(const QList<Cause>& causes);
QList<Cause> CausesOfColumn(const QVariant& column);

}  // namespace pb::records
