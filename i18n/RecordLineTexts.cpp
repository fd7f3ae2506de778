#include "i18n/RecordLineTexts.h"

#include "i18n/TextRow.h"

namespace pb {
namespace {

// In RecordLine order.
// clang-format off
constexpr TextRow kTexts[] = {
    {{u"run", u"记录", u"記錄"}},
    {{u"started", u"开始时间", u"開始時間"}},
    {{u"unit", u"设备", u"設備"}},
    {{u"procedure", u"测试", u"測試"}},
    {{u"outcome", u"结果", u"結果"}},
    {{u"time", u"时间", u"時間"}},
    {{u"operator", u"操作员", u"操作員"}},
    {{u"station", u"工作站", u"工作站"}},
    {{u"socket", u"穴位", u"穴位"}},
    {{u"no runs recorded", u"没有测试记录", u"沒有測試記錄"}},
    {{u"no runs recorded that match", u"没有符合的测试记录", u"沒有符合的測試記錄"}},
    {{u"recipe %1", u"配方 %1", u"配方 %1"}},
    {{u"socket %1", u"穴位 %1", u"穴位 %1"}},
    {{u"run", u"记录", u"記錄"}},
    {{u"recipe run", u"配方记录", u"配方記錄"}},
    {{u"unit", u"设备", u"設備"}},
    {{u"model", u"机型", u"機型"}},
    {{u"procedure", u"测试", u"測試"}},
    {{u"unit test", u"单元测试", u"單元測試"}},
    {{u"outcome", u"结果", u"結果"}},
    {{u"cause", u"原因", u"原因"}},
    {{u"found", u"量测", u"量測"}},
    {{u"status", u"状态", u"狀態"}},
    {{u"started", u"开始时间", u"開始時間"}},
    {{u"time", u"时间", u"時間"}},
    {{u"link", u"连接", u"連接"}},
    {{u"station", u"工作站", u"工作站"}},
    {{u"operator", u"操作员", u"操作員"}},
    {{u"details", u"详细资料", u"詳細資料"}},
    {{u"frames", u"帧", u"幀"}},
    {{u"recipe", u"配方", u"配方"}},
    {{u"scanned", u"扫描序号", u"掃描序號"}},
    {{u"verdict", u"判定", u"判定"}},
    {{u"failed at", u"失败于", u"失敗於"}},
    {{u"fixture", u"治具", u"治具"}},
    {{u"%1 (kind %2), ID %3", u"%1（机型类别 %2），ID %3", u"%1（機型類別 %2），ID %3"}},
    {{u"%1 (SHA-256 %2)", u"%1（SHA-256 %2）", u"%1（SHA-256 %2）"}},
    {{u"%1, socket %2", u"%1，穴位 %2", u"%1，穴位 %2"}},
    {{u"%1: recipe %2%3, verdict %4%5", u"%1：配方 %2%3，判定 %4%5", u"%1：配方 %2%3，判定 %4%5"}},
    {{u", step %1 %2", u"，第 %1 步 %2", u"，第 %1 步 %2"}},
    {{u"(run %1)", u"（记录 %1）", u"（記錄 %1）"}},
    {{u"%1 tries: %2", u"%1 次：%2", u"%1 次：%2"}},
    {{u" (%1 in the middle not kept)", u"（中间 %1 帧未保留）", u"（中間 %1 幀未保留）"}},
    {{u"... %1 frames not kept", u"…… %1 帧未保留", u"…… %1 幀未保留"}},
};
// clang-format on
static_assert(std::size(kTexts) == size_t(kRecordLineCount));

}  // namespace

QString Text(RecordLine id, int language) { return RowText(kTexts[size_t(id)], language); }

}  // namespace pb
