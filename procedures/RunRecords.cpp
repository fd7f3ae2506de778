// The names a run's record carries.
#include "procedures/RunObserver.h"

namespace pb {

QString RunOutcomeName(RunOutcome outcome) {
    switch (outcome) {
        case RunOutcome::Ok:
            return QStringLiteral("ok");
        case RunOutcome::Error:
            return QStringLiteral("error");
        case RunOutcome::OpenFailed:
            return QStringLiteral("open-failed");
        case RunOutcome::Interrupted:
            return QStringLiteral("interrupted");
        case RunOutcome::Watched:
            return QStringLiteral("watched");
    }
    return {};
}

QJsonObject ToJson(const ControllerIdentity& identity) {
    return QJsonObject{{QStringLiteral("deviceId"), identity.deviceId},
                       {QStringLiteral("modelKind"), identity.modelKind},
                       {QStringLiteral("versionText"), identity.versionText},
                       {QStringLiteral("serialNumber"), identity.serialNumber}};
}

}  // namespace pb
