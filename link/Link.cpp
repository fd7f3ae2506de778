#include "link/Link.h"

#include <utility>

#include <QEventLoop>
#include <QFileInfo>
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

OpenResult Link::OpenLink(const LinkSettings& settings) {
    if (settings.kind == LinkKind::Net)
        return OpenLink(std::make_unique<TcpTransport>(settings.ip, settings.tcpPort));
    auto serial = std::make_unique<SerialTransport>(settings.portName, settings.speed);
    PortTuningWish wish;
    wish.lowLatency = settings.lowLatency;
    wish.rs485 = settings.rs485;
    wish.kernel = portKernel_;
    wish.sysRoot = sysRoot_;
    serial->setTuning(wish);
    OpenResult opened = OpenLink(std::move(serial));
    if (opened) adapterId_ = FindAdapterId(settings.portName);
    return opened;
}

QString Link::FindAdapterId(const QString& portName) const {
    // A pseudo-terminal is no adapter; listing the system's ports is not free.
    if (!portList_ && QFileInfo(SerialDevicePath(portName)).canonicalFilePath().startsWith(QLatin1String("/dev/pts/"))) return {};
    return AdapterIdOf(portList_ ? portList_() : SystemPorts(), portName);
}

OpenResult Link::OpenLink(std::unique_ptr<Transport> transport) {
    CloseLink();
    lowLatency_ = {};
    adapterId_.clear();
    health_ = {};
    if (!transport->open()) {
        OpenResult failed;
        failed.error = transport->openError();
        failed.detail = transport->errorText();
        failed.failure = transport->openFailure();
        if (failed.error == OpenError::None) failed.error = OpenError::Other;
        dispose(transport);
        return failed;
    }
    transport_ = std::move(transport);
    sinceOpen_.start();
    OpenResult opened;
    opened.lowLatency = lowLatency_ = transport_->lowLatency();
    opened.rs485 = transport_->rs485();
    return opened;
}

void Link::CloseLink() {
    emit closing();
    dispose(transport_);
}

bool Link::isOpen() const { return transport_ && transport_->isOpen(); }

Exchange Link::SendCrcCommand(const QString& text) { return transact(text, Check::Crc, kEtx); }
Exchange Link::SendXorCommand(const QString& text) { return transact(text, Check::Xor, kStx); }
Exchange Link::SendXorCommandEtx(const QString& text) { return transact(text, Check::Xor, kEtx); }

Exchange Link::fail(Exchange exchange, LinkError error, const QString& why) {
    exchange.error = error;
    exchange.detail = why;
    TrafficRecord record{TrafficRecord::Direction::Failed, {},
                         sinceOpen_.isValid() ? sinceOpen_.elapsed() : 0, false, why};
    record.error = error;
    emit traffic(record);
    return exchange;
}

Exchange Link::transact(const QString& text, Check check, quint8 lead) {
    assembler_.reset(lead);
    Exchange x;

    const int limit = check == Check::Crc ? kMaxCrcText : kMaxXorText;
    if (text.size() > limit)
        return fail(x, LinkError::TextTooLong,
                    QStringLiteral("command text longer than %1 bytes").arg(limit));
    for (QChar c : text)
        if (c.unicode() > 0x7F)
            return fail(x, LinkError::NotAscii, QStringLiteral("command text is not ASCII"));
    if (!isOpen()) return fail(x, LinkError::NotOpen, QStringLiteral("link not open"));

    const QByteArray body = text.toLatin1();
    const QByteArray frame = check == Check::Crc ? BuildCrcFrame(body) : BuildXorFrame(body);

    // Stale bytes (a late answer to an earlier command) must not be taken as this reply.
    transport_->discardInput();
    // A device that went away since the last reply (adapter pulled, peer gone) is seen here.
    if (!transport_->isOpen()) {
        const QString why = QStringLiteral("device failed: %1").arg(transport_->errorText());
        CloseLink();
        return fail(x, LinkError::DeviceGone, why);
    }
    if (!transport_->write(frame))
        return fail(x, LinkError::WriteFailed,
                    QStringLiteral("write failed: %1").arg(transport_->errorText()));
    x.command = frame;
    if (!unanswered_.isValid()) {
        unanswered_.start();
        unansweredText_ = text;
    }
    emit traffic({TrafficRecord::Direction::Sent, frame, sinceOpen_.elapsed(), true, {}});
    QElapsedTimer sinceSend;
    sinceSend.start();

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

    if (!assembler_.complete()) {
        if (closedMeanwhile)
            return fail(x, LinkError::Closed, QStringLiteral("link closed while waiting"));
        if (deviceFailed) {
            const QString why = QStringLiteral("device failed: %1").arg(transport->errorText());
            CloseLink();
            return fail(x, LinkError::DeviceGone, why);
        }
        ++health_.noReplies;
        overdue_ = true;
        emit replyOverdue({unansweredText_, unanswered_.elapsed()});
        return fail(x, LinkError::NoReply, QStringLiteral("no complete reply in time"));
    }
    unanswered_.invalidate();
    if (std::exchange(overdue_, false)) emit answeredAgain();

    x.replyMs = sinceSend.elapsed();
    health_.skippedBytes += assembler_.skipped();
    x.reply = ReplyFrame(check == Check::Crc ? ReplyFrame::Kind::Crc : ReplyFrame::Kind::Xor,
                         assembler_.text(), assembler_.length());
    const bool ok = check == Check::Crc ? CheckCrcReply(assembler_.buffer())
                                        : CheckXorReply(assembler_.buffer());
    TrafficRecord record{TrafficRecord::Direction::Received, x.reply.bytes(), sinceOpen_.elapsed(),
                         ok, {}};
    record.replyMs = x.replyMs;
    if (!ok) {
        ++health_.badChecksums;
        x.error = LinkError::BadChecksum;
        x.detail = QStringLiteral("reply failed its checksum");
        record.error = x.error;
    }
    emit traffic(record);
    return x;
}

}  // namespace pb
