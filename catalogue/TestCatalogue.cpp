#include "catalogue/TestCatalogue.h"

#include "catalogue/TestSteps.h"

namespace pb {
namespace {

using K = ParamKind;
using V = const QVariant&;

// In TestId order. The words follow the window's own (docs/glossary.md); a parameter's
// field is its name in a recipe step, its option its name on the command line.
QList<TestDescriptor> MakeCatalogue() {
    return {
        {.id = TestId::Connect,
         .name = "connect",
         .olderName = "identify",
         .words = {{u"Connect", u"连线装置", u"連線裝置"}},
         .params = {{.field = "models", .kind = K::ModelKinds, .min = 0, .max = 7,
                     .help = "the model kinds the controller may be",
                     .set = [](RecipeStep& s, V v) { for (const QVariant& k : v.toList()) s.params.identify.modelKinds << k.toInt(); }},
                    {.field = "model", .kind = K::NonEmptyText, .help = "the model text the controller's must begin with",
                     .set = [](RecipeStep& s, V v) { s.params.identify.modelText = v.toString(); }},
                    {.field = "version", .kind = K::Versions, .help = "the range the controller's version must be in",
                     .set = [](RecipeStep& s, V v) { s.params.identify.version = v.value<VersionRange>(); }},
                    {.field = "check-serial", .kind = K::Flag,
                     .help = "the controller's serial must equal the scanned one (default true)",
                     .set = [](RecipeStep& s, V v) { s.params.identify.checkSerial = v.toBool(); }}},
         .run = steps::RunConnect,
         .step = steps::Identify,
         .measure = steps::OfIdentify,
         .help = "find the controller: ID, model kind, version, serial number",
         .passes = "the model kind is one of `models`, the model text the controller reports (\"KV740MX\", \"KV410 ACCESS\", \"KV150RB\") begins with `model`, the version lies in `version`, and, with `check-serial`, the serial the controller reports equals the scanned one (spaces around either ignored, letter case kept): a mismatch means a wrong label or the wrong unit on the fixture."},
        {.id = TestId::SetDate,
         .name = "set-date",
         .words = {{u"Set date and time", u"设定日期时间", u"設定日期時間"}},
         .params = {{.field = "time", .option = "--time", .metavar = "T", .kind = K::DateTime,
                     .help = "the date and time to set (default: this PC's clock)",
                     .set = [](RecipeStep& s, V v) { s.params.setDate.time = v.toDateTime(); }}},
         .run = steps::RunSetDate,
         .step = steps::SetDate,
         .measure = steps::OfSetDate,
         .help = "set the controller's clock (default: this PC's clock)",
         .done = {{u"date and time set", u"已设定日期时间", u"已設定日期時間"}},
         .passes = "the controller accepts the time."},
        {.id = TestId::Alarm,
         .name = "alarm",
         .words = {{u"Alarm test", u"警报测试", u"警報測試"}},
         .params = {{.field = "level", .option = "LEVEL", .kind = K::Integer, .min = 0, .max = 6, .required = true,
                     .help = "the alarm: 0 (off) .. 6",
                     .set = [](RecipeStep& s, V v) { s.params.alarm.level = v.toInt(); }}},
         .run = steps::RunAlarm,
         .step = steps::Alarm,
         .help = "raise or clear an alarm, LEVEL 0 (off) .. 6",
         .done = {{u"alarm sent", u"已发送警报", u"已發送警報"}},
         .passes = "the controller accepts the level."},
        {.id = TestId::FactoryInitial,
         .name = "factory-initial",
         .words = {{u"Set factory", u"设定出厂值", u"設定出廠值"}},
         .params = {{.field = "within-s", .kind = K::Integer, .min = 1, .max = 600,
                     .help = "seconds the controller has to answer again after its restart (default 30)",
                     .set = [](RecipeStep& s, V v) { s.params.restart.withinSeconds = v.toInt(); },
                     .absent = 30}},
         .run = steps::RunFactoryInitial,
         .step = steps::FactoryInitial,
         .help = "restore the factory settings",
         .done = {{u"factory settings restored", u"已恢复出厂值", u"已恢復出廠值"}},
         .passes = "the controller accepts the command and answers again within `within-s` seconds."},
        {.id = TestId::Reboot,
         .name = "reboot",
         .words = {{u"Set reboot", u"设定重新开机", u"設定重新開機"}},
         .params = {{.field = "within-s", .kind = K::Integer, .min = 1, .max = 600,
                     .help = "seconds the controller has to answer again after its restart (default 30)",
                     .set = [](RecipeStep& s, V v) { s.params.restart.withinSeconds = v.toInt(); },
                     .absent = 30}},
         .run = steps::RunReboot,
         .step = steps::Reboot,
         .help = "restart the controller",
         .done = {{u"controller restarted", u"控制器已重新开机", u"控制器已重新開機"}},
         .passes = "the controller answers again within `within-s` seconds."},
        {.id = TestId::Dido,
         .name = "dido",
         .words = {{u"DIDO test", u"接点测试", u"接點測試"}},
         .params = {{.field = "cycles", .kind = K::Integer, .min = 1, .max = 100000,
                     .help = "how often every pattern is applied (default 1)",
                     .set = [](RecipeStep& s, V v) { s.params.dido.cycles = v.toInt(); }},
                    {.option = "--cycles", .metavar = "N", .kind = K::Integer, .min = 0, .max = 1 << 30,
                     .help = "cycles to run (default 1; 0 runs until interrupted)",
                     .set = [](RecipeStep& s, V v) { s.params.dido.cycles = v.toInt(); },
                     .excludes = "--seconds"},
                    {.option = "--seconds", .metavar = "S", .kind = K::Integer, .min = 1, .max = 1 << 30,
                     .help = "run this long instead of a count of cycles",
                     .set = [](RecipeStep& s, V v) { s.params.dido.seconds = v.toInt(); }},
                    {.option = "--outputs", .metavar = "O", .kind = K::Outputs,
                     .help = "the outputs ticked, up to four 0/1 (default 1111)",
                     .set = [](RecipeStep& s, V v) { s.params.dido.outputs = v.toString(); }},
                    {.field = "patterns", .kind = K::Patterns, .required = true,
                     .help = "outputs to set and the inputs each must light, in order",
                     .set = [](RecipeStep& s, V v) { s.params.dido.patterns = v.value<QList<DidoPattern>>(); }}},
         .run = steps::RunDido,
         .step = steps::Dido,
         .measure = steps::OfDido,
         .continuous = [](const TestParams& p) { return p.dido.patterns.isEmpty(); },
         .help = "DI/DO test (default one cycle, all outputs; --cycles 0 runs\nuntil interrupted)",
         .passes = "in every cycle, after each pattern's outputs (four '0'/'1', outputs 1-4) are set, the inputs read match the pattern's inputs (eight characters for inputs 1-8: '0', '1', or 'x' for not checked). Every read must be answered, even where the pattern checks no input; a line that goes away fails the step as the line lost, never as the unit's inputs."},
        {.id = TestId::Polling,
         .name = "polling",
         .olderName = "poll",
         .words = {{u"Pooling data test", u"读取资料测试", u"讀取資料測試"}},
         .params = {{.field = "at-least", .kind = K::Integer, .min = 0, .max = 1000000, .help = "records at least",
                     .set = [](RecipeStep& s, V v) { s.params.poll.atLeast = v.toInt(); }},
                    {.field = "at-most", .kind = K::Integer, .min = 0, .max = 1000000, .help = "records at most",
                     .set = [](RecipeStep& s, V v) { s.params.poll.atMost = v.toInt(); }},
                    {.field = "record-pause", .kind = K::Flag,
                     .help = "each record shown half a second, as the window does (default false)",
                     .set = [](RecipeStep& s, V v) { s.params.poll.pauseBetweenRecords = v.toBool(); },
                     .absent = false}},
         .checkFields = [](const QJsonObject& fields, const TestParams& p) -> std::optional<FieldProblem> {
             // A poll says how many records it wants, and the fewest is not above the most.
             if (!fields.contains(u"at-least") && !fields.contains(u"at-most")) return FieldProblem{{}, RecipeProblem::BadRange};
             if (p.poll.atLeast && p.poll.atMost && *p.poll.atLeast > *p.poll.atMost)
                 return FieldProblem{QStringLiteral("at-most"), RecipeProblem::BadRange};
             return std::nullopt;
         },
         .run = steps::RunPolling,
         .step = steps::Poll,
         .measure = steps::OfPolling,
         .continuous = [](const TestParams&) { return true; },
         .help = "read the event store record by record",
         .passes = "the controller's event store holds that many records."},
        {.id = TestId::ControllerCommand,
         .name = "controller-command",
         .olderName = "send",
         .words = {{u"Controller command test", u"控制器指令测试", u"控制器指令測試"}},
         .params = {{.field = "command", .option = "TEXT", .kind = K::Text, .required = true,
                     .help = "the command after the device ID, as typed",
                     .set = [](RecipeStep& s, V v) { s.params.console.text = v.toString(); }},
                    {.field = "reply", .kind = K::Regex, .required = true,
                     .help = "a regular expression the reply after the ID must match",
                     .set = [](RecipeStep& s, V v) { s.params.console.replyPattern = v.toString(); }}},
         .run = steps::RunControllerCommand,
         .step = steps::ControllerCommand,
         .measure = steps::OfConsole,
         .help = "controller console: send ID + TEXT",
         .passes = "the reply (the text after the device ID) matches `reply` anywhere, unless anchored with `^`/`$`."},
        {.id = TestId::ModuleCommand,
         .name = "module-command",
         .olderName = "module",
         .words = {{u"Module command test", u"模组指令测试", u"模組指令測試"}},
         .params = {{.option = "TYPE", .kind = K::ModuleType, .help = "the module's type: 0..5 or A B H I J E",
                     .set = [](RecipeStep& s, V v) { s.params.console.moduleType = v.toInt(); }},
                    {.option = "NUMBER", .kind = K::Text, .help = "the module's number",
                     .set = [](RecipeStep& s, V v) { s.params.console.moduleNumber = v.toString(); }},
                    {.option = "TEXT", .kind = K::Text, .help = "the module's command",
                     .set = [](RecipeStep& s, V v) { s.params.console.text = v.toString(); }},
                    {.field = "command", .kind = K::ModuleWord, .required = true,
                     .help = "type letter, module number and the module's command in one word (\"A1B\")",
                     .set = [](RecipeStep& s, V v) {
                         const QStringList w = v.toStringList();
                         s.params.console.moduleType = w.value(0).toInt();
                         s.params.console.moduleNumber = w.value(1);
                         s.params.console.text = w.value(2);
                     }},
                    {.field = "reply", .kind = K::Regex, .required = true,
                     .help = "a regular expression the reply after the ID must match",
                     .set = [](RecipeStep& s, V v) { s.params.console.replyPattern = v.toString(); }}},
         .run = steps::RunModuleCommand,
         .step = steps::ModuleCommand,
         .measure = steps::OfConsole,
         .help = "module console: TYPE 0..5 or A B H I J E",
         .passes = "the reply matches `reply`, as for `send`; `command` is the module command after \"DD\"."},
        {.id = TestId::FirmwareUpgrade,
         .name = "firmware-upgrade",
         .olderName = "upgrade",
         .words = {{u"Firmware upgrade", u"韧体更新", u"韌體更新"}},
         .params = {{.field = "file", .option = "FILE", .kind = K::NonEmptyText, .required = true,
                     .help = "the firmware file (a recipe's: relative to its folder)",
                     .set = [](RecipeStep& s, V v) { s.params.upgrade.file = v.toString(); }},
                    {.field = "sha256", .kind = K::Sha256, .required = true, .help = "the file's SHA-256",
                     .set = [](RecipeStep& s, V v) { s.params.upgrade.sha256 = v.toByteArray(); }},
                    {.field = "version", .kind = K::Versions, .required = true,
                     .help = "the version wanted: upgraded when outside it, and checked after",
                     .set = [](RecipeStep& s, V v) { s.params.upgrade.wanted = v.value<VersionRange>(); }},
                    {.field = "always", .kind = K::Flag, .help = "upgrade even when the version is already wanted",
                     .set = [](RecipeStep& s, V v) { s.params.upgrade.always = v.toBool(); },
                     .absent = false},
                    {.field = "allow-partial", .option = "--allow-partial", .kind = K::Flag,
                     .help = "program the blocks the model takes of a longer file",
                     .set = [](RecipeStep& s, V v) { s.params.upgrade.allowPartial = v.toBool(); }},
                    {.field = "signed", .option = "--signed-only", .kind = K::Flag,
                     .help = "refuse a file without a trusted release signature",
                     .set = [](RecipeStep& s, V v) { s.params.upgrade.signedOnly = v.toBool(); }},
                    {.option = "--trust", .metavar = "PUB", .kind = K::NonEmptyText, .repeatable = true,
                     .help = "a minisign public key whose releases are trusted (repeatable)",
                     .set = [](RecipeStep& s, V v) { s.params.upgrade.trustedKeys << v.toStringList(); }},
                    {.option = "--retries", .metavar = "N", .kind = K::Integer, .min = 0, .max = 100,
                     .help = "after a lost line or a failed verify, the whole upgrade again once the\n"
                             "controller answers, up to N times",
                     .set = [](RecipeStep& s, V v) { s.retries = v.toInt(); }}},
         .run = steps::RunFirmwareUpgrade,
         .step = steps::Upgrade,
         .measure = steps::OfUpgrade,
         .help = "identify, check FILE against the model, program and verify;\n"
                 "a file with no image, or more blocks than the model reads,\n"
                 "is refused unless --allow-partial programs what it takes;\n"
                 "--retries N: after a lost line or a failed verify, the whole\n"
                 "upgrade again once the controller answers, up to N times",
         .passes = "the file's SHA-256 is `sha256`, it holds an image after its header and (unless `allow-partial`) "
                   "no more blocks than the model reads (126, 250 or 984 by family: refused before the loader is "
                   "entered); with `allow-partial` the blocks the model takes are programmed and the step passes with "
                   "a warning; after the upgrade (done only when the version found lies outside `version`, unless "
                   "`always`) the controller is identified again and its version lies in `version`. A step that finds "
                   "the version already wanted passes without upgrading. With `retries`, a try that failed on the line "
                   "or in its blocks is followed by a wait of up to 60 s for the controller to answer again (a USB "
                   "adapter plugged back under another name is found by its identity), a fresh identify and the whole "
                   "upgrade from its start; each try is a run of its own in the records."},
        {.id = TestId::AwaitAnswer,
         .name = "await-answer",
         .standalone = false,
         .words = {{u"Wait for answer", u"等待应答", u"等待應答"}},
         .run = steps::RunAwaitAnswer,
         .measure = steps::OfAwait},
    };
}

}  // namespace

const QList<TestDescriptor>& Catalogue() {
    static const QList<TestDescriptor> rows = [] {
        QList<TestDescriptor> made = MakeCatalogue();
        Q_ASSERT(made.size() == qsizetype(kTestCount));
        for (qsizetype i = 0; i < made.size(); ++i) Q_ASSERT(made[i].id == TestId(i));
        return made;
    }();
    return rows;
}

const TestDescriptor& CatalogueEntry(TestId test) { return Catalogue()[qsizetype(test)]; }

const TestDescriptor* FindTest(const QString& name) {
    for (const TestDescriptor& d : Catalogue())
        if (name == d.stableName() || name == d.commandName()) return &d;
    return nullptr;
}

std::optional<TestId> StandaloneTest(const QString& name) {
    const TestDescriptor* d = FindTest(name);
    if (!d || !d->standalone) return std::nullopt;
    return d->id;
}

QString TestName(TestId test) { return CatalogueEntry(test).stableName(); }

QString CommandName(TestId test) { return CatalogueEntry(test).commandName(); }

QList<const ParamDescriptor*> TestDescriptor::positionals() const {
    QList<const ParamDescriptor*> out;
    for (const ParamDescriptor& p : params)
        if (p.positional()) out << &p;
    return out;
}

QString TestDescriptor::usage() const {
    QStringList parts;
    for (const ParamDescriptor* p : positionals()) parts << QLatin1String(p->option);
    QStringList skipped;
    for (const ParamDescriptor& p : params) {
        if (!p.option || p.positional() || skipped.contains(QLatin1String(p.option))) continue;
        QString one = QLatin1String(p.option) + (p.metavar ? u' ' + QLatin1String(p.metavar) : QString());
        if (p.excludes)
            for (const ParamDescriptor& other : params)
                if (other.option && QLatin1String(other.option) == QLatin1String(p.excludes)) {
                    one += QStringLiteral(" | ") + QLatin1String(other.option) +
                           (other.metavar ? u' ' + QLatin1String(other.metavar) : QString());
                    skipped << QLatin1String(other.option);
                }
        parts << u'[' + one + u']';
    }
    return parts.join(u' ');
}

RunResult TestResult::run() const {
    return std::visit(
        [](const auto& r) -> RunResult {
            if constexpr (std::is_same_v<std::decay_t<decltype(r)>, UpgradeResult>) return r.asRun();
            else return r;
        },
        found);
}

TestResult RunTest(TestRig& rig, const TestRequest& request) {
    return CatalogueEntry(request.test).run(rig, request.params);
}

Measurements MeasurementsOf(const TestResult& found) {
    const TestDescriptor& d = CatalogueEntry(found.test);
    return d.measure ? d.measure(found) : Measurements{};
}

const QStringList& KnownProcedureIds() {
    static const QStringList ids = [] {
        QStringList names;
        for (const TestDescriptor& d : Catalogue()) names << d.stableName();
        return names;
    }();
    return ids;
}

QString ProcedureName(const QString& procedureId, int language) {
    const qsizetype index = KnownProcedureIds().indexOf(procedureId);
    return index < 0 ? procedureId : Catalogue()[index].nameIn(language);
}

}  // namespace pb
