#include "i18n/EventTexts.h"

#include "i18n/Messages.h"
#include "i18n/TextRow.h"

namespace pb {
namespace {

constexpr TextRow kTexts[] = {
    {{u"Granted", u"刷卡通过", u"刷卡通過"}},
    {{u"Denied", u"刷卡拒绝", u"刷卡拒絕"}},
    {{u"Input on", u"输入接通", u"輸入接通"}},
    {{u"Input off", u"输入断开", u"輸入斷開"}},
    {{u"Alarm", u"警报", u"警報"}},
    {{u"Power up", u"开机", u"開機"}},
    {{u"Event %1", u"事件 %1", u"事件 %1"}},
    {{u"door %1", u"门 %1", u"門 %1"}},
    {{u"input %1", u"输入 %1", u"輸入 %1"}},
    {{u"level %1", u"级别 %1", u"級別 %1"}},
    {{u"card %1", u"卡号 %1", u"卡號 %1"}},
    {{u", ", u"，", u"，"}},
    {{u"No records stored", u"没有存储的记录", u"沒有儲存的記錄"}},
};
static_assert(std::size(kTexts) == size_t(EventText::NoRecords) + 1);

}  // namespace

QString Text(EventText id, Language language) {
    return RowText(kTexts[size_t(id)], LanguageIndex(language));
}

}  // namespace pb
