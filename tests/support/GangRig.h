#pragma once
// A fixture of simulated controllers in this process, for the gang runner and the
// fixture station: each socket a sim::Controller on 127.0.0.1 TCP or a pty, mixed, or a
// loopback port nobody listens on; the fixture and recipe files written to a temporary
// folder, loaded as the station loads them, with a records file beside them.

#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "multiup/FixtureLoader.h"
#include "gang/GangRunner.h"
#include "sim/SimController.h"
#include "sim/SimServers.h"
#include "tests/support/SimHarness.h"

namespace pbtest {

// Identify (the serial must be the scanned one) and three DI/DO cycles, every input off.
inline const char* kIdentifyDido =
    R"({"schema": 1, "product": "Gang check", "steps": [
 {"kind": "identify", "models": [6]},
 {"kind": "dido", "cycles": 3, "patterns": [{"outputs": "0000", "inputs": "00000000"}]}]})";

struct GangSim {
    std::unique_ptr<sim::Controller> controller;
    std::unique_ptr<sim::TcpServer> tcp;
    std::unique_ptr<sim::PtyServer> pty;
    pb::LinkSettings settings;
};

enum class SocketWire { Tcp, Pty, Absent };

class GangRig {
public:
    // One socket per wire, named A1, A2 ...; socket i's controller reports SN00000<i+1>.
    explicit GangRig(const QList<SocketWire>& wires, const QByteArray& recipe = kIdentifyDido,
                     const QString& start = QStringLiteral("when-full")) {
        QStringList sockets;
        for (int i = 0; i < wires.size(); ++i) {
            GangSim s;
            const QString name = QStringLiteral("A%1").arg(i + 1);
            if (wires[i] == SocketWire::Absent) {
                QTcpServer closed;
                closed.listen(QHostAddress::LocalHost, 0);
                sockets << QStringLiteral(R"({"name": "%1", "tcp": "127.0.0.1:%2"})").arg(name).arg(closed.serverPort());
            } else {
                s.controller = std::make_unique<sim::Controller>(sim::Model::V6, QStringLiteral("0001"));
                s.controller->setSerial(serial(i).toLatin1());
                ServeSim(*s.controller, wires[i] == SocketWire::Tcp ? Wire::Tcp : Wire::Pty, s.tcp, s.pty, s.settings);
                sockets << (wires[i] == SocketWire::Tcp
                                ? QStringLiteral(R"({"name": "%1", "tcp": "127.0.0.1:%2", "id": "0001"})")
                                      .arg(name, s.settings.tcpPort)
                                : QStringLiteral(R"({"name": "%1", "serial": "%2", "id": "0001"})")
                                      .arg(name, s.settings.portName));
            }
            sims.push_back(std::move(s));
        }
        write("recipe.json", recipe);
        const QString path = write("fixture.json",
                                   QStringLiteral("{\"schema\": 1, \"fixture\": \"Gang 4-up\", \"recipe\": \"recipe.json\",\n"
                                                  " \"start\": \"%1\",\n \"sockets\": [\n  %2]}\n")
                                       .arg(start, sockets.join(QStringLiteral(",\n  ")))
                                       .toUtf8());
        pb::FixtureLoad load = pb::loadFixtureFile(path);
        if (load.fixture) fixture = *load.fixture;
        for (const pb::FixtureMistake& m : load.mistakes) mistakes << m.text(0);
    }

    static QString serial(int socket) { return QStringLiteral("SN%1").arg(socket + 1, 6, 10, QLatin1Char('0')); }
    sim::Controller& controller(int socket) { return *sims[std::size_t(socket)].controller; }
    QString recordsPath() const { return dir.filePath(QStringLiteral("records.sqlite")); }
    pb::GangRecords records() const { return {recordsPath(), false, QStringLiteral("Lin"), QStringLiteral("line-3")}; }
    QString write(const QString& name, const QByteArray& bytes) const {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
        return f.fileName();
    }

    QTemporaryDir dir;
    std::vector<GangSim> sims;
    pb::Fixture fixture;
    QStringList mistakes;
};

}  // namespace pbtest
