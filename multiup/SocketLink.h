#pragma once
// How a fixture's socket is reached: its LinkSettings (a TCP address, a serial port with
// its speed, or the port an adapter is plugged in as, found by its identity among
// `ports`), or why there is none. One conversion for the command line and the station.

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "evidence/Cause.h"
#include "multiup/Fixture.h"
#include "link/LinkSettings.h"
#include "link/SystemPorts.h"

namespace pb {

struct SocketLink {
    enum class Failure { None, AdapterNotFound, AdapterSeveral } failure = Failure::None;
    LinkSettings settings;  // set when ok()
    QString label;          // "127.0.0.1:4001", the port; an adapter not found: as written
    QStringList matching;   // AdapterSeveral: the ports that are the adapter
    QString adapter;        // the adapter as written (adapter sockets)
    bool ok() const { return failure == Failure::None; }
    // Why there is no link, in `language`; empty when ok().
    QString failureText(int language) const;
    // The same as a cause (a link that could not be opened, by the adapter); none when ok().
    std::optional<Cause> failureCause() const;
};

// `ports` is read for adapter sockets only (give SystemPorts(), or none when no socket
// is one). `lowLatency`: what a serial open asks of a USB-serial adapter.
SocketLink LinkOfSocket(const FixtureSocket& socket, const QList<PortFacts>& ports, bool lowLatency = true);

// Whether any socket is an adapter's: the system's ports are listed only then.
bool HasAdapterSocket(const Fixture& fixture);

}  // namespace pb
