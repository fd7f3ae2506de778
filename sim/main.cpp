// panelbench-sim: a simulated controller on 127.0.0.1:PORT or a pseudo-terminal.
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>

#include "sim/SimConsole.h"
#include "sim/SimController.h"
#include "sim/SimFirmwareFile.h"
#include "sim/SimLogText.h"
#include "sim/SimOptions.h"
#include "sim/SimServers.h"

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char b = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &b, 1);
}

void say(const QString& line) {
    std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

int fail(const QString& why) {
    std::fputs(QStringLiteral("panelbench-sim: %1\n").arg(why).toLocal8Bit().constData(), stderr);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const sim::ParsedOptions parsed = sim::parseSimOptions(app.arguments());
    if (!parsed.options) {
        std::fputs(parsed.output.toLocal8Bit().constData(), parsed.exitCode == 0 ? stdout : stderr);
        return parsed.exitCode;
    }
    const sim::SimOptions& o = *parsed.options;
    if (!o.writeFirmware.isEmpty()) {
        const std::optional<QByteArray> file = sim::firmwareFileFor(o.model, o.product);
        if (!file)
            return fail(QStringLiteral("model %1 has no boot loader: it takes no firmware file")
                            .arg(sim::modelName(o.model)));
        QFile f(o.writeFirmware);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(*file) != file->size())
            return fail(QStringLiteral("cannot write %1").arg(o.writeFirmware));
        say(QStringLiteral("FIRMWARE %1 (header \"%2\", %3 blocks of %4 bytes for model %5)")
                .arg(o.writeFirmware, QString::fromLatin1(file->left(16)))
                .arg(sim::kFirmwareFileBlocks)
                .arg(sim::loaderBlockSize(sim::loaderOf(o.model)))
                .arg(sim::modelName(o.model)));
        if (!o.serve) return 0;
    }

    sim::Controller controller(o.model, o.id);
    controller.faults() = o.faults;
    controller.setAnswerZeroId(o.answerZeroId);
    controller.setRebootMs(o.rebootMs);
    controller.setPaceBaud(o.baud);
    if (o.emptyEventStore) controller.events().clear();
    if (!o.inputs.isEmpty()) controller.setInputs(o.inputs);
    controller.setLoopback(o.loopback);
    for (const auto& [input, level] : o.stuckInputs) controller.setStuckInput(input, level);
    if (!o.product.isEmpty()) controller.setProduct(o.product);
    if (!o.serial.isEmpty()) controller.setSerial(o.serial);
    if (!o.flashLoad.isEmpty()) {
        QFile f(o.flashLoad);
        if (!f.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read %1").arg(o.flashLoad));
        controller.setFlash(f.readAll());
    }

    QFile logFile(o.logFile);
    if (!o.logFile.isEmpty() && !logFile.open(QIODevice::WriteOnly | QIODevice::Append))
        return fail(QStringLiteral("cannot write %1").arg(o.logFile));
    QObject::connect(&controller, &sim::Controller::logged, &app, [&](const sim::LogEntry& e) {
        if (!o.quiet) say(sim::screenLine(e));
        if (logFile.isOpen()) {
            logFile.write(sim::jsonLine(e));
            logFile.flush();
        }
    });

    // SIGINT/SIGTERM end the event loop, so the flash dump and the log are written.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return fail(QStringLiteral("socketpair failed"));
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
        char b;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &b, 1);
        app.quit();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    sim::TcpServer tcp(controller);
    sim::PtyServer pty(controller);
    // The stable name follows each new pair, replaced in one step (no moment without it).
    const auto offer = [&] {
        say(QStringLiteral("PTY %1").arg(pty.slavePath()));
        if (o.ptyLink.isEmpty()) return;
        const QString fresh = o.ptyLink + QStringLiteral(".new");
        QFile::remove(fresh);
        if (!QFile::link(pty.slavePath(), fresh) ||
            ::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(o.ptyLink).constData()) != 0)
            say(QStringLiteral("cannot keep %1 a link to the pty").arg(o.ptyLink));
    };
    if (o.transport == sim::SimOptions::Transport::Tcp) {
        if (!tcp.listen(QHostAddress(o.listenAddress), o.tcpPort))
            return fail(QStringLiteral("cannot listen on %1:%2: %3")
                            .arg(o.listenAddress)
                            .arg(o.tcpPort)
                            .arg(tcp.errorString()));
        say(QStringLiteral("TCP %1:%2").arg(tcp.address().toString()).arg(tcp.port()));
        QObject::connect(&tcp, &sim::TcpServer::clientConnected, &app, [&](const QString& peer) {
            if (!o.quiet) say(QStringLiteral("client %1 connected").arg(peer));
        });
        QObject::connect(&tcp, &sim::TcpServer::clientDisconnected, &app, [&] {
            if (!o.quiet) say(QStringLiteral("client left"));
        });
    } else {
        if (!pty.open()) return fail(pty.errorString());
        offer();
        // A fault that closed the pair: offer a new one, as a re-plugged adapter would.
        QObject::connect(&pty, &sim::PtyServer::closed, &app, [&] {
            QMetaObject::invokeMethod(
                &app,
                [&] {
                    if (!pty.isOpen() && pty.open()) offer();
                },
                Qt::QueuedConnection);
        });
    }
    say(QStringLiteral("READY"));

    sim::Console console(controller);
    QObject::connect(&console, &sim::Console::quitRequested, &app, &QCoreApplication::quit);
    console.start();

    const int rc = app.exec();
    tcp.close();
    pty.closeMaster();
    if (!o.flashDump.isEmpty()) {
        QFile dump(o.flashDump);
        if (!dump.open(QIODevice::WriteOnly) ||
            dump.write(controller.flash()) != controller.flash().size())
            return fail(QStringLiteral("cannot write %1").arg(o.flashDump));
    }
    if (!o.quiet) say(QStringLiteral("stopped"));
    return rc;
}
