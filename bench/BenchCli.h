#pragma once
// The benches' command line: panelbench-cli run to its end, timed from its start.

#include <QByteArray>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>

namespace {

struct CliRun {
    double seconds = 0;
    int exitCode = -1;
    QByteArray out;

    // The detail of the NDJSON result event (--json).
    QJsonObject resultDetail() const {
        for (const QByteArray& line : out.split('\n')) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            if (o.value(QStringLiteral("event")).toString() == QStringLiteral("result"))
                return o.value(QStringLiteral("detail")).toObject();
        }
        return {};
    }
};

CliRun RunCli(const QStringList& args) {
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral(PANELBENCH_CLI), args);
    p.waitForFinished(-1);
    CliRun r;
    r.seconds = double(t.nsecsElapsed()) / 1e9;
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    return r;
}

}  // namespace
