#include "i18n/TrafficTexts.h"

#include "i18n/TextRow.h"

namespace pb {
namespace {

constexpr TextRow kTexts[] = {
    {{u"Traffic monitor", u"通讯监视", u"通訊監視"}},
    {{u"&Traffic monitor", u"通讯监视(&T)", u"通訊監視(&T)"}},
    {{u"Pause", u"暂停", u"暫停"}},
    {{u"Resume", u"继续", u"繼續"}},
    {{u"Clear", u"清除", u"清除"}},
    {{u"Find:", u"查找:", u"尋找:"}},
    {{u"Find next", u"查找下一个", u"尋找下一個"}},
    {{u"Copy", u"复制", u"複製"}},
    {{u"Save...", u"保存...", u"儲存..."}},
    {{u"Save traffic", u"保存通讯记录", u"儲存通訊記錄"}},
    {{u"Text files (*.txt)", u"文字档案 (*.txt)", u"文字檔案 (*.txt)"}},
    {{u"CSV files (*.csv)", u"CSV 档案 (*.csv)", u"CSV 檔案 (*.csv)"}},
    {{u"\"%1\" not found", u"找不到 \"%1\"", u"找不到 \"%1\""}},
    {{u"Cannot save %1: %2", u"无法保存 %1: %2", u"無法儲存 %1: %2"}},
    {{u"%1 frames", u"%1 帧", u"%1 幀"}},
    {{u"%1 frames (%2 older dropped)", u"%1 帧 (已丢弃较早的 %2 帧)", u"%1 幀 (已丟棄較早的 %2 幀)"}},
    {{u"Paused: %1 new frames held back, shown on resume", u"已暂停: %1 个新帧暂存, 继续后显示",
      u"已暫停: %1 個新幀暫存, 繼續後顯示"}},
    {{u"Time", u"时间", u"時間"}},
    {{u"Direction", u"方向", u"方向"}},
    {{u"Bytes", u"字节", u"位元組"}},
    {{u"ID", u"机号", u"機號"}},
    {{u"Command", u"指令", u"指令"}},
    {{u"Data", u"资料", u"資料"}},
    {{u"Checksum", u"校验", u"校驗"}},
    {{u"Reply ms", u"回复毫秒", u"回覆毫秒"}},
    {{u"Sent", u"发送", u"發送"}},
    {{u"Received", u"接收", u"接收"}},
    {{u"Failed", u"失败", u"失敗"}},
    {{u"good", u"正确", u"正確"}},
    {{u"bad", u"错误", u"錯誤"}},
    {{u"lowercase", u"小写", u"小寫"}},
    {{u"none", u"无", u"無"}},
    {{u"No reply within the time limit", u"时限内没有回复", u"時限內沒有回覆"}},
    {{u"Device gone: %1", u"装置已断开: %1", u"裝置已斷開: %1"}},
    {{u"Link closed while waiting", u"等待时连接已关闭", u"等待時連線已關閉"}},
};
static_assert(std::size(kTexts) == size_t(TrafficText::LinkClosed) + 1);

}  // namespace

QString Text(TrafficText id, int language) { return RowText(kTexts[size_t(id)], language); }

}  // namespace pb
