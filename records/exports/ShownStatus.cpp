#include "records/exports/ShownStatus.h"

#include "i18n/EndingReason.h"
#include "i18n/EndingTexts.h"
#include "i18n/Language.h"
#include "i18n/RecordsTexts.h"

namespace pb::records {

QString ShownRunStatus(const QString& status, const QJsonObject& details, int language) {
    const std::optional<EndingReason> reason =
        EndingReasonFromJson(details.value(QStringLiteral("reason")).toObject());
    if (reason && *reason) {
        // The reason as the run's language worded it is worded anew, whole; only what is
        // around it goes phrase by phrase (which would cut a reason's own words apart).
        for (int from = 0; from < kLanguageCount; ++from) {
            const QString said = EndingReasonText(*reason, from);
            const qsizetype at = said.isEmpty() ? -1 : status.indexOf(said);
            if (at < 0) continue;
            return ShownText(status.left(at), language) + EndingReasonText(*reason, language) +
                   ShownText(status.mid(at + said.size()), language);
        }
    }
    return ShownText(status, language);
}

}  // namespace pb::records
