#pragma once
// The tests this tool runs. Everything else about a test (its names in the records, on
// the command line and in each language, what it takes, how it runs and is judged) is its
// row of the catalogue (catalogue/TestCatalogue.cpp); the procedures know a test by its id.

#include <cstddef>

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

inline constexpr std::size_t kTestCount = std::size_t(TestId::AwaitAnswer) + 1;

}  // namespace pb
