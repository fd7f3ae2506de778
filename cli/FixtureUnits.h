#pragma once
// The units of `run --fixture FILE`: one per socket, its link as the socket names it (an
// adapter socket's port found among `ports`: multiup/SocketLink.h), and the serials
// of --unit-serial SOCKET=SN. Values in and out: reading the file and listing the ports
// are the caller's.

#include <QList>
#include <QString>
#include <QStringList>

#include "cli/UnitJob.h"
#include "multiup/Fixture.h"
#include "link/SystemPorts.h"

namespace cli {

struct FixtureUnits {
    QList<UnitLink> units;  // the sockets that run, in the fixture's order
    QStringList leftOut;    // sockets given no serial while others were
    QString error;          // a usage error: an --unit-serial that names no socket
};

// `unitSerials`: the --unit-serial values, each "SOCKET=SN". None: every socket runs
// and serials are not compared.
FixtureUnits UnitsOfFixture(const pb::Fixture& fixture, const QList<pb::PortFacts>& ports,
                            const QStringList& unitSerials, bool lowLatency);

}  // namespace cli
