#include "cli/CliOptions.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>

#include "catalogue/CommandArguments.h"
#include "catalogue/TestCatalogue.h"
#include "catalogue/TestDocs.h"
#include "cli/ExitCode.h"
#include "cli/FixtureUnits.h"
#include "multiup/SocketLink.h"
#include "cli/UnitRun.h"
#include "cli/RecordsCommand.h"
#include "cli/UnitsFile.h"
#include "events/EventsTarget.h"
#include "files/CheckedFile.h"
#include "i18n/FileCheckTexts.h"
#include "records/store/ServerAddress.h"
#include "settings/Settings.h"
#include "link/SameLink.h"
#include "link/SpeedText.h"
#include "multiup/FixtureLoader.h"
#include "link/SystemPorts.h"
#include "catalogue/RecipeLoader.h"

namespace cli {
namespace {

// The commands of the command line's own, which run no test of the catalogue.
const QStringList kOtherCommands = {"ports", "records", "run", "tests"};

// The first option of a test that is set, by its name; empty when none is.
QString TestOptionSet(const QCommandLineParser& p, bool firmwareTrust = false) {
    for (const QCommandLineOption& o : pb::TestOptions()) {
        // A recipe's firmware upgrades take the trust of the command line.
        if (firmwareTrust && (o.names().first() == QLatin1String("trust") || o.names().first() == QLatin1String("signed-only")))
            continue;
        if (p.isSet(o.names().first())) return o.names().first();
    }
    return {};
}

ParsedCli usage(const QString& why) {
    ParsedCli r;
    r.exitCode = kExitUsage;
    r.output = QStringLiteral("panelbench-cli: %1\nTry 'panelbench-cli --help'.\n").arg(why);
    return r;
}

// The options of `records`: where the store is, which runs, and the export.
QString parseRecords(const QCommandLineParser& p, const QStringList& args, RecordsJob& job,
                     const QString& shiftStarts) {
    const auto isSet = [&](const char* name) { return p.isSet(QString::fromLatin1(name)); };
    const auto val = [&](const char* name) { return p.value(QString::fromLatin1(name)); };
    for (const char* option : {"tcp", "units", "speed", "id", "model-kind", "traffic", "operator", "no-records",
                               "unit-serial", "no-low-latency", "rs485"})
        if (isSet(option)) return QStringLiteral("--%1 does not go with 'records'").arg(QLatin1String(option));
    if (const QString option = TestOptionSet(p); !option.isEmpty())
        return QStringLiteral("--%1 does not go with 'records'").arg(option);
    if (p.values(QStringLiteral("serial")).size() > 1) return QStringLiteral("records take one --serial");
    if (pb::records::IsServerUrl(val("records"))) job.url = val("records");
    else job.path = val("records");
    pb::records::RunFilter& f = job.filter;
    f.station = val("station");
    f.serial = val("serial");
    if (isSet("from") && (f.fromMs = ParseRecordsDate(val("from"), false)) == 0)
        return QStringLiteral("--from wants yyyy-mm-dd or yyyy-mm-ddThh:mm:ss, not '%1'").arg(val("from"));
    if (isSet("to") && (f.toMs = ParseRecordsDate(val("to"), true)) == 0)
        return QStringLiteral("--to wants yyyy-mm-dd or yyyy-mm-ddThh:mm:ss, not '%1'").arg(val("to"));
    if (f.fromMs != 0 && f.toMs != 0 && f.fromMs >= f.toMs)
        return QStringLiteral("--from %1 is not before --to %2: no run could match").arg(val("from"), val("to"));
    for (const char* option : {"fixture", "socket", "station"})
        if (isSet(option) && val(option).trimmed().isEmpty())
            return QStringLiteral("--%1 wants a name, not an empty text").arg(QLatin1String(option));
    if (isSet("outcome")) {
        f.outcome = pb::records::OutcomeFromCode(val("outcome"));
        if (!f.outcome)
            return QStringLiteral("--outcome is ok, error, open-failed, interrupted or running, not '%1'").arg(val("outcome"));
    }
    f.procedure = val("procedure");
    f.fixture = val("fixture");
    f.socket = val("socket");
    if (isSet("unit")) {
        bool ok = false;
        f.unitId = val("unit").toLongLong(&ok);
        if (!ok || f.unitId <= 0) return QStringLiteral("--unit wants a unit number, not '%1'").arg(val("unit"));
    }
    job.format = val("format").toLower();
    job.output = val("output");
    job.stats.by = val("by");
    job.stats.language = job.language;
    if (isSet("csv") && job.json) return QStringLiteral("give --json or --csv, not both");
    job.stats.format = job.json ? StatsFormat::Json : isSet("csv") ? StatsFormat::Csv : StatsFormat::Table;
    if (isSet("shifts") || !shiftStarts.isEmpty()) {
        const QString text = isSet("shifts") ? val("shifts") : shiftStarts;
        const auto shifts = pb::records::ParseShiftTimes(text);
        if (!shifts) return QStringLiteral("--shifts wants the shifts' start times in order, HH:MM,HH:MM,..., not '%1'").arg(text);
        job.stats.shifts = *shifts;
    }
    const bool stats = args.value(0) == QLatin1String("stats");
    for (const char* option : {"by", "csv", "shifts"})
        if (isSet(option) && !stats) return QStringLiteral("--%1 goes with 'records stats'").arg(QLatin1String(option));
    return ParseRecordsAction(args, job);
}

}  // namespace

// The tests' commands, each from its row: its name and words, then what it does from the
// 28th column (on a line of its own after a long usage).
QString TestCommandsHelp() {
    constexpr qsizetype kColumn = 27;
    QString text;
    for (const pb::TestDescriptor& test : pb::Catalogue()) {
        if (!test.standalone) continue;
        QString line = QStringLiteral("  ") + test.commandName();
        if (const QString usage = test.usage(); !usage.isEmpty()) line += u' ' + usage;
        line = line.size() < kColumn - 1 ? line.leftJustified(kColumn) : line + u'\n' + QString(kColumn, u' ');
        text += line + QString::fromLatin1(test.help).replace(u'\n', u'\n' + QString(kColumn, u' ')) + u'\n';
    }
    return text;
}

QString HelpText() {
    return QStringLiteral(
        "Usage: panelbench-cli COMMAND [ARGUMENTS] LINK... [OPTIONS]\n"
        "Runs Panel Bench's controller tests without a window, on one or many units at once.\n"
        "\n"
        "Commands:\n"
        "  ports                    list the serial ports and what the system knows of them\n"
        "  tests [--markdown]       the tests: command, stable name, caption (--markdown:\n"
        "                           docs/tests.md, their parameters too)\n") +
        TestCommandsHelp() + QStringLiteral(
        "  records list|show RUN|export|verify  the unit records every run leaves (see Records)\n"
        "  firmware sign FILE --secret-key KEY --models M[,M] --version V [--downgrade]\n"
        "                           [--expires DATE] [--legacy]  write FILE.minisig, a\n"
        "                           minisign signature whose trusted comment is the release\n"
        "  firmware verify FILE [--trust PUB]...  the release's manifest, key id and verdict\n"
        "  run RECIPE [--unit-serial SN]...  run a test recipe (docs/recipes.md) step by step;\n"
        "                           --unit-serial: the serial on each unit's label, in the\n"
        "                           order of the links (absent: serials are not compared)\n"
        "  run --fixture FILE [--unit-serial SOCKET=SN]...  the fixture's recipe on every\n"
        "                           socket at once, each on the socket's link (no other\n"
        "                           link); with --unit-serial only the sockets named run\n"
        "  A test's command may also be given by the name its records keep: connect,\n"
        "  polling, controller-command, module-command, firmware-upgrade.\n"
        "\n"
        "Link (one of them, repeatable: the command runs on every unit at once):\n"
        "  --serial PORT            serial port (ttyUSB0, /dev/ttyUSB0, /dev/serial/by-id/...)\n"
        "  --speed B,P,D,S          serial parameters (default 19200,e,8,1)\n"
        "  --tcp HOST:PORT          controller on the network\n"
        "  --units FILE             one link per line: PORT or HOST:PORT, then optionally an ID\n"
        "  --no-low-latency         leave a USB-serial adapter's latency as it is (default:\n"
        "                           low latency, a 1 ms latency timer, put back on close)\n"
        "  --rs485                  the serial ports drive a two-wire RS-485 bus: the kernel's\n"
        "                           RS-485 mode (RTS while sending); a port without it fails\n"
        "                           to open (exit 3)\n"
        "\n"
        "Options:\n"
        "  --id NNNN                device ID to ask (default 0000)\n"
        "  --model-kind K           model kind 1..7: run without an identify first\n"
        "                           (upgrade always identifies)\n"
        "  --time yyyy-mm-ddThh:mm:ss  the date and time for set-date\n"
        "  --json                   newline-delimited JSON events instead of text\n"
        "  --traffic                show every frame sent and received\n"
        "  --language en|zh-hans|zh-hant  language of the controller messages\n"
        "  --operator NAME          operator kept with the runs in the unit records\n"
        "  --no-records             keep no unit records of this run\n"
        "  --records PATH           the records file (default: the window's, under\n"
        "                           $XDG_DATA_HOME/NORDAX/PanelBench)\n"
        "  --records URL            also send every run to the shared records server\n"
        "                           postgresql://USER@HOST:PORT/DATABASE[?sslmode=require]\n"
        "                           (default: the window's setting; the password comes\n"
        "                           from ~/.pgpass, PGPASSFILE or PGPASSWORD)\n"
        "  --station NAME           the station's name kept with every run (default: the\n"
        "                           host name)\n"
        "  --events URL             publish every unit test as it ends to an MQTT broker:\n"
        "                           mqtt://HOST:PORT/PREFIX or mqtts://... (system CAs);\n"
        "                           those not acknowledged wait in the records and go\n"
        "                           next (default: the window's EventsUrl; docs/events.md)\n"
        "  --events-user NAME, --events-password-file FILE\n"
        "                           the broker's user and a file holding the password\n"
        "  --help, --version\n"
        "\n"
        "Records:\n"
        "  records list [FILTERS] [--json]      the runs, newest first\n"
        "  records show RUN [--json]            one run with its details and frames\n"
        "  records export --format json|csv|junit [FILTERS] [--output FILE]\n"
        "  records status                       how many runs and unit tests wait to be\n"
        "                                       sent to the shared server and the broker\n"
        "  records export --format html|pdf (--serial SERIAL | --unit N) --output FILE\n"
        "                                       a unit's report (pdf: --output needed)\n"
        "  records stats --by day|shift|station|fixture|socket|recipe|step [FILTERS]\n"
        "        [--json|--csv] [--shifts 06:00,14:00,22:00]\n"
        "                                       the line's figures: yields, first-pass and\n"
        "                                       final yield, retests; by step the failures'\n"
        "                                       Pareto; by socket each fixture's health\n"
        "  records report --format html|pdf [FILTERS] [--output FILE]\n"
        "                                       the line's report with its charts: totals,\n"
        "                                       yield per day, failures by step, fixture\n"
        "                                       health (pdf: --output needed)\n"
        "  records stats --by upgrade|duration|latency [FILTERS] [--json|--csv]\n"
        "                                       how long upgrades and unit tests take,\n"
        "                                       and the units' reply latency\n"
        "  FILTERS: --serial PART, --from DATE, --to DATE (yyyy-mm-dd[Thh:mm:ss], --to\n"
        "  takes in its whole day), --outcome ok|error|open-failed|interrupted|running,\n"
        "  --procedure NAME (connect, set-date, dido, firmware-upgrade, ...), --unit N,\n"
        "  --station PART, --fixture NAME, --socket NAME (a unit test's fixture and socket,\n"
        "  each whole); with --records URL (or the window's setting) they read the\n"
        "  shared server\n"
        "\n"
        "Exit codes: 0 ok; 2 usage; 3 link could not be opened; 4 no controller answered or\n"
        "identify failed; 5 a command failed; 6 firmware file or model check refused;\n"
        "7 programming or verify failed (the unit may be left half-flashed); 130 interrupted.\n"
        "run: the code of the first failing step: 3 link; 4 no controller, wrong model,\n"
        "version or serial; 5 a command, DI/DO pattern, record count, reply or restart;\n"
        "6 firmware file's hash, model or size; 7 programming, verify or the version after it.\n"
        "With many units the exit code is the worst of them.\n");
}

ParsedCli ParseCli(const QStringList& arguments) {
    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const auto value = [](const char* name) {
        return QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("V"));
    };
    const auto flag = [](const char* name) { return QCommandLineOption(QString::fromLatin1(name)); };
    p.addOptions({flag("help"), flag("version"), value("serial"), value("speed"), value("tcp"),
                  value("units"), value("id"), value("model-kind"), flag("json"), flag("traffic"),
                  value("language"), value("operator"), flag("no-records"), value("format"),
                  value("records"), value("from"), value("to"), value("outcome"),
                  value("procedure"), value("unit"), value("output"), value("unit-serial"),
                  value("station"), flag("no-low-latency"), flag("rs485"), value("fixture"), value("socket"),
                  value("by"), flag("csv"), value("shifts"), flag("markdown"),
                  value("events"), value("events-user"), value("events-password-file")});
    p.addOptions(pb::TestOptions());
    if (!p.parse(arguments)) return usage(p.errorText());
    if (p.isSet(QStringLiteral("help"))) return {false, HelpText(), kExitOk, {}};
    if (p.isSet(QStringLiteral("version")))
        return {false, QStringLiteral("panelbench-cli %1\n").arg(QStringLiteral(PANELBENCH_VERSION)), kExitOk, {}};

    QStringList args = p.positionalArguments();
    if (args.isEmpty()) return usage(QStringLiteral("no command given"));
    ParsedCli r;
    CliOptions& o = r.options;
    CommandJob& job = o.job;
    job.command = args.takeFirst();
    const QString typed = job.command;  // for the usage messages: the name as given
    const pb::TestDescriptor* test = nullptr;
    if (!kOtherCommands.contains(job.command)) {
        test = pb::FindTest(job.command);
        if (!test || !test->standalone) return usage(QStringLiteral("unknown command '%1'").arg(job.command));
        // From here on the command goes by the command line's own name for it.
        job.command = test->commandName();  // either name is accepted; the older one is shown
        job.test = test->id;
    }
    const auto isSet = [&](const char* name) { return p.isSet(QString::fromLatin1(name)); };
    const auto val = [&](const char* name) { return p.value(QString::fromLatin1(name)); };
    int language = 0;
    if (isSet("language")) {
        const QStringList languages = {"en", "zh-hans", "zh-hant"};
        language = int(languages.indexOf(val("language").toLower()));
        if (language < 0) return usage(QStringLiteral("--language is en, zh-hans or zh-hant"));
    }
    // The tests themselves, as docs/tests.md lists them.
    if (job.command == QLatin1String("tests")) {
        if (!args.isEmpty()) return usage(QStringLiteral("'tests' takes no argument"));
        return {false, isSet("markdown") ? pb::TestsMarkdown() : pb::TestsTable(language), kExitOk, {}};
    }
    if (isSet("markdown")) return usage(QStringLiteral("--markdown goes with 'tests'"));
    // --records URL, else the window's setting: the shared server.
    if (isSet("records") && pb::records::IsServerUrl(val("records"))) {
        QString why;
        if (!pb::records::ParseServerUrl(val("records"), &why))
            return usage(QStringLiteral("--records: %1").arg(why));
    }
    pb::Settings stored;
    if (!isSet("records")) pb::LoadSettings(stored);
    // The line's shifts are a setting of this PC, whichever records are read.
    QString storedShifts;
    if (isSet("records")) {
        pb::Settings shiftsOnly;
        pb::LoadSettings(shiftsOnly);
        storedShifts = shiftsOnly.shiftStarts;
    } else {
        storedShifts = stored.shiftStarts;
    }
    if (job.command == QLatin1String("records")) {
        if (!isSet("records")) o.records.url = stored.recordsUrl;
        o.records.json = isSet("json");
        o.records.language = language;
        if (const QString why = parseRecords(p, args, o.records, storedShifts); !why.isEmpty()) return usage(why);
        r.run = true;
        return r;
    }
    for (const char* option : {"from", "to", "outcome", "procedure", "unit", "format", "output", "socket", "by",
                               "csv", "shifts"})
        if (isSet(option))
            return usage(QStringLiteral("--%1 goes with 'records'").arg(QLatin1String(option)));
    const bool fixture = isSet("fixture");
    if (fixture && job.command != QLatin1String("run"))
        return usage(QStringLiteral("--fixture goes with 'run' or 'records'"));
    // A fixture's sockets are its links.
    for (const char* option : {"serial", "tcp", "units", "speed", "rs485"})
        if (fixture && isSet(option))
            return usage(QStringLiteral("--%1 does not go with --fixture: the fixture names each socket's link")
                             .arg(QLatin1String(option)));
    // The test's own arguments and options; a command of the command line's own takes none
    // of theirs.
    if (test) {
        if (const auto why = pb::ReadCommandArguments(*test, args, p, job.step, typed)) return usage(*why);
    } else {
        if (const QString option = TestOptionSet(p, job.command == QLatin1String("run")); !option.isEmpty())
            return usage(QStringLiteral("--%1 does not go with '%2'").arg(option, typed));
        const int wanted = job.command == QLatin1String("run") && !fixture ? 1 : 0;
        if (args.size() != wanted)
            return usage(QStringLiteral("'%1' takes %2 argument(s), not %3").arg(typed).arg(wanted).arg(args.size()));
    }
    if (isSet("unit-serial") && job.command != QLatin1String("run"))
        return usage(QStringLiteral("--unit-serial goes with 'run'"));
    bool ok = true;
    std::optional<pb::Fixture> fixtureLoaded;
    if (fixture) {
        const pb::FixtureLoad load = pb::loadFixtureFile(val("fixture"));
        if (!load.fixture) {
            QString text = QStringLiteral("panelbench-cli: the fixture %1 has mistakes:\n").arg(val("fixture"));
            for (const pb::FixtureMistake& m : load.mistakes) text += QStringLiteral("  ") + m.text(language) + u'\n';
            ParsedCli bad;
            bad.exitCode = kExitUsage;
            bad.output = text;
            return bad;
        }
        fixtureLoaded = load.fixture;
        job.recipe = load.fixture->recipe;
        job.fixtureName = load.fixture->name;
        job.fixtureHash = load.fixture->sha256Hex;
    } else if (job.command == QLatin1String("run")) {
        const pb::RecipeLoad load = pb::loadRecipeFile(args[0]);
        if (!load.recipe) {
            QString text = QStringLiteral("panelbench-cli: the recipe %1 has mistakes:\n").arg(args[0]);
            for (const pb::RecipeMistake& m : load.mistakes) text += QStringLiteral("  ") + m.text(language) + u'\n';
            ParsedCli bad;
            bad.exitCode = kExitUsage;
            bad.output = text;
            return bad;
        }
        job.recipe = load.recipe;
    }

    // Firmware releases: the keys of this PC's settings are trusted as --trust's are.
    {
        pb::Settings keys;
        pb::LoadSettings(keys);
        if (job.recipe)
            job.recipe->trustFirmware(keys.trustedKeys + p.values(QStringLiteral("trust")), isSet("signed-only"));
        else if (job.test == pb::TestId::FirmwareUpgrade)
            job.step.params.upgrade.trustedKeys = keys.trustedKeys + job.step.params.upgrade.trustedKeys;
    }

    // Shared options.
    if (isSet("id")) {
        job.id = val("id");
        if (!IsUnitId(job.id)) return usage(QStringLiteral("--id wants three or four digits, not '%1'").arg(job.id));
    }
    if (isSet("model-kind")) {
        const int kind = val("model-kind").toInt(&ok);
        if (!ok || kind < 1 || kind > 7) return usage(QStringLiteral("--model-kind wants 1 to 7, not '%1'").arg(val("model-kind")));
        job.modelKind = kind;
    }
    job.language = pb::LanguageAt(language);
    job.traffic = isSet("traffic");
    o.json = isSet("json");
    job.operatorName = val("operator");
    job.keepRecords = !isSet("no-records");
    if (pb::records::IsServerUrl(val("records"))) job.recordsUrl = val("records");
    else job.recordsPath = val("records");
    if (!isSet("records")) job.recordsUrl = stored.recordsUrl;
    job.station = val("station");
    // --events URL, else the window's setting: the broker each unit test goes to.
    pb::Settings eventsStored;
    if (!isSet("events")) pb::LoadSettings(eventsStored);
    job.eventsUrl = isSet("events") ? val("events") : eventsStored.eventsUrl;
    job.eventsUser = isSet("events-user") ? val("events-user") : eventsStored.eventsUser;
    job.eventsPasswordFile =
        isSet("events-password-file") ? val("events-password-file") : eventsStored.eventsPasswordFile;
    if (!job.eventsUrl.isEmpty()) {
        QString why;
        if (!pb::events::ParseEventsUrl(job.eventsUrl, &why)) return usage(QStringLiteral("--events: %1").arg(why));
        if (!job.eventsPasswordFile.isEmpty() && !QFileInfo(job.eventsPasswordFile).isReadable())
            return usage(QStringLiteral("--events-password-file: cannot read '%1'").arg(job.eventsPasswordFile));
    }

    // The links: a fixture's sockets, or those given.
    if (fixtureLoaded) {
        const FixtureUnits units = UnitsOfFixture(*fixtureLoaded, pb::HasAdapterSocket(*fixtureLoaded) ? pb::SystemPorts() : QList<pb::PortFacts>{},
                                                  p.values(QStringLiteral("unit-serial")), !isSet("no-low-latency"));
        if (!units.error.isEmpty()) return usage(units.error);
        o.units = units.units;
        o.leftOut = units.leftOut;
        QList<pb::LinkSettings> links;
        QList<int> at;
        for (int i = 0; i < o.units.size(); ++i)
            if (!o.units[i].linkProblem) {
                links << SettingsOf(o.units[i]);
                at << i;
            }
        if (const auto twice = pb::FirstRepeatedLink(links))
            return usage(QStringLiteral("the fixture's sockets %1 and %2 name the same link '%3'")
                             .arg(o.units[at[twice->first]].socket, o.units[at[twice->second]].socket,
                                  o.units[at[twice->second]].label()));
        r.run = true;
        return r;
    }
    const QString speed = isSet("speed") ? val("speed") : QStringLiteral("19200,e,8,1");
    if (!pb::ParseSpeedText(speed)) return usage(QStringLiteral("--speed wants e.g. 19200,e,8,1, not '%1'").arg(speed));
    for (const QString& port : p.values(QStringLiteral("serial"))) {
        UnitLink u;
        u.port = port;
        u.speed = speed;
        o.units.append(u);
    }
    for (const QString& address : p.values(QStringLiteral("tcp"))) {
        UnitLink u;
        if (!ParseTcpLink(address, u)) return usage(QStringLiteral("--tcp wants HOST:PORT, not '%1'").arg(address));
        o.units.append(u);
    }
    if (isSet("units")) {
        const pb::CheckedFile units = pb::ReadCheckedFile(val("units"), pb::kTextFileLimit);
        if (!units.ok()) return usage(QStringLiteral("the units file: ") + pb::FileCheckText(units, language));
        QString error;
        if (!ParseUnitsFile(QString::fromUtf8(units.bytes), speed, o.units, error)) return usage(error);
    }
    for (UnitLink& u : o.units) {
        u.lowLatency = !isSet("no-low-latency");
        u.rs485 = isSet("rs485");
    }
    if (job.command != QLatin1String("ports") && o.units.isEmpty())
        return usage(QStringLiteral("no link given: name one with --serial PORT, --tcp HOST:PORT or --units FILE"));
    // One controller, one link: the same link twice would drive it twice at once.
    QList<pb::LinkSettings> links;
    for (const UnitLink& u : o.units) links << SettingsOf(u);
    if (const auto twice = pb::FirstRepeatedLink(links))
        return usage(QStringLiteral("the link '%1' is the same as '%2': give each controller once")
                         .arg(o.units[twice->second].label(), o.units[twice->first].label()));
    const QStringList unitSerials = p.values(QStringLiteral("unit-serial"));
    if (!unitSerials.isEmpty() && unitSerials.size() != o.units.size())
        return usage(QStringLiteral("give one --unit-serial per link: %1 links, %2 serials")
                         .arg(o.units.size()).arg(unitSerials.size()));
    for (int i = 0; i < unitSerials.size(); ++i) {
        if (unitSerials[i].trimmed().isEmpty())
            return usage(QStringLiteral("--unit-serial wants the serial on the unit's label, not an empty text"));
        o.units[i].unitSerial = unitSerials[i].trimmed();
    }
    r.run = true;
    return r;
}

}  // namespace cli
