#pragma once
// Serial link through QSerialPort. The port name may be a device name ("ttyUSB0"),
// a path ("/dev/pts/3") or a Windows-style "COMn", read as /dev/ttyS(n-1).
// A port that another program holds by a living UUCP lock file is left alone; while open,
// the port holds a lock file of its own and is opened exclusively (TIOCEXCL).
// On open it asks for low latency and, when wanted, the RS-485 mode (link/PortTuning.h),
// and puts both back on close.

#include <QSerialPort>

#include "link/PortTuning.h"
#include "link/Transport.h"

namespace pb {

QString SerialDevicePath(const QString& portName);

class SerialTransport : public Transport {
    Q_OBJECT
public:
    SerialTransport(const QString& portName, const QString& speed, QObject* parent = nullptr);
    // The lock folders consulted before an open (default: DefaultLockDirs()).
    void setLockDirs(const QStringList& dirs) { lockDirs_ = dirs; }
    // What the open asks of the kernel (default: low latency, no RS-485, the real kernel).
    void setTuning(const PortTuningWish& wish) { tuner_.setWish(wish); }

    bool open() override;
    void close() override;
    bool isOpen() const override { return port_.isOpen(); }
    void discardInput() override;
    bool write(const QByteArray& bytes) override;
    QByteArray readAvailable() override { return port_.readAll(); }
    bool quietTimeRestartsOnEachByte() const override { return true; }
    LowLatency lowLatency() const override { return tuner_.lowLatency(); }
    bool rs485() const override { return tuner_.rs485().set; }

private:
    void onError(QSerialPort::SerialPortError error);

    QSerialPort port_;
    QString speed_;
    QString portName_;
    QStringList lockDirs_;
    PortTuner tuner_;
};

}  // namespace pb
