#pragma once
// TCP link through QTcpSocket, with a bounded connect.

#include <QTcpSocket>

#include "link/Transport.h"

namespace pb {

// The link's address as a technician types it, the only form open() takes: four numbers
// 0-255 (no names such as localhost, no IPv6), and a port of digits 1 to 65535.
bool IsDottedIPv4(const QString& text);
bool IsTcpPortText(const QString& text);

class TcpTransport : public Transport {
    Q_OBJECT
public:
    // How long a connect may take before the open fails.
    static constexpr int kConnectLimitMs = 3000;

    TcpTransport(const QString& ip, const QString& port, QObject* parent = nullptr);

    bool open() override;
    void close() override;
    bool isOpen() const override { return socket_.state() == QAbstractSocket::ConnectedState; }
    void discardInput() override { socket_.readAll(); }
    bool write(const QByteArray& bytes) override;
    QByteArray readAvailable() override { return socket_.readAll(); }
    bool quietTimeRestartsOnEachByte() const override { return false; }

private:
    QTcpSocket socket_;
    QString ip_;
    QString port_;
};

}  // namespace pb
