#include "catalogue/TestCatalogue.h"

#include "procedures/CommandConsoles.h"
#include "procedures/ConnectAndIdentify.h"
#include "procedures/PollingTest.h"
#include "procedures/SystemCommands.h"

namespace pb {
namespace {

using P = TestParam;
constexpr unsigned operator|(P a, P b) { return unsigned(a) | unsigned(b); }

TestResult connect(TestRig& rig, const TestParams&) {
    return {TestId::Connect, ConnectAndIdentify(rig.procedures)};
}
TestResult setDate(TestRig& rig, const TestParams&) { return {TestId::SetDate, SetDateTime(rig.procedures)}; }
TestResult alarm(TestRig& rig, const TestParams& p) {
    return {TestId::Alarm, AlarmTest(rig.procedures, p.alarmLevel)};
}
TestResult factoryInitial(TestRig& rig, const TestParams&) {
    return {TestId::FactoryInitial, FactoryInitial(rig.procedures)};
}
TestResult reboot(TestRig& rig, const TestParams&) { return {TestId::Reboot, Reboot(rig.procedures)}; }

// The button's loop, or a recipe's patterns set and read back.
TestResult dido(TestRig& rig, const TestParams& p) {
    if (p.didoPatterns) return {TestId::Dido, DidoPatternTest(rig.procedures, *p.didoPatterns)};
    return {TestId::Dido, DidoTestClick(rig.procedures, p.didoEnding)};
}

TestResult polling(TestRig& rig, const TestParams&) {
    return {TestId::Polling, PollingTestClick(rig.procedures)};
}
TestResult controllerCommand(TestRig& rig, const TestParams& p) {
    return {TestId::ControllerCommand, ControllerCommand(rig.procedures, p.command)};
}
TestResult moduleCommand(TestRig& rig, const TestParams& p) {
    return {TestId::ModuleCommand, ModuleCommand(rig.procedures, p.moduleType, p.moduleNumber, p.command)};
}

// For the controller the procedures' state holds: the identify before it found it.
TestResult firmwareUpgrade(TestRig& rig, const TestParams& p) {
    ProcedureContext& ctx = rig.procedures;
    FirmwareBuffer own;
    FirmwareBuffer& buffer = p.firmware.buffer ? *p.firmware.buffer : own;
    FirmwareUpgrade upgrade(ctx.link, ctx.view, rig.firmwareBars, ctx.clock);
    upgrade.setObserver(ctx.observer);
    if (p.firmware.checkFitFirst) upgrade.refuseUnfitImages(p.firmware.allowPartial);
    const FirmwareJob job{p.firmware.file, ctx.state.deviceId, ctx.state.modelKind, p.firmware.versionBefore};
    return {TestId::FirmwareUpgrade, upgrade.run(job, buffer)};
}

TestResult awaitAnswer(TestRig& rig, const TestParams& p) {
    return {TestId::AwaitAnswer, AwaitAnswer(rig.procedures, p.withinMs)};
}

// In TestId order.
const TestEntry kCatalogue[] = {
    {TestId::Connect, RecordText::ProcConnect, "identify", true, StepKind::Identify, 0, connect},
    {TestId::SetDate, RecordText::ProcSetDate, nullptr, true, StepKind::SetDate, 0, setDate},
    {TestId::Alarm, RecordText::ProcAlarm, nullptr, true, StepKind::Alarm, unsigned(P::AlarmLevel), alarm},
    {TestId::FactoryInitial, RecordText::ProcFactory, nullptr, true, StepKind::FactoryInitial, 0, factoryInitial},
    {TestId::Reboot, RecordText::ProcReboot, nullptr, true, StepKind::Reboot, 0, reboot},
    {TestId::Dido, RecordText::ProcDido, nullptr, true, StepKind::Dido, unsigned(P::DidoRun), dido},
    {TestId::Polling, RecordText::ProcPolling, "poll", true, StepKind::Poll, 0, polling},
    {TestId::ControllerCommand, RecordText::ProcControllerCommand, "send", true, StepKind::Send,
     unsigned(P::CommandText), controllerCommand},
    {TestId::ModuleCommand, RecordText::ProcModuleCommand, "module", true, StepKind::Module,
     P::ModuleAddress | P::CommandText, moduleCommand},
    {TestId::FirmwareUpgrade, RecordText::ProcFirmware, "upgrade", true, StepKind::Upgrade,
     unsigned(P::FirmwareFile), firmwareUpgrade},
    {TestId::AwaitAnswer, RecordText::ProcAwaitAnswer, nullptr, false, std::nullopt, unsigned(P::Within),
     awaitAnswer},
};
static_assert(std::size(kCatalogue) == size_t(TestId::AwaitAnswer) + 1, "one row per test");

}  // namespace

RunResult TestResult::run() const {
    return std::visit(
        [](const auto& r) -> RunResult {
            if constexpr (std::is_same_v<std::decay_t<decltype(r)>, UpgradeResult>) return r.asRun();
            else return r;
        },
        found);
}

int TestEntry::arguments() const {
    return (takes(P::AlarmLevel) ? 1 : 0) + (takes(P::ModuleAddress) ? 2 : 0) + (takes(P::CommandText) ? 1 : 0) +
           (takes(P::FirmwareFile) ? 1 : 0);
}

const TestEntry& CatalogueEntry(TestId test) { return kCatalogue[size_t(test)]; }

const TestEntry* FindTest(const QString& name) {
    for (const TestEntry& e : kCatalogue)
        if (name == e.name() || (e.alias && name == QLatin1String(e.alias))) return &e;
    return nullptr;
}

const TestEntry& EntryOfStep(StepKind kind) {
    for (const TestEntry& e : kCatalogue)
        if (e.step == kind) return e;
    Q_UNREACHABLE();
}

TestResult RunTest(TestRig& rig, const TestRequest& request) {
    return CatalogueEntry(request.test).run(rig, request.params);
}

const QStringList& KnownProcedureIds() {
    static const QStringList ids = [] {
        QStringList names;
        for (const TestEntry& e : kCatalogue) names << e.name();
        return names;
    }();
    return ids;
}

QString ProcedureName(const QString& procedureId, int language) {
    const qsizetype index = KnownProcedureIds().indexOf(procedureId);
    return index < 0 ? procedureId : kCatalogue[index].nameIn(language);
}

}  // namespace pb
