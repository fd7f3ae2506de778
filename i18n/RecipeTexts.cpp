#include "i18n/RecipeTexts.h"

#include "i18n/EndingTexts.h"
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
    {{u"line %1, %2: %3", u"第 %1 行，%2：%3", u"第 %1 行，%2：%3"}},
};
static_assert(std::size(kProblems) == size_t(RecipeProblem::MistakeLine) + 1);

constexpr TextRow kReasons[] = {
    {{u"Passed", u"通过", u"通過"}},
    {{u"Version %1 is already in %2: no upgrade needed", u"版本 %1 已在 %2 内：无需更新",
      u"版本 %1 已在 %2 內：無需更新"}},
    {{u"Passed with a warning: %1 blocks of the file left out, the model takes %2",
      u"通过（警告）：档案有 %1 块未写入，此机型只能写入 %2 块",
      u"通過（警告）：檔案有 %1 塊未寫入，此機型只能寫入 %2 塊"}},
    {{u"Model kind %1, expected %2", u"机型类别 %1，应为 %2", u"機型類別 %1，應為 %2"}},
    {{u"Model %1, expected %2", u"机型 %1，应为 %2", u"機型 %1，應為 %2"}},
    {{u"Cannot read the version '%1'", u"无法读取版本“%1”", u"無法讀取版本「%1」"}},
    {{u"Version %1 is outside %2", u"版本 %1 不在 %2 内", u"版本 %1 不在 %2 內"}},
    {{u"Serial number %1 does not match the scanned %2", u"序号 %1 与扫描的 %2 不符",
      u"序號 %1 與掃描的 %2 不符"}},
    {{u"Cycle %1, outputs %2: inputs %3, expected %4", u"第 %1 周期，输出 %2：输入 %3，应为 %4",
      u"第 %1 週期，輸出 %2：輸入 %3，應為 %4"}},
    {{u"Cycle %1: input %2 was not read", u"第 %1 周期：未读取输入 %2",
      u"第 %1 週期：未讀取輸入 %2"}},
    {{u"No reply to %1 in %2 of %3 reads", u"%3 次读取中有 %2 次 %1 没有回复",
      u"%3 次讀取中有 %2 次 %1 沒有回覆"}},
    {{u"Reply '%1' does not match %2", u"回复“%1”不符合 %2", u"回覆「%1」不符合 %2"}},
    {{u"No reply", u"没有回复", u"沒有回覆"}},
    {{u"%1 records, expected at least %2", u"%1 条记录，应至少 %2 条", u"%1 筆記錄，應至少 %2 筆"}},
    {{u"%1 records, expected at most %2", u"%1 条记录，应最多 %2 条", u"%1 筆記錄，應最多 %2 筆"}},
    {{u"Firmware file has SHA-256 %1, not the one in the recipe",
      u"韧体档案的 SHA-256 为 %1，与配方不符", u"韌體檔案的 SHA-256 為 %1，與配方不符"}},
    {{u"Cannot read the firmware file %1", u"无法读取韧体档案 %1", u"無法讀取韌體檔案 %1"}},
    {{u"After the upgrade the version is %1, outside %2", u"更新后版本为 %1，不在 %2 内",
      u"更新後版本為 %1，不在 %2 內"}},
    {{u"No answer %1 s after the reboot", u"重新开机后 %1 秒仍无应答",
      u"重新開機後 %1 秒仍無應答"}},
    {{u"Command %1 failed", u"指令 %1 失败", u"指令 %1 失敗"}},
    {{u"The link could not be opened: %1", u"无法打开连线：%1", u"無法開啟連線：%1"}},
    {{u"No controller answered at ID %1", u"ID %1 没有控制器应答", u"ID %1 沒有控制器應答"}},
    {{u"The firmware does not suit this controller: %1", u"韧体不适用于此控制器：%1",
      u"韌體不適用於此控制器：%1"}},
    {{u"The firmware file holds no image after its header: nothing to program",
      u"韧体档案在档头之后没有映像：没有可写入的内容",
      u"韌體檔案在檔頭之後沒有映像：沒有可寫入的內容"}},
    {{u"The firmware image makes %1 blocks; this controller reads at most %2",
      u"韧体映像共 %1 块，此控制器最多读取 %2 块", u"韌體映像共 %1 塊，此控制器最多讀取 %2 塊"}},
    {{u"Programming or verify failed: %1", u"烧录或检查失败：%1", u"燒錄或檢查失敗：%1"}},
    {{u"Stopped by the operator", u"已被操作员停止", u"已被操作員停止"}},
    {{u"Not run", u"未执行", u"未執行"}},
};
static_assert(std::size(kReasons) == size_t(RecipeReason::NotRun) + 1);

// CommandFailed with the reason the procedure ended with.
constexpr TextRow kCommandFailedBecause = {
    {u"Command %1 failed: %2", u"指令 %1 失败：%2", u"指令 %1 失敗：%2"}};

constexpr TextRow kMeasures[] = {
    {{u"", u"", u""}},
    {{u"ID %1, model kind %2, %3, S/N %4", u"ID %1，机型类别 %2，%3，序号 %4",
      u"ID %1，機型類別 %2，%3，序號 %4"}},
    {{u"alarm level %1", u"警报级别 %1", u"警報級別 %1"}},
    {{u"clock set to %1", u"时钟设为 %1", u"時鐘設為 %1"}},
    {{u"no answer after the reset", u"恢复出厂值后没有应答", u"恢復出廠值後沒有應答"}},
    {{u"factory settings restored, back after %1 s", u"已恢复出厂值，%1 秒后应答",
      u"已恢復出廠值，%1 秒後應答"}},
    {{u"answered after %1 s", u"%1 秒后应答", u"%1 秒後應答"}},
    {{u"no answer within %1 s", u"%1 秒内没有应答", u"%1 秒內沒有應答"}},
    {{u"%1 of %2 patterns read; inputs seen %3", u"已读取 %1/%2 个模式；读到输入 %3",
      u"已讀取 %1/%2 個模式；讀到輸入 %3"}},
    {{u"%1 of %2 patterns read; inputs seen %3, (none)", u"已读取 %1/%2 个模式；读到输入 %3，（无）",
      u"已讀取 %1/%2 個模式；讀到輸入 %3，（無）"}},
    {{u"%1 of %2 patterns read; inputs seen (none)", u"已读取 %1/%2 个模式；读到输入（无）",
      u"已讀取 %1/%2 個模式；讀到輸入（無）"}},
    {{u"%1 records", u"%1 条记录", u"%1 筆記錄"}},
    {{u"reply %1", u"回复 %1", u"回覆 %1"}},
    {{u"no reply", u"没有回复", u"沒有回覆"}},
    {{u"version %1, not upgraded", u"版本 %1，未更新", u"版本 %1，未更新"}},
    {{u"version %1, nothing sent", u"版本 %1，未发送任何数据", u"版本 %1，未傳送任何資料"}},
    {{u"%1 of %2 blocks programmed, %3 verified", u"已烧录 %1/%2 块，已检查 %3 块",
      u"已燒錄 %1/%2 塊，已檢查 %3 塊"}},
    {{u"%1 blocks programmed", u"已烧录 %1 块", u"已燒錄 %1 塊"}},
    {{u"%1 -> %2, %3 blocks programmed", u"%1 -> %2，已烧录 %3 块", u"%1 -> %2，已燒錄 %3 塊"}},
};
static_assert(std::size(kMeasures) == size_t(RecipeMeasure::Upgraded) + 1);

}  // namespace

QString Text(RecipeProblem id, int language) {
    return RowText(kProblems[size_t(id)], language);
}

QString Text(RecipeReason id, int language) {
    return RowText(kReasons[size_t(id)], language);
}

QString Text(RecipeMeasure id, int language) {
    return RowText(kMeasures[size_t(id)], language);
}

QString Text(RecipeMeasure id, const QStringList& args, int language) {
    return FillArgs(Text(id, language), args);
}

QString Text(RecipeProblem id, const QStringList& args, int language) {
    return FillArgs(Text(id, language), args);
}

QString Text(RecipeReason id, const QStringList& args, int language) {
    // A failure that knows why the procedure ended keeps that reason as its arguments
    // (after the command for CommandFailed), worded here in the language asked for.
    const bool command = id == RecipeReason::CommandFailed;
    if (command || id == RecipeReason::FirmwareRefused || id == RecipeReason::FlashFailed) {
        if (const auto ending = EndingReasonFromArgs(command ? args.mid(1) : args)) {
            const QString why = EndingReasonText(*ending, language);
            if (!command) return FillArgs(Text(id, language), {why});
            return FillArgs(RowText(kCommandFailedBecause, language), {args.value(0), why});
        }
    }
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
