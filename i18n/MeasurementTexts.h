#pragma once
// What a step measured, in words, made when shown in the reader's language: a name and
// its value ("inputs 10110000 for outputs 1010, cycle 1"), the limits where it failed them.

#include <QString>

#include "evidence/Measurement.h"

namespace pb {

// The measurement's name ("model kind", "inputs"); the name itself when unknown.
QString MeasurementName(const QString& name, int language);
// One measurement: its name, value and unit, what it belongs to, and what was expected
// when it failed.
QString MeasurementText(const Measurement& m, int language);
// A step's measurements in one line, joined by "; " (the first few of a long row of
// readings, then how many more).
QString MeasurementsText(const Measurements& ms, int language);
// The stable names the tool writes, in order: for the docs and the checks of them.
QStringList KnownMeasurementNames();

}  // namespace pb
