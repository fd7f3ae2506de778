#pragma once
// How the port list shows an adapter; which adapter a port is lives in link/SystemPorts.h.

#include <QString>

#include "link/SystemPorts.h"

namespace pb {

// What the port list shows for a port: its name, its description and its by-id name
// ("ttyUSB0  FT232R USB UART  usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0").
QString PortLabel(const PortFacts& port);

}  // namespace pb
