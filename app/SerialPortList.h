#pragma once
// The serial ports offered in the port list: what the system reports, in a stable
// order, with COM1 .. COM16 when it reports none.

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

struct PortEntry {
    QString name;
    QString toolTip;  // empty when nothing is known beyond the name
    QString label = {};      // what the list shows: name, description, by-id name
    QString adapterId = {};  // see AdapterId(); empty for ports without USB identity
};

// Sorted by name with numbers compared as numbers (ttyS2 before ttyS10); COM1 .. COM16
// when `ports` is empty.
QList<PortEntry> PortListFrom(QList<PortFacts> ports, int language = 0);

// One line per known fact: description, manufacturer, USB vendor:product, serial number,
// the adapter's latency timer and whether low latency is on (in the window's language).
QString PortToolTip(const PortFacts& port, int language = 0);

// What the system knows of the ports of this PC, with their /dev/serial links.
QList<PortFacts> SystemPorts();

// The ports of this PC.
QList<PortEntry> ListSerialPorts();

}  // namespace pb
