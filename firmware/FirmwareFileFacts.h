#pragma once
// What a run's record says of the firmware file it loaded: name, size, SHA-256 and the
// header text, so that a unit's history names exactly which image went in.

#include <QJsonObject>
#include <QString>

namespace pb {

// {"name", "size", "sha256", "header"}; a file that cannot be read gives its name only,
// one whose header is no printable text "headerHex" (its 16 bytes) instead of "header".
QJsonObject FirmwareFileFacts(const QString& fileName);

}  // namespace pb
