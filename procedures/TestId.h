#pragma once
// The tests this tool runs, each with a stable name for its records.

#include <QString>

namespace pb {

enum class TestId {
    Connect,
    SetDate,
    Alarm,
    FactoryInitial,
    Reboot,
    Dido,
    Polling,
    ControllerCommand,
    ModuleCommand,
    FirmwareUpgrade,
    AwaitAnswer,  // after a restart: until the controller answers again
};

// "connect", "set-date", "alarm", "factory-initial", "reboot", "dido", "polling",
// "controller-command", "module-command", "firmware-upgrade", "await-answer".
QString TestName(TestId test);

}  // namespace pb
