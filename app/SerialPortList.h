#pragma once
// The serial ports offered in the port list: what the system reports, in a stable
// order, with COM1 .. COM16 when it reports none.

#include <QList>
#include <QString>
#include <optional>

#include "link/SystemPorts.h"

namespace pb {

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

// The ports of this PC.
QList<PortEntry> ListSerialPorts();

}  // namespace pb
