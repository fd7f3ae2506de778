#pragma once
// The one link to the controller: opens the serial port or socket, sends a framed
// command and waits for the framed reply, which it hands back as an Exchange.

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "link/Exchange.h"
#include "link/LinkSettings.h"
#include "link/PortHealth.h"
#include "link/ReplyBuffer.h"
#include "link/SystemPorts.h"
#include "link/Transport.h"

namespace pb {

// What the link saw, for a traffic view or a test.
struct TrafficRecord {
    enum class Direction { Sent, Received, Failed };
    Direction direction = Direction::Sent;
    QByteArray bytes;       // the frame sent, or the reply assembled (lead to CR)
    qint64 msSinceOpen = 0;
    bool checksumOk = false;  // received replies only
    QString note;             // why a transaction failed
    LinkError error = LinkError::None;  // failed transactions (and BadChecksum replies)
    qint64 replyMs = -1;      // received replies: ms since their command went out
};

// A reply the link waits for longer than a reply takes: the first command the controller
// left unanswered since its last reply (its text as sent, the device ID first), and how
// long ago that command went.
struct AwaitedReply {
    QString commandText;
    qint64 unansweredMs = 0;
};

class Link : public QObject {
    Q_OBJECT
public:
    // A serial reply fails after more than this long without a byte.
    static constexpr int kSerialQuietMs = 300;
    // A TCP reply fails this long after the send, bytes arriving or not.
    static constexpr int kTcpReplyMs = 1200;

    explicit Link(QObject* parent = nullptr);
    ~Link() override;

    OpenResult OpenLink(const LinkSettings& settings);
    // Where a serial open asks for low latency and RS-485 (tests: a stand-in kernel and
    // sysfs root); the settings still say whether to ask.
    void setPortKernel(SerialKernel* kernel, const QString& sysRoot) {
        portKernel_ = kernel;
        sysRoot_ = sysRoot;
    }
    // Where a serial open finds the port's adapter identity (tests: made-up lists).
    void setPortList(std::function<QList<PortFacts>()> list) { portList_ = std::move(list); }
    // Opens over a transport made elsewhere (tests, tools).
    OpenResult OpenLink(std::unique_ptr<Transport> transport);
    void CloseLink();
    bool isOpen() const;
    // What the last open asked of a USB-serial adapter and got (kept after the close).
    const LowLatency& lowLatency() const { return lowLatency_; }
    // The USB adapter the last serial open found (AdapterId()); empty for others.
    const QString& adapterId() const { return adapterId_; }
    // What went wrong on the line since the last open (kept after the close).
    const PortHealth& health() const { return health_; }
    // A new unit on the line: no command is waiting for its reply.
    void forgetUnanswered() {
        unanswered_.invalidate();
        overdue_ = false;
    }
    // A caller sends a command again because its last try failed.
    void noteRetry() { ++health_.retries; }

    // A CRC command answered by a CRC reply (lead 0x03).
    Exchange SendCrcCommand(const QString& text);
    // An XOR command answered by an XOR reply with an STX lead, or with an ETX lead.
    Exchange SendXorCommand(const QString& text);
    Exchange SendXorCommandEtx(const QString& text);

signals:
    void traffic(const pb::TrafficRecord& record);
    // The link is being closed (ends a wait in progress).
    void closing();
    // A command went without its reply in time (told at each such try, with the time since
    // the controller last answered), and the first reply after such tries.
    void replyOverdue(const pb::AwaitedReply& awaited);
    void answeredAgain();

private:
    enum class Check { Crc, Xor };
    Exchange transact(const QString& text, Check check, quint8 lead);
    Exchange fail(Exchange exchange, LinkError error, const QString& why);
    QString FindAdapterId(const QString& portName) const;

    std::unique_ptr<Transport> transport_;
    ReplyAssembler assembler_;
    QElapsedTimer sinceOpen_;
    QElapsedTimer unanswered_;  // since the first command after the last reply; invalid: none
    QString unansweredText_;    // the command that started it
    bool overdue_ = false;      // a reply was overdue since the last one came
    LowLatency lowLatency_;
    QString adapterId_;
    PortHealth health_;
    std::function<QList<PortFacts>()> portList_;
    SerialKernel* portKernel_ = nullptr;
    QString sysRoot_ = QStringLiteral("/sys");
};

}  // namespace pb

Q_DECLARE_METATYPE(pb::TrafficRecord)
Q_DECLARE_METATYPE(pb::AwaitedReply)
