#include "firmware/FirmwareFileFacts.h"

#include <QCryptographicHash>
#include <QFileInfo>

#include "firmware/FirmwareImage.h"

namespace pb {

QJsonObject FirmwareFileFacts(const QString& fileName) {
    QJsonObject facts{{QStringLiteral("name"), QFileInfo(fileName).fileName()}};
    const CheckedFile file = ReadFirmwareFile(fileName);
    if (!file.ok()) return facts;
    facts.insert(QStringLiteral("size"), file.size);
    facts.insert(QStringLiteral("sha256"),
                 QString::fromLatin1(QCryptographicHash::hash(file.bytes, QCryptographicHash::Sha256).toHex()));
    // A header that is no text is kept as its bytes, never as a model name.
    const QByteArray header = file.bytes.left(kFirmwareHeaderSize);
    if (IsFirmwareHeader(header))
        facts.insert(QStringLiteral("header"), HeaderText(header));
    else
        facts.insert(QStringLiteral("headerHex"), QString::fromLatin1(header.toHex()));
    return facts;
}

}  // namespace pb
