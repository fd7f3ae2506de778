#pragma once
// The simulated controller on a bench: the tool's own link talks to it over TCP
// loopback or over a pseudo-terminal, in this thread's event loop.

#include <QString>

#include "link/Link.h"
#include "link/LinkSettings.h"
#include "sim/SimController.h"
#include "sim/SimServers.h"

namespace simtest {

enum class Via { Tcp, Pty };

inline const char* viaName(Via v) {
    return v == Via::Tcp ? "Tcp" : "Pty";
}

struct SimBench {
    explicit SimBench(sim::Model model, Via via = Via::Tcp, const QString& id = QString())
        : controller(model, id), via(via) {}

    // Starts the transport and opens the tool's link to it.
    bool open() {
        pb::LinkSettings s;
        if (via == Via::Tcp) {
            if (!tcp.listen()) return false;
            s.kind = pb::LinkKind::Net;
            s.ip = QStringLiteral("127.0.0.1");
            s.tcpPort = QString::number(tcp.port());
        } else {
            if (!pty.open()) return false;
            s.kind = pb::LinkKind::Com;
            s.portName = pty.slavePath();
            s.speed = QStringLiteral("19200,e,8,1");
        }
        return link.OpenLink(s);
    }
    bool crc(const QString& text) { return link.SendCrcCommand(text); }
    QByteArray at(int position, int count) const { return link.replyAt(position, count); }
    int length() const { return link.replyLength(); }

    sim::Controller controller;
    sim::TcpServer tcp{controller};
    sim::PtyServer pty{controller};
    pb::Link link;
    Via via;
};

}  // namespace simtest
