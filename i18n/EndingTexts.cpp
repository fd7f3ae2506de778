#include "i18n/EndingTexts.h"

#include "i18n/FeedbackTexts.h"
#include "i18n/RecipeTexts.h"
#include "i18n/TextRow.h"

namespace pb {
namespace {

// In the order of EndingCause; "%1", "%2" are its facts in the order of FactNames.
constexpr TextRow kReasons[] = {
    {{u"", u"", u""}},
    {{u"the line went away after %1 cycles", u"%1 个周期后连线中断", u"%1 個週期後連線中斷"}},
    {{u"the line went away at %1", u"%1 时连线中断", u"%1 時連線中斷"}},
    {{u"no reply to %1", u"%1 没有回应", u"%1 沒有回應"}},
    {{u"the reply to %1 failed its checksum", u"%1 的回应校验错误", u"%1 的回應校驗錯誤"}},
    {{u"unexpected reply to %1", u"%1 的回应不符", u"%1 的回應不符"}},
    {{u"the command is too long", u"指令太长", u"指令太長"}},
    {{u"the command has a character that cannot be sent", u"指令含有无法发送的字元",
      u"指令含有無法發送的字元"}},
    {{u"%1 could not be sent", u"%1 无法发送", u"%1 無法發送"}},
    {{u"no controller answered at ID %1", u"ID %1 没有控制器回应", u"ID %1 沒有控制器回應"}},
    {{u"the controller's model is unknown", u"无法辨识控制器机型", u"無法辨識控制器機型"}},
    {{u"a record could not be read", u"记录无法读取", u"記錄無法讀取"}},
    {{u"no firmware file chosen", u"尚未选择韧体档案", u"尚未選擇韌體檔案"}},
    {{u"no such file: %1", u"找不到档案: %1", u"找不到檔案: %1"}},
    {{u"cannot read %1", u"无法读取 %1", u"無法讀取 %1"}},
    {{u"%1 is shorter than a firmware header", u"%1 比韧体档头短", u"%1 比韌體檔頭短"}},
    {{u"", u"", u""}},  // not a firmware file: the words the file menu shows (FeedbackTexts)
    {{u"the file is for %1, the controller is %2", u"档案适用于 %1，控制器为 %2",
      u"檔案適用於 %1，控制器為 %2"}},
    {{u"no controller identified", u"尚未辨识控制器", u"尚未辨識控制器"}},
    {{u"model kind %1 has no loader", u"机型 %1 没有载入程式", u"機型 %1 沒有載入程式"}},
    {{u"the controller did not enter its loader", u"控制器未进入载入模式", u"控制器未進入載入模式"}},
    {{u"the loader did not answer", u"载入程式没有回应", u"載入程式沒有回應"}},
    {{u"the loader did not erase", u"载入程式未清除", u"載入程式未清除"}},
    {{u"block %1 was not erased", u"第 %1 块未清除", u"第 %1 塊未清除"}},
    {{u"block %1 was not programmed", u"第 %1 块烧录失败", u"第 %1 塊燒錄失敗"}},
    {{u"block %1 could not be read back", u"第 %1 块无法读回", u"第 %1 塊無法讀回"}},
    {{u"block %1 differs when read back", u"第 %1 块读回不符", u"第 %1 塊讀回不符"}},
};
static_assert(std::size(kReasons) == size_t(EndingCause::BlockDiffers) + 1);

// Between a failed upgrade's reason and the warning after it.
constexpr TextRow kSentenceEnd = {{u".", u"。", u"。"}};

}  // namespace

QString EndingReasonText(const EndingReason& reason, int language) {
    if (reason.cause == EndingCause::NotAFirmwareFile)
        return Text(FeedbackText::NotAFirmwareFile, language);
    // One pass over the facts, so a fact that holds "%2" itself stays as it is.
    return FillArgs(RowText(kReasons[size_t(reason.cause)], language), reason.facts);
}

QString EndingStatus(MsgId ending, const EndingReason& reason, int language) {
    const QString head = Msg(ending, LanguageAt(language));
    const QString why = EndingReasonText(reason, language);
    return why.isEmpty() ? head : head + u' ' + why;
}

QString MayLackFirmwareStatus(const EndingReason& reason, int language) {
    QString status = EndingStatus(MsgId::CommandError, reason, language);
    if (reason) status += RowText(kSentenceEnd, language);
    return status + Text(FeedbackText::FlashMayBeBroken, language);
}

}  // namespace pb
