#pragma once
// Transports for the simulated controller: a TCP listener (one client at a time)
// and a pseudo-terminal pair whose slave the tool opens as a serial port.

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

class QSocketNotifier;

namespace sim {

class Controller;

class TcpServer : public QObject {
    Q_OBJECT
public:
    explicit TcpServer(Controller& c, QObject* parent = nullptr);
    ~TcpServer() override;

    // 127.0.0.1 only unless an address is given explicitly. Port 0 picks a free port.
    bool listen(quint16 port = 0);
    bool listen(const QHostAddress& address, quint16 port);
    quint16 port() const { return server_.serverPort(); }
    QHostAddress address() const { return server_.serverAddress(); }
    QString errorString() const { return server_.errorString(); }
    bool hasClient() const { return !client_.isNull(); }
    int clientsAccepted() const { return accepted_; }
    void close();

signals:
    void clientConnected(const QString& peer);
    void clientDisconnected();

private:
    void acceptNext();
    void clientGone();

    Controller& controller_;
    QTcpServer server_;
    QPointer<QTcpSocket> client_;
    int accepted_ = 0;
};

class PtyServer : public QObject {
    Q_OBJECT
public:
    explicit PtyServer(Controller& c, QObject* parent = nullptr);
    ~PtyServer() override;

    // Creates the pair; the slave stays open here too, so the tool may open and
    // close it any number of times without the master reading end-of-file.
    bool open();
    QString slavePath() const { return slavePath_; }
    QString errorString() const { return error_; }
    bool isOpen() const { return master_ >= 0; }
    // Closes both ends, as an unplugged adapter would: the tool's port fails.
    void closeMaster();

signals:
    void closed();

private:
    void readMaster();
    void writePending();

    Controller& controller_;
    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
    QString error_;
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;
    QByteArray pending_;
};

}  // namespace sim
