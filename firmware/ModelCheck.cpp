#include "firmware/ModelCheck.h"

#include "i18n/Messages.h"

namespace pb {

bool RunModelCheck(const QString& fileName, int modelKind, const QString& versionText,
                   FirmwareBuffer& buffer, TestRunView& view) {
    const FirmwareLoadResult result = LoadFirmwareFile(fileName, modelKind, versionText, buffer);
    if (result == FirmwareLoadResult::Ok) return true;
    const MsgId id = result == FirmwareLoadResult::LoadError ? MsgId::LoadFirmwareFileError
                                                             : MsgId::FirmwareFileModelError;
    view.setStatus(Msg(id, view.language()));
    view.setLamp(LampColour::Red);
    view.beep(kLowBeepHz, kBeepMs);
    return false;
}

}  // namespace pb
