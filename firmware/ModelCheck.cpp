#include "firmware/ModelCheck.h"

#include "i18n/FeedbackTexts.h"
#include "i18n/Messages.h"

namespace pb {

QString FirmwareFileLabel(const QByteArray& header, Language language) {
    if (!IsFirmwareHeader(header)) return Text(FeedbackText::NotAFirmwareFile, LanguageIndex(language));
    return HeaderText(header);
}

bool RunModelCheck(const QString& fileName, int modelKind, const QString& versionText,
                   FirmwareBuffer& buffer, TestRunView& view) {
    const FirmwareLoadResult result = LoadFirmwareFile(fileName, modelKind, versionText, buffer);
    if (result == FirmwareLoadResult::Ok) return true;
    const MsgId id = result == FirmwareLoadResult::LoadError ? MsgId::LoadFirmwareFileError
                                                             : MsgId::FirmwareFileModelError;
    QString status = Msg(id, view.language());
    // A header of no model at all: say what the file is not, rather than which model.
    if (result == FirmwareLoadResult::ModelError) {
        const std::optional<QByteArray> header = ReadFirmwareHeader(fileName);
        if (header && !IsFirmwareHeader(*header))
            status += QStringLiteral(" (") + FirmwareFileLabel(*header, view.language()) +
                      QStringLiteral(")");
    }
    view.setStatus(status);
    view.setLamp(LampColour::Red);
    view.beep(kLowBeepHz, kBeepMs);
    return false;
}

}  // namespace pb
