#pragma once
// What the window knows of the connected controller, set by connect-and-identify and
// read by every later test.

#include <QString>

#include "procedures/ControllerFamily.h"

namespace pb {

struct ControllerState {
    // The text in front of every command: "0000" until a controller is identified,
    // then its ID (three digits for model kind 4, four otherwise).
    QString deviceId = QStringLiteral("0000");
    // 0 before identification; 1..7 the controller family (see ControllerFamily.h).
    int modelKind = 0;
    // The version caption the identify showed (pnVER): model and version. The model check
    // compares a firmware file's header with it.
    QString versionText;
    // True while a DI/DO test runs; a second click on its button clears it and the
    // running test stops at the end of its cycle.
    bool didoRunning = false;
    // The same for the polling data test.
    bool pollingRunning = false;
};

}  // namespace pb
