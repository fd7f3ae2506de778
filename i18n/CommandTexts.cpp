#include "i18n/CommandTexts.h"

#include "i18n/CauseTexts.h"
#include "i18n/RecipeTexts.h"
#include "i18n/TextRow.h"

namespace pb {
namespace {

// In CommandText order.
// clang-format off
constexpr TextRow kTexts[] = {
    {{u"ID %1, model kind %2, %3, S/N %4", u"ID %1，机型类别 %2，%3，序号 %4", u"ID %1，機型類別 %2，%3，序號 %4"}},
    {{u"%1 cycles, inputs %2, closing command sent", u"%1 个周期，输入 %2，已发送结束指令", u"%1 個週期，輸入 %2，已發送結束指令"}},
    {{u"%1 records read", u"已读取 %1 条记录", u"已讀取 %1 筆記錄"}},
    {{u"reply: %1", u"回复：%1", u"回覆：%1"}},
    {{u"%1 blocks programmed and verified", u"已烧录并检查 %1 块", u"已燒錄並檢查 %1 塊"}},
    {{u"; %1 blocks of the file left out, the model takes %2", u"；档案有 %1 块未写入，此机型只能写入 %2 块",
      u"；檔案有 %1 塊未寫入，此機型只能寫入 %2 塊"}},
    {{u"; nothing was sent", u"；未发送任何内容", u"；未發送任何內容"}},
    {{u" (%1 of %2 blocks programmed, %3 verified); ", u"（已烧录 %1/%2 块，已检查 %3 块）；", u"（已燒錄 %1/%2 塊，已檢查 %3 塊）；"}},
    {{u"the unit may be left half-flashed, without working firmware: upgrade it again before use",
      u"设备可能只烧录了一半，没有可用的韧体：使用前请再次更新",
      u"設備可能只燒錄了一半，沒有可用的韌體：使用前請再次更新"}},
    {{u"programming had not begun, the firmware is as it was", u"尚未开始烧录，韧体维持原样", u"尚未開始燒錄，韌體維持原樣"}},
    {{u"interrupted: %1", u"已中断：%1", u"已中斷：%1"}},
    {{u"programming stopped after block %1 of %2", u"烧录在第 %1/%2 块后停止", u"燒錄在第 %1/%2 塊後停止"}},
    {{u"verify stopped after block %1 of %2", u"检查在第 %1/%2 块后停止", u"檢查在第 %1/%2 塊後停止"}},
    {{u"DI/DO stopped after %1 cycles; closing command sent", u"接点测试在 %1 个周期后停止；已发送结束指令",
      u"接點測試在 %1 個週期後停止；已發送結束指令"}},
    {{u" (try %1 of %2)", u"（第 %1/%2 次）", u"（第 %1/%2 次）"}},
    {{u"try %1 of %2 failed: %3; waiting up to %4 s for the controller to answer again",
      u"第 %1/%2 次失败：%3；等待控制器重新应答，最多 %4 秒", u"第 %1/%2 次失敗：%3；等待控制器重新應答，最多 %4 秒"}},
    {{u"PASS: all %1 steps passed", u"合格：%1 个步骤全部通过", u"合格：%1 個步驟全部通過"}},
    {{u"FAIL at step %1 (%2): %3", u"不合格，第 %1 步（%2）：%3", u"不合格，第 %1 步（%2）：%3"}},
    {{u"FAIL", u"不合格", u"不合格"}},
    {{u"recipe '%1' (%2 steps, SHA-256 %3)", u"配方“%1”（%2 个步骤，SHA-256 %3）", u"配方「%1」（%2 個步驟，SHA-256 %3）"}},
    {{u", no unit serial given: serials not compared", u"，未提供设备序号：不比对序号", u"，未提供設備序號：不比對序號"}},
    {{u", unit serial %1", u"，设备序号 %1", u"，設備序號 %1"}},
    {{u"step %1/%2 %3", u"步骤 %1/%2 %3", u"步驟 %1/%2 %3"}},
    {{u": started", u"：开始", u"：開始"}},
    {{u": try %1", u"：第 %1 次", u"：第 %1 次"}},
    {{u": PASS", u"：合格", u"：合格"}},
    {{u": FAIL", u"：不合格", u"：不合格"}},
    {{u"FAIL: %1", u"不合格：%1", u"不合格：%1"}},
};
// clang-format on
static_assert(std::size(kTexts) == size_t(CommandText::LinkNotOpened) + 1);

}  // namespace

QString Text(CommandText id, int language) { return RowText(kTexts[size_t(id)], language); }

QString Text(CommandText id, const QStringList& args, int language) { return FillArgs(Text(id, language), args); }

QString TryAgainText(int attempt, int of, const Cause& why, int seconds, int language) {
    return Text(CommandText::TryAgain,
                {QString::number(attempt), QString::number(of), CauseText(why, language), QString::number(seconds)},
                language);
}

}  // namespace pb
