#pragma once
// The model check run before an upgrade: load the firmware file into the block buffer
// and make sure its header names the connected controller's model.

#include <QString>

#include "firmware/FirmwareImage.h"
#include "procedures/TestRunView.h"

namespace pb {

// What the status line calls a firmware file by its header: the model text it names,
// or "not a firmware file" for a header that is no printable text.
QString FirmwareFileLabel(const QByteArray& header, Language language);

// True when the image is loaded and matches. On failure the view shows "Load firmware
// file error!" or "Firmware file format model error!" (with "not a firmware file" after
// it for a header that is no text), the lamp turns red and the low beep sounds.
bool RunModelCheck(const QString& fileName, int modelKind, const QString& versionText,
                   FirmwareBuffer& buffer, TestRunView& view);

}  // namespace pb
