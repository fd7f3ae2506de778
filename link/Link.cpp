#include "link/Link.h"

#include <QEventLoop>
#include <QTimer>

#include "link/Checksum.h"
#include "link/Frame.h"
#include "link/SerialTransport.h"
#include "link/TcpTransport.h"

namespace pb {
namespace {

// Deletes a transport once control is back in the event loop: it may be the sender
// of the signal being handled when the link is closed.
void dispose(std::unique_ptr<Transport>& transport) {
    if (!transport) return;
    transport->disconnect();
    transport->close();
    transport.release()->deleteLater();
}

}  // namespace

Link::Link(QObject* parent) : QObject(parent) {
    qRegisterMetaType<pb::TrafficRecord>();
}

Link::~Link() { CloseLink(); }

bool Link::OpenLink(const LinkSettings& settings) {
    if (settings.kind == LinkKind::Net)
        return OpenLink(std::make_unique<TcpTransport>(settings.ip, settings.tcpPort));
    return OpenLink(std::make_unique<SerialTransport>(settings.portName, settings.speed));
}

bool Link::OpenLink(std::unique_ptr<Transport> transport) {
    CloseLink();
    lastError_.clear();
    if (!transport->open()) {
        lastError_ = transport->errorText();
        dispose(transport);
        return false;
    }
    transport_ = std::move(transport);
    sinceOpen_.start();
    return true;
}

void Link::CloseLink() {
    emit closing();
    dispose(transport_);
}

bool Link::isOpen() const { return transport_ && transport_->isOpen(); }

bool Link::SendCrcCommand(const QString& text) { return transact(text, Check::Crc, kEtx); }
bool Link::SendXorCommand(const QString& text) { return transact(text, Check::Xor, kStx); }
bool Link::SendXorCommandEtx(const QString& text) { return transact(text, Check::Xor, kEtx); }

QByteArray Link::replyAt(int position, int count) const {
    if (position < 1 || count < 0 || position - 1 + count > lastReply_.size()) return {};
    return lastReply_.mid(position - 1, count);
}

bool Link::fail(const QString& why) {
    lastError_ = why;
    emit traffic({TrafficRecord::Direction::Failed, {}, sinceOpen_.isValid() ? sinceOpen_.elapsed() : 0,
                  false, why});
    return false;
}

bool Link::transact(const QString& text, Check check, quint8 lead) {
    assembler_.reset(lead);
    replyLength_ = 0;
    lastReply_.clear();
    lastError_.clear();

    const int limit = check == Check::Crc ? kMaxCrcText : kMaxXorText;
    if (text.size() > limit) return fail(QStringLiteral("command text longer than %1 bytes").arg(limit));
    for (QChar c : text)
        if (c.unicode() > 0x7F) return fail(QStringLiteral("command text is not ASCII"));
    if (!isOpen()) return fail(QStringLiteral("link not open"));

    const QByteArray body = text.toLatin1();
    const QByteArray frame = check == Check::Crc ? BuildCrcFrame(body) : BuildXorFrame(body);

    // Stale bytes (a late answer to an earlier command) must not be taken as this reply.
    transport_->discardInput();
    // A device that went away since the last reply (adapter pulled, peer gone) is seen here.
    if (!transport_->isOpen()) {
        const QString why = QStringLiteral("device failed: %1").arg(transport_->errorText());
        CloseLink();
        return fail(why);
    }
    if (!transport_->write(frame)) return fail(QStringLiteral("write failed: %1").arg(transport_->errorText()));
    emit traffic({TrafficRecord::Direction::Sent, frame, sinceOpen_.elapsed(), true, {}});

    // Wait in an event loop for the CR, the time limit or the device failing.
    Transport* transport = transport_.get();
    const bool quietLimit = transport->quietTimeRestartsOnEachByte();
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    bool deviceFailed = false;
    bool closedMeanwhile = false;

    auto takeBytes = [&] {
        const QByteArray bytes = transport->readAvailable();
        if (bytes.isEmpty()) return;
        if (quietLimit) deadline.start();
        for (char b : bytes)
            if (assembler_.feed(quint8(b))) break;
        if (assembler_.complete()) loop.quit();
    };
    const auto c1 = connect(transport, &Transport::bytesArrived, &loop, takeBytes);
    const auto c2 = connect(transport, &Transport::failed, &loop, [&] {
        deviceFailed = true;
        loop.quit();
    });
    const auto c3 = connect(this, &Link::closing, &loop, [&] {
        closedMeanwhile = true;
        loop.quit();
    });
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(quietLimit ? kSerialQuietMs : kTcpReplyMs);
    takeBytes();  // anything that arrived while the frame went out
    if (!assembler_.complete()) loop.exec();
    disconnect(c1);
    disconnect(c2);
    disconnect(c3);

    replyLength_ = assembler_.length();
    if (!assembler_.complete()) {
        if (closedMeanwhile) return fail(QStringLiteral("link closed while waiting"));
        if (deviceFailed) {
            const QString why = QStringLiteral("device failed: %1").arg(transport->errorText());
            CloseLink();
            return fail(why);
        }
        return fail(QStringLiteral("no complete reply in time"));
    }

    lastReply_ = assembler_.text();
    const bool ok = check == Check::Crc ? CheckCrcReply(assembler_.buffer()) : CheckXorReply(assembler_.buffer());
    emit traffic({TrafficRecord::Direction::Received, lastReply_, sinceOpen_.elapsed(), ok, {}});
    if (!ok) lastError_ = QStringLiteral("reply failed its checksum");
    return ok;
}

}  // namespace pb
