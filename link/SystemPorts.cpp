#include "link/SystemPorts.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>
#include <QStringList>

#include "link/PortTuning.h"
#include "link/SerialTransport.h"

namespace pb {
namespace {

QString Hex4(quint16 value) { return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')); }

bool SamePort(const PortFacts& port, const QString& name) {
    return SerialDevicePath(port.name) == SerialDevicePath(name);
}

// Device path -> link name, for the links udev keeps in `dir`.
QHash<QString, QString> LinksIn(const QString& dir) {
    QHash<QString, QString> links;
    const QDir folder(dir);
    for (const QFileInfo& link : folder.entryInfoList(QDir::System | QDir::NoDotAndDotDot))
        if (link.isSymLink()) links.insert(link.canonicalFilePath(), link.fileName());
    return links;
}

}  // namespace

QList<PortFacts> SystemPorts() {
    const QHash<QString, QString> byId = LinksIn(QStringLiteral("/dev/serial/by-id"));
    const QHash<QString, QString> byPath = LinksIn(QStringLiteral("/dev/serial/by-path"));
    QList<PortFacts> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        PortFacts facts{info.portName(),    info.description(), info.manufacturer(), {}, {},
                        info.serialNumber()};
        if (info.hasVendorIdentifier()) facts.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier()) facts.productId = info.productIdentifier();
        const QString device = QFileInfo(info.systemLocation()).canonicalFilePath();
        facts.byIdName = byId.value(device);
        facts.byPathName = byPath.value(device);
        facts.latencyTimerMs = ReadAdapterFacts(TtyName(info.systemLocation())).latencyTimerMs;
        ports.append(facts);
    }
    return ports;
}

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

}  // namespace pb
