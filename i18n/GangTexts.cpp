#include "i18n/GangTexts.h"

#include <iterator>

#include "i18n/TextRow.h"

namespace pb {
namespace {

// "Socket" is the fixture's 穴位 (docs/glossary.md).
constexpr TextRow kTexts[] = {
    {{u"Test station - %1 (%2 sockets)", u"测试站 - %1 (%2 个穴位)", u"測試站 - %1 (%2 個穴位)"}},
    {{u"Fixture:", u"治具:", u"治具:"}},
    {{u"Scan the serial number of the unit in socket %1.", u"请扫描穴位 %1 中产品的序号。",
      u"請掃描穴位 %1 中產品的序號。"}},
    {{u"Socket %1 chosen: the next scan goes to it.", u"已选择穴位 %1: 下一次扫描归它。",
      u"已選擇穴位 %1: 下一次掃描歸它。"}},
    {{u"Every socket has its serial number: F5 starts the test.", u"每个穴位都有序号: 按 F5 开始测试。",
      u"每個穴位都有序號: 按 F5 開始測試。"}},
    {{u"Testing %1 units. Esc stops them all.", u"正在测试 %1 个产品。按 Esc 全部停止。",
      u"正在測試 %1 個產品。按 Esc 全部停止。"}},
    {{u"Scan %1 ignored: the fixture is under test.", u"已忽略扫描 %1: 治具测试中。",
      u"已忽略掃描 %1: 治具測試中。"}},
    {{u"%1 is already in socket %2.", u"%1 已在穴位 %2。", u"%1 已在穴位 %2。"}},
    {{u"Socket %1 is out of use: %2", u"穴位 %1 已停用: %2", u"穴位 %1 已停用: %2"}},
    {{u"Socket %1 cleared.", u"已清除穴位 %1。", u"已清除穴位 %1。"}},
    {{u"No socket is in use: F8 puts the chosen one back.", u"没有可用的穴位: 按 F8 恢复所选穴位。",
      u"沒有可用的穴位: 按 F8 恢復所選穴位。"}},
    {{u"Stopping every unit...", u"正在停止所有产品...", u"正在停止所有產品..."}},
    {{u"empty", u"空", u"空"}},
    {{u"waiting", u"等待", u"等待"}},
    {{u"step %1 of %2", u"步骤 %1 / %2", u"步驟 %1 / %2"}},
    {{u"step %1 of %2, try %3", u"步骤 %1 / %2, 第 %3 次", u"步驟 %1 / %2, 第 %3 次"}},
    {{u"PASS", u"合格", u"合格"}},
    {{u"FAIL", u"不合格", u"不合格"}},
    {{u"OUT OF USE", u"停用", u"停用"}},
    {{u"step %1 (%2): %3", u"步骤 %1 (%2): %3", u"步驟 %1 (%2): %3"}},
    {{u"%1: %2 / %3", u"%1: %2 / %3", u"%1: %2 / %3"}},
    {{u"%1: programming %2 / %3", u"%1: 烧录 %2 / %3", u"%1: 燒錄 %2 / %3"}},
    {{u"%1: verifying %2 / %3", u"%1: 检查 %2 / %3", u"%1: 檢查 %2 / %3"}},
    {{u"Units: %1", u"产品: %1", u"產品: %1"}},
    {{u"Start (F5)", u"开始 (F5)", u"開始 (F5)"}},
    {{u"Out of use... (F8)", u"停用... (F8)", u"停用... (F8)"}},
    {{u"Back in use (F8)", u"恢复使用 (F8)", u"恢復使用 (F8)"}},
    {{u"Socket %1 out of use", u"停用穴位 %1", u"停用穴位 %1"}},
    {{u"Why is socket %1 taken out of use?", u"为什么停用穴位 %1?", u"為什麼停用穴位 %1?"}},
    {{u"OK", u"确定", u"確定"}},
    {{u"Cancel", u"取消", u"取消"}},
    {{u"The fixture %1 has mistakes:", u"治具 %1 有错误:", u"治具 %1 有錯誤:"}},
    {{u", %1 s left", u"，约剩 %1 秒", u"，約剩 %1 秒"}},
    {{u"%1: waiting for the reply to %2, %3 s", u"%1: 等待 %2 的回应, 已 %3 秒", u"%1: 等待 %2 的回應, 已 %3 秒"}},
    {{u"waiting for %1, %2 s", u"等待 %1, %2 秒", u"等待 %1, %2 秒"}},
};
static_assert(std::size(kTexts) == size_t(GangText::BriefAwaiting) + 1);

}  // namespace

QString Text(GangText id, int language) {
    return RowText(kTexts[size_t(id)], language);
}

}  // namespace pb
