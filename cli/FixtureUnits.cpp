#include "cli/FixtureUnits.h"

#include <QHash>

#include "multiup/SocketLink.h"

namespace cli {
namespace {

// The socket's link as the command line's unit: the one conversion of multiup/SocketLink.
UnitLink linkOf(const pb::FixtureSocket& socket, const QList<pb::PortFacts>& ports, bool lowLatency) {
    const pb::SocketLink link = pb::LinkOfSocket(socket, ports, lowLatency);
    UnitLink u;
    u.socket = socket.name;
    u.id = socket.id;
    u.speed = link.settings.speed;
    u.rs485 = link.settings.rs485;
    u.lowLatency = link.settings.lowLatency;
    if (link.settings.kind == pb::LinkKind::Net) {
        u.kind = UnitLink::Kind::Tcp;
        u.host = link.settings.ip;
        u.tcpPort = link.settings.tcpPort;
    } else {
        u.port = link.label;
    }
    u.linkProblem = link.failureCause();
    return u;
}

}  // namespace

FixtureUnits UnitsOfFixture(const pb::Fixture& fixture, const QList<pb::PortFacts>& ports,
                            const QStringList& unitSerials, bool lowLatency) {
    FixtureUnits out;
    QHash<QString, QString> serials;
    for (const QString& given : unitSerials) {
        const qsizetype equals = given.indexOf(u'=');
        const QString name = given.left(equals).trimmed();
        if (equals <= 0 || !fixture.socket(name)) {
            out.error = QStringLiteral("--unit-serial with --fixture wants SOCKET=SN, a socket of the fixture, not '%1'")
                            .arg(given);
            return out;
        }
        if (serials.contains(name)) {
            out.error = QStringLiteral("--unit-serial names the socket %1 twice").arg(name);
            return out;
        }
        const QString serial = given.mid(equals + 1).trimmed();
        if (serial.isEmpty()) {
            out.error = QStringLiteral("--unit-serial %1 names no serial: give SOCKET=SN with the serial on the unit's label")
                            .arg(given);
            return out;
        }
        serials.insert(name, serial);
    }
    for (const pb::FixtureSocket& socket : fixture.sockets) {
        if (!serials.isEmpty() && !serials.contains(socket.name)) {
            out.leftOut << socket.name;
            continue;
        }
        UnitLink u = linkOf(socket, ports, lowLatency);
        u.unitSerial = serials.value(socket.name);
        out.units << u;
    }
    return out;
}

}  // namespace cli
