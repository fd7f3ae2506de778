#include "firmware/FirmwareFileFacts.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include "firmware/FirmwareImage.h"

namespace pb {

QJsonObject FirmwareFileFacts(const QString& fileName) {
    QJsonObject facts{{QStringLiteral("name"), QFileInfo(fileName).fileName()}};
    const CheckedFile file = ReadFirmwareFile(fileName);
    if (!file.ok()) return facts;
    facts.insert(QStringLiteral("size"), file.size);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (file.size == file.bytes.size()) {
        hash.addData(file.bytes);
    } else {
        // Only the head was read: the hash is of the whole file, read through in pieces.
        QFile whole(fileName);
        if (!whole.open(QIODevice::ReadOnly) || !hash.addData(&whole)) return facts;
    }
    facts.insert(QStringLiteral("sha256"), QString::fromLatin1(hash.result().toHex()));
    // A header that is no text is kept as its bytes, never as a model name.
    const QByteArray header = file.bytes.left(kFirmwareHeaderSize);
    if (IsFirmwareHeader(header))
        facts.insert(QStringLiteral("header"), HeaderText(header));
    else
        facts.insert(QStringLiteral("headerHex"), QString::fromLatin1(header.toHex()));
    return facts;
}

}  // namespace pb
