#pragma once
// The serial ports of this PC as the system reports them, and which adapter a port is
// beyond its name: a USB adapter's serial number (or its vendor:product and the USB
// socket it sits in). The identity is what finds the same adapter again when it comes
// back under another name (ttyUSB0 became ttyUSB1 after a replug).

#include <QList>
#include <QString>
#include <optional>

namespace pb {

// What the system knows of one port.
struct PortFacts {
    QString name;
    QString description;
    QString manufacturer;
    std::optional<quint16> vendorId;
    std::optional<quint16> productId;
    QString serialNumber;
    QString byIdName = {};    // its link in /dev/serial/by-id, when there is one
    QString byPathName = {};  // its link in /dev/serial/by-path: the USB socket it sits in
    // A USB-serial adapter's latency timer as sysfs has it now (-1: none, or no adapter).
    int latencyTimerMs = -1;
};

// What the system knows of the ports of this PC, with their /dev/serial links.
QList<PortFacts> SystemPorts();

// "usb:0403:6001:sn=A50285BI", "usb:0403:6001:at=pci-0000:00:14.0-usb-0:2:1.0-port0";
// empty for a port with no USB identity (built-in ports, pseudo-terminals).
QString AdapterId(const PortFacts& port);

// The adapter of the port `portName` names ("ttyUSB0", "/dev/ttyUSB0"); empty when no
// listed port is it or it has no identity.
QString AdapterIdOf(const QList<PortFacts>& ports, const QString& portName);

// The name the stored adapter has now, when it is no longer `storedName`: exactly one
// listed port must be that adapter, and `storedName` must not be it. Nothing when the
// adapter is where it was, is absent, is ambiguous, or no adapter is stored.
std::optional<QString> FindMovedAdapter(const QList<PortFacts>& ports, const QString& storedName,
                                        const QString& adapterId);

}  // namespace pb
