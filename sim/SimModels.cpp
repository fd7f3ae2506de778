#include "sim/SimModels.h"

#include <array>

namespace sim {
namespace {

struct ModelRow {
    Model model;
    const char* name;
    int kind;
    const char* product;  // DB positions 8-15
    const char* version;  // DB positions 16-23
    // In the default serial ("25" + this + ID): no two models report the same serial.
    const char* serialCode;
};

// The KV410 fills positions 8-23 with its own text: "KV410 ACCESS" then "0470".
constexpr std::array<ModelRow, 13> kRows{{
    {Model::Kv410, "kv410", 7, "KV410 AC", "CESS0470", "41"},
    {Model::V6, "v6", 6, "KV740MX ", "V6.01.03", "V6"},
    {Model::R6, "r6", 6, "KV740MX ", "R6.01.03", "R6"},
    {Model::V5, "v5", 3, "KV320MX ", "V5.10.02", "V5"},
    {Model::R5, "r5", 3, "KV320MX ", "R5.10.02", "R5"},
    {Model::V4, "v4", 2, "KV350MX ", "V4.07.01", "V4"},
    {Model::R4, "r4", 2, "KV350MX ", "R4.07.01", "R4"},
    {Model::V3, "v3", 1, "KV300MX ", "V3.21.05", "V3"},
    {Model::R3, "r3", 1, "KV300MX ", "R3.21.05", "R3"},
    {Model::V2, "v2", 5, "KV200MX ", "V2.08.00", "V2"},
    {Model::Old20, "old20", 4, "", "", "O2"},
    {Model::Old28, "old28", 4, "", "", "O8"},
    {Model::Unknown, "unknown", 0, "KV990MX ", "X9.00.00", "X9"},
}};

const ModelRow& rowOf(Model m) {
    for (const auto& r : kRows)
        if (r.model == m) return r;
    return kRows.back();
}

}  // namespace

std::optional<Model> modelFromName(const QString& name) {
    const QString key = name.trimmed().toLower();
    for (const auto& r : kRows)
        if (key == QLatin1String(r.name)) return r.model;
    return std::nullopt;
}

QString modelName(Model m) {
    return QString::fromLatin1(rowOf(m).name);
}

QStringList modelNames() {
    QStringList names;
    for (const auto& r : kRows) names.append(QString::fromLatin1(r.name));
    return names;
}

int modelKind(Model m) {
    return rowOf(m).kind;
}

bool hasThreeDigitId(Model m) {
    return m == Model::Old20 || m == Model::Old28;
}

Loader loaderOf(Model m) {
    switch (modelKind(m)) {
        case 3:
        case 6:
            return Loader::A;
        case 1:
        case 2:
        case 5:
            return Loader::B;
        case 4:
            return Loader::C;
        default:
            return Loader::None;
    }
}

int loaderBlockSize(Loader l) {
    switch (l) {
        case Loader::A:
            return 512;
        case Loader::B:
            return 256;
        case Loader::C:
            return 64;
        case Loader::None:
            break;
    }
    return 0;
}

QByteArray acData(Model m) {
    // The families with 256-byte loader blocks answer the short form.
    switch (modelKind(m)) {
        case 1:
        case 2:
        case 5:
            return "04";
        default:
            return "0410";
    }
}

QByteArray dbProduct(Model m) {
    return rowOf(m).product;
}
QByteArray dbVersion(Model m) {
    return rowOf(m).version;
}

QByteArray avData(Model m) {
    return m == Model::Old28 ? QByteArray("KV150RB V2.03.11") : QByteArray("V1.20.05");
}

int ieDataLength(Model m) {
    return m == Model::Old28 ? 40 : 20;
}

QByteArray defaultSerial(Model m, const QString& id) {
    return QByteArray("25") + rowOf(m).serialCode + (hasThreeDigitId(m) ? QByteArray("0") : QByteArray()) +
           id.toLatin1();
}

QString zeroId(Model m) {
    return hasThreeDigitId(m) ? QStringLiteral("000") : QStringLiteral("0000");
}

}  // namespace sim
