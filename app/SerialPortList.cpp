#include "app/SerialPortList.h"

#include <QStringList>
#include <algorithm>

#include "app/PortAdapter.h"
#include "i18n/LinkFailureTexts.h"

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

QList<PortEntry> ListSerialPorts() {
    return PortListFrom(SystemPorts());
}

}  // namespace pb
