#pragma once
// What the window tells the link about the connection to use.

#include <QString>

namespace pb {

enum class LinkKind { Com = 0, Net = 1 };

struct LinkSettings {
    LinkKind kind = LinkKind::Com;
    QString portName = QStringLiteral("COM1");
    QString speed = QStringLiteral("19200,e,8,1");
    QString ip = QStringLiteral("192.168.1.101");
    QString tcpPort = QStringLiteral("5003");
    // Serial only. Low latency on a USB-serial adapter (link/PortTuning.h); off: the
    // port is left as it is.
    bool lowLatency = true;
    // The kernel's RS-485 mode (RTS raised while sending), for a two-wire bus.
    bool rs485 = false;
};

}  // namespace pb
