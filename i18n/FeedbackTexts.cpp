#include "i18n/FeedbackTexts.h"

#include "i18n/TextRow.h"

namespace pb {
namespace {

constexpr TextRow kTexts[] = {
    {{u" (%1 s left)", u" (剩余 %1 秒)", u" (剩餘 %1 秒)"}},
    {{u"%1 / %2 blocks   %3%   %4 elapsed   %5 left", u"%1 / %2 块   %3%   已用 %4   剩余 %5",
      u"%1 / %2 塊   %3%   已用 %4   剩餘 %5"}},
    {{u" %1 blocks left out", u" %1 块未写入", u" %1 塊未寫入"}},
    {{u"The file holds %1 blocks; this model takes %2, so the rest were not programmed.",
      u"档案共有 %1 块，此机型只能写入 %2 块，其余未烧录。",
      u"檔案共有 %1 塊，此機型只能寫入 %2 塊，其餘未燒錄。"}},
    {{u"not a firmware file", u"不是韧体档案", u"不是韌體檔案"}},
    {{u" Upgrade again before use", u" 使用前请重新更新", u" 使用前請重新更新"}},
    {{u"Programming had begun: the unit may be left without working firmware and must be "
      u"upgraded again before it is used.",
      u"烧录已开始：此装置可能已无可用的韧体，使用前必须重新更新。",
      u"燒錄已開始：此裝置可能已無可用的韌體，使用前必須重新更新。"}},
    {{u"Signed by %1: %2 for %3", u"由 %1 签署：%2，适用于 %3", u"由 %1 簽署：%2，適用於 %3"}},
};
static_assert(std::size(kTexts) == size_t(FeedbackText::SignedRelease) + 1);

}  // namespace

QString Text(FeedbackText id, int language) {
    return RowText(kTexts[size_t(id)], language);
}

QString CountdownStatus(const QString& status, int secondsLeft, int language) {
    return status + Text(FeedbackText::SecondsLeft, language).arg(secondsLeft);
}

QString ClockDuration(qint64 ms) {
    const qint64 s = qMax<qint64>(0, ms) / 1000;
    if (s >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(s / 3600)
            .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString BarProgressText(int done, int total, qint64 elapsedMs, qint64 remainingMs, int language) {
    // An empty image is done as soon as it starts.
    const int percent = total > 0 ? int(qint64(done) * 100 / total) : 100;
    const QString left = remainingMs < 0 ? QStringLiteral("--:--") : ClockDuration(remainingMs);
    return Text(FeedbackText::BarProgress, language)
        .arg(done)
        .arg(total)
        .arg(percent)
        .arg(ClockDuration(elapsedMs), left);
}

}  // namespace pb
