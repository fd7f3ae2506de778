#pragma once
// A run that ended well but did not do all it was given (an upgrade that left blocks of
// the file out, or had no image to program) carries a warning code in its details; the
// lists and exports show it beside the outcome.

#include <QJsonObject>
#include <QString>

namespace pb::records {

// "blocks-left-out", "nothing-programmed"; empty when the run has no warning.
QString RunWarningCode(const QJsonObject& details);

// The warning after an outcome's name: " (warning: 276 blocks of the file left out)" in
// the language given; empty when the run has none.
QString RunWarningText(const QJsonObject& details, int language);

}  // namespace pb::records
