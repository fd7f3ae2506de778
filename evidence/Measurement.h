#pragma once
// What a step found, as data: a named value (a number, a text or a row of bits), its unit
// where one applies, the limits the recipe set where it set any, and the judge's outcome.
// Never a sentence: the words are made when shown (i18n/MeasurementTexts.h).
//
//   Measurement::number("cycles-run", 100);
//   Measurement::bits("inputs", "10110000").expecting("1x110000").of("1010").judged(true);
//   Measurement::number("answered-after", 4.2, "s").within(std::nullopt, 30).judged(true);

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

namespace pb {

enum class MeasureOutcome { Info, Pass, Fail };

struct Measurement {
    enum class Kind { Number, Text, Bits };

    QString name;  // stable: "model-kind", "inputs", "blocks-programmed", ...
    Kind kind = Kind::Number;
    double number = 0;
    QString text;      // a text's value, or a row of bits ('0', '1', '-' not read)
    QString unit;      // "s", "ms"; empty for a count or a text
    std::optional<double> low, high;  // the recipe's limits on a number
    QString expected;  // the recipe's text or pattern for a text or bits ('x': any)
    QString of;        // what the value belongs to: a pattern's outputs "1010", ...
    MeasureOutcome outcome = MeasureOutcome::Info;

    static Measurement numberOf(const QString& name, double value, const QString& unit = {});
    static Measurement textOf(const QString& name, const QString& value);
    static Measurement bitsOf(const QString& name, const QString& value);

    Measurement within(std::optional<double> lowest, std::optional<double> highest) const;
    Measurement expecting(const QString& pattern) const;
    Measurement belongingTo(const QString& owner) const;
    Measurement judged(bool pass) const;

    bool operator==(const Measurement&) const = default;
};

using Measurements = QList<Measurement>;

// {"name", "number"|"text"|"bits", "unit", "low", "high", "expected", "of", "outcome"};
// empty fields are left out, outcome "info" too.
QJsonObject ToJson(const Measurement& m);
QJsonArray ToJson(const Measurements& ms);
std::optional<Measurement> MeasurementFromJson(const QJsonObject& json);
Measurements MeasurementsFromJson(const QJsonArray& json);

// "info", "pass", "fail".
QString MeasureOutcomeName(MeasureOutcome outcome);

// The first measurement of that name; none when there is none.
const Measurement* Find(const Measurements& ms, const QString& name);

}  // namespace pb
