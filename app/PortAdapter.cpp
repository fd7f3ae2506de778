#include "app/PortAdapter.h"

#include <QStringList>

#include "link/SerialTransport.h"

namespace pb {
namespace {

QString Hex4(quint16 value) { return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')); }

bool SamePort(const PortFacts& port, const QString& name) {
    return SerialDevicePath(port.name) == SerialDevicePath(name);
}

}  // namespace

QString AdapterId(const PortFacts& port) {
    if (!port.vendorId || !port.productId) {
        if (port.serialNumber.isEmpty()) return {};
        return QStringLiteral("usb:sn=") + port.serialNumber;
    }
    const QString usb = QStringLiteral("usb:%1:%2").arg(Hex4(*port.vendorId), Hex4(*port.productId));
    if (!port.serialNumber.isEmpty()) return usb + QStringLiteral(":sn=") + port.serialNumber;
    // No serial number: the USB socket it sits in tells it apart.
    if (!port.byPathName.isEmpty()) return usb + QStringLiteral(":at=") + port.byPathName;
    return {};
}

QString AdapterIdOf(const QList<PortFacts>& ports, const QString& portName) {
    for (const PortFacts& port : ports)
        if (SamePort(port, portName)) return AdapterId(port);
    return {};
}

std::optional<QString> FindMovedAdapter(const QList<PortFacts>& ports, const QString& storedName,
                                        const QString& adapterId) {
    if (adapterId.isEmpty()) return std::nullopt;
    QStringList now;
    for (const PortFacts& port : ports) {
        if (AdapterId(port) != adapterId) continue;
        if (SamePort(port, storedName)) return std::nullopt;
        now << port.name;
    }
    if (now.size() != 1) return std::nullopt;
    return now.first();
}

QString PortLabel(const PortFacts& port) {
    QStringList parts{port.name.trimmed()};
    if (!port.description.isEmpty() && port.description != QLatin1String("n/a"))
        parts << port.description;
    if (!port.byIdName.isEmpty()) parts << port.byIdName;
    return parts.join(QStringLiteral("  "));
}

}  // namespace pb
