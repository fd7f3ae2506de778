#include "tests/support/TestPeers.h"

#include <QTimer>
#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace pbtest {
namespace {

// CRC-16/ARC bit by bit, independent of the link's table-driven code.
quint16 crc16Arc(const QByteArray& data) {
    quint16 crc = 0;
    for (char c : data) {
        crc ^= quint8(c);
        for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

QByteArray hex(quint32 value, int digits, bool lowercase = false) {
    QByteArray h = QByteArray::number(value, 16).rightJustified(digits, '0');
    return lowercase ? h.toLower() : h.toUpper();
}

}  // namespace

QByteArray CrcReplyFrame(const QByteArray& payload, bool lowercaseDigits) {
    QByteArray covered = QByteArray(1, '\x03') + payload + QByteArray(1, '\x04');
    return covered + hex(crc16Arc(covered), 4, lowercaseDigits) + "\r";
}

QByteArray XorReplyFrame(char lead, const QByteArray& payload) {
    QByteArray covered = QByteArray(1, lead) + payload;
    quint8 x = 0;
    for (char c : covered) x ^= quint8(c);
    return covered + hex(x, 2) + "\r";
}

void ScriptedPeer::take(const QByteArray& bytes) {
    received_ += bytes;
    pending_ += bytes;
    for (int cr = pending_.indexOf('\r'); cr >= 0; cr = pending_.indexOf('\r')) {
        const QByteArray frame = pending_.left(cr + 1);
        pending_.remove(0, cr + 1);
        frames_.append(frame);
        if (!script_) continue;
        int at = 0;
        for (const Piece& piece : script_(frame)) {
            at += piece.delayMs;
            QTimer::singleShot(at, this, [this, piece] {
                if (piece.close) closeLine();
                else writeBytes(piece.bytes);
            });
        }
    }
}

TcpPeer::TcpPeer() {
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* s = server_.nextPendingConnection()) {
            if (client_) client_->deleteLater();
            client_ = s;
            connect(s, &QTcpSocket::readyRead, this, [this, s] { take(s->readAll()); });
        }
    });
}

void TcpPeer::writeBytes(const QByteArray& bytes) {
    if (client_) client_->write(bytes);
}

void TcpPeer::closeLine() {
    if (client_) client_->abort();
}

PtyPeer::PtyPeer() {
    char name[256] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
        master_ = slave_ = -1;
        return;
    }
    termios tio{};
    tcgetattr(slave_, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave_, TCSANOW, &tio);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    slavePath_ = QString::fromLocal8Bit(name);
    notifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char buf[4096];
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) take(QByteArray(buf, int(n)));
    });
}

PtyPeer::~PtyPeer() {
    closeLine();
    if (slave_ >= 0) ::close(slave_);
}

void PtyPeer::writeBytes(const QByteArray& bytes) {
    if (master_ >= 0) (void)!::write(master_, bytes.constData(), size_t(bytes.size()));
}

void PtyPeer::closeLine() {
    if (master_ < 0) return;
    delete notifier_;
    notifier_ = nullptr;
    ::close(master_);
    master_ = -1;
}

}  // namespace pbtest
