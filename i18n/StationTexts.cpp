#include "i18n/StationTexts.h"

#include <iterator>

#include "i18n/TextRow.h"

namespace pb {
namespace {

constexpr TextRow kTexts[] = {
    {{u"Test station - %1", u"测试站 - %1", u"測試站 - %1"}},
    {{u"&Station mode...", u"测试站模式(&S)...", u"測試站模式(&S)..."}},
    {{u"Product:", u"产品:", u"產品:"}},
    {{u"Recipe:", u"配方:", u"配方:"}},
    {{u"Link:", u"连接:", u"連線:"}},
    {{u"serial %1, %2", u"串口 %1, %2", u"串列埠 %1, %2"}},
    {{u"TCP %1:%2", u"TCP %1:%2", u"TCP %1:%2"}},
    {{u"&Serial number:", u"序号(&S):", u"序號(&S):"}},
    {{u"Scan the serial number of the unit on the fixture.", u"请扫描治具上产品的序号。",
      u"請掃描治具上產品的序號。"}},
    {{u"Testing %1. Scans are ignored until the verdict.", u"正在测试 %1。判定前的扫描将被忽略。",
      u"正在測試 %1。判定前的掃描將被忽略。"}},
    {{u"Scan %1 ignored: a unit is under test.", u"已忽略扫描 %1: 产品测试中。",
      u"已忽略掃描 %1: 產品測試中。"}},
    {{u"Step", u"步骤", u"步驟"}},
    {{u"State", u"状态", u"狀態"}},
    {{u"Measured", u"测量值", u"測量值"}},
    {{u"waiting", u"等待", u"等待"}},
    {{u"running, try %1", u"执行中, 第 %1 次", u"執行中, 第 %1 次"}},
    {{u"passed", u"通过", u"通過"}},
    {{u"failed", u"失败", u"失敗"}},
    {{u"not run", u"未执行", u"未執行"}},
    {{u"READY", u"就绪", u"就緒"}},
    {{u"TESTING %1", u"测试中 %1", u"測試中 %1"}},
    {{u"PASS", u"合格", u"合格"}},
    {{u"FAIL", u"不合格", u"不合格"}},
    {{u"%1: all %2 steps passed", u"%1: 全部 %2 个步骤通过", u"%1: 全部 %2 個步驟通過"}},
    {{u"%1: step %2 (%3) failed: %4", u"%1: 步骤 %2 (%3) 失败: %4", u"%1: 步驟 %2 (%3) 失敗: %4"}},
    {{u"Passed: %1", u"合格: %1", u"合格: %1"}},
    {{u"Failed: %1", u"不合格: %1", u"不合格: %1"}},
    {{u"First-pass yield: %1", u"直通率: %1", u"直通率: %1"}},
    {{u"-", u"-", u"-"}},
    {{u"&Reset counts", u"计数归零(&R)", u"計數歸零(&R)"}},
    {{u"Stop (Esc)", u"停止 (Esc)", u"停止 (Esc)"}},
    {{u"&Close", u"关闭(&C)", u"關閉(&C)"}},
    {{u"Choose a recipe or fixture", u"选择配方或治具", u"選擇配方或治具"}},
    {{u"Recipes and fixtures (*.json)", u"配方与治具 (*.json)", u"配方與治具 (*.json)"}},
    {{u"The recipe %1 has mistakes:", u"配方 %1 有错误:", u"配方 %1 有錯誤:"}},
};
static_assert(std::size(kTexts) == size_t(StationText::RecipeMistakes) + 1);

}  // namespace

QString Text(StationText id, int language) {
    return RowText(kTexts[size_t(id)], language);
}

}  // namespace pb
