#pragma once
// A procedure test against the simulated controller, reached over TCP on 127.0.0.1 or
// over a pseudo-terminal as a serial port, with the recording view and clock.

#include <QString>
#include <memory>

#include "link/Clock.h"
#include "link/Link.h"
#include "procedures/Procedure.h"
#include "sim/SimController.h"
#include "sim/SimServers.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/RecordingProcedureView.h"
#include "tests/support/RecordingRunObserver.h"

namespace pbtest {

enum class Wire { Tcp, Pty };

inline const char* WireName(Wire w) {
    return w == Wire::Tcp ? "Tcp" : "Pty";
}

// Serves the controller over TCP on 127.0.0.1 (any free port) or over a pseudo-terminal,
// and points the link settings at it.
inline void ServeSim(sim::Controller& controller, Wire wire, std::unique_ptr<sim::TcpServer>& tcp,
                     std::unique_ptr<sim::PtyServer>& pty, pb::LinkSettings& settings) {
    if (wire == Wire::Tcp) {
        tcp = std::make_unique<sim::TcpServer>(controller);
        tcp->listen(0);
        settings.kind = pb::LinkKind::Net;
        settings.ip = QStringLiteral("127.0.0.1");
        settings.tcpPort = QString::number(tcp->port());
    } else {
        pty = std::make_unique<sim::PtyServer>(controller);
        pty->open();
        settings.kind = pb::LinkKind::Com;
        settings.portName = pty->slavePath();
    }
}

class SimHarness {
public:
    SimHarness(sim::Model model, const QString& id, Wire wire) : controller(model, id) {
        ServeSim(controller, wire, tcp, pty, view.settings);
    }

    bool serving() const { return tcp ? tcp->port() != 0 : pty && pty->isOpen(); }

    sim::Controller controller;
    std::unique_ptr<sim::TcpServer> tcp;
    std::unique_ptr<sim::PtyServer> pty;
    pb::Link link;
    RecordingProcedureView view;
    pb::RecordingClock clock;
    pb::ControllerState state;
    RecordingRunObserver runs;
    pb::ProcedureContext ctx{link, view.settings, view, view, view, view, view, clock, state, &runs};
};

}  // namespace pbtest
