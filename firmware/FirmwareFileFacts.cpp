#include "firmware/FirmwareFileFacts.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include "firmware/FirmwareImage.h"

namespace pb {

QJsonObject FirmwareFileFacts(const QString& fileName) {
    QJsonObject facts{{QStringLiteral("name"), QFileInfo(fileName).fileName()}};
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return facts;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) return facts;
    facts.insert(QStringLiteral("size"), file.size());
    facts.insert(QStringLiteral("sha256"), QString::fromLatin1(hash.result().toHex()));
    // A header that is no text is kept as its bytes, never as a model name.
    if (const auto header = ReadFirmwareHeader(fileName)) {
        if (IsFirmwareHeader(*header))
            facts.insert(QStringLiteral("header"), HeaderText(*header));
        else
            facts.insert(QStringLiteral("headerHex"), QString::fromLatin1(header->toHex()));
    }
    return facts;
}

}  // namespace pb
