#include "app/SerialPortList.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>
#include <QStringList>
#include <algorithm>

#include "app/PortAdapter.h"
#include "i18n/LinkFailureTexts.h"
#include "link/PortTuning.h"

namespace pb {
namespace {

// Splits "ttyUSB10" into "ttyUSB" and 10, so that names order as people read them.
std::pair<QString, qlonglong> SortKey(const QString& name) {
    qsizetype digits = name.size();
    while (digits > 0 && name.at(digits - 1).isDigit()) --digits;
    const QString number = name.mid(digits);
    return {name.left(digits), number.isEmpty() ? -1 : number.toLongLong()};
}

QString Hex4(quint16 value) {
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0'));
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

QString PortToolTip(const PortFacts& port, int language) {
    QStringList lines;
    if (!port.description.isEmpty()) lines << port.description;
    if (!port.manufacturer.isEmpty()) lines << port.manufacturer;
    if (port.vendorId && port.productId)
        lines << QStringLiteral("USB %1:%2").arg(Hex4(*port.vendorId), Hex4(*port.productId));
    if (!port.serialNumber.isEmpty()) lines << QStringLiteral("S/N %1").arg(port.serialNumber);
    if (port.latencyTimerMs >= 0) lines << LatencyTimerText(port.latencyTimerMs, language);
    return lines.join(u'\n');
}

QList<PortEntry> PortListFrom(QList<PortFacts> ports, int language) {
    QList<PortEntry> entries;
    if (ports.isEmpty()) {
        for (int n = 1; n <= 16; ++n) entries.append({QStringLiteral("COM%1").arg(n), {}});
        return entries;
    }
    std::stable_sort(ports.begin(), ports.end(), [](const PortFacts& a, const PortFacts& b) {
        return SortKey(a.name) < SortKey(b.name);
    });
    for (const PortFacts& port : ports)
        entries.append({port.name.trimmed(), PortToolTip(port, language), PortLabel(port), AdapterId(port)});
    return entries;
}

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

QList<PortEntry> ListSerialPorts() {
    return PortListFrom(SystemPorts());
}

}  // namespace pb
