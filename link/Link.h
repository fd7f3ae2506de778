#pragma once
// The one link to the controller: opens the serial port or socket, sends a framed
// command and waits for the framed reply, keeping the last reply for the caller.

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <memory>

#include "link/LinkSettings.h"
#include "link/ReplyBuffer.h"
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

    bool OpenLink(const LinkSettings& settings);
    // Opens over a transport made elsewhere (tests, tools).
    bool OpenLink(std::unique_ptr<Transport> transport);
    void CloseLink();
    bool isOpen() const;

    bool SendCrcCommand(const QString& text);
    bool SendXorCommand(const QString& text);
    bool SendXorCommandEtx(const QString& text);

    // The last complete reply frame (lead byte to CR) and its length in bytes.
    QByteArray lastReply() const { return lastReply_; }
    int replyLength() const { return replyLength_; }
    // 1-based character positions of the last reply, as the procedures read them;
    // empty where the reply is shorter.
    QByteArray replyAt(int position, int count) const;
    QString lastError() const { return lastError_; }

signals:
    void traffic(const pb::TrafficRecord& record);
    // The link is being closed (ends a wait in progress).
    void closing();

private:
    enum class Check { Crc, Xor };
    bool transact(const QString& text, Check check, quint8 lead);
    bool fail(const QString& why);

    std::unique_ptr<Transport> transport_;
    ReplyAssembler assembler_;
    QByteArray lastReply_;
    int replyLength_ = 0;
    QString lastError_;
    QElapsedTimer sinceOpen_;
};

}  // namespace pb

Q_DECLARE_METATYPE(pb::TrafficRecord)
