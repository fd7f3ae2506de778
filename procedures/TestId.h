#pragma once
// The tests this tool runs, each with the one stable name its records, the command line
// and recipes know it by.
//
// A new test is one more id and one more row here; what it takes, its words and how it
// runs are its row of catalogue/TestCatalogue.cpp.

#include <QString>
#include <array>
#include <optional>

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

struct TestNaming {
    TestId id;
    const char* name;                  // the stable name
    const char* olderName = nullptr;   // what the command line and recipes first called it
    bool standalone = true;            // run by itself: a command and a recipe step; else only within others
};

// In TestId order.
inline constexpr std::array<TestNaming, 11> kTestNames{{
    {TestId::Connect, "connect", "identify"},
    {TestId::SetDate, "set-date"},
    {TestId::Alarm, "alarm"},
    {TestId::FactoryInitial, "factory-initial"},
    {TestId::Reboot, "reboot"},
    {TestId::Dido, "dido"},
    {TestId::Polling, "polling", "poll"},
    {TestId::ControllerCommand, "controller-command", "send"},
    {TestId::ModuleCommand, "module-command", "module"},
    {TestId::FirmwareUpgrade, "firmware-upgrade", "upgrade"},
    {TestId::AwaitAnswer, "await-answer", nullptr, false},
}};

constexpr bool InTestIdOrder() {
    for (size_t i = 0; i < kTestNames.size(); ++i)
        if (size_t(kTestNames[i].id) != i) return false;
    return size_t(TestId::AwaitAnswer) + 1 == kTestNames.size();
}
static_assert(InTestIdOrder(), "one row per test, in TestId order");

inline const TestNaming& NamingOf(TestId test) { return kTestNames[size_t(test)]; }

// "connect", "set-date", "alarm", ...
inline QString TestName(TestId test) { return QString::fromLatin1(NamingOf(test).name); }

// The name the command line's commands and recipes' step kinds show: the older name where
// there is one ("identify", "poll", "send", "module", "upgrade"), else the stable name.
inline QString CommandName(TestId test) {
    const TestNaming& n = NamingOf(test);
    return QString::fromLatin1(n.olderName ? n.olderName : n.name);
}

// The standalone test of a stable or older name; none for any other name (matched exactly).
inline std::optional<TestId> StandaloneTest(const QString& name) {
    for (const TestNaming& n : kTestNames)
        if (n.standalone && (name == QLatin1String(n.name) || (n.olderName && name == QLatin1String(n.olderName))))
            return n.id;
    return std::nullopt;
}

}  // namespace pb
