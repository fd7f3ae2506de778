#include "i18n/ChartTexts.h"

#include <iterator>

#include "i18n/TextRow.h"

namespace pb {
namespace {

constexpr TextRow kTexts[] = {
    {{u"Records", u"记录", u"記錄"}},
    {{u"Charts", u"图表", u"圖表"}},
    {{u"Unit tests per day", u"每日单元测试", u"每日單元測試"}},
    {{u"Day", u"日期", u"日期"}},
    {{u"Unit tests", u"单元测试", u"單元測試"}},
    {{u"First-pass yield (%)", u"直通率 (%)", u"直通率 (%)"}},
    {{u"Passed", u"通过", u"通過"}},
    {{u"Failed", u"失败", u"失敗"}},
    {{u"First-pass yield", u"直通率", u"直通率"}},
    {{u"%1: %2 unit tests, %3 passed, %4 failed; first-pass yield %5%",
      u"%1: %2 次单元测试, %3 次通过, %4 次失败; 直通率 %5%",
      u"%1: %2 次單元測試, %3 次通過, %4 次失敗; 直通率 %5%"}},
    {{u"Failures by step", u"各步骤失败数", u"各步驟失敗數"}},
    {{u"Step", u"步骤", u"步驟"}},
    {{u"Failures", u"失败数", u"失敗數"}},
    {{u"Cumulative share (%)", u"累计占比 (%)", u"累計佔比 (%)"}},
    {{u"Failures", u"失败数", u"失敗數"}},
    {{u"Cumulative share", u"累计占比", u"累計佔比"}},
    {{u"%1 (%2): %3 failures, %4% of all with the steps before it. Click to list them.",
      u"%1 (%2): 失败 %3 次, 连同之前的步骤占全部的 %4%。点击列出。",
      u"%1 (%2): 失敗 %3 次, 連同之前的步驟佔全部的 %4%。點擊列出。"}},
    {{u"Fixture health: failed / unit tests per socket", u"治具状况: 各穴位 失败 / 单元测试",
      u"治具狀況: 各穴位 失敗 / 單元測試"}},
    {{u"Socket %1 of %2: %3 of %4 unit tests failed (%5%), the rest of the fixture %6%. Click to list them.",
      u"%2 的穴位 %1: %4 次单元测试中 %3 次失败 (%5%), 治具其余穴位 %6%。点击列出。",
      u"%2 的穴位 %1: %4 次單元測試中 %3 次失敗 (%5%), 治具其餘穴位 %6%。點擊列出。"}},
    {{u"Fails more than the rest of its fixture (chance at their rate: %1)",
      u"失败多于治具其余穴位 (按其余穴位的失败率出现的机率: %1)",
      u"失敗多於治具其餘穴位 (按其餘穴位的失敗率出現的機率: %1)"}},
    {{u"No unit tests in the filter", u"筛选范围内没有单元测试", u"篩選範圍內沒有單元測試"}},
    {{u"No failed unit tests in the filter", u"筛选范围内没有失败的单元测试", u"篩選範圍內沒有失敗的單元測試"}},
    {{u"No unit tests on a fixture in the filter", u"筛选范围内没有治具上的单元测试", u"篩選範圍內沒有治具上的單元測試"}},
    {{u"Only socket %1 of fixture %2", u"仅治具 %2 的穴位 %1", u"僅治具 %2 的穴位 %1"}},
    {{u"Only the %3 unit tests of %2 failed at %1", u"仅 %2 在 %1 失败的 %3 次单元测试",
      u"僅 %2 在 %1 失敗的 %3 次單元測試"}},
    {{u"Whole filter", u"整个筛选范围", u"整個篩選範圍"}},
    {{u"Line report: %1", u"产线报告: %1", u"產線報告: %1"}},
    {{u"Line report...", u"产线报告...", u"產線報告..."}},
    {{u"Saved the line report to %1", u"产线报告已保存到 %1", u"產線報告已儲存到 %1"}},
    {{u"all unit tests", u"全部单元测试", u"全部單元測試"}},
    {{u"from %1", u"自 %1", u"自 %1"}},
    {{u"to %1", u"至 %1", u"至 %1"}},
    {{u"serial containing %1", u"序号含 %1", u"序號含 %1"}},
    {{u"station %1", u"工作站 %1", u"工作站 %1"}},
    {{u"fixture %1", u"治具 %1", u"治具 %1"}},
    {{u"socket %1", u"穴位 %1", u"穴位 %1"}},
    {{u"outcome %1", u"结果 %1", u"結果 %1"}},
    {{u"test %1", u"测试 %1", u"測試 %1"}},
    {{u"unit %1", u"设备 %1", u"設備 %1"}},
    {{u"%1 chosen records", u"已选 %1 条记录", u"已選 %1 筆記錄"}},
    {{u"Totals", u"总计", u"總計"}},
    {{u"Units tested", u"受测设备", u"受測設備"}},
    {{u"Retests", u"重测", u"重測"}},
    {{u"Failures by cause", u"各原因失败数", u"各原因失敗數"}},
    {{u"Cause", u"原因", u"原因"}},
    {{u"Share", u"占比", u"佔比"}},
    {{u"Fixture", u"治具", u"治具"}},
    {{u"Socket", u"穴位", u"穴位"}},
    {{u"Failure rate", u"失败率", u"失敗率"}},
    {{u"Rest of fixture", u"治具其余穴位", u"治具其餘穴位"}},
    {{u"Chance at the rest's rate", u"按其余穴位失败率的机率", u"按其餘穴位失敗率的機率"}},
    {{u"Flagged", u"标记", u"標記"}},
    {{u"! fails more than the rest of its fixture", u"! 失败多于治具其余穴位", u"! 失敗多於治具其餘穴位"}},
    {{u"Unit-test time", u"单元测试用时", u"單元測試用時"}},
    {{u"Time (s)", u"用时 (秒)", u"用時 (秒)"}},
    {{u"p50 %1 s, p95 %2 s, p99 %3 s of %4 unit tests", u"%4 次单元测试: p50 %1 秒, p95 %2 秒, p99 %3 秒",
      u"%4 次單元測試: p50 %1 秒, p95 %2 秒, p99 %3 秒"}},
    {{u"%1 to %2 s: %3 unit tests", u"%1 至 %2 秒: %3 次单元测试", u"%1 至 %2 秒: %3 次單元測試"}},
    {{u"Reply latency", u"回复延迟", u"回覆延遲"}},
    {{u"Latency (ms)", u"延迟 (毫秒)", u"延遲 (毫秒)"}},
    {{u"Replies", u"回复数", u"回覆數"}},
    {{u"p50 %1 ms, p95 %2 ms, p99 %3 ms of %4 replies", u"%4 次回复: p50 %1 毫秒, p95 %2 毫秒, p99 %3 毫秒",
      u"%4 次回覆: p50 %1 毫秒, p95 %2 毫秒, p99 %3 毫秒"}},
    {{u"%1 to %2 ms: %3 replies", u"%1 至 %2 毫秒: %3 次回复", u"%1 至 %2 毫秒: %3 次回覆"}},
    {{u"No traffic kept with the runs in the filter", u"筛选范围内的测试没有保存通讯记录",
      u"篩選範圍內的測試沒有保存通訊記錄"}},
};
static_assert(std::size(kTexts) == size_t(ChartText::NoReplies) + 1);

}  // namespace

QString Text(ChartText id, int language) { return RowText(kTexts[size_t(id)], language); }

}  // namespace pb
