#include "cli/FixtureUnits.h"

#include <QHash>

#include "cli/UnitsFile.h"
#include "fixtures/AdapterMatch.h"
#include "i18n/FixtureTexts.h"

namespace cli {
namespace {

UnitLink linkOf(const pb::FixtureSocket& socket, const QList<pb::PortFacts>& ports) {
    UnitLink u;
    u.socket = socket.name;
    u.id = socket.id;
    u.speed = socket.speed;
    u.rs485 = socket.rs485;
    switch (socket.link) {
        case pb::FixtureSocket::Link::Tcp:
            ParseTcpLink(socket.address, u);  // the checker let only HOST:PORT through
            break;
        case pb::FixtureSocket::Link::Serial:
            u.port = socket.address;
            break;
        case pb::FixtureSocket::Link::Adapter: {
            const pb::AdapterPort found = pb::FindAdapterPort(ports, socket.address);
            // The message of a result is in English, as every result's.
            if (found.ok()) u.port = found.port;
            else if (found.failure == pb::AdapterPort::Failure::NotFound)
                u.adapterFailure = pb::Text(pb::FixtureText::AdapterNotFound, {socket.address}, 0);
            else
                u.adapterFailure = pb::Text(pb::FixtureText::AdapterSeveral,
                                            {socket.address, found.matching.join(QStringLiteral(", "))}, 0);
            if (!found.ok()) u.port = socket.address;  // its label until then
            break;
        }
    }
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
        serials.insert(name, given.mid(equals + 1).trimmed());
    }
    for (const pb::FixtureSocket& socket : fixture.sockets) {
        if (!serials.isEmpty() && !serials.contains(socket.name)) {
            out.leftOut << socket.name;
            continue;
        }
        UnitLink u = linkOf(socket, ports);
        u.unitSerial = serials.value(socket.name);
        u.lowLatency = lowLatency;
        out.units << u;
    }
    return out;
}

}  // namespace cli
