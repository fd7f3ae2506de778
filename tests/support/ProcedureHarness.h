#pragma once
// Everything a procedure test needs: a scripted controller on 127.0.0.1, the link, a
// recording view and clock, and the controller state, wired into one context.

#include <QByteArray>
#include <QStringList>
#include <functional>

#include "link/Clock.h"
#include "link/Link.h"
#include "procedures/Procedure.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/RecordingProcedureView.h"
#include "tests/support/RecordingRunObserver.h"
#include "tests/support/TestPeers.h"

namespace pbtest {

// The command text inside a CRC command frame (between SOH and STX).
inline QString CommandTextOf(const QByteArray& frame) {
    const int stx = frame.indexOf('\x02');
    return QString::fromLatin1(frame.mid(1, stx < 0 ? -1 : stx - 1));
}

// A reply payload of exactly n characters: prefix padded with '0'.
inline QByteArray Payload(const QByteArray& prefix, int n) {
    return prefix.leftJustified(n, '0', true);
}

// A CRC reply whose whole frame (lead to CR) is replyLength bytes long.
inline QByteArray ReplyOfLength(int replyLength, const QByteArray& prefix = {}) {
    return CrcReplyFrame(Payload(prefix, replyLength - 7));
}

// The same with its checksum spoilt.
inline QByteArray BadChecksumReplyOfLength(int replyLength, const QByteArray& prefix = {}) {
    QByteArray frame = ReplyOfLength(replyLength, prefix);
    frame[frame.size() - 2] = frame[frame.size() - 2] == '0' ? '1' : '0';
    return frame;
}

class ProcedureHarness {
public:
    // Answers a command text with the whole reply bytes, or nothing (silence).
    using Answer = std::function<QByteArray(const QString& text)>;

    ProcedureHarness() {
        view.settings.kind = pb::LinkKind::Net;
        view.settings.ip = QStringLiteral("127.0.0.1");
        view.settings.tcpPort = QString::number(peer.port());
    }

    void answer(Answer a) {
        peer.setScript([a = std::move(a)](const QByteArray& frame) -> QList<Piece> {
            const QByteArray reply = a(CommandTextOf(frame));
            if (reply.isEmpty()) return {};
            return {Piece{0, reply, false}};
        });
    }

    QStringList texts() const {
        QStringList t;
        for (const QByteArray& f : peer.frames()) t.append(CommandTextOf(f));
        return t;
    }

    TcpPeer peer;
    pb::Link link;
    RecordingProcedureView view;
    pb::RecordingClock clock;
    pb::ControllerState state;
    RecordingRunObserver runs;
    pb::ProcedureContext ctx{link, view.settings, view, view, view, view, view, clock, state, &runs};
};

}  // namespace pbtest
