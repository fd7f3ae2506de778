// panelbench-cli: the window's controller tests from a script, on one or many units.
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QHostInfo>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <memory>

#include "cli/CliOptions.h"
#include "cli/ExitCode.h"
#include "cli/Output.h"
#include "cli/Ports.h"
#include "cli/RecordsCommand.h"
#include "cli/UnitRun.h"
#include "files/RuntimeDir.h"
#include "cli/FirmwareCommand.h"
#include "firmware/FirmwareRelease.h"
#include "i18n/CauseTexts.h"
#include "firmware/ModelCheck.h"
#include "i18n/ChainTexts.h"
#include "i18n/FileCheckTexts.h"
#include "i18n/FixtureTexts.h"
#include "pool/UnitPool.h"
#include "records/store/RecordStore.h"
#include "events/EventPublisher.h"
#include "records/sync/RecordsUploader.h"
#include "records/sync/StationHeartbeat.h"

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char b = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &b, 1);
}

void print(const QString& text, int exitCode) {
    QStringList lines = text.split(u'\n');
    if (lines.constLast().isEmpty()) lines.removeLast();  // the text's own last line end
    cli::EmitLines(exitCode == 0 ? stdout : stderr, lines);
}

}  // namespace

int main(int argc, char* argv[]) {
    // Only a PDF export and a line report lay out text, which needs a QGuiApplication: on
    // the offscreen platform, so that it needs no display either.
    std::unique_ptr<pb::PrivateRuntimeDir> runtimeDir;
    std::unique_ptr<QCoreApplication> application;
    if (cli::WantsTextLayout(argc, argv)) {
        runtimeDir = std::make_unique<pb::PrivateRuntimeDir>();
        qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication& app = *application;
    QCoreApplication::setApplicationName(QStringLiteral("panelbench-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PANELBENCH_VERSION));
    std::signal(SIGPIPE, SIG_IGN);

    if (app.arguments().value(1) == QLatin1String("firmware"))
        return cli::FinishStandardOutput(cli::RunFirmwareCommand(app.arguments().mid(2)));
    const cli::ParsedCli parsed = cli::ParseCli(app.arguments());
    if (!parsed.run) {
        print(parsed.output, parsed.exitCode);
        return cli::FinishStandardOutput(parsed.exitCode);
    }
    cli::CliOptions o = parsed.options;
    if (o.job.command == QLatin1String("records")) return cli::FinishStandardOutput(cli::RunRecordsCommand(o.records));
    if (o.job.command == QLatin1String("ports")) return cli::FinishStandardOutput(cli::PrintPorts(cli::ListPorts(), o.json));
    // Read once, before any link is opened: a missing file, a folder, pipe, device, an
    // oversized file or one that changed while it was read is refused here, and nothing
    // goes to a unit. Every unit and every try flashes exactly these bytes.
    if (const QString file = o.job.step.params.upgrade.file; o.job.test && !file.isEmpty()) {
        const pb::FirmwareReleaseRef release = pb::ReadFirmwareRelease(file);
        if (release->problem.code == pb::CauseCode::FileMissing) {
            // Said as the window says it.
            const pb::FileRefusal refusal{pb::MsgId::LoadFirmwareFileError, release->problem};
            print(QStringLiteral("panelbench-cli: ") + pb::RefusalStatus(refusal, 0) + u'\n', 1);
            return cli::kExitFirmwareRefused;
        }
        if (!release->check.ok()) {
            print(QStringLiteral("panelbench-cli: the firmware file: %1\n")
                      .arg(pb::FileCheckText(release->check, pb::LanguageIndex(o.job.language))), 1);
            return cli::kExitFirmwareRefused;
        }
        if (!release->ok()) {
            print(QStringLiteral("panelbench-cli: the firmware file: %1\n")
                      .arg(pb::CauseText(release->problem, pb::LanguageIndex(o.job.language))), 1);
            return cli::kExitFirmwareRefused;
        }
        o.job.step.params.upgrade.release = release;
    }

    // Each link is given once (the options refuse a repeat), so it names its unit.
    QStringList labels;
    for (const cli::UnitLink& u : o.units) labels << u.label();

    cli::Output out(o.json ? cli::Output::Mode::Json : cli::Output::Mode::Human,
                    ::isatty(STDOUT_FILENO) == 1, labels, o.job.command);
    if (winsize size{}; ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        out.setLineWidth(size.ws_col);
    if (!o.job.fixtureName.isEmpty()) {
        QStringList sockets;
        for (const cli::UnitLink& u : o.units) sockets << u.socket;
        out.setSockets(sockets);
        for (const QString& socket : o.leftOut)
            out.leftOut(socket, pb::Text(pb::FixtureText::SocketLeftOut, {socket}, pb::LanguageIndex(o.job.language)));
    }
    // Every unit in a thread of its own; its events come back to this thread, queued.
    qRegisterMetaType<cli::UnitEvent>();
    pb::UnitPool pool(int(o.units.size()));
    QObject::connect(&pool, &pb::UnitPool::allEnded, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    // SIGINT/SIGTERM: the first stops every unit at its next safe point; a second one
    // leaves at once.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        print(QStringLiteral("panelbench-cli: socketpair failed\n"), 1);
        return cli::kExitUsage;
    }
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    bool interrupted = false;
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
        char b;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &b, 1);
        if (interrupted) {
            out.note(QStringLiteral("panelbench-cli: interrupted again, leaving now"));
            std::_Exit(cli::kExitInterrupted);
        }
        interrupted = true;
        out.note(QStringLiteral("panelbench-cli: interrupted, stopping at the next safe point"));
        pool.cancelAll();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    // With shared records the line's overview sees this station at work, from a thread
    // of the heartbeat's own; the last beat says idle.
    std::unique_ptr<pb::records::StationHeartbeat> heartbeat;
    if (o.job.keepRecords && !o.job.recordsUrl.isEmpty()) {
        heartbeat = std::make_unique<pb::records::StationHeartbeat>(
            o.job.recordsUrl, o.job.station.isEmpty() ? QHostInfo::localHostName() : o.job.station);
        heartbeat->setActivity({true, o.job.recipe ? o.job.recipe->product : o.job.command, int(o.units.size()), 0});
    }
    // With an events broker every unit test goes to it as it ends, from a thread of the
    // publisher's own, out of the records' queue: the tests never wait on it.
    std::unique_ptr<pb::events::EventPublisher> events;
    if (o.job.keepRecords && !o.job.eventsUrl.isEmpty()) {
        pb::events::PublisherOptions options;
        options.target = *pb::events::ParseEventsUrl(o.job.eventsUrl);
        if (!o.job.eventsUser.isEmpty()) options.target.user = o.job.eventsUser;
        options.target.passwordFile = o.job.eventsPasswordFile;
        options.storePath = o.job.recordsPath.isEmpty() ? pb::records::RecordStore::DefaultPath() : o.job.recordsPath;
        options.station = o.job.station.isEmpty() ? QHostInfo::localHostName() : o.job.station;
        events = std::make_unique<pb::events::EventPublisher>(options);
        events->setState(pb::events::StationState::Testing);
        QObject::connect(&pool, &pb::UnitPool::ended, &app, [&events] { events->kick(); });
    }
    for (int i = 0; i < o.units.size(); ++i)
        pool.start(i, [&o, &out, &app](int unit, pb::Cancel& cancel) {
            cli::RunUnit(unit, o.units[unit], o.job, cancel, [&](const cli::UnitEvent& e) {
                QMetaObject::invokeMethod(&app, [&out, e] { out.onEvent(e); }, Qt::QueuedConnection);
            });
        });
    if (o.units.isEmpty()) QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    app.exec();
    heartbeat.reset();
    // What the broker took while it answered; a broker away or hung costs no wait.
    if (events) {
        events->setState(pb::events::StationState::Idle);
        if (const qint64 left = events->finish(); left > 0)
            out.note(QStringLiteral("unit records: %1 unit test(s) wait on this PC to be published to %2")
                         .arg(left)
                         .arg(o.job.eventsUrl));
        events.reset();
    }
    // The runs are kept here and queued; now that the tests are done, the shared server
    // gets them (and any left from before). A server that is away leaves them queued.
    if (o.job.keepRecords && !o.job.recordsUrl.isEmpty()) {
        const QString local =
            o.job.recordsPath.isEmpty() ? pb::records::RecordStore::DefaultPath() : o.job.recordsPath;
        const pb::records::UploadResult sent = pb::records::SendQueued(local, o.job.recordsUrl);
        for (const auto& [id, code] : sent.refusedNow)
            out.note(QStringLiteral("unit records: ") +
                     pb::Text(pb::ChainLine::Refused, pb::LanguageIndex(o.job.language))
                         .arg(id)
                         .arg(pb::RefusalText(code, pb::LanguageIndex(o.job.language))));
        if (!sent.server.ok())
            out.note(QStringLiteral("unit records: %1 run(s) wait on this PC to be sent to %2 (%3: %4)")
                         .arg(sent.waiting)
                         .arg(sent.server.path, pb::records::ErrorName(sent.server.error),
                              sent.server.detail));
    }
    out.finish();
    return cli::FinishStandardOutput(interrupted ? cli::WorstExit(out.worstExit(), cli::kExitInterrupted)
                                                 : out.worstExit());
}
