#pragma once
// The model check run before an upgrade: load the firmware file into the block buffer
// and make sure its header names the connected controller's model.

#include <QString>
#include <optional>

#include "firmware/FirmwareImage.h"
#include "firmware/FirmwareRelease.h"
#include "evidence/Cause.h"
#include "i18n/Messages.h"
#include "procedures/TestRunView.h"

namespace pb {

// What the status line calls a firmware file by its header: the model text it names,
// or "not a firmware file" for a header that is no printable text.
QString FirmwareFileLabel(const QByteArray& header, Language language);

// Why a file was refused before anything was sent: "Load firmware file error!" or
// "Firmware file format model error!", and the reason ("no such file: /path",
// "the file is for KV320MX-V5, the controller is KV740MX-V6", "not a firmware file").
struct FileRefusal {
    MsgId ending = MsgId::LoadFirmwareFileError;
    Cause cause;
};

// Loads the file into the buffer; none when it is loaded and matches the model.
// `check`, when given, says why a file that could not be loaded was refused.
std::optional<FileRefusal> CheckFirmwareFile(const QString& fileName, int modelKind,
                                             const QString& versionText, FirmwareBuffer& buffer,
                                             CheckedFile* check = nullptr);

// The same over a release read once: the buffer is loaded from its bytes.
std::optional<FileRefusal> CheckFirmwareRelease(const FirmwareRelease& release, int modelKind,
                                                const QString& versionText, FirmwareBuffer& buffer);

// Loads the release's image into the buffer and checks its header, as LoadFirmwareFile.
FirmwareLoadResult LoadFirmwareRelease(const FirmwareRelease& release, int modelKind, const QString& versionText,
                                       FirmwareBuffer& buffer);

// The model a header must name for this controller, as the header check compares it.
QString ExpectedModel(int modelKind, const QString& versionText);

// The refusal as the status line shows it, in the language of the message table.
QString RefusalStatus(const FileRefusal& refusal, int language);

// True when the image is loaded and matches. On failure the view shows the refusal's
// status, the lamp turns red and the low beep sounds; `refusal` (if given) says why.
bool RunReleaseModelCheck(const FirmwareRelease& release, int modelKind, const QString& versionText,
                   FirmwareBuffer& buffer, TestRunView& view, FileRefusal* refusal = nullptr);
bool RunModelCheck(const QString& fileName, int modelKind, const QString& versionText,
                   FirmwareBuffer& buffer, TestRunView& view, FileRefusal* refusal = nullptr);

}  // namespace pb
