#include "i18n/EndingTexts.h"

#include "i18n/CauseTexts.h"
#include "i18n/FeedbackTexts.h"
#include "i18n/TextRow.h"

namespace pb {
namespace {

// Between a failed upgrade's cause and the warning after it.
constexpr TextRow kSentenceEnd = {{u".", u"。", u"。"}};

}  // namespace

QString EndingStatus(MsgId ending, const Cause& cause, int language) {
    const QString head = Msg(ending, LanguageAt(language));
    if (cause.passed()) return head;
    // A failure no one named (a body that only said it failed) reads as the ending alone.
    const QString why = CauseText(cause, language);
    return why.isEmpty() ? head : head + u' ' + why;
}

MsgId ErrorEnding(const Cause& cause) {
    switch (cause.code) {
        case CauseCode::FileNotChosen:
        case CauseCode::FileMissing:
        case CauseCode::FileUnreadable:
        case CauseCode::FileTooShort:
        case CauseCode::FileChanged:
            return MsgId::LoadFirmwareFileError;
        case CauseCode::FileNotFirmware:
        case CauseCode::FileForOtherModel:
            return MsgId::FirmwareFileModelError;
        default:
            return MsgId::CommandError;
    }
}

QString MayLackFirmwareStatus(const Cause& cause, int language) {
    QString status = EndingStatus(MsgId::CommandError, cause, language);
    if (!cause.passed()) status += RowText(kSentenceEnd, language);
    return status + Text(FeedbackText::FlashMayBeBroken, language);
}

}  // namespace pb
