#pragma once
// Which adapter a port is, beyond its name: a USB adapter's serial number (or its
// vendor:product and the USB socket it sits in). Kept beside the port name so that the
// same adapter is found again when it comes back under another name (ttyUSB0 became
// ttyUSB1 after a replug).

#include <QList>
#include <QString>
#include <optional>

#include "app/SerialPortList.h"

namespace pb {

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

// What the port list shows for a port: its name, its description and its by-id name
// ("ttyUSB0  FT232R USB UART  usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0").
QString PortLabel(const PortFacts& port);

}  // namespace pb
