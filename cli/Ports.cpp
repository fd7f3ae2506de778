#include "cli/Ports.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSerialPortInfo>
#include <cstdio>

#include "cli/Output.h"
#include "link/PortTuning.h"

namespace cli {

QList<PortFacts> ListPorts(const QString& byIdFolder, const QString& sysRoot) {
    // The by-id links point at the device; keyed by the device's real path.
    QHash<QString, QString> byId;
    const QDir folder(byIdFolder);
    for (const QFileInfo& link : folder.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        if (link.isSymLink()) byId.insert(QFileInfo(link.symLinkTarget()).canonicalFilePath(), link.absoluteFilePath());

    QList<PortFacts> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        PortFacts f;
        f.path = info.systemLocation();
        f.byId = byId.value(QFileInfo(f.path).canonicalFilePath());
        f.description = info.description();
        f.manufacturer = info.manufacturer();
        if (info.hasVendorIdentifier() && info.hasProductIdentifier())
            f.usbId = QStringLiteral("%1:%2")
                          .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                          .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'));
        f.serialNumber = info.serialNumber();
        const pb::AdapterFacts adapter = pb::ReadAdapterFacts(pb::TtyName(f.path), sysRoot);
        f.usbSerial = adapter.usbSerial;
        f.adapterDriver = adapter.driver;
        f.latencyTimerMs = adapter.latencyTimerMs;
        ports.append(f);
    }
    std::sort(ports.begin(), ports.end(), [](const PortFacts& a, const PortFacts& b) { return a.path < b.path; });
    return ports;
}

int PrintPorts(const QList<PortFacts>& ports, bool json) {
    for (const PortFacts& f : ports) {
        if (json) {
            QJsonObject o{{QStringLiteral("event"), QStringLiteral("port")},
                          {QStringLiteral("path"), f.path},
                          {QStringLiteral("byId"), f.byId},
                          {QStringLiteral("description"), f.description},
                          {QStringLiteral("manufacturer"), f.manufacturer},
                          {QStringLiteral("usb"), f.usbId},
                          {QStringLiteral("serialNumber"), f.serialNumber}};
            // An adapter's latency as it stands: null where the driver has no timer.
            if (f.usbSerial) {
                o.insert(QStringLiteral("adapterDriver"), f.adapterDriver);
                o.insert(QStringLiteral("latencyTimerMs"),
                         f.latencyTimerMs >= 0 ? QJsonValue(f.latencyTimerMs) : QJsonValue());
                o.insert(QStringLiteral("lowLatency"),
                         f.latencyTimerMs >= 0 ? QJsonValue(f.latencyTimerMs <= 1) : QJsonValue());
            }
            Emit(stdout, QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n');
            continue;
        }
        QStringList facts;
        for (const QString& fact : {f.byId, f.description, f.manufacturer,
                                    f.usbId.isEmpty() ? QString() : QStringLiteral("USB ") + f.usbId,
                                    f.serialNumber.isEmpty() ? QString() : QStringLiteral("S/N ") + f.serialNumber,
                                    f.latencyTimerMs < 0 ? QString()
                                                         : QStringLiteral("latency timer %1 ms").arg(f.latencyTimerMs)})
            if (!fact.isEmpty()) facts << fact;
        // A device names itself: its words as a terminal shows them.
        EmitLines(stdout, {f.path + (facts.isEmpty() ? QString() : QStringLiteral("  ") + facts.join(QStringLiteral("  ")))});
    }
    if (ports.isEmpty() && !json) Emit(stdout, "no serial ports found\n");
    return 0;
}

}  // namespace cli
