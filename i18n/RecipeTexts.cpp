#include "i18n/RecipeTexts.h"

#include "i18n/Messages.h"
#include "i18n/TextRow.h"

namespace pb {
namespace {

constexpr TextRow kProblems[] = {
    {{u"cannot read %1", u"无法读取 %1", u"無法讀取 %1"}},
    {{u"%1 is not a regular file (a folder, pipe or device)",
      u"%1 不是一般档案 (而是文件夹、管道或装置)", u"%1 不是一般檔案 (而是資料夾、管道或裝置)"}},
    {{u"%1 is %2 bytes, more than the %3 bytes a recipe may have",
      u"%1 有 %2 字节，超过配方上限 %3 字节", u"%1 有 %2 位元組，超過配方上限 %3 位元組"}},
    {{u"JSON syntax error: %1", u"JSON 语法错误：%1", u"JSON 語法錯誤：%1"}},
    {{u"the recipe must be one JSON object", u"配方必须是一个 JSON 对象",
      u"配方必須是一個 JSON 物件"}},
    {{u"schema %1 is not supported (this version reads schema 1)",
      u"不支持架构 %1（本版本读取架构 1）", u"不支援架構 %1（本版本讀取架構 1）"}},
    {{u"missing field", u"缺少字段", u"缺少欄位"}},
    {{u"wrong type, wants %1", u"类型错误，应为 %1", u"類型錯誤，應為 %1"}},
    {{u"unknown field", u"未知字段", u"未知欄位"}},
    {{u"unknown step kind '%1'", u"未知步骤类型“%1”", u"未知步驟類型「%1」"}},
    {{u"out of range, allowed %1 to %2", u"超出范围，允许 %1 至 %2", u"超出範圍，允許 %1 至 %2"}},
    {{u"must not be empty", u"不能为空", u"不能為空"}},
    {{u"the recipe has no steps", u"配方没有步骤", u"配方沒有步驟"}},
    {{u"'%1' is not a version text like V6.01.03", u"“%1”不是版本文字（如 V6.01.03）",
      u"「%1」不是版本文字（如 V6.01.03）"}},
    {{u"bad range: the minimum is above the maximum, or no bound is given",
      u"范围错误：最小值大于最大值，或没有给出界限",
      u"範圍錯誤：最小值大於最大值，或沒有給出界限"}},
    {{u"not a SHA-256 (64 hexadecimal digits)", u"不是 SHA-256（64 位十六进制数字）",
      u"不是 SHA-256（64 位十六進位數字）"}},
    {{u"wants %1", u"应为 %1", u"應為 %1"}},
    {{u"not a valid regular expression: %1", u"不是有效的正则表达式：%1",
      u"不是有效的正規表示式：%1"}},
    {{u"not a date and time like 2026-01-31T08:00:00", u"不是日期时间（如 2026-01-31T08:00:00）",
      u"不是日期時間（如 2026-01-31T08:00:00）"}},
    {{u"wants \"stop\" or \"go-on\"", u"应为“stop”或“go-on”", u"應為「stop」或「go-on」"}},
    {{u"wants the numbers of steps one after another, from 1, ending at this step (%1)",
      u"应为连续的步骤编号（从 1 起），并以本步骤（%1）结束", u"應為連續的步驟編號（從 1 起），並以本步驟（%1）結束"}},
    {{u"line %1, %2: %3", u"第 %1 行，%2：%3", u"第 %1 行，%2：%3"}},
};
static_assert(std::size(kProblems) == size_t(RecipeProblem::MistakeLine) + 1);

}  // namespace

QString Text(RecipeProblem id, int language) {
    return RowText(kProblems[size_t(id)], language);
}

QString Text(RecipeProblem id, const QStringList& args, int language) {
    return FillArgs(Text(id, language), args);
}

QString FillArgs(const QString& pattern, const QStringList& args) {
    QString text;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == u'%' && i + 1 < pattern.size() && pattern[i + 1] >= u'1' &&
            pattern[i + 1] <= u'9') {
            const qsizetype n = pattern[i + 1].unicode() - u'1';
            if (n < args.size()) {
                text += args[n];
                ++i;
                continue;
            }
        }
        text += c;
    }
    return text;
}

}  // namespace pb
