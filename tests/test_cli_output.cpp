// What panelbench-cli prints: --json events that follow the documented schema (frames
// included with --traffic), the progress bar on a terminal and none when piped, the
// window's messages in the chosen language, --help and --version.
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <QSet>

#include "i18n/Messages.h"
#include "tests/support/CliRig.h"
#include "tests/test_firmware_rig.h"

using namespace pbtest;

namespace {

// The fields every event of a kind carries, with their JSON types (docs/panelbench-cli.md).
const QHash<QString, QHash<QString, QJsonValue::Type>>& schema() {
    using T = QJsonValue::Type;
    static const QHash<QString, QHash<QString, T>> s = {
        {"start", {{"command", T::String}}},
        {"step", {{"text", T::String}}},
        {"warning", {{"text", T::String}}},
        {"progress", {{"phase", T::String}, {"done", T::Double}, {"total", T::Double}}},
        {"frame", {{"dir", T::String}, {"frame", T::String}, {"hex", T::String}}},
        {"result",
         {{"command", T::String}, {"ok", T::Bool}, {"exit", T::Double}, {"message", T::String}, {"detail", T::Object}}},
    };
    return s;
}

void expectFollowsSchema(const CliResult& r) {
    for (const QByteArray& line : r.out.split('\n')) {
        if (line.isEmpty()) continue;
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << line.constData();
        ASSERT_TRUE(doc.isObject());
        const QJsonObject o = doc.object();
        const QString kind = o.value("event").toString();
        ASSERT_TRUE(schema().contains(kind)) << line.constData();
        for (const char* common : {"unit", "link", "ms"}) EXPECT_TRUE(o.contains(common)) << line.constData();
        const auto& fields = schema()[kind];
        for (auto it = fields.begin(); it != fields.end(); ++it)
            EXPECT_EQ(o.value(it.key()).type(), it.value()) << qPrintable(it.key()) << " in " << line.constData();
    }
}

// Runs the CLI with its standard output on a pseudo-terminal and returns what it wrote.
QByteArray runOnTerminal(const QStringList& args, int& exitCode) {
    int master = -1, slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return {};
    QProcess p;
    p.setChildProcessModifier([slave] { ::dup2(slave, STDOUT_FILENO); });
    p.start(CliProgram(), args);
    ::close(slave);
    QByteArray out;
    char buffer[4096];
    while (true) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0) break;  // EIO once the child has closed the terminal
        out.append(buffer, n);
    }
    p.waitForFinished(60000);
    exitCode = p.exitCode();
    ::close(master);
    return out;
}

}  // namespace

TEST(CliOutput, JsonEventsFollowTheSchemaAndFramesMatchTheSimulator) {
    const SimModelCase m = ModelCaseFor(5);
    QTemporaryDir dir;
    const QString file = WriteFirmware(dir, m.header, PatternImage(6 * 256));
    SimProcess sim({"--model", "v2", "--id", m.id});
    const CliResult r = RunCli(QStringList{"upgrade", file, "--id", m.id, "--json", "--traffic"} + sim.link());
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    expectFollowsSchema(r);
    sim.stop();

    const auto events = r.events();
    EXPECT_EQ(events.first().value("event").toString(), "start");
    EXPECT_EQ(events.last().value("event").toString(), "result");
    // Every frame the simulator received was reported as sent, in order.
    QStringList sent;
    for (const QJsonObject& f : r.eventsOf("frame"))
        if (f.value("dir").toString() == "sent") sent.append(f.value("frame").toString());
    const QStringList received = sim.received();
    ASSERT_EQ(sent.size(), received.size());
    for (int i = 0; i < sent.size(); ++i) EXPECT_TRUE(sent[i].contains(received[i])) << qPrintable(sent[i]);
    // Program and verify progress each reach every block.
    QSet<QString> finished;
    for (const QJsonObject& p : r.eventsOf("progress"))
        if (p.value("done").toInt() == 6 && p.value("total").toInt() == 6) finished.insert(p.value("phase").toString());
    EXPECT_EQ(finished, QSet<QString>({"program", "verify"}));
}

TEST(CliOutput, ProgressBarOnATerminalAndNoneWhenPiped) {
    const SimModelCase m = ModelCaseFor(3);
    QTemporaryDir dir;
    const QString file = WriteFirmware(dir, m.header, PatternImage(8 * 512));
    SimProcess sim({"--model", "v5", "--id", m.id, "--delay", "30"});
    int exitCode = -1;
    const QByteArray terminal = runOnTerminal(QStringList{"upgrade", file, "--id", m.id} + sim.link(), exitCode);
    EXPECT_EQ(exitCode, 0) << terminal.constData();
    EXPECT_TRUE(terminal.contains("programming [")) << terminal.constData();
    EXPECT_TRUE(terminal.contains("8/8 blocks  100%"));
    EXPECT_TRUE(terminal.contains("elapsed"));
    EXPECT_TRUE(terminal.contains("\r\033[K"));

    const CliResult piped = RunCli(QStringList{"upgrade", file, "--id", m.id} + sim.link());
    EXPECT_EQ(piped.exitCode, 0);
    EXPECT_FALSE(piped.out.contains('\r'));
    EXPECT_FALSE(piped.out.contains("blocks  "));
    // One line per step: the window's status messages, then the result.
    EXPECT_TRUE(piped.out.contains(pb::Msg(pb::MsgId::Programming, pb::Language::English).toUtf8()));
    EXPECT_TRUE(piped.out.contains(pb::Msg(pb::MsgId::Verifying, pb::Language::English).toUtf8()));
    EXPECT_TRUE(piped.out.contains("OK: 8 blocks programmed and verified"));
}

TEST(CliOutput, LanguageGivesTheWindowsMessagesHelpAndVersion) {
    SimProcess sim({"--model", "kv410"});
    for (const auto& [name, index] : {std::pair{"zh-hans", 1}, std::pair{"zh-hant", 2}, std::pair{"en", 0}}) {
        const CliResult r = RunCli(QStringList{"alarm", "1", "--model-kind", "7", "--language", name} + sim.link());
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_TRUE(QString::fromLocal8Bit(r.out).contains(pb::Msg(pb::MsgId::CommandOk, pb::LanguageAt(index)))) << r.out.constData();
    }
    const CliResult help = RunCli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word : {"ports", "identify", "set-date", "alarm", "factory-initial", "reboot", "dido", "poll",
                             "send", "module", "upgrade", "--serial", "--tcp", "--units", "--json", "130"})
        EXPECT_TRUE(help.out.contains(word)) << word;
    const CliResult version = RunCli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QByteArray("panelbench-cli " PANELBENCH_VERSION "\n"));
    const CliResult ports = RunCli({"ports", "--json"});
    EXPECT_EQ(ports.exitCode, 0);
    for (const QJsonObject& o : ports.events()) EXPECT_EQ(o.value("event").toString(), "port");
}

// A wait the controller needs (the older controller restarting) counts down on a
// terminal, one figure a second on the line under the output; piped or as JSON it stays
// the one status line it always was.
TEST(CliOutput, ACountdownCountsDownOnATerminalAndStaysOneLineWhenPiped) {
    SimProcess sim({"--model", "old20", "--id", "012", "--reboot-ms", "500"});
    const QStringList args = QStringList{"reboot", "--id", "012"} + sim.link();
    int exitCode = -1;
    const QString terminal = QString::fromLocal8Bit(runOnTerminal(args, exitCode));
    EXPECT_EQ(exitCode, 0) << terminal.toStdString();
    const QString reboot = pb::Msg(pb::MsgId::SetReboot, pb::Language::English);
    for (int left : {4, 3, 2, 1})
        EXPECT_TRUE(terminal.contains(QStringLiteral("%1 (%2 s left)").arg(reboot).arg(left)))
            << left << " in " << terminal.toStdString();
    EXPECT_TRUE(terminal.contains("OK: controller restarted"));

    const CliResult piped = RunCli(args);
    EXPECT_EQ(piped.exitCode, 0);
    EXPECT_EQ(piped.out.count(" s left)"), 1) << piped.out.constData();
    EXPECT_FALSE(piped.out.contains('\r'));
    const CliResult json = RunCli(args + QStringList{"--json"});
    EXPECT_EQ(json.exitCode, 0);
    expectFollowsSchema(json);
    EXPECT_EQ(json.out.count(" s left)"), 1) << json.out.constData();
}

// In a recipe run the line under the output tells the step under way: a bar of the
// records read by an earlier step is not left standing through the next one.
TEST(CliOutput, TheLineUnderTheOutputNamesTheStepUnderWay) {
    QTemporaryDir dir;
    const QString recipe = dir.filePath("poll-then-reboot.json");
    QFile f(recipe);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(R"({"schema": 1, "product": "Poll, then reboot", "steps": [
        {"kind": "identify", "models": [3]},
        {"kind": "poll", "at-least": 1},
        {"kind": "reboot", "within-s": 30}]})");
    f.close();
    SimProcess sim({"--model", "v5", "--id", "0001", "--reboot-ms", "1500"});
    int exitCode = -1;
    const QString out = QString::fromLocal8Bit(
        runOnTerminal(QStringList{"run", recipe, "--id", "0001", "--no-records"} + sim.link(), exitCode));
    ASSERT_EQ(exitCode, 0) << out.toStdString();
    const qsizetype polled = out.indexOf("step 2/3 Pooling data test: PASS");
    const qsizetype rebooting = out.indexOf("step 3/3 Set reboot: started");
    ASSERT_GE(polled, 0) << out.toStdString();
    ASSERT_GT(rebooting, polled);
    // Once the poll step is over its records are not shown again.
    const QString afterwards = out.mid(rebooting);
    EXPECT_FALSE(afterwards.contains(" records  ")) << afterwards.toStdString();
    EXPECT_TRUE(afterwards.contains("\r\033[Kstep 3/3 Set reboot: ")) << afterwards.toStdString();
}

// The table after a run on many units names each by the serial it reported, beside its link.
TEST(CliOutput, TheClosingTableNamesEachUnitBySerialAndLink) {
    SimProcess first({"--model", "v5", "--id", "0001", "--serial", "SN000011"});
    SimProcess second({"--model", "v6", "--id", "0001", "--serial", "SN000022"});
    SimProcess silent({"--model", "v6", "--silent-all"});
    const CliResult r =
        RunCli(QStringList{"identify", "--id", "0001", "--no-records"} + first.link() + second.link() + silent.link());
    EXPECT_EQ(r.exitCode, 4);
    const QStringList lines = QString::fromLocal8Bit(r.out).split('\n');
    const auto rowOf = [&](const QString& link) {
        for (const QString& line : lines)
            if (!line.startsWith('[') && line.contains(link)) return line.simplified();
        return QString();
    };
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [](const QString& l) { return l.simplified() == "serial link exit result"; }))
        << r.out.constData();
    EXPECT_TRUE(rowOf(first.address()).startsWith("SN000011 " + first.address() + " 0 ")) << r.out.constData();
    EXPECT_TRUE(rowOf(second.address()).startsWith("SN000022 " + second.address() + " 0 ")) << r.out.constData();
    EXPECT_TRUE(rowOf(silent.address()).startsWith("- " + silent.address() + " 4 ")) << r.out.constData();
}
