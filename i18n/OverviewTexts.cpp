#include "i18n/OverviewTexts.h"

#include <iterator>

#include "i18n/TextRow.h"

namespace pb {
namespace {

constexpr TextRow kTexts[] = {
    {{u"&Line overview", u"产线总览(&L)", u"產線總覽(&L)"}},
    {{u"Line overview", u"产线总览", u"產線總覽"}},
    {{u"Station", u"工位", u"工位"}},
    {{u"Last seen", u"最后在线", u"最後在線"}},
    {{u"State", u"状态", u"狀態"}},
    {{u"Units today", u"今日单元数", u"今日單元數"}},
    {{u"First-pass yield", u"直通率", u"直通率"}},
    {{u"Last failure today", u"今日最近失败", u"今日最近失敗"}},
    {{u"Idle", u"空闲", u"閒置"}},
    {{u"Running %1 on %2 sockets", u"正在运行 %1, %2 个穴位", u"正在執行 %1, %2 個穴位"}},
    {{u"Away", u"离线", u"離線"}},
    {{u"Never", u"从未", u"從未"}},
    {{u"%1 (%2 s ago)", u"%1 (%2 秒前)", u"%1 (%2 秒前)"}},
    {{u"%1, %2: %3", u"%1, %2: %3", u"%1, %2: %3"}},
    {{u"None", u"无", u"無"}},
    {{u"Shared records on %1, read at %2", u"共享记录位于 %1, 读取于 %2", u"共享記錄位於 %1, 讀取於 %2"}},
    {{u"The shared records cannot be read: %1", u"无法读取共享记录: %1", u"無法讀取共享記錄: %1"}},
    {{u"No shared records server is set: File > Shared records... sets one; every station of the line then shows here.",
      u"未设定共享记录服务器: 请在 档案 > 共享记录... 中设定; 之后产线的每个工位都显示在这里。",
      u"未設定共享記錄伺服器: 請在 檔案 > 共享記錄... 中設定; 之後產線的每個工位都顯示在這裡。"}},
};
static_assert(std::size(kTexts) == size_t(OverviewText::NoServerHint) + 1);

}  // namespace

QString Text(OverviewText id, int language) { return RowText(kTexts[size_t(id)], language); }

}  // namespace pb
