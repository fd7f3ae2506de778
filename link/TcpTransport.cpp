#include "link/TcpTransport.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTimer>

namespace pb {

TcpTransport::TcpTransport(const QString& ip, const QString& port, QObject* parent)
    : Transport(parent), ip_(ip.trimmed()), port_(port.trimmed()) {
    connect(&socket_, &QTcpSocket::readyRead, this, &Transport::bytesArrived);
    connect(&socket_, &QTcpSocket::disconnected, this, &Transport::failed);
    connect(&socket_, &QTcpSocket::errorOccurred, this, [this] {
        if (socket_.state() == QAbstractSocket::ConnectedState) return;
        setErrorText(socket_.errorString());
        emit failed();
    });
}

bool IsDottedIPv4(const QString& text) {
    static const QRegularExpression dotted(QStringLiteral("^(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})$"));
    const auto m = dotted.match(text);
    bool inRange = m.hasMatch();
    for (int i = 1; inRange && i <= 4; ++i) inRange = m.captured(i).toInt() <= 255;
    return inRange;
}

bool IsTcpPortText(const QString& text) {
    static const QRegularExpression digits(QStringLiteral("^\\d{1,5}$"));
    const int port = text.toInt();
    return digits.match(text).hasMatch() && port >= 1 && port <= 65535;
}

bool TcpTransport::open() {
    setOpenFailure({});
    QHostAddress address;
    if (!IsDottedIPv4(ip_) || !address.setAddress(ip_)) {
        setErrorText(QStringLiteral("not an IPv4 address: %1").arg(ip_));
        setOpenFailure({OpenFailure::Reason::BadAddress, ip_, {}, {}, 0, {}, {}, errorText()});
        return false;
    }
    bool ok = false;
    const uint port = port_.toUInt(&ok, 10);
    if (!ok || port == 0 || port > 65535) {
        setErrorText(QStringLiteral("not a TCP port: %1").arg(port_));
        setOpenFailure({OpenFailure::Reason::BadPort, port_, {}, {}, 0, {}, {}, errorText()});
        return false;
    }

    // Wait in an event loop so the window keeps painting while the peer is dialled.
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(&socket_, &QTcpSocket::connected, &loop, &QEventLoop::quit);
    connect(&socket_, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
    socket_.connectToHost(address, quint16(port));
    if (socket_.state() != QAbstractSocket::ConnectedState &&
        socket_.state() != QAbstractSocket::UnconnectedState) {
        limit.start(kConnectLimitMs);
        loop.exec();
    }
    if (socket_.state() == QAbstractSocket::ConnectedState) {
        socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        return true;
    }
    const bool limitReached =
        !limit.isActive() && socket_.error() == QAbstractSocket::UnknownSocketError;
    if (limitReached)
        setErrorText(QStringLiteral("no connection within %1 ms").arg(kConnectLimitMs));
    else
        setErrorText(socket_.errorString());
    setOpenFailure(ClassifyTcpError(ip_, quint16(port), socket_.error(), errorText(), limitReached));
    socket_.abort();
    return false;
}

void TcpTransport::close() {
    socket_.abort();
}

bool TcpTransport::write(const QByteArray& bytes) {
    if (socket_.write(bytes) != bytes.size()) return false;
    socket_.flush();
    return true;
}

}  // namespace pb
