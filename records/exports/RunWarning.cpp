#include "records/exports/RunWarning.h"

#include "i18n/TextRow.h"

namespace pb::records {
namespace {

constexpr TextRow kBlocksLeftOut{{u" (warning: %1 blocks of the file left out)",
                                  u"（警告：档案有 %1 块未写入）", u"（警告：檔案有 %1 塊未寫入）"}};
constexpr TextRow kNothingProgrammed{{u" (warning: nothing programmed, the file holds no image)",
                                      u"（警告：档案没有映像，未烧录任何内容）",
                                      u"（警告：檔案沒有映像，未燒錄任何內容）"}};

}  // namespace

QString RunWarningCode(const QJsonObject& details) {
    return details.value(QLatin1String("warning")).toString();
}

QString RunWarningText(const QJsonObject& details, int language) {
    const QString code = RunWarningCode(details);
    if (code == QLatin1String("blocks-left-out"))
        return RowText(kBlocksLeftOut, language).arg(details.value(QLatin1String("blocksLeftOut")).toInt());
    if (code == QLatin1String("nothing-programmed")) return RowText(kNothingProgrammed, language);
    return {};
}

}  // namespace pb::records
