#pragma once
// Scripted controllers for link tests: a TCP peer on 127.0.0.1 and a pseudo-terminal
// peer. Each collects the bytes the tool sends and answers every complete frame (a CR)
// with the reply the test scripted, whole or in timed pieces. Both answer through the
// event loop, so the link under test can wait on the same thread.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>

namespace pbtest {

// One timed piece of a reply: wait delayMs, then write bytes (or close the line).
struct Piece {
    int delayMs = 0;
    QByteArray bytes;
    bool close = false;
};

// A CRC reply frame (0x03 payload 0x04 crc4 CR), built independently of the link's code.
QByteArray CrcReplyFrame(const QByteArray& payload, bool lowercaseDigits = false);
// An XOR reply frame (lead payload xor2 CR).
QByteArray XorReplyFrame(char lead, const QByteArray& payload);

class ScriptedPeer : public QObject {
    Q_OBJECT
public:
    using Script = std::function<QList<Piece>(const QByteArray& frame)>;
    // Answers each received frame with what script returns (nothing: stays silent).
    void setScript(Script script) { script_ = std::move(script); }
    // Every byte received, and the received frames split at CR.
    QByteArray received() const { return received_; }
    QList<QByteArray> frames() const { return frames_; }

protected:
    void take(const QByteArray& bytes);
    virtual void writeBytes(const QByteArray& bytes) = 0;
    virtual void closeLine() = 0;

private:
    QByteArray received_;
    QByteArray pending_;
    QList<QByteArray> frames_;
    Script script_;
};

class TcpPeer : public ScriptedPeer {
    Q_OBJECT
public:
    TcpPeer();
    quint16 port() const { return server_.serverPort(); }

protected:
    void writeBytes(const QByteArray& bytes) override;
    void closeLine() override;

private:
    QTcpServer server_;
    QPointer<QTcpSocket> client_;
};

class PtyPeer : public ScriptedPeer {
    Q_OBJECT
public:
    PtyPeer();
    ~PtyPeer() override;
    bool isOpen() const { return master_ >= 0; }
    // The device the tool opens, e.g. /dev/pts/5.
    QString slavePath() const { return slavePath_; }

protected:
    void writeBytes(const QByteArray& bytes) override;
    // The unplugged adapter: the controller side goes away.
    void closeLine() override;

private:
    int master_ = -1;
    int slave_ = -1;  // kept open so the master never reads EIO between test runs
    QString slavePath_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace pbtest
