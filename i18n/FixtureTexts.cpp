#include "i18n/FixtureTexts.h"

#include "i18n/RecipeTexts.h"
#include "i18n/TextRow.h"

namespace pb {
namespace {

constexpr TextRow kProblems[] = {
    {{u"cannot read %1", u"无法读取 %1", u"無法讀取 %1"}},
    {{u"%1 is not a regular file (a folder, pipe or device)",
      u"%1 不是一般档案 (而是文件夹、管道或装置)", u"%1 不是一般檔案 (而是資料夾、管道或裝置)"}},
    {{u"%1 is %2 bytes, more than the %3 bytes a fixture may have",
      u"%1 有 %2 字节，超过治具上限 %3 字节", u"%1 有 %2 位元組，超過治具上限 %3 位元組"}},
    {{u"JSON syntax error: %1", u"JSON 语法错误：%1", u"JSON 語法錯誤：%1"}},
    {{u"the fixture must be one JSON object", u"治具必须是一个 JSON 对象",
      u"治具必須是一個 JSON 物件"}},
    {{u"schema %1 is not supported (this version reads schema 1)",
      u"不支持架构 %1（本版本读取架构 1）", u"不支援架構 %1（本版本讀取架構 1）"}},
    {{u"missing field", u"缺少字段", u"缺少欄位"}},
    {{u"wrong type, wants %1", u"类型错误，应为 %1", u"類型錯誤，應為 %1"}},
    {{u"unknown field", u"未知字段", u"未知欄位"}},
    {{u"must not be empty", u"不能为空", u"不能為空"}},
    {{u"%1 sockets: a fixture holds 1 to %2", u"%1 个穴位：治具可有 1 至 %2 个",
      u"%1 個穴位：治具可有 1 至 %2 個"}},
    {{u"the socket name '%1' is already used at line %2", u"穴位名称“%1”已在第 %2 行使用",
      u"穴位名稱「%1」已在第 %2 行使用"}},
    {{u"no link: name one of tcp, serial or adapter", u"没有连线：请指定 tcp、serial 或 adapter 之一",
      u"沒有連線：請指定 tcp、serial 或 adapter 之一"}},
    {{u"two links (%1): name only one of tcp, serial or adapter",
      u"有两个连线（%1）：只能指定 tcp、serial 或 adapter 之一",
      u"有兩個連線（%1）：只能指定 tcp、serial 或 adapter 之一"}},
    {{u"the recipe %1 is not there", u"找不到配方 %1", u"找不到配方 %1"}},
    {{u"in the recipe %1: %2", u"配方 %1 中：%2", u"配方 %1 中：%2"}},
    {{u"'%1' is not IPv4:PORT, like 127.0.0.1:4001 (four numbers 0-255, a port 1 to 65535; names such as localhost are not looked up)",
      u"“%1”不是 IPv4:端口（如 127.0.0.1:4001，四个 0-255 的数字，端口 1 至 65535；不解析 localhost 等名称）",
      u"「%1」不是 IPv4:埠（如 127.0.0.1:4001，四個 0-255 的數字，埠 1 至 65535；不解析 localhost 等名稱）"}},
    {{u"'%1' is not serial parameters like 19200,e,8,1", u"“%1”不是序列参数（如 19200,e,8,1）",
      u"「%1」不是序列參數（如 19200,e,8,1）"}},
    {{u"'%1': wants \"when-full\" or \"on-key\"", u"“%1”：应为“when-full”或“on-key”",
      u"「%1」：應為「when-full」或「on-key」"}},
    {{u"'%1' is not an adapter like usb:0403:6001:sn=A50285BI or FT232R:A10K3Z9Q",
      u"“%1”不是转接器（如 usb:0403:6001:sn=A50285BI 或 FT232R:A10K3Z9Q）",
      u"「%1」不是轉接器（如 usb:0403:6001:sn=A50285BI 或 FT232R:A10K3Z9Q）"}},
    {{u"'%1' is not a device ID of three or four digits", u"“%1”不是三或四位数字的装置 ID",
      u"「%1」不是三或四位數字的裝置 ID"}},
    {{u"%1 goes with serial or adapter, not tcp", u"%1 只用于 serial 或 adapter，不用于 tcp",
      u"%1 只用於 serial 或 adapter，不用於 tcp"}},
};
static_assert(std::size(kProblems) == size_t(FixtureProblem::NotForTcp) + 1);

constexpr TextRow kTexts[] = {
    {{u"the adapter %1 is not plugged in", u"转接器 %1 没有插上", u"轉接器 %1 沒有插上"}},
    {{u"the adapter %1 is more than one port (%2): name it by its full ID",
      u"转接器 %1 对应多个端口（%2）：请用完整 ID 指定", u"轉接器 %1 對應多個埠（%2）：請用完整 ID 指定"}},
    {{u"socket %1 left out: no --unit-serial given for it", u"穴位 %1 未测试：没有给它 --unit-serial",
      u"穴位 %1 未測試：沒有給它 --unit-serial"}},
};
static_assert(std::size(kTexts) == size_t(FixtureText::SocketLeftOut) + 1);

}  // namespace

QString Text(FixtureProblem id, const QStringList& args, int language) {
    return FillArgs(RowText(kProblems[int(id)], language), args);
}

QString Text(FixtureText id, const QStringList& args, int language) {
    return FillArgs(RowText(kTexts[int(id)], language), args);
}

}  // namespace pb
