#pragma once
// The exit codes of panelbench-cli. Larger is worse, so many units end with the largest.

namespace cli {

enum ExitCode : int {
    kExitOk = 0,
    kExitUsage = 2,
    kExitLinkNotOpened = 3,
    kExitNoController = 4,
    kExitCommandFailed = 5,
    kExitFirmwareRefused = 6,
    kExitFlashFailed = 7,
    kExitRecordsChanged = 9,  // records verify: a unit test changed, removed or inserted
    kExitInterrupted = 130,
};

inline int WorstExit(int a, int b) { return a > b ? a : b; }

}  // namespace cli
