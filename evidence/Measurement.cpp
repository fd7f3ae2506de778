#include "evidence/Measurement.h"

namespace pb {

Measurement Measurement::numberOf(const QString& name, double value, const QString& unit) {
    Measurement m;
    m.name = name;
    m.kind = Kind::Number;
    m.number = value;
    m.unit = unit;
    return m;
}

Measurement Measurement::textOf(const QString& name, const QString& value) {
    Measurement m;
    m.name = name;
    m.kind = Kind::Text;
    m.text = value;
    return m;
}

Measurement Measurement::bitsOf(const QString& name, const QString& value) {
    Measurement m = textOf(name, value);
    m.kind = Kind::Bits;
    return m;
}

Measurement Measurement::within(std::optional<double> lowest, std::optional<double> highest) const {
    Measurement m = *this;
    m.low = lowest;
    m.high = highest;
    return m;
}

Measurement Measurement::expecting(const QString& pattern) const {
    Measurement m = *this;
    m.expected = pattern;
    return m;
}

Measurement Measurement::belongingTo(const QString& owner) const {
    Measurement m = *this;
    m.of = owner;
    return m;
}

Measurement Measurement::judged(bool pass) const {
    Measurement m = *this;
    m.outcome = pass ? MeasureOutcome::Pass : MeasureOutcome::Fail;
    return m;
}

QString MeasureOutcomeName(MeasureOutcome outcome) {
    switch (outcome) {
        case MeasureOutcome::Pass:
            return QStringLiteral("pass");
        case MeasureOutcome::Fail:
            return QStringLiteral("fail");
        case MeasureOutcome::Info:
            break;
    }
    return QStringLiteral("info");
}

QJsonObject ToJson(const Measurement& m) {
    QJsonObject json{{QStringLiteral("name"), m.name}};
    switch (m.kind) {
        case Measurement::Kind::Number:
            json.insert(QStringLiteral("number"), m.number);
            break;
        case Measurement::Kind::Text:
            json.insert(QStringLiteral("text"), m.text);
            break;
        case Measurement::Kind::Bits:
            json.insert(QStringLiteral("bits"), m.text);
            break;
    }
    if (!m.unit.isEmpty()) json.insert(QStringLiteral("unit"), m.unit);
    if (m.low) json.insert(QStringLiteral("low"), *m.low);
    if (m.high) json.insert(QStringLiteral("high"), *m.high);
    if (!m.expected.isEmpty()) json.insert(QStringLiteral("expected"), m.expected);
    if (!m.of.isEmpty()) json.insert(QStringLiteral("of"), m.of);
    if (m.outcome != MeasureOutcome::Info) json.insert(QStringLiteral("outcome"), MeasureOutcomeName(m.outcome));
    return json;
}

QJsonArray ToJson(const Measurements& ms) {
    QJsonArray array;
    for (const Measurement& m : ms) array.append(ToJson(m));
    return array;
}

std::optional<Measurement> MeasurementFromJson(const QJsonObject& json) {
    Measurement m;
    m.name = json.value(QStringLiteral("name")).toString();
    if (m.name.isEmpty()) return std::nullopt;
    if (json.contains(QStringLiteral("number"))) {
        m.kind = Measurement::Kind::Number;
        m.number = json.value(QStringLiteral("number")).toDouble();
    } else if (json.contains(QStringLiteral("bits"))) {
        m.kind = Measurement::Kind::Bits;
        m.text = json.value(QStringLiteral("bits")).toString();
    } else if (json.contains(QStringLiteral("text"))) {
        m.kind = Measurement::Kind::Text;
        m.text = json.value(QStringLiteral("text")).toString();
    } else {
        return std::nullopt;
    }
    m.unit = json.value(QStringLiteral("unit")).toString();
    if (json.contains(QStringLiteral("low"))) m.low = json.value(QStringLiteral("low")).toDouble();
    if (json.contains(QStringLiteral("high"))) m.high = json.value(QStringLiteral("high")).toDouble();
    m.expected = json.value(QStringLiteral("expected")).toString();
    m.of = json.value(QStringLiteral("of")).toString();
    const QString outcome = json.value(QStringLiteral("outcome")).toString();
    m.outcome = outcome == QLatin1String("pass")   ? MeasureOutcome::Pass
                : outcome == QLatin1String("fail") ? MeasureOutcome::Fail
                                                   : MeasureOutcome::Info;
    return m;
}

Measurements MeasurementsFromJson(const QJsonArray& json) {
    Measurements ms;
    for (const QJsonValue& v : json)
        if (const auto m = MeasurementFromJson(v.toObject())) ms << *m;
    return ms;
}

const Measurement* Find(const Measurements& ms, const QString& name) {
    for (const Measurement& m : ms)
        if (m.name == name) return &m;
    return nullptr;
}

}  // namespace pb
