#include "i18n/LinkFailureTexts.h"

#include "i18n/Messages.h"
#include "i18n/TextRow.h"

namespace pb {
namespace {

constexpr TextRow kTexts[] = {
    {{u"%1 not found", u"找不到 %1", u"找不到 %1"}},
    {{u"no permission for %1", u"无权开启 %1", u"無權開啟 %1"}},
    {{u"held by %1 (PID %2)", u"正被 %1 使用 (PID %2)", u"正被 %1 使用 (PID %2)"}},
    {{u"held by PID %1", u"正被使用 (PID %1)", u"正被使用 (PID %1)"}},
    {{u"%1 in use by another program", u"%1 正被其他程序使用", u"%1 正被其他程式使用"}},
    {{u"invalid IP %1", u"IP 地址错误 %1", u"IP 位址錯誤 %1"}},
    {{u"invalid TCP port %1", u"TCP 端口错误 %1", u"TCP 埠錯誤 %1"}},
    {{u"connection refused", u"连线被拒绝", u"連線被拒絕"}},
    {{u"address unreachable", u"无法到达地址", u"無法到達位址"}},
    {{u"no answer", u"没有回应", u"沒有回應"}},
    {{u"Check that the adapter is plugged in and the port name is right.",
      u"请检查转接器是否已插上，端口名称是否正确。", u"請檢查轉接器是否已插上，埠名稱是否正確。"}},
    {{u"%1 belongs to the group %2: add your user to the group %2, then log in again.",
      u"%1 属于组 %2：请将您的用户加入组 %2，然后重新登录。",
      u"%1 屬於群組 %2：請將您的使用者加入群組 %2，然後重新登入。"}},
    {{u"Your user may not read and write %1: ask for access to it.",
      u"您的用户无权读写 %1：请申请存取权限。", u"您的使用者無權讀寫 %1：請申請存取權限。"}},
    {{u"Close the program that uses %1, then try again.", u"请关闭使用 %1 的程序，然后再试。",
      u"請關閉使用 %1 的程式，然後再試。"}},
    {{u"Lock file: %1", u"锁定档案：%1", u"鎖定檔案：%1"}},
    {{u"%1 is not an IP address: type four numbers 0-255 with dots between, e.g. 192.168.1.101.",
      u"%1 不是 IP 地址：请输入以点分隔的四个 0-255 数字，例如 192.168.1.101。",
      u"%1 不是 IP 位址：請輸入以點分隔的四個 0-255 數字，例如 192.168.1.101。"}},
    {{u"%1 is not a TCP port: type a number from 1 to 65535.", u"%1 不是 TCP 端口：请输入 1 到 65535 的数字。",
      u"%1 不是 TCP 埠：請輸入 1 到 65535 的數字。"}},
    {{u"Nothing listens at %1: check the controller's address and port.",
      u"%1 无人接听：请检查控制器的地址与端口。", u"%1 無人接聽：請檢查控制器的位址與埠。"}},
    {{u"No route to %1: check the network cable and the PC's network settings.",
      u"无法连到 %1：请检查网络线与电脑的网络设定。", u"無法連到 %1：請檢查網路線與電腦的網路設定。"}},
    {{u"%1 did not answer: check that the controller is powered and on this network.",
      u"%1 没有回应：请检查控制器是否已通电并在此网络上。", u"%1 沒有回應：請檢查控制器是否已通電並在此網路上。"}},
    {{u"%1 is now %2 (same adapter)", u"%1 现为 %2 (同一转接器)", u"%1 現為 %2 (同一轉接器)"}},
    {{u"lock file of %1 holds no PID", u"%1 的锁定档案没有 PID", u"%1 的鎖定檔案沒有 PID"}},
    {{u"The lock file %1 holds no process id (PID), so no program can be named: if none uses %2, remove that file.",
      u"锁定档案 %1 没有进程 ID (PID)，无法得知是哪个程序：若没有程序使用 %2，请删除该档案。",
      u"鎖定檔案 %1 沒有處理程序 ID (PID)，無法得知是哪個程式：若沒有程式使用 %2，請刪除該檔案。"}},
    {{u"the port has no RS-485 mode", u"端口不支持 RS-485 模式", u"埠不支援 RS-485 模式"}},
    {{u"The driver of %1 cannot drive a two-wire RS-485 bus (RTS while sending; the system said: %2): "
      u"use an adapter that switches the line itself and clear RS-485, or a port that has the mode.",
      u"%1 的驱动程序无法驱动两线 RS-485 总线 (发送时拉高 RTS；系统回应：%2)：请改用自动切换方向的转接器并取消 RS-485，或使用支持此模式的端口。",
      u"%1 的驅動程式無法驅動兩線 RS-485 匯流排 (傳送時拉高 RTS；系統回應：%2)：請改用自動切換方向的轉接器並取消 RS-485，或使用支援此模式的埠。"}},
    {{u"%1: the USB latency timer stays at %2 ms (%3).", u"%1：USB 延迟计时器仍为 %2 毫秒 (%3)。",
      u"%1：USB 延遲計時器仍為 %2 毫秒 (%3)。"}},
    {{u"%1: low latency is not on (driver %2, %3).", u"%1：低延迟未开启 (驱动程序 %2，%3)。",
      u"%1：低延遲未開啟 (驅動程式 %2，%3)。"}},
    {{u"Each short reply may wait up to %1 ms in the adapter: DI/DO tests take about 1.5 times as long, upgrades longer too.",
      u"每个短回应可能在转接器中多等 %1 毫秒：接点测试约需 1.5 倍时间，更新也会更久。",
      u"每個短回應可能在轉接器中多等 %1 毫秒：接點測試約需 1.5 倍時間，更新也會更久。"}},
    {{u"Short replies may wait in the adapter: tests may take longer.", u"短回应可能在转接器中等待：测试可能更久。",
      u"短回應可能在轉接器中等待：測試可能更久。"}},
    {{u"no permission to lower it", u"无权调低", u"無權調低"}},
    {{u"driver %1 takes no lower", u"驱动程序 %1 不支持调低", u"驅動程式 %1 不支援調低"}},
    {{u"USB latency timer %1 ms (low latency on)", u"USB 延迟计时器 %1 毫秒 (低延迟已开启)",
      u"USB 延遲計時器 %1 毫秒 (低延遲已開啟)"}},
    {{u"USB latency timer %1 ms (low latency off)", u"USB 延迟计时器 %1 毫秒 (低延迟未开启)",
      u"USB 延遲計時器 %1 毫秒 (低延遲未開啟)"}},
};
static_assert(std::size(kTexts) == size_t(kLinkFailureTextCount));

using Reason = OpenFailure::Reason;

QString Busy(const OpenFailure& f, int language) {
    // The port is named by the advice line; the status line has room for the holder only.
    if (f.lockHoldsNoPid) return Text(LinkFailureText::BusyByEmptyLock, language).arg(f.target);
    if (f.pid > 0 && !f.program.isEmpty())
        return Text(LinkFailureText::BusyByProgram, language).arg(f.program).arg(f.pid);
    if (f.pid > 0) return Text(LinkFailureText::BusyByPid, language).arg(f.pid);
    return Text(LinkFailureText::BusyByOther, language).arg(f.target);
}

}  // namespace

QString Text(LinkFailureText id, int language) {
    return RowText(kTexts[size_t(id)], language);
}

QString OpenFailureReason(const OpenFailure& f, int language) {
    auto text = [&](LinkFailureText id) {
        const QString t = Text(id, language);
        return t.contains(QLatin1String("%1")) ? t.arg(f.target) : t;
    };
    switch (f.reason) {
        case Reason::None: return {};
        case Reason::NotFound: return text(LinkFailureText::NotFound);
        case Reason::PermissionDenied: return text(LinkFailureText::PermissionDenied);
        case Reason::Busy: return Busy(f, language);
        case Reason::BadAddress: return text(LinkFailureText::BadAddress);
        case Reason::BadPort: return text(LinkFailureText::BadPort);
        case Reason::Refused: return text(LinkFailureText::Refused);
        case Reason::Unreachable: return text(LinkFailureText::Unreachable);
        case Reason::TimedOut: return text(LinkFailureText::TimedOut);
        case Reason::NoRs485: return text(LinkFailureText::NoRs485);
        case Reason::Other:
            // No cause of ours: the advice line carries the system's words.
            return {};
    }
    return {};
}

QString OpenFailureAdvice(const OpenFailure& f, int language) {
    switch (f.reason) {
        case Reason::None: return {};
        case Reason::NotFound: return Text(LinkFailureText::AdviceNotFound, language);
        case Reason::PermissionDenied:
            if (f.group.isEmpty() || f.group == QLatin1String("root"))
                return Text(LinkFailureText::AdviceNoAccess, language).arg(f.target);
            return Text(LinkFailureText::AdviceGroup, language).arg(f.target, f.group);
        case Reason::Busy: {
            if (f.lockHoldsNoPid)
                return Text(LinkFailureText::AdviceEmptyLock, language).arg(f.lockFile, f.target);
            QString advice = Text(LinkFailureText::AdviceBusy, language).arg(f.target);
            if (!f.lockFile.isEmpty())
                advice += u' ' + Text(LinkFailureText::AdviceLockFile, language).arg(f.lockFile);
            return advice;
        }
        case Reason::BadAddress: return Text(LinkFailureText::AdviceBadAddress, language).arg(f.target);
        case Reason::BadPort: return Text(LinkFailureText::AdviceBadPort, language).arg(f.target);
        case Reason::Refused: return Text(LinkFailureText::AdviceRefused, language).arg(f.target);
        case Reason::Unreachable: return Text(LinkFailureText::AdviceUnreachable, language).arg(f.target);
        case Reason::TimedOut: return Text(LinkFailureText::AdviceTimedOut, language).arg(f.target);
        case Reason::NoRs485: return Text(LinkFailureText::AdviceNoRs485, language).arg(f.target, f.detail);
        case Reason::Other: {
            // A serial port that failed for a cause of its own: the table's own words.
            const QString where = f.device.isEmpty() ? f.target : f.device;
            const QString facts = f.detail.isEmpty() ? where : where + QStringLiteral(": ") + f.detail;
            return f.device.isEmpty() ? facts : Msg(MsgId::OpenPortError, LanguageAt(language)) + u' ' + facts;
        }
    }
    return {};
}

QString OpenFailedStatus(const OpenFailure& failure, int language) {
    const QString head = Msg(MsgId::ConnectDeviceError, LanguageAt(language));
    const QString reason = OpenFailureReason(failure, language);
    return reason.isEmpty() ? head : head + u' ' + reason;
}

QString OpenFailedStatusLines(const OpenFailure& failure, int language) {
    const QString advice = OpenFailureAdvice(failure, language);
    const QString status = OpenFailedStatus(failure, language);
    return advice.isEmpty() ? status : status + u'\n' + advice;
}

QString LowLatencyNote(const QString& port, const LowLatency& l, int language) {
    if (!l.staysAbove1Ms()) return {};
    QString why;
    switch (l.note) {
        case LowLatency::Note::NoPermission: why = Text(LinkFailureText::WhyNoPermission, language); break;
        case LowLatency::Note::Failed: why = l.detail; break;
        case LowLatency::Note::None:
        case LowLatency::Note::NotSupported:
            why = Text(LinkFailureText::WhyNotSupported, language).arg(l.driver);
            break;
    }
    if (l.timerAfterMs < 0)
        return Text(LinkFailureText::LatencyNotOn, language).arg(port, l.driver, why) + u' ' +
               Text(LinkFailureText::LatencyCostUnknown, language);
    return Text(LinkFailureText::LatencyStays, language).arg(port).arg(l.timerAfterMs).arg(why) + u' ' +
           Text(LinkFailureText::LatencyCost, language).arg(l.timerAfterMs);
}

QString LatencyTimerText(int ms, int language) {
    return Text(ms <= 1 ? LinkFailureText::TimerLowLatency : LinkFailureText::TimerNotLow, language).arg(ms);
}

QString AdapterMovedText(const QString& from, const QString& to, int language) {
    return Text(LinkFailureText::AdapterMoved, language).arg(from, to);
}

}  // namespace pb
