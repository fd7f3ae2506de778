#include "link/SerialTransport.h"

#include <QRegularExpression>
#include <cstring>

#include "link/PortLock.h"
#include "link/SpeedText.h"

namespace pb {

QString SerialDevicePath(const QString& portName) {
    static const QRegularExpression com(QStringLiteral("^COM([1-9][0-9]{0,2})$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QString name = portName.trimmed();
    if (const auto m = com.match(name); m.hasMatch())
        return QStringLiteral("/dev/ttyS%1").arg(m.captured(1).toInt() - 1);
    if (name.startsWith(QLatin1Char('/'))) return name;
    return QStringLiteral("/dev/") + name;
}

SerialTransport::SerialTransport(const QString& portName, const QString& speed, QObject* parent)
    : Transport(parent), speed_(speed), portName_(portName), lockDirs_(DefaultLockDirs()) {
    port_.setPortName(SerialDevicePath(portName));
    connect(&port_, &QSerialPort::readyRead, this, &Transport::bytesArrived);
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialTransport::onError);
}

bool SerialTransport::open() {
    // QSerialPort's own lock takes over a lock older than 30 s even when its program still
    // runs, so the lock files are judged here first: a living holder means busy.
    setOpenFailure({});
    const QString path = SerialDevicePath(portName_);
    if (const OpenFailure failure = ExamineSerialPort(portName_, path, lockDirs_)) {
        setOpenFailure(failure);
        setErrorText(Describe(failure));
        return false;
    }
    // Opening writes "LCK..name" (PID on its first line) and sets TIOCEXCL; close undoes both.
    if (!port_.open(QIODevice::ReadWrite)) {
        setErrorText(port_.errorString());
        setOpenFailure(ClassifySerialOpenError(portName_, path, lockDirs_, port_.errorString()));
        return false;
    }
    // The speed text is applied unchecked: a text that does not parse, or a value the
    // device refuses (pseudo-terminals take only 8N1), leaves the port as it was and the
    // link still opens; the first exchange then shows whether the line works.
    if (const auto p = ParseSpeedText(speed_)) {
        port_.setBaudRate(p->baudRate);
        port_.setDataBits(p->dataBits);
        port_.setParity(p->parity);
        port_.setStopBits(p->stopBits);
        port_.setFlowControl(QSerialPort::NoFlowControl);
    }
    if (!tuner_.apply(int(port_.handle()), TtyName(path))) {
        OpenFailure failure;
        failure.reason = OpenError::NoRs485;
        failure.target = portName_.trimmed();
        failure.device = path;
        failure.detail = QString::fromLocal8Bit(std::strerror(tuner_.rs485().error));
        setOpenFailure(failure);
        setErrorText(Describe(failure));
        port_.close();
        return false;
    }
    port_.clearError();
    port_.clear(QSerialPort::AllDirections);
    return true;
}

void SerialTransport::close() {
    if (!port_.isOpen()) return;
    port_.clear(QSerialPort::AllDirections);
    tuner_.restore(int(port_.handle()));
    port_.close();
}

void SerialTransport::discardInput() {
    port_.readAll();
    port_.clear(QSerialPort::AllDirections);
}

bool SerialTransport::write(const QByteArray& bytes) {
    if (port_.write(bytes) != bytes.size()) return false;
    // Queue it to the device now; the reply wait turns the event loop anyway.
    port_.flush();
    return true;
}

void SerialTransport::onError(QSerialPort::SerialPortError error) {
    // Setting a value the device refuses reports an error too; only the ones that
    // mean the device is gone end the link. Those repeat until the port is closed,
    // so the port is closed here, at once.
    switch (error) {
        case QSerialPort::ResourceError:
        case QSerialPort::PermissionError:
        case QSerialPort::DeviceNotFoundError:
        case QSerialPort::ReadError:
        case QSerialPort::WriteError:
            if (!port_.isOpen()) return;
            setErrorText(port_.errorString());
            port_.close();
            emit failed();
            break;
        default:
            break;
    }
}

}  // namespace pb
