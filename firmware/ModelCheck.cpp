#include "firmware/ModelCheck.h"

#include <QBuffer>
#include <QFileInfo>

#include "i18n/EndingTexts.h"
#include "i18n/FeedbackTexts.h"
#include "i18n/FileCheckTexts.h"

namespace pb {
namespace {

}  // namespace

QString ExpectedModel(int modelKind, const QString& versionText) {
    const HeaderCheck& check = FamilyOf(modelKind).header;
    if (check.fixedText) return QLatin1String(check.fixedText);
    if (check.kv580Characters > 0 && versionText.left(5) == QLatin1String("KV580"))
        return QStringLiteral("KV300") + versionText.mid(5, 3);
    return versionText.left(check.characters).trimmed();
}

namespace {

// Why a file could not be loaded at all.
Cause LoadFailure(const QString& fileName) {
    if (fileName.isEmpty()) return Cause::of(CauseCode::FileNotChosen);
    const QFileInfo info(fileName);
    if (!info.exists()) return Cause::of(CauseCode::FileMissing, {fileName});
    const std::optional<QByteArray> header = ReadFirmwareHeader(fileName);
    if (!header || info.isDir()) return Cause::of(CauseCode::FileUnreadable, {fileName});
    return Cause::of(CauseCode::FileTooShort, {info.fileName()});
}

}  // namespace

QString FirmwareFileLabel(const QByteArray& header, Language language) {
    if (!IsFirmwareHeader(header)) return Text(FeedbackText::NotAFirmwareFile, LanguageIndex(language));
    return HeaderText(header);
}

std::optional<FileRefusal> CheckFirmwareFile(const QString& fileName, int modelKind,
                                             const QString& versionText, FirmwareBuffer& buffer,
                                             CheckedFile* check) {
    switch (LoadFirmwareFile(fileName, modelKind, versionText, buffer, check)) {
        case FirmwareLoadResult::Ok:
            return std::nullopt;
        case FirmwareLoadResult::LoadError:
            return FileRefusal{MsgId::LoadFirmwareFileError, LoadFailure(fileName)};
        case FirmwareLoadResult::ModelError:
            break;
    }
    // A header of no model at all: say what the file is not, rather than which model.
    const QByteArray header = ReadFirmwareHeader(fileName).value_or(QByteArray());
    if (!IsFirmwareHeader(header))
        return FileRefusal{MsgId::FirmwareFileModelError, Cause::of(CauseCode::FileNotFirmware)};
    return FileRefusal{MsgId::FirmwareFileModelError,
                       Cause::of(CauseCode::FileForOtherModel,
                                 {HeaderText(header).trimmed(), ExpectedModel(modelKind, versionText)})};
}

FirmwareLoadResult LoadFirmwareRelease(const FirmwareRelease& release, int modelKind, const QString& versionText,
                                       FirmwareBuffer& buffer) {
    buffer.erase();
    if (!release.ok()) return FirmwareLoadResult::LoadError;
    QBuffer image;
    image.setData(release.bytes);
    if (!image.open(QIODevice::ReadOnly)) return FirmwareLoadResult::LoadError;
    return LoadFirmwareImage(image, modelKind, versionText, buffer);
}

std::optional<FileRefusal> CheckFirmwareRelease(const FirmwareRelease& release, int modelKind,
                                                const QString& versionText, FirmwareBuffer& buffer) {
    switch (LoadFirmwareRelease(release, modelKind, versionText, buffer)) {
        case FirmwareLoadResult::Ok:
            return std::nullopt;
        case FirmwareLoadResult::LoadError:
            return FileRefusal{MsgId::LoadFirmwareFileError,
                               release.ok() ? Cause::of(CauseCode::FileTooShort, {QFileInfo(release.path).fileName()})
                                            : release.problem};
        case FirmwareLoadResult::ModelError:
            break;
    }
    const QByteArray header = release.header();
    if (!IsFirmwareHeader(header))
        return FileRefusal{MsgId::FirmwareFileModelError, Cause::of(CauseCode::FileNotFirmware)};
    return FileRefusal{MsgId::FirmwareFileModelError,
                       Cause::of(CauseCode::FileForOtherModel,
                                 {HeaderText(header).trimmed(), ExpectedModel(modelKind, versionText)})};
}

QString RefusalStatus(const FileRefusal& refusal, int language) {
    return EndingStatus(refusal.ending, refusal.cause, language);
}

bool RunModelCheck(const QString& fileName, int modelKind, const QString& versionText,
                   FirmwareBuffer& buffer, TestRunView& view, FileRefusal* refusal) {
    return RunReleaseModelCheck(*ReadFirmwareRelease(fileName), modelKind, versionText, buffer, view, refusal);
}

bool RunReleaseModelCheck(const FirmwareRelease& release, int modelKind, const QString& versionText,
                   FirmwareBuffer& buffer, TestRunView& view, FileRefusal* refusal) {
    const CheckedFile& check = release.check;
    const std::optional<FileRefusal> refused = CheckFirmwareRelease(release, modelKind, versionText, buffer);
    if (!refused) return true;
    if (refusal) *refusal = *refused;
    view.setStatus(RefusalStatus(*refused, LanguageIndex(view.language())));
    // Not a file at all, or far too big: say which, so the user picks the right one.
    if (!check.ok() && check.problem != CheckedFile::Problem::Missing)
        view.setStatusAdvice(FileCheckText(check, LanguageIndex(view.language())));
    view.setLamp(LampColour::Red);
    view.beep(kLowBeepHz, kBeepMs);
    return false;
}

}  // namespace pb
