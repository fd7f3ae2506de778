#pragma once
// The benches' simulated controller: panelbench-sim in a process of its own on a TCP port
// of 127.0.0.1, stopped with SIGTERM when dropped.

#include <signal.h>
#include <sys/types.h>

#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>

namespace {

// One simulator process; its first lines say where it listens.
class Sim {
public:
    explicit Sim(const QStringList& extra, bool quiet = true) {
        QStringList args{"--tcp", "0"};
        if (quiet) args << "--quiet";
        p_.start(QStringLiteral(PANELBENCH_SIM_PROGRAM), args + extra);
        p_.waitForStarted(10000);
        QByteArray out;
        QDeadlineTimer d(20000);
        while (!out.contains("READY\n") && !d.hasExpired()) {
            p_.waitForReadyRead(50);
            out += p_.readAllStandardOutput();
        }
        for (const QByteArray& line : out.split('\n'))
            if (line.startsWith("TCP ")) address_ = QString::fromLatin1(line.mid(4));
    }
    ~Sim() {
        ::kill(pid_t(p_.processId()), SIGTERM);
        p_.waitForFinished(10000);
    }
    QString address() const { return address_; }
    QProcess& process() { return p_; }

private:
    QProcess p_;
    QString address_;
};

}  // namespace
