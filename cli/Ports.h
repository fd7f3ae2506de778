#pragma once
// The "ports" command: every serial port with what the system knows of it.

#include <QList>
#include <QString>

namespace cli {

struct PortFacts {
    QString path;         // /dev/ttyUSB0
    QString byId;         // /dev/serial/by-id/usb-FTDI_..., when a link names it
    QString description;
    QString manufacturer;
    QString usbId;        // "0403:6001", when known
    QString serialNumber;
    // A USB-serial adapter (sysfs, link/PortTuning.h): its driver and latency timer.
    bool usbSerial = false;
    QString adapterDriver;
    int latencyTimerMs = -1;  // -1: the driver has none
};

// byIdFolder: where the stable names live (/dev/serial/by-id).
// sysRoot: where sysfs is (/sys).
QList<PortFacts> ListPorts(const QString& byIdFolder = QStringLiteral("/dev/serial/by-id"),
                           const QString& sysRoot = QStringLiteral("/sys"));

int PrintPorts(const QList<PortFacts>& ports, bool json);

}  // namespace cli
