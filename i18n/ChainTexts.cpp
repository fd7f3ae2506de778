#include "i18n/ChainTexts.h"

#include "i18n/TextRow.h"

namespace pb {
namespace {

// In ChainLine order.
// clang-format off
constexpr TextRow kTexts[] = {
    {{u"records verify: %1 unit test(s) of %2 station(s), every chain whole",
      u"记录检查：%2 个工作站的 %1 个单元测试，所有链完整",
      u"記錄檢查：%2 個工作站的 %1 個單元測試，所有鏈完整"}},
    {{u"station %1, unit test R%2: changed after it was recorded",
      u"工作站 %1，单元测试 R%2：记录后被修改",
      u"工作站 %1，單元測試 R%2：記錄後被修改"}},
    {{u"station %1, unit test R%2: removed",
      u"工作站 %1，单元测试 R%2：已被删除",
      u"工作站 %1，單元測試 R%2：已被刪除"}},
    {{u"station %1, unit test R%2: inserted afterwards",
      u"工作站 %1，单元测试 R%2：事后插入",
      u"工作站 %1，單元測試 R%2：事後插入"}},
    {{u"Records changed after the fact: %1 unit test(s) break the chain",
      u"记录被事后修改：%1 个单元测试破坏了链",
      u"記錄被事後修改：%1 個單元測試破壞了鏈"}},
    {{u"the server refused unit test R%1: %2",
      u"服务器拒收单元测试 R%1：%2",
      u"伺服器拒收單元測試 R%1：%2"}},
    {{u"it was changed after it was recorded",
      u"记录后被修改",
      u"記錄後被修改"}},
    {{u"it does not follow the unit test before it",
      u"与前一个单元测试不衔接",
      u"與前一個單元測試不銜接"}},
    {{u"The records file %1 was deleted or replaced: a new one holds every record",
      u"记录档案 %1 被删除或替换：已新建档案并保存全部记录",
      u"記錄檔案 %1 被刪除或替換：已新建檔案並保存全部記錄"}},
};
// clang-format on
static_assert(std::size(kTexts) == size_t(kChainLineCount));

}  // namespace

QString Text(ChainLine id, int language) { return RowText(kTexts[size_t(id)], language); }

QString RefusalText(const QString& code, int language) {
    return Text(code == QLatin1String("chain-changed") ? ChainLine::RefusedChanged : ChainLine::RefusedBroken,
                language);
}

}  // namespace pb
