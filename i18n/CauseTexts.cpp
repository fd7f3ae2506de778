#include "i18n/CauseTexts.h"

#include "i18n/TextRow.h"

namespace pb {
namespace {

struct CauseWords {
    TextRow title;  // short: a column or a tile
    TextRow text;   // whole: "{value}" is the cause's value of that name
};

// In CauseCode order.
// clang-format off
constexpr CauseWords kWords[] = {
    {{{u"Passed", u"通过", u"通過"}},
     {{u"passed", u"通过", u"通過"}}},
    {{{u"No upgrade needed", u"无需更新", u"無需更新"}},
     {{u"version {version} is already in {wanted}: no upgrade needed", u"版本 {version} 已在 {wanted} 内：无需更新",
       u"版本 {version} 已在 {wanted} 內：無需更新"}}},
    {{{u"Blocks left out", u"区块未写入", u"區塊未寫入"}},
     {{u"passed with a warning: {left} blocks of the file left out, the model takes {taken}",
       u"通过（警告）：档案有 {left} 块未写入，此机型只能写入 {taken} 块",
       u"通過（警告）：檔案有 {left} 塊未寫入，此機型只能寫入 {taken} 塊"}}},
    {{{u"Nothing programmed", u"没有烧录", u"沒有燒錄"}},
     {{u"the firmware file holds no image after its header: nothing was programmed",
       u"韧体档案在档头之后没有映像：没有烧录任何内容", u"韌體檔案在檔頭之後沒有映像：沒有燒錄任何內容"}}},
    {{{u"Link not opened", u"无法开启连线", u"無法開啟連線"}},
     {{u"the link could not be opened: {kind}", u"无法开启连线：{kind}", u"無法開啟連線：{kind}"}}},
    {{{u"Line lost", u"连线中断", u"連線中斷"}},
     {{u"the line was lost after {exchanges} exchanges, at {command}", u"{exchanges} 次通讯后连线中断，于 {command}",
       u"{exchanges} 次通訊後連線中斷，於 {command}"}}},
    {{{u"No reply", u"没有回应", u"沒有回應"}},
     {{u"no reply to {command}", u"{command} 没有回应", u"{command} 沒有回應"}}},
    {{{u"Bad checksum", u"校验错误", u"校驗錯誤"}},
     {{u"the reply to {command} failed its checksum", u"{command} 的回应校验错误", u"{command} 的回應校驗錯誤"}}},
    {{{u"Bad reply", u"回应不符", u"回應不符"}},
     {{u"the reply to {command} is {length} bytes, not a reply it has", u"{command} 的回应长度为 {length} 字节，不符",
       u"{command} 的回應長度為 {length} 位元組，不符"}}},
    {{{u"Command too long", u"指令太长", u"指令太長"}},
     {{u"the command is too long", u"指令太长", u"指令太長"}}},
    {{{u"Command not ASCII", u"指令含无法发送的字元", u"指令含無法發送的字元"}},
     {{u"the command has a character that cannot be sent", u"指令含有无法发送的字元", u"指令含有無法發送的字元"}}},
    {{{u"Not sent", u"无法发送", u"無法發送"}},
     {{u"{command} could not be sent", u"{command} 无法发送", u"{command} 無法發送"}}},
    {{{u"No controller", u"没有控制器", u"沒有控制器"}},
     {{u"no controller answered at ID {id}", u"ID {id} 没有控制器回应", u"ID {id} 沒有控制器回應"}}},
    {{{u"Model unknown", u"机型不明", u"機型不明"}},
     {{u"the controller's model is unknown", u"无法辨识控制器机型", u"無法辨識控制器機型"}}},
    {{{u"Not identified", u"尚未辨识", u"尚未辨識"}},
     {{u"no controller identified", u"尚未辨识控制器", u"尚未辨識控制器"}}},
    {{{u"Wrong model kind", u"机型类别不符", u"機型類別不符"}},
     {{u"model kind {found}, expected {expected}", u"机型类别 {found}，应为 {expected}",
       u"機型類別 {found}，應為 {expected}"}}},
    {{{u"Wrong model", u"机型不符", u"機型不符"}},
     {{u"model {found}, expected {expected}", u"机型 {found}，应为 {expected}", u"機型 {found}，應為 {expected}"}}},
    {{{u"Version unreadable", u"版本无法读取", u"版本無法讀取"}},
     {{u"cannot read the version '{version}'", u"无法读取版本“{version}”", u"無法讀取版本「{version}」"}}},
    {{{u"Version out of range", u"版本不在范围内", u"版本不在範圍內"}},
     {{u"version {found} is outside {range}", u"版本 {found} 不在 {range} 内", u"版本 {found} 不在 {range} 內"}}},
    {{{u"Serial number differs", u"序号不符", u"序號不符"}},
     {{u"serial number {reported} does not match the scanned {scanned}", u"序号 {reported} 与扫描的 {scanned} 不符",
       u"序號 {reported} 與掃描的 {scanned} 不符"}}},
    {{{u"Inputs differ", u"输入不符", u"輸入不符"}},
     {{u"cycle {cycle}, outputs {outputs}: inputs {inputs}, expected {expected} (DI{input})",
       u"第 {cycle} 周期，输出 {outputs}：输入 {inputs}，应为 {expected}（DI{input}）",
       u"第 {cycle} 週期，輸出 {outputs}：輸入 {inputs}，應為 {expected}（DI{input}）"}}},
    {{{u"Input not read", u"未读取输入", u"未讀取輸入"}},
     {{u"cycle {cycle}: input {input} was not read", u"第 {cycle} 周期：未读取输入 {input}",
       u"第 {cycle} 週期：未讀取輸入 {input}"}}},
    {{{u"Reply differs", u"回复不符", u"回覆不符"}},
     {{u"reply '{reply}' does not match {pattern}", u"回复“{reply}”不符合 {pattern}", u"回覆「{reply}」不符合 {pattern}"}}},
    {{{u"Too few records", u"记录太少", u"記錄太少"}},
     {{u"{found} records, expected at least {least}", u"{found} 条记录，应至少 {least} 条",
       u"{found} 筆記錄，應至少 {least} 筆"}}},
    {{{u"Too many records", u"记录太多", u"記錄太多"}},
     {{u"{found} records, expected at most {most}", u"{found} 条记录，应最多 {most} 条",
       u"{found} 筆記錄，應最多 {most} 筆"}}},
    {{{u"Bad record", u"记录无法读取", u"記錄無法讀取"}},
     {{u"a record could not be read", u"记录无法读取", u"記錄無法讀取"}}},
    {{{u"Not back after restart", u"重新开机后无应答", u"重新開機後無應答"}},
     {{u"no answer {seconds} s after the restart", u"重新开机后 {seconds} 秒仍无应答",
       u"重新開機後 {seconds} 秒仍無應答"}}},
    {{{u"No firmware file", u"未选择韧体档案", u"未選擇韌體檔案"}},
     {{u"no firmware file chosen", u"尚未选择韧体档案", u"尚未選擇韌體檔案"}}},
    {{{u"File missing", u"找不到档案", u"找不到檔案"}},
     {{u"no such file: {path}", u"找不到档案: {path}", u"找不到檔案: {path}"}}},
    {{{u"File unreadable", u"档案无法读取", u"檔案無法讀取"}},
     {{u"cannot read {path}", u"无法读取 {path}", u"無法讀取 {path}"}}},
    {{{u"File too short", u"档案太短", u"檔案太短"}},
     {{u"{path} is shorter than a firmware header", u"{path} 比韧体档头短", u"{path} 比韌體檔頭短"}}},
    {{{u"Not a firmware file", u"不是韧体档案", u"不是韌體檔案"}},
     {{u"not a firmware file", u"不是韧体档案", u"不是韌體檔案"}}},
    {{{u"File for another model", u"档案机型不符", u"檔案機型不符"}},
     {{u"the file is for {fileModel}, the controller is {controllerModel}", u"档案适用于 {fileModel}，控制器为 {controllerModel}",
       u"檔案適用於 {fileModel}，控制器為 {controllerModel}"}}},
    {{{u"File hash differs", u"档案 SHA-256 不符", u"檔案 SHA-256 不符"}},
     {{u"the firmware file has SHA-256 {sha256}, not the one in the recipe", u"韧体档案的 SHA-256 为 {sha256}，与配方不符",
       u"韌體檔案的 SHA-256 為 {sha256}，與配方不符"}}},
    {{{u"No image", u"没有映像", u"沒有映像"}},
     {{u"the firmware file holds no image after its header: nothing to program",
       u"韧体档案在档头之后没有映像：没有可写入的内容", u"韌體檔案在檔頭之後沒有映像：沒有可寫入的內容"}}},
    {{{u"File too large", u"档案太大", u"檔案太大"}},
     {{u"the firmware image makes {blocks} blocks; this controller reads at most {most}",
       u"韧体映像共 {blocks} 块，此控制器最多读取 {most} 块", u"韌體映像共 {blocks} 塊，此控制器最多讀取 {most} 塊"}}},
    {{{u"File changed", u"档案已变更", u"檔案已變更"}},
     {{u"{path} changed while it was read", u"{path} 在读取时被变更", u"{path} 在讀取時被變更"}}},
    {{{u"Unsigned", u"未签署", u"未簽署"}},
     {{u"the firmware file is not signed", u"韧体档案未签署", u"韌體檔案未簽署"}}},
    {{{u"Bad signature", u"签章无效", u"簽章無效"}},
     {{u"the firmware file's signature does not match it", u"韧体档案的签章与档案不符", u"韌體檔案的簽章與檔案不符"}}},
    {{{u"Untrusted key", u"金钥不受信任", u"金鑰不受信任"}},
     {{u"the firmware file is signed by key {keyId}, which is not trusted", u"韧体档案由不受信任的金钥 {keyId} 签署",
       u"韌體檔案由不受信任的金鑰 {keyId} 簽署"}}},
    {{{u"Not for this model", u"不适用此机型", u"不適用此機型"}},
     {{u"the release is for {models}, not for {model}", u"此版本适用于 {models}，不适用于 {model}",
       u"此版本適用於 {models}，不適用於 {model}"}}},
    {{{u"Downgrade", u"降级", u"降級"}},
     {{u"the unit has {unitVersion}, newer than the image's {imageVersion}: no downgrade",
       u"设备版本 {unitVersion} 比映像版本 {imageVersion} 新：不可降级", u"設備版本 {unitVersion} 比映像版本 {imageVersion} 新：不可降級"}}},
    {{{u"Expired", u"已过期", u"已過期"}},
     {{u"the release expired on {date}", u"此版本已于 {date} 过期", u"此版本已於 {date} 過期"}}},
    {{{u"No loader", u"没有载入程式", u"沒有載入程式"}},
     {{u"model kind {modelKind} has no loader", u"机型 {modelKind} 没有载入程式", u"機型 {modelKind} 沒有載入程式"}}},
    {{{u"Loader not entered", u"未进入载入模式", u"未進入載入模式"}},
     {{u"the controller did not enter its loader", u"控制器未进入载入模式", u"控制器未進入載入模式"}}},
    {{{u"Loader not answering", u"载入程式没有回应", u"載入程式沒有回應"}},
     {{u"the loader did not answer", u"载入程式没有回应", u"載入程式沒有回應"}}},
    {{{u"Flash not erased", u"未清除", u"未清除"}},
     {{u"the loader did not erase", u"载入程式未清除", u"載入程式未清除"}}},
    {{{u"Erase failed", u"清除失败", u"清除失敗"}},
     {{u"block {block} was not erased", u"第 {block} 块未清除", u"第 {block} 塊未清除"}}},
    {{{u"Not programmed", u"烧录失败", u"燒錄失敗"}},
     {{u"block {block} was not programmed", u"第 {block} 块烧录失败", u"第 {block} 塊燒錄失敗"}}},
    {{{u"Not read back", u"无法读回", u"無法讀回"}},
     {{u"block {block} could not be read back", u"第 {block} 块无法读回", u"第 {block} 塊無法讀回"}}},
    {{{u"Verify failed", u"检查失败", u"檢查失敗"}},
     {{u"block {block} differs when read back", u"第 {block} 块读回不符", u"第 {block} 塊讀回不符"}}},
    {{{u"Version after upgrade", u"更新后版本不符", u"更新後版本不符"}},
     {{u"after the upgrade the version is {found}, outside {range}", u"更新后版本为 {found}，不在 {range} 内",
       u"更新後版本為 {found}，不在 {range} 內"}}},
    {{{u"Interrupted", u"已中断", u"已中斷"}},
     {{u"stopped by the operator", u"已被操作员停止", u"已被操作員停止"}}},
    {{{u"Watched", u"人员观察", u"人員觀察"}},
     {{u"watched by the technician: no verdict", u"由技术人员观察：无判定", u"由技術人員觀察：無判定"}}},
    {{{u"Unknown", u"未知", u"未知"}},
     {{u"{text}", u"{text}", u"{text}"}}},
};
// clang-format on
static_assert(std::size(kWords) == size_t(CauseCode::Unknown) + 1, "one row per cause");

// "{name}" replaced by the value of that name, in one pass: a value that itself holds
// braces stays as it is.
QString Filled(const QString& pattern, const Cause& cause) {
    QString text;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == u'{') {
            const qsizetype close = pattern.indexOf(u'}', i + 1);
            if (close > i) {
                text += cause.text(pattern.mid(i + 1, close - i - 1));
                i = close;
                continue;
            }
        }
        text += pattern[i];
    }
    return text;
}

// A link that would not open, by the open's failure (link/LinkError.h's names).
struct OpenKindWords {
    const char* kind;
    TextRow words;
};
constexpr OpenKindWords kOpenKinds[] = {
    {"NotFound", {{u"the port was not found", u"找不到端口", u"找不到埠"}}},
    {"PermissionDenied", {{u"no permission for the port", u"无权开启端口", u"無權開啟埠"}}},
    {"Busy", {{u"the port is in use by another program", u"端口正被其他程序使用", u"埠正被其他程式使用"}}},
    {"BadAddress", {{u"not an IPv4 address", u"IP 地址错误", u"IP 位址錯誤"}}},
    {"BadPort", {{u"not a TCP port", u"TCP 端口错误", u"TCP 埠錯誤"}}},
    {"Refused", {{u"connection refused", u"连线被拒绝", u"連線被拒絕"}}},
    {"Unreachable", {{u"address unreachable", u"无法到达地址", u"無法到達位址"}}},
    {"TimedOut", {{u"no answer", u"没有回应", u"沒有回應"}}},
    {"NoRs485", {{u"the port has no RS-485 mode", u"端口不支持 RS-485 模式", u"埠不支援 RS-485 模式"}}},
    // A fixture's adapter socket: "detail" names the adapter.
    {"AdapterNotFound", {{u"the adapter {detail} is not plugged in", u"转接器 {detail} 没有插上", u"轉接器 {detail} 沒有插上"}}},
    {"AdapterSeveral", {{u"the adapter {detail} is more than one port: name it by its full ID", u"转接器 {detail} 对应多个端口：请用完整 ID 指定", u"轉接器 {detail} 對應多個埠：請用完整 ID 指定"}}},
};

// A line lost between commands: no command to name.
constexpr TextRow kLineLostBetween = {{u"the line was lost after {exchanges} exchanges", u"{exchanges} 次通讯后连线中断",
                                       u"{exchanges} 次通訊後連線中斷"}};

}  // namespace

QString CauseText(const Cause& cause, int language) {
    if (cause.code == CauseCode::LineLost && cause.text(QStringLiteral("command")).isEmpty())
        return Filled(RowText(kLineLostBetween, language), cause);
    if (cause.code == CauseCode::LinkOpenFailed) {
        const QString kind = cause.text(QStringLiteral("kind"));
        for (const OpenKindWords& k : kOpenKinds)
            if (kind == QLatin1String(k.kind)) {
                Cause worded = cause;
                worded.values.insert(QStringLiteral("kind"), Filled(RowText(k.words, language), cause));
                return Filled(RowText(kWords[size_t(cause.code)].text, language), worded);
            }
        // Another failure: the system's own words.
        Cause worded = cause;
        worded.values.insert(QStringLiteral("kind"), cause.text(QStringLiteral("detail")));
        return Filled(RowText(kWords[size_t(cause.code)].text, language), worded);
    }
    return Filled(RowText(kWords[size_t(cause.code)].text, language), cause);
}

QString CauseTitle(CauseCode code, int language) {
    return RowText(kWords[size_t(code)].title, language);
}

}  // namespace pb
