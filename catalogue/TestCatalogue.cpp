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

// In TestId order. The words follow the window's own (docs/glossary.md).
const TestEntry kCatalogue[] = {
    {.id = TestId::Connect,
     .words = {{u"Connect", u"连线装置", u"連線裝置"}},
     .run = connect,
     .help = "find the controller: ID, model kind, version, serial number"},
    {.id = TestId::SetDate,
     .words = {{u"Set date", u"设定日期", u"設定日期"}},
     .run = setDate,
     .usage = "[--time T]",
     .help = "set the controller's clock (default: this PC's clock)",
     .doneText = "date and time set"},
    {.id = TestId::Alarm,
     .words = {{u"Alarm", u"警报", u"警報"}},
     .params = unsigned(P::AlarmLevel),
     .run = alarm,
     .usage = "LEVEL",
     .help = "raise or clear an alarm, LEVEL 0 (off) .. 6",
     .doneText = "alarm sent"},
    {.id = TestId::FactoryInitial,
     .words = {{u"Factory initial", u"设定出厂值", u"設定出廠值"}},
     .run = factoryInitial,
     .help = "restore the factory settings",
     .doneText = "factory settings restored"},
    {.id = TestId::Reboot,
     .words = {{u"Reboot", u"重新开机", u"重新開機"}},
     .run = reboot,
     .help = "restart the controller",
     .doneText = "controller restarted"},
    {.id = TestId::Dido,
     .words = {{u"DI/DO test", u"接点测试", u"接點測試"}},
     .params = unsigned(P::DidoRun),
     .run = dido,
     .usage = "[--cycles N | --seconds S] [--outputs 1010]",
     .help = "DI/DO test (default one cycle, all outputs; --cycles 0 runs\nuntil interrupted)"},
    {.id = TestId::Polling,
     .words = {{u"Polling data", u"读取资料", u"讀取資料"}},
     .run = polling,
     .help = "read the event store record by record"},
    {.id = TestId::ControllerCommand,
     .words = {{u"Controller command", u"控制器指令", u"控制器指令"}},
     .params = unsigned(P::CommandText),
     .run = controllerCommand,
     .usage = "TEXT",
     .help = "controller console: send ID + TEXT"},
    {.id = TestId::ModuleCommand,
     .words = {{u"Module command", u"模组指令", u"模組指令"}},
     .params = P::ModuleAddress | P::CommandText,
     .run = moduleCommand,
     .usage = "TYPE NUMBER TEXT",
     .help = "module console: TYPE 0..5 or A B H I J E"},
    {.id = TestId::FirmwareUpgrade,
     .words = {{u"Firmware upgrade", u"韧体更新", u"韌體更新"}},
     .params = unsigned(P::FirmwareFile),
     .run = firmwareUpgrade,
     .usage = "FILE [--allow-partial] [--retries N]",
     .help = "identify, check FILE against the model, program and verify;\n"
             "a file with no image, or more blocks than the model reads,\n"
             "is refused unless --allow-partial programs what it takes;\n"
             "--retries N: after a lost line or a failed verify, the whole\n"
             "upgrade again once the controller answers, up to N times"},
    {.id = TestId::AwaitAnswer,
     .words = {{u"Wait for answer", u"等待应答", u"等待應答"}},
     .params = unsigned(P::Within),
     .run = awaitAnswer},
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
        if (name == e.name() || name == e.commandName()) return &e;
    return nullptr;
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
