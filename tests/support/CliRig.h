#pragma once
// panelbench-cli against panelbench-sim, both as real programs: the simulator logs every
// frame it received and dumps its flash on exit; the CLI's exit code and output are
// kept. The programs' paths come from the build (PANELBENCH_CLI, PANELBENCH_SIM_PROGRAM).

#include <signal.h>

#include <QDeadlineTimer>
#include <functional>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace pbtest {

inline QString CliProgram() { return QStringLiteral(PANELBENCH_CLI); }
inline QString SimProgram() { return QStringLiteral(PANELBENCH_SIM_PROGRAM); }

// One simulated controller in its own process.
class SimProcess {
public:
    explicit SimProcess(QStringList args, bool pty = false) {
        log_ = dir_.filePath(QStringLiteral("frames.jsonl"));
        dump_ = dir_.filePath(QStringLiteral("flash.bin"));
        args << (pty ? QStringList{QStringLiteral("--pty")} : QStringList{QStringLiteral("--tcp"), QStringLiteral("0")})
             << QStringLiteral("--quiet") << QStringLiteral("--log") << log_ << QStringLiteral("--flash-dump") << dump_;
        process_.start(SimProgram(), args);
        process_.waitForStarted(10000);
        QByteArray out;
        QDeadlineTimer deadline(20000);
        while (!out.contains("READY\n") && !deadline.hasExpired() && process_.state() == QProcess::Running) {
            process_.waitForReadyRead(100);
            out += process_.readAllStandardOutput();
        }
        for (const QByteArray& line : out.split('\n')) {
            if (line.startsWith("TCP ")) link_ = {QStringLiteral("--tcp"), QString::fromLatin1(line.mid(4))};
            if (line.startsWith("PTY ")) link_ = {QStringLiteral("--serial"), QString::fromLatin1(line.mid(4))};
        }
    }
    ~SimProcess() { stop(); }

    bool serving() const { return link_.size() == 2; }
    // The CLI's link options for this controller: {"--tcp", "127.0.0.1:PORT"} or a pty.
    QStringList link() const { return link_; }
    QString address() const { return link_.value(1); }

    // SIGTERM: the simulator writes its flash dump and stops.
    void stop() {
        if (process_.state() == QProcess::NotRunning) return;
        ::kill(pid_t(process_.processId()), SIGTERM);
        process_.waitForFinished(10000);
    }

    // The command texts received, in order (checksums and leads stripped by the sim).
    QStringList received() const {
        QStringList texts;
        QFile f(log_);
        if (!f.open(QIODevice::ReadOnly)) return texts;
        while (!f.atEnd()) {
            const QJsonObject o = QJsonDocument::fromJson(f.readLine()).object();
            if (o.value(QStringLiteral("dir")).toString() == QLatin1String("received"))
                texts.append(o.value(QStringLiteral("text")).toString());
        }
        return texts;
    }
    QByteArray flash() const {
        QFile f(dump_);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    QTemporaryDir dir_;
    QString log_, dump_;
    QProcess process_;
    QStringList link_;
};

struct CliResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;

    QList<QJsonObject> events() const {
        QList<QJsonObject> list;
        for (const QByteArray& line : out.split('\n'))
            if (!line.isEmpty()) list.append(QJsonDocument::fromJson(line).object());
        return list;
    }
    QList<QJsonObject> eventsOf(const QString& kind) const {
        QList<QJsonObject> list;
        for (const QJsonObject& o : events())
            if (o.value(QStringLiteral("event")).toString() == kind) list.append(o);
        return list;
    }
};

// Runs the CLI to its end; the settings and records folders are the test's own (or
// those of `env`).
inline CliResult RunCli(const QStringList& args, int timeoutMs = 120000,
                        const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(CliProgram(), args);
    CliResult r;
    if (!p.waitForStarted(10000) || !p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        r.err = "did not finish";
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// A records folder of the test's own (XDG_DATA_HOME), for runs that keep their records
// where the program keeps them by default.
struct CliHome {
    QTemporaryDir dir;
    QProcessEnvironment env = [this] {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("XDG_DATA_HOME"), dir.path());
        return e;
    }();
    CliResult run(const QStringList& args) const { return RunCli(args, 120000, env); }
    QString records() const { return dir.filePath(QStringLiteral("NORDAX/PanelBench/records.sqlite")); }
};

// Starts the CLI with --json and does `act` once, at the first event that satisfies
// `when` (with the program's pid); returns what it printed. Killed (by `act` or at the
// deadline): exit code -1.
inline CliResult RunCliActingWhen(const QStringList& args, const std::function<bool(const QJsonObject&)>& when,
                                  const std::function<void(qint64 pid)>& act, int timeoutMs = 120000,
                                  const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(CliProgram(), args);
    CliResult r;
    p.waitForStarted(10000);
    QByteArray pending;
    bool acted = false;
    QDeadlineTimer deadline(timeoutMs);
    while (p.state() == QProcess::Running && !deadline.hasExpired()) {
        p.waitForReadyRead(50);
        const QByteArray bytes = p.readAllStandardOutput();
        r.out += bytes;
        pending += bytes;
        qsizetype nl;
        while ((nl = pending.indexOf('\n')) >= 0) {
            const QJsonObject o = QJsonDocument::fromJson(pending.left(nl)).object();
            pending.remove(0, nl + 1);
            if (!acted && when(o)) {
                act(p.processId());
                acted = true;
            }
        }
    }
    if (p.state() != QProcess::NotRunning && !p.waitForFinished(1000)) {
        p.kill();
        p.waitForFinished(5000);
        return r;
    }
    r.out += p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    r.exitCode = acted && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return r;
}

// Starts the CLI with --json, waits until an event satisfies `when`, then signals it.
inline CliResult SignalCliWhen(const QStringList& args, const std::function<bool(const QJsonObject&)>& when,
                               int signalNumber = SIGINT, int timeoutMs = 120000) {
    return RunCliActingWhen(args, when, [signalNumber](qint64 pid) { ::kill(pid_t(pid), signalNumber); }, timeoutMs);
}

// A firmware file: the model's header padded with NULs to 16 bytes, then the image.
inline QString WriteFirmware(const QTemporaryDir& dir, const QByteArray& header, const QByteArray& image,
                             const QString& name = QStringLiteral("fw.bin")) {
    QByteArray h = header.left(16);
    h.append(QByteArray(16 - h.size(), '\0'));
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(h + image);
    return path;
}

}  // namespace pbtest
