#include "sim/SimFirmwareFile.h"

namespace sim {
namespace {

constexpr int kHeaderSize = 16;

// The version text the tool builds from the identity replies, as it shows it.
QByteArray versionText(Model m, const QByteArray& product) {
    if (modelKind(m) == 4)
        return m == Model::Old28 ? avData(m) : QByteArray("KV150RB ") + avData(m);
    return product.left(8).leftJustified(8, ' ') + '-' + dbVersion(m);
}

// The header the tool compares: model kinds 3 and 6 against a fixed text of its own, the
// others against the version text (a KV580 against the KV300's text).
QByteArray headerFor(Model m, const QByteArray& product) {
    QByteArray text = versionText(m, product);
    switch (modelKind(m)) {
        case 3:
            text = "KV320MX-V5" + dbVersion(m).mid(2);
            break;
        case 6:
            text = "KV740MX-V6" + dbVersion(m).mid(2);
            break;
        case 1:
        case 2:
        case 5:
            if (text.startsWith("KV580")) text.replace(0, 5, "KV300");
            break;
        default:
            break;
    }
    return text.left(kHeaderSize).leftJustified(kHeaderSize, ' ');
}

}  // namespace

std::optional<QByteArray> firmwareFileFor(Model m, const QByteArray& product) {
    const int block = loaderBlockSize(loaderOf(m));
    if (block == 0) return std::nullopt;
    QByteArray file = headerFor(m, product.isEmpty() ? dbProduct(m) : product);
    // A pattern that differs from block to block, so a block programmed at the wrong
    // address shows in the flash dump.
    for (int i = 0; i < kFirmwareFileBlocks * block; ++i) file.append(char((i * 7 + i / block) & 0xFF));
    return file;
}

}  // namespace sim
