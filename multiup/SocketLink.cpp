#include "multiup/SocketLink.h"

#include <algorithm>

#include "multiup/AdapterMatch.h"
#include "i18n/FixtureTexts.h"

namespace pb {

QString SocketLink::failureText(int language) const {
    switch (failure) {
        case Failure::None:
            break;
        case Failure::AdapterNotFound:
            return Text(FixtureText::AdapterNotFound, {adapter}, language);
        case Failure::AdapterSeveral:
            return Text(FixtureText::AdapterSeveral, {adapter, matching.join(QStringLiteral(", "))}, language);
    }
    return {};
}

std::optional<Cause> SocketLink::failureCause() const {
    switch (failure) {
        case Failure::None:
            break;
        case Failure::AdapterNotFound:
            return Cause::of(CauseCode::LinkOpenFailed, {QStringLiteral("AdapterNotFound"), adapter});
        case Failure::AdapterSeveral:
            return Cause::of(CauseCode::LinkOpenFailed, {QStringLiteral("AdapterSeveral"), adapter});
    }
    return std::nullopt;
}

SocketLink LinkOfSocket(const FixtureSocket& socket, const QList<PortFacts>& ports, bool lowLatency) {
    SocketLink out;
    LinkSettings& s = out.settings;
    s.speed = socket.speed;
    s.lowLatency = lowLatency;
    s.rs485 = socket.rs485;
    switch (socket.link) {
        case FixtureSocket::Link::Tcp: {
            // The checker let only IPv4:PORT through.
            const qsizetype colon = socket.address.lastIndexOf(u':');
            s.kind = LinkKind::Net;
            s.ip = socket.address.left(colon);
            s.tcpPort = QString::number(socket.address.mid(colon + 1).toInt());
            out.label = s.ip + u':' + s.tcpPort;
            break;
        }
        case FixtureSocket::Link::Serial:
            s.kind = LinkKind::Com;
            s.portName = socket.address;
            out.label = socket.address;
            break;
        case FixtureSocket::Link::Adapter: {
            s.kind = LinkKind::Com;
            out.adapter = socket.address;
            const AdapterPort found = FindAdapterPort(ports, socket.address);
            if (found.ok()) {
                s.portName = found.port;
                out.label = found.port;
            } else {
                out.failure = found.failure == AdapterPort::Failure::NotFound ? SocketLink::Failure::AdapterNotFound
                                                                              : SocketLink::Failure::AdapterSeveral;
                out.matching = found.matching;
                out.label = socket.address;  // its label until it is found
            }
            break;
        }
    }
    return out;
}

bool HasAdapterSocket(const Fixture& fixture) {
    return std::any_of(fixture.sockets.begin(), fixture.sockets.end(),
                       [](const FixtureSocket& s) { return s.link == FixtureSocket::Link::Adapter; });
}

}  // namespace pb
