#include "firmware/ModelCheck.h"

#include "i18n/FeedbackTexts.h"
#include "i18n/FileCheckTexts.h"
#include "i18n/Messages.h"

namespace pb {

QString FirmwareFileLabel(const QByteArray& header, Language language) {
    if (!IsFirmwareHeader(header)) return Text(FeedbackText::NotAFirmwareFile, LanguageIndex(language));
    return HeaderText(header);
}

bool RunModelCheck(const QString& fileName, int modelKind, const QString& versionText,
                   FirmwareBuffer& buffer, TestRunView& view) {
    CheckedFile check;
    const FirmwareLoadResult result = LoadFirmwareFile(fileName, modelKind, versionText, buffer, &check);
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
    // Not a file at all, or far too big: say which, so the user picks the right one.
    if (!check.ok() && check.problem != CheckedFile::Problem::Missing)
        view.setStatusAdvice(FileCheckText(check, LanguageIndex(view.language())));
    view.setLamp(LampColour::Red);
    view.beep(kLowBeepHz, kBeepMs);
    return false;
}

}  // namespace pb
