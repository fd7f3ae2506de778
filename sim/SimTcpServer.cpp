#include "sim/SimController.h"
#include "sim/SimServers.h"

namespace sim {

TcpServer::TcpServer(Controller& c, QObject* parent) : QObject(parent), controller_(c) {
    connect(&server_, &QTcpServer::newConnection, this, &TcpServer::acceptNext);
    connect(&controller_, &Controller::send, this, [this](const QByteArray& bytes) {
        if (client_) client_->write(bytes);
    });
    connect(&controller_, &Controller::dropConnection, this, [this] {
        if (client_) client_->disconnectFromHost();  // what was written still goes out
    });
}

TcpServer::~TcpServer() {
    close();
}

bool TcpServer::listen(quint16 port) {
    return listen(QHostAddress(QHostAddress::LocalHost), port);
}

bool TcpServer::listen(const QHostAddress& address, quint16 port) {
    return server_.listen(address, port);
}

void TcpServer::close() {
    server_.close();
    if (client_) {
        client_->disconnect(this);
        client_->abort();
        client_->deleteLater();
        client_.clear();
        controller_.connectionClosed();
    }
}

void TcpServer::acceptNext() {
    // One client at a time: later ones wait in the backlog until this one leaves.
    if (client_ || !server_.hasPendingConnections()) return;
    client_ = server_.nextPendingConnection();
    server_.pauseAccepting();
    ++accepted_;
    client_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(client_, &QTcpSocket::readyRead, this, [this] {
        if (client_) controller_.receive(client_->readAll());
    });
    connect(client_, &QTcpSocket::disconnected, this, &TcpServer::clientGone);
    emit clientConnected(
        QStringLiteral("%1:%2").arg(client_->peerAddress().toString()).arg(client_->peerPort()));
    if (client_->bytesAvailable() > 0) controller_.receive(client_->readAll());
}

void TcpServer::clientGone() {
    if (client_) {
        client_->disconnect(this);
        client_->deleteLater();
        client_.clear();
    }
    controller_.connectionClosed();
    emit clientDisconnected();
    server_.resumeAccepting();
    acceptNext();
}

}  // namespace sim
