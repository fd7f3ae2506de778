#include "i18n/RecordsTexts.h"

#include <QRegularExpression>
#include <QStringList>

#include "i18n/Messages.h"
#include "i18n/RecipeTexts.h"
#include "i18n/TextRow.h"
#include "i18n/TrafficTexts.h"

namespace pb {
namespace {

constexpr TextRow kTexts[] = {
    {{u"Unit records", u"设备记录", u"設備記錄"}},
    {{u"Unit &records...", u"设备记录(&R)...", u"設備記錄(&R)..."}},
    {{u"&Operator...", u"操作员(&O)...", u"操作員(&O)..."}},
    {{u"&View", u"查看(&V)", u"檢視(&V)"}},
    {{u"Operator", u"操作员", u"操作員"}},
    {{u"Name kept with every test run:", u"每次测试记录的操作员姓名:", u"每次測試記錄的操作員姓名:"}},
    {{u"Serial number:", u"序号:", u"序號:"}},
    {{u"Dates from", u"日期从", u"日期從"}},
    {{u"to", u"到", u"到"}},
    {{u"Outcome:", u"结果:", u"結果:"}},
    {{u"Test:", u"测试:", u"測試:"}},
    {{u"Fixture:", u"治具:", u"治具:"}},
    {{u"Socket:", u"穴位:", u"穴位:"}},
    {{u"(any)", u"(全部)", u"(全部)"}},
    {{u"(all units)", u"(全部设备)", u"(全部設備)"}},
    {{u"Units", u"设备", u"設備"}},
    {{u"Test runs", u"测试记录", u"測試記錄"}},
    {{u"Run details", u"测试详情", u"測試詳情"}},
    {{u"Traffic", u"通讯", u"通訊"}},
    {{u"Serial number", u"序号", u"序號"}},
    {{u"Link", u"连接", u"連接"}},
    {{u"Model", u"机型", u"機型"}},
    {{u"Version", u"版本", u"版本"}},
    {{u"Last seen", u"最后连接", u"最後連接"}},
    {{u"Started", u"开始时间", u"開始時間"}},
    {{u"Unit", u"设备", u"設備"}},
    {{u"Test", u"测试", u"測試"}},
    {{u"Outcome", u"结果", u"結果"}},
    {{u"Duration", u"耗时", u"耗時"}},
    {{u"Operator", u"操作员", u"操作員"}},
    {{u"Station", u"工作站", u"工作站"}},
    {{u"Status", u"状态", u"狀態"}},
    {{u"Time", u"时间", u"時間"}},
    {{u"Direction", u"方向", u"方向"}},
    {{u"Bytes", u"数据", u"資料"}},
    {{u"Verdict", u"校验", u"校驗"}},
    {{u"Note", u"备注", u"備註"}},
    {{u"Fixture", u"治具", u"治具"}},
    {{u"Socket", u"穴位", u"穴位"}},
    {{u"Running", u"进行中", u"進行中"}},
    {{u"OK", u"成功", u"成功"}},
    {{u"Error", u"错误", u"錯誤"}},
    {{u"Open failed", u"打开失败", u"開啟失敗"}},
    {{u"Interrupted", u"中断", u"中斷"}},
    {{u"Watched", u"人员观察", u"人員觀察"}},
    {{u"Sent", u"发送", u"傳送"}},
    {{u"Received", u"接收", u"接收"}},
    {{u"Failed", u"失败", u"失敗"}},
    {{u"... %1 frames not kept ...", u"... %1 帧未保存 ...", u"... %1 幀未儲存 ..."}},
    {{u"Unidentified (%1)", u"未识别 (%1)", u"未識別 (%1)"}},
    {{u"Export JSON...", u"导出 JSON...", u"匯出 JSON..."}},
    {{u"Export CSV...", u"导出 CSV...", u"匯出 CSV..."}},
    {{u"HTML report...", u"HTML 报告...", u"HTML 報告..."}},
    {{u"PDF report...", u"PDF 报告...", u"PDF 報告..."}},
    {{u"Close", u"关闭", u"關閉"}},
    {{u"OK", u"确定", u"確定"}},
    {{u"Cancel", u"取消", u"取消"}},
    {{u"Exported %1 runs to %2", u"已导出 %1 条记录到 %2", u"已匯出 %1 筆記錄到 %2"}},
    {{u"Could not write %1: %2", u"无法写入 %1: %2", u"無法寫入 %1: %2"}},
    {{u"Choose a unit for the report", u"请选择报告的设备", u"請選擇報告的設備"}},
    {{u"Test report of unit %1", u"设备 %1 测试报告", u"設備 %1 測試報告"}},
    {{u"Identity", u"设备资料", u"設備資料"}},
    {{u"Device ID", u"装置编号", u"裝置編號"}},
    {{u"First seen", u"首次连接", u"首次連接"}},
    {{u"Test runs", u"测试记录", u"測試記錄"}},
    {{u"Firmware history", u"韧体更新记录", u"韌體更新記錄"}},
    {{u"File", u"档案", u"檔案"}},
    {{u"Version before", u"更新前版本", u"更新前版本"}},
    {{u"Version after", u"更新后版本", u"更新後版本"}},
    {{u"No firmware upgrade recorded", u"没有韧体更新记录", u"沒有韌體更新記錄"}},
    {{u"Printed %1 on %2", u"%1 于 %2 打印", u"%1 於 %2 列印"}},
    {{u"Records are off: %1", u"记录已关闭: %1", u"記錄已關閉: %1"}},
    {{u"the SQLite driver of Qt is missing", u"缺少 Qt 的 SQLite 驱动程序", u"缺少 Qt 的 SQLite 驅動程式"}},
    {{u"the folder %1 cannot be written", u"无法写入文件夹 %1", u"無法寫入資料夾 %1"}},
    {{u"the disk is full", u"磁盘已满", u"磁碟已滿"}},
    {{u"the file is from a newer Panel Bench", u"档案来自较新的 Panel Bench", u"檔案來自較新的 Panel Bench"}},
    {{u"a write failed (%1)", u"写入失败 (%1)", u"寫入失敗 (%1)"}},
    {{u"The records file was damaged; it is kept as %1 and a new one was made",
      u"记录档案已损坏, 已保留为 %1 并建立新档案", u"記錄檔案已損壞, 已保留為 %1 並建立新檔案"}},
    {{u"The records file belonged to another program; it is kept as %1 and a new one was made",
      u"记录档案属于其他程序, 已保留为 %1 并建立新档案",
      u"記錄檔案屬於其他程式, 已保留為 %1 並建立新檔案"}},
    {{u"Unit tests (recipes)", u"单元测试（配方）", u"單元測試（配方）"}},
    {{u"No recipe runs.", u"没有配方测试。", u"沒有配方測試。"}},
    {{u"Recipe", u"配方", u"配方"}},
    {{u"Verdict", u"判定", u"判定"}},
    {{u"Step", u"步骤", u"步驟"}},
    {{u"Measured", u"测量值", u"量測值"}},
    {{u"Scanned serial", u"扫描的序号", u"掃描的序號"}},
    {{u"PASS", u"合格", u"合格"}},
    {{u"FAIL", u"不合格", u"不合格"}},
    {{u"Not run", u"未执行", u"未執行"}},
    {{u"Interrupted", u"已中断", u"已中斷"}},
    {{u"Running", u"进行中", u"進行中"}},
    {{u"Recipe %1: %2 (step %3 of %4)", u"配方 %1：%2（第 %3 步，共 %4 步）",
      u"配方 %1：%2（第 %3 步，共 %4 步）"}},
    {{u"The shared records are away: %1; runs are kept on this PC and sent later",
      u"共享记录服务器不可用: %1; 测试记录先保存在本机, 稍后上传",
      u"共享記錄伺服器無法使用: %1; 測試記錄先儲存在本機, 稍後上傳"}},
    {{u"no server answers", u"服务器没有回应", u"伺服器沒有回應"}},
    {{u"the server refused the user or its password", u"服务器拒绝了用户名或密码",
      u"伺服器拒絕了使用者名稱或密碼"}},
    {{u"the server has no such database", u"服务器上没有这个数据库", u"伺服器上沒有這個資料庫"}},
    {{u"the server's records are from a newer Panel Bench", u"服务器上的记录来自较新的 Panel Bench",
      u"伺服器上的記錄來自較新的 Panel Bench"}},
    {{u"the records address cannot be used (%1)", u"记录地址无法使用 (%1)", u"記錄位址無法使用 (%1)"}},
    {{u"Showing this PC's records: %1", u"显示本机记录: %1", u"顯示本機記錄: %1"}},
    {{u"Showing the shared records: %1", u"显示共享记录: %1", u"顯示共享記錄: %1"}},
    {{u"Runs waiting to be sent: %1", u"等待上传的记录: %1", u"等待上傳的記錄: %1"}},
    {{u"Station:", u"工作站:", u"工作站:"}},
    {{u"the PostgreSQL driver of Qt is missing", u"缺少 Qt 的 PostgreSQL 驱动程序", u"缺少 Qt 的 PostgreSQL 驅動程式"}},
    {{u"S&hared records...", u"共享记录(&H)...", u"共享記錄(&H)..."}},
    {{u"Shared records", u"共享记录", u"共享記錄"}},
    {{u"PostgreSQL server every run also goes to (empty: this PC only):",
      u"测试记录同时上传到的 PostgreSQL 服务器(空白:仅本机):",
      u"測試記錄同時上傳到的 PostgreSQL 伺服器(空白:僅本機):"}},
    {{u"The password is not part of the URL: it comes from ~/.pgpass or PGPASSWORD.",
      u"密码不写在网址中:从 ~/.pgpass 或 PGPASSWORD 读取。",
      u"密碼不寫在網址中:從 ~/.pgpass 或 PGPASSWORD 讀取。"}},
    {{u"Save", u"保存", u"儲存"}},
    {{u"Not a postgresql://user@host:port/database URL.",
      u"不是 postgresql://用户@主机:端口/数据库 格式的网址。",
      u"不是 postgresql://使用者@主機:連接埠/資料庫 格式的網址。"}},
    {{u"A password does not go in the URL: put it in ~/.pgpass.",
      u"密码不能写在网址中,请放在 ~/.pgpass。",
      u"密碼不能寫在網址中,請放在 ~/.pgpass。"}},
    {{u"The port is 1 to 65535, not '%1'.", u"端口应为 1 到 65535,而不是“%1”。",
      u"連接埠應為 1 到 65535,而不是「%1」。"}},
    {{u"The option '%1' cannot be passed on.", u"无法传递选项“%1”。", u"無法傳遞選項「%1」。"}},
    {{u"Unit test", u"单元测试", u"單元測試"}},
    {{u"Unit test: %1", u"单元测试: %1", u"單元測試: %1"}},
    {{u"step %1 %2: %3", u"第 %1 步 %2: %3", u"第 %1 步 %2: %3"}},
    {{u"not read: %1", u"未读取: %1", u"未讀取: %1"}},
    {{u"the upgrade did not finish", u"更新未完成", u"更新未完成"}},
    {{u"no connect after the upgrade", u"更新后没有连线装置", u"更新後沒有連線裝置"}},
    {{u"the connect after the upgrade failed", u"更新后连线装置失败", u"更新後連線裝置失敗"}},
    {{u"no connect before the upgrade", u"更新前没有连线装置", u"更新前沒有連線裝置"}},
    {{u"first test", u"首次测试", u"首次測試"}},
    {{u"retest %1", u"第 %1 次重测", u"第 %1 次重測"}},
    {{u"%1: %2 unit tests, %3 of them retests; the last: %4", u"%1: 单元测试 %2 次, 其中重测 %3 次; 最后一次: %4",
      u"%1: 單元測試 %2 次, 其中重測 %3 次; 最後一次: %4"}},
    {{u"Runs waiting for the shared server: %1", u"等待发送到共享服务器的记录: %1",
      u"等待傳送到共享伺服器的紀錄: %1"}},
    {{u"Unit tests waiting for the events broker: %1", u"等待发布到事件服务器的单元测试: %1",
      u"等待發布到事件伺服器的單元測試: %1"}},
    {{u"Events waiting: %1", u"待发布事件: %1", u"待發布事件: %1"}},
};
static_assert(std::size(kTexts) == size_t(kRecordTextCount));

// One phrase of a table in every language, and how to find it in an English text: its
// "%1".."%9" stand for values, kept as they are.
struct Phrase {
    QString text[kLanguageCount];
    QRegularExpression english;  // the whole English text, each value a group
    QList<int> argOrder;         // the value number (from 0) of each group
};

Phrase MakePhrase(const QString (&texts)[kLanguageCount]) {
    Phrase p;
    for (int l = 0; l < kLanguageCount; ++l) p.text[l] = texts[l];
    static const QRegularExpression mark(QStringLiteral("%([1-9])"));
    QString pattern;
    qsizetype from = 0;
    for (auto it = mark.globalMatch(texts[0]); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        pattern += QRegularExpression::escape(texts[0].mid(from, m.capturedStart() - from)) + QStringLiteral("(.*?)");
        p.argOrder << m.captured(1).toInt() - 1;
        from = m.capturedEnd();
    }
    pattern += QRegularExpression::escape(texts[0].mid(from));
    p.english.setPattern(QRegularExpression::anchoredPattern(pattern));
    return p;
}

// The phrases a record kept before its causes were kept as codes: the window's endings.
// Longest first, so "Command error!" wins over a shorter phrase within it.
const QList<Phrase>& Phrases() {
    static const QList<Phrase> phrases = [] {
        QList<Phrase> list;
        const auto add = [&list](auto textOf) {
            QString texts[kLanguageCount];
            for (int l = 0; l < kLanguageCount; ++l) texts[l] = textOf(l);
            if (!texts[0].isEmpty()) list << MakePhrase(texts);
        };
        for (int id = 0; id < kMessageCount; ++id)
            add([id](int l) { return Msg(MsgId(id), LanguageAt(l)); });
        std::stable_sort(list.begin(), list.end(),
                         [](const Phrase& a, const Phrase& b) { return a.text[0].size() > b.text[0].size(); });
        return list;
    }();
    return phrases;
}

QString Shown(const Phrase& p, const QRegularExpressionMatch& m, int language) {
    QStringList args(p.argOrder.isEmpty() ? 0 : *std::max_element(p.argOrder.begin(), p.argOrder.end()) + 1);
    for (qsizetype g = 0; g < p.argOrder.size(); ++g) args[p.argOrder[g]] = m.captured(int(g) + 1);
    return FillArgs(p.text[language], args);
}

}  // namespace

QString NotReadText(const QString& code, int language) {
    static const std::pair<const char*, RecordText> whys[] = {
        {"upgrade-failed", RecordText::NotReadUpgradeFailed},
        {"no-identify", RecordText::NotReadNoIdentify},
        {"identify-failed", RecordText::NotReadIdentifyFailed},
        {"no-identify-before", RecordText::NotReadNoIdentifyBefore}};
    for (const auto& [name, text] : whys)
        if (code == QLatin1String(name)) return Text(RecordText::NotRead, language).arg(Text(text, language));
    return Text(RecordText::NotRead, language).arg(code.isEmpty() ? QStringLiteral("?") : code);
}

QString ShownText(const QString& stored, int language) {
    if (language <= 0 || language >= kLanguageCount || stored.isEmpty()) return stored;
    // The whole text one phrase, or a phrase and then more ("Command error! <why>").
    for (const Phrase& p : Phrases()) {
        const QRegularExpressionMatch m = p.english.match(stored);
        if (m.hasMatch()) return Shown(p, m, language);
    }
    for (const Phrase& p : Phrases()) {
        if (!p.argOrder.isEmpty() || !stored.startsWith(p.text[0] + u' ')) continue;
        return p.text[language] + u' ' + ShownText(stored.mid(p.text[0].size() + 1), language);
    }
    return stored;
}

QString FrameVerdictText(const QString& word, int language) {
    static const std::pair<const char*, TrafficText> words[] = {
        {"good", TrafficText::VerdictGood},   {"bad", TrafficText::VerdictBad},
        {"lowercase", TrafficText::VerdictLowercase}, {"none", TrafficText::VerdictNone},
        {"no-reply", TrafficText::NoReply},   {"link-closed", TrafficText::LinkClosed}};
    for (const auto& [name, text] : words)
        if (word == QLatin1String(name)) return Text(text, language);
    return word;
}

QString Text(RecordText id, int language) { return RowText(kTexts[size_t(id)], language); }

QString RecipeVerdictName(const QString& code, int language) {
    static const std::pair<const char*, RecordText> names[] = {
        {"pass", RecordText::VerdictPass},
        {"fail", RecordText::VerdictFail},
        {"not-run", RecordText::VerdictNotRun},
        {"interrupted", RecordText::VerdictInterrupted},
        {"running", RecordText::VerdictRunning}};
    for (const auto& [name, text] : names)
        if (code == QLatin1String(name)) return Text(text, language);
    return code;
}

}  // namespace pb
