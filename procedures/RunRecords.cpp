// The names a run's record carries.
#include "procedures/RunObserver.h"

namespace pb {

QString TestName(TestId test) {
    switch (test) {
        case TestId::Connect:
            return QStringLiteral("connect");
        case TestId::SetDate:
            return QStringLiteral("set-date");
        case TestId::Alarm:
            return QStringLiteral("alarm");
        case TestId::FactoryInitial:
            return QStringLiteral("factory-initial");
        case TestId::Reboot:
            return QStringLiteral("reboot");
        case TestId::Dido:
            return QStringLiteral("dido");
        case TestId::Polling:
            return QStringLiteral("polling");
        case TestId::ControllerCommand:
            return QStringLiteral("controller-command");
        case TestId::ModuleCommand:
            return QStringLiteral("module-command");
        case TestId::FirmwareUpgrade:
            return QStringLiteral("firmware-upgrade");
        case TestId::AwaitAnswer:
            return QStringLiteral("await-answer");
    }
    return {};
}

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
