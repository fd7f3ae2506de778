#include "link/PortHealth.h"

namespace pb {

QJsonObject ToJson(const PortHealth& h) {
    return {{QStringLiteral("retries"), h.retries},
            {QStringLiteral("badChecksums"), h.badChecksums},
            {QStringLiteral("noReplies"), h.noReplies},
            {QStringLiteral("skippedBytes"), h.skippedBytes}};
}

PortHealth PortHealthFromJson(const QJsonObject& o) {
    PortHealth h;
    h.retries = o.value(QStringLiteral("retries")).toInt();
    h.badChecksums = o.value(QStringLiteral("badChecksums")).toInt();
    h.noReplies = o.value(QStringLiteral("noReplies")).toInt();
    h.skippedBytes = o.value(QStringLiteral("skippedBytes")).toInteger();
    return h;
}

}  // namespace pb
