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
        opened = link.OpenLink(s);
        return opened.ok();
    }
    // Sends and keeps the exchange, whose reply at() and length() read.
    bool crc(const QString& text) {
        last = link.SendCrcCommand(text);
        return last.ok();
    }
    bool xorStx(const QString& text) {
        last = link.SendXorCommand(text);
        return last.ok();
    }
    bool xorEtx(const QString& text) {
        last = link.SendXorCommandEtx(text);
        return last.ok();
    }
    QByteArray at(int position, int count) const { return last.reply.at(position, count); }
    int length() const { return last.reply.length(); }

    sim::Controller controller;
    sim::TcpServer tcp{controller};
    sim::PtyServer pty{controller};
    pb::Link link;
    pb::OpenResult opened;
    pb::Exchange last;
    Via via;
};

}  // namespace simtest
