#pragma once
// Serial link through QSerialPort. The port name may be a device name ("ttyUSB0"),
// a path ("/dev/pts/3") or a Windows-style "COMn", read as /dev/ttyS(n-1).
// A port that another program holds by a living UUCP lock file is left alone; while open,
// the port holds a lock file of its own and is opened exclusively (TIOCEXCL).

#include <QSerialPort>

#include "link/Transport.h"

namespace pb {

QString SerialDevicePath(const QString& portName);

class SerialTransport : public Transport {
    Q_OBJECT
public:
    SerialTransport(const QString& portName, const QString& speed, QObject* parent = nullptr);
    // The lock folders consulted before an open (default: DefaultLockDirs()).
    void setLockDirs(const QStringList& dirs) { lockDirs_ = dirs; }

    bool open() override;
    void close() override;
    bool isOpen() const override { return port_.isOpen(); }
    void discardInput() override;
    bool write(const QByteArray& bytes) override;
    QByteArray readAvailable() override { return port_.readAll(); }
    bool quietTimeRestartsOnEachByte() const override { return true; }

private:
    void onError(QSerialPort::SerialPortError error);

    QSerialPort port_;
    QString speed_;
    QString portName_;
    QStringList lockDirs_;
};

}  // namespace pb
