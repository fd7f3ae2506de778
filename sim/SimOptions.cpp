#include "sim/SimOptions.h"

#include <QCommandLineParser>
#include <QHostAddress>
#include <QRegularExpression>

#include "Version.h"

namespace sim {
namespace {

const char* kDescription =
    "Simulated KV410-family door controller for Panel Bench.\n"
    "Serves one controller over TCP (127.0.0.1 unless --listen names another address)\n"
    "or over a pseudo-terminal whose slave the tool opens as a serial port.\n"
    "Once serving it prints \"TCP 127.0.0.1:PORT\" or \"PTY /dev/pts/N\", then \"READY\".\n"
    "Stops on SIGINT or SIGTERM. Type \"help\" on standard input for the interactive commands.";

ParsedOptions failWith(const QString& why) {
    return {std::nullopt,
            QStringLiteral("panelbench-sim: %1\nTry 'panelbench-sim --help'.\n").arg(why), 2};
}

bool readInt(const QCommandLineParser& p, const QString& name, int minimum, int maximum, int& out,
             QString& error) {
    if (!p.isSet(name)) return true;
    bool ok = false;
    const int v = p.value(name).toInt(&ok);
    if (!ok || v < minimum || v > maximum) {
        error = QStringLiteral("--%1 wants a whole number from %2 to %3, not '%4'")
                    .arg(name)
                    .arg(minimum)
                    .arg(maximum)
                    .arg(p.value(name));
        return false;
    }
    out = v;
    return true;
}

}  // namespace

QByteArray unescapeBytes(const QString& text) {
    const QByteArray in = text.toLatin1();
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] != '\\' || i + 1 >= in.size()) {
            out.append(in[i]);
            continue;
        }
        const char c = in[++i];
        if (c == 'r')
            out.append('\r');
        else if (c == 'n')
            out.append('\n');
        else if (c == 't')
            out.append('\t');
        else if (c == 'x' && i + 2 < in.size()) {
            bool ok = false;
            const int v = in.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                out.append(char(v));
                i += 2;
            } else {
                out.append("\\x");
            }
        } else
            out.append(c);
    }
    return out;
}

std::optional<QPair<int, bool>> parseStuckInput(const QString& text) {
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("^([1-8])=(on|off|1|0)$"))
                                          .match(text.trimmed().toLower());
    if (!m.hasMatch()) return std::nullopt;
    return QPair<int, bool>(m.captured(1).toInt(), m.captured(2) == u"on" || m.captured(2) == u"1");
}

ParsedOptions parseSimOptions(const QStringList& arguments) {
    QCommandLineParser p;
    p.setApplicationDescription(QString::fromLatin1(kDescription));
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QList<QCommandLineOption> list = {
        {QStringLiteral("help"), QStringLiteral("Show this help and exit.")},
        {QStringLiteral("version"), QStringLiteral("Show the version and exit.")},
        {QStringLiteral("tcp"),
         QStringLiteral("Listen for the tool on this TCP port (0 picks a free port)."),
         QStringLiteral("PORT")},
        {QStringLiteral("listen"),
         QStringLiteral(
             "Address to listen on with --tcp (default 127.0.0.1; name another only on purpose)."),
         QStringLiteral("ADDR")},
        {QStringLiteral("pty"),
         QStringLiteral("Create a pseudo-terminal pair and serve its slave.")},
        {QStringLiteral("pty-link"),
         QStringLiteral("Keep PATH a link to the pty's slave, new pairs included (a stable name, as udev keeps)."),
         QStringLiteral("PATH")},
        {QStringLiteral("model"),
         QStringLiteral("Controller model: %1 (default kv410).")
             .arg(modelNames().join(QStringLiteral(", "))),
         QStringLiteral("NAME")},
        {QStringLiteral("id"),
         QStringLiteral("Device ID: four digits, three for old20/old28 (default all zeros)."),
         QStringLiteral("DIGITS")},
        {QStringLiteral("no-zero-id"),
         QStringLiteral("Answer only the own ID, not the all-zero ID.")},
        {QStringLiteral("inputs"),
         QStringLiteral("Digital inputs 1-8 as eight 0/1 digits, e.g. 10100000."),
         QStringLiteral("BITS")},
        {QStringLiteral("loopback"),
         QStringLiteral("Test fixture: outputs 1-4 drive inputs 1-4 (inputs 5-8 as set).")},
        {QStringLiteral("stuck-input"),
         QStringLiteral("Fault: input N reads LEVEL whatever drives it, e.g. 3=on; repeatable."),
         QStringLiteral("N=on|off")},
        {QStringLiteral("no-events"),
         QStringLiteral("Start with an empty event store (default: five seeded records).")},
        {QStringLiteral("product"),
         QStringLiteral("Product text of the \"DB\" reply (8 characters)."),
         QStringLiteral("TEXT")},
        {QStringLiteral("serial"),
         QStringLiteral("Serial number of the \"AS\" reply (8 characters)."),
         QStringLiteral("TEXT")},
        {QStringLiteral("reboot-ms"),
         QStringLiteral("Silence after a reboot or factory reset, in ms (default 3000)."),
         QStringLiteral("MS")},
        {QStringLiteral("baud"),
         QStringLiteral("Pace reply bytes at this serial speed (default: at once)."),
         QStringLiteral("N")},
        {QStringLiteral("log"),
         QStringLiteral("Append every frame received and sent as JSON lines to FILE."),
         QStringLiteral("FILE")},
        {QStringLiteral("flash-dump"), QStringLiteral("Write the flash image to FILE on exit."),
         QStringLiteral("FILE")},
        {QStringLiteral("flash-load"), QStringLiteral("Start with the flash image read from FILE."),
         QStringLiteral("FILE")},
        {QStringLiteral("write-firmware"),
         QStringLiteral("Write a firmware file (.KVF) the --model takes to FILE; without "
                        "--tcp or --pty, then stop."),
         QStringLiteral("FILE")},
        {QStringLiteral("quiet"), QStringLiteral("Do not show the frame log on screen.")},
        {QStringLiteral("silent"),
         QStringLiteral(
             "Fault: never answer commands starting with PREFIX (after the ID); repeatable."),
         QStringLiteral("PREFIX")},
        {QStringLiteral("silent-all"), QStringLiteral("Fault: never answer anything.")},
        {QStringLiteral("bad-checksum"),
         QStringLiteral("Fault: send replies with a wrong checksum.")},
        {QStringLiteral("lowercase-checksum"),
         QStringLiteral("Fault: write checksum digits a-f in lower case.")},
        {QStringLiteral("delay"), QStringLiteral("Fault: wait MS before each reply."),
         QStringLiteral("MS")},
        {QStringLiteral("split"), QStringLiteral("Fault: send each reply in N pieces."),
         QStringLiteral("N")},
        {QStringLiteral("split-pause"),
         QStringLiteral("Fault: pause MS between the pieces of --split."), QStringLiteral("MS")},
        {QStringLiteral("noise"),
         QStringLiteral("Fault: send TEXT before each reply's lead byte (escapes \\r \\n \\xNN)."),
         QStringLiteral("TEXT")},
        {QStringLiteral("overlong"), QStringLiteral("Fault: pad replies beyond 1500 bytes.")},
        {QStringLiteral("echo"),
         QStringLiteral("Line: echo every command before its reply, as a two-wire RS-485 adapter that hears itself.")},
        {QStringLiteral("adapter-tick"),
         QStringLiteral("Line: hold each reply until the next tick of MS, as a USB-serial adapter's latency timer."),
         QStringLiteral("MS")},
        {QStringLiteral("drop-every"),
         QStringLiteral("Line: lose every Nth reply."), QStringLiteral("N")},
        {QStringLiteral("garble-every"),
         QStringLiteral("Line: send every Nth reply that goes out with its checksum off by one."),
         QStringLiteral("N")},
        {QStringLiteral("blank-serial-first"),
         QStringLiteral("Fault: the first N serial number replies carry blanks in place of the serial."),
         QStringLiteral("N")},
        {QStringLiteral("lose-line-at-block"),
         QStringLiteral("Line: at the first program command of loader block K the line goes away once and the controller restarts."),
         QStringLiteral("K")},
        {QStringLiteral("power-cut-at-block"),
         QStringLiteral("Power: at the first program command of loader block K the power goes once; the controller comes back after --power-off-ms with its flash as left and only its boot loader answering until an upgrade is finished."),
         QStringLiteral("K")},
        {QStringLiteral("power-off-ms"),
         QStringLiteral("Power: how long a power cut keeps the controller away (default 4000)."),
         QStringLiteral("MS")},
        {QStringLiteral("silent-first"),
         QStringLiteral("Fault: ignore the first N attempts of each loader program/verify block."),
         QStringLiteral("N")},
        {QStringLiteral("fault-block"),
         QStringLiteral("Fault: apply --silent-first only to block K (counted from 0)."),
         QStringLiteral("K")},
        {QStringLiteral("corrupt-verify"),
         QStringLiteral("Fault: flip one hex digit in the verify reply of block K."),
         QStringLiteral("K")},
        {QStringLiteral("close-mid-reply"),
         QStringLiteral(
             "Fault: send half a reply, then close the connection (TCP) or the pty pair.")},
    };
    p.addOptions(list);
    if (!p.parse(arguments)) return failWith(p.errorText());
    if (p.isSet(QStringLiteral("help"))) return {std::nullopt, p.helpText(), 0};
    if (p.isSet(QStringLiteral("version")))
        return {std::nullopt, QStringLiteral("panelbench-sim " PANELBENCH_VERSION "\n"), 0};
    if (!p.positionalArguments().isEmpty())
        return failWith(
            QStringLiteral("unexpected argument '%1'").arg(p.positionalArguments().first()));

    SimOptions o;
    QString error;
    const bool tcp = p.isSet(QStringLiteral("tcp"));
    const bool pty = p.isSet(QStringLiteral("pty"));
    o.writeFirmware = p.value(QStringLiteral("write-firmware"));
    o.serve = tcp || pty;
    if (tcp && pty) return failWith(QStringLiteral("choose exactly one of --tcp PORT and --pty"));
    if (!o.serve && o.writeFirmware.isEmpty())
        return failWith(QStringLiteral("choose exactly one of --tcp PORT and --pty"));
    o.transport = tcp ? SimOptions::Transport::Tcp : SimOptions::Transport::Pty;
    int port = 0;
    if (!readInt(p, QStringLiteral("tcp"), 0, 65535, port, error)) return failWith(error);
    o.tcpPort = quint16(port);
    if (p.isSet(QStringLiteral("listen"))) {
        if (!tcp) return failWith(QStringLiteral("--listen goes with --tcp"));
        QHostAddress a;
        if (!a.setAddress(p.value(QStringLiteral("listen"))))
            return failWith(QStringLiteral("--listen wants an IP address, not '%1'")
                                .arg(p.value(QStringLiteral("listen"))));
        o.listenAddress = a.toString();
    }
    if (p.isSet(QStringLiteral("model"))) {
        const auto m = modelFromName(p.value(QStringLiteral("model")));
        if (!m)
            return failWith(QStringLiteral("unknown model '%1'; models: %2")
                                .arg(p.value(QStringLiteral("model")),
                                     modelNames().join(QStringLiteral(", "))));
        o.model = *m;
    }
    if (p.isSet(QStringLiteral("id"))) {
        const int digits = hasThreeDigitId(o.model) ? 3 : 4;
        o.id = p.value(QStringLiteral("id"));
        if (!QRegularExpression(QStringLiteral("^[0-9]{%1}$").arg(digits)).match(o.id).hasMatch())
            return failWith(QStringLiteral("--id wants %1 digits for model %2, not '%3'")
                                .arg(digits)
                                .arg(modelName(o.model), o.id));
    }
    o.answerZeroId = !p.isSet(QStringLiteral("no-zero-id"));
    if (p.isSet(QStringLiteral("inputs"))) {
        o.inputs = p.value(QStringLiteral("inputs"));
        if (!QRegularExpression(QStringLiteral("^[01]{8}$")).match(o.inputs).hasMatch())
            return failWith(
                QStringLiteral("--inputs wants eight 0/1 digits, not '%1'").arg(o.inputs));
    }
    o.loopback = p.isSet(QStringLiteral("loopback"));
    for (const QString& v : p.values(QStringLiteral("stuck-input"))) {
        const auto stuck = parseStuckInput(v);
        if (!stuck)
            return failWith(
                QStringLiteral("--stuck-input wants N=on or N=off with N from 1 to 8, not '%1'")
                    .arg(v));
        o.stuckInputs.append(*stuck);
    }
    o.emptyEventStore = p.isSet(QStringLiteral("no-events"));
    o.product = p.value(QStringLiteral("product")).toLatin1();
    o.serial = p.value(QStringLiteral("serial")).toLatin1();
    if (o.product.size() > 8 || o.serial.size() > 8)
        return failWith(QStringLiteral("--product and --serial take at most 8 characters"));
    if (!readInt(p, QStringLiteral("reboot-ms"), 0, 600000, o.rebootMs, error) ||
        !readInt(p, QStringLiteral("baud"), 0, 4000000, o.baud, error))
        return failWith(error);
    o.ptyLink = p.value(QStringLiteral("pty-link"));
    if (!o.ptyLink.isEmpty() && !p.isSet(QStringLiteral("pty")))
        return failWith(QStringLiteral("--pty-link wants --pty"));
    o.logFile = p.value(QStringLiteral("log"));
    o.flashDump = p.value(QStringLiteral("flash-dump"));
    o.flashLoad = p.value(QStringLiteral("flash-load"));
    o.quiet = p.isSet(QStringLiteral("quiet"));

    Faults& f = o.faults;
    f.silentPrefixes = p.values(QStringLiteral("silent"));
    if (p.isSet(QStringLiteral("silent-all"))) f.silentPrefixes.append(QString());
    f.badChecksum = p.isSet(QStringLiteral("bad-checksum"));
    f.lowercaseChecksum = p.isSet(QStringLiteral("lowercase-checksum"));
    if (!readInt(p, QStringLiteral("delay"), 0, 600000, f.replyDelayMs, error) ||
        !readInt(p, QStringLiteral("split"), 0, 1500, f.splitPieces, error) ||
        !readInt(p, QStringLiteral("split-pause"), 0, 600000, f.splitPauseMs, error) ||
        !readInt(p, QStringLiteral("silent-first"), 0, 1000, f.silentFirstAttemptsOfBlock, error) ||
        !readInt(p, QStringLiteral("fault-block"), 0, 10000, f.faultBlock, error) ||
        !readInt(p, QStringLiteral("corrupt-verify"), 0, 10000, f.corruptVerifyBlock, error) ||
        !readInt(p, QStringLiteral("adapter-tick"), 0, 1000, f.adapterTickMs, error) ||
        !readInt(p, QStringLiteral("drop-every"), 0, 100000, f.dropEveryNth, error) ||
        !readInt(p, QStringLiteral("lose-line-at-block"), 0, 10000, f.loseLineAtBlock, error) ||
        !readInt(p, QStringLiteral("power-cut-at-block"), 0, 10000, f.powerCutAtBlock, error) ||
        !readInt(p, QStringLiteral("power-off-ms"), 0, 600000, f.powerOffMs, error) ||
        !readInt(p, QStringLiteral("blank-serial-first"), 0, 1000, f.blankSerialFirst, error) ||
        !readInt(p, QStringLiteral("garble-every"), 0, 100000, f.garbleEveryNth, error))
        return failWith(error);
    f.noiseBeforeLead = unescapeBytes(p.value(QStringLiteral("noise")));
    f.overlongReply = p.isSet(QStringLiteral("overlong"));
    f.closeMidReply = p.isSet(QStringLiteral("close-mid-reply"));
    f.echoCommands = p.isSet(QStringLiteral("echo"));
    return {o, {}, 0};
}

}  // namespace sim
