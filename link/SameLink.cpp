#include "link/SameLink.h"

#include <QFileInfo>
#include <QHash>
#include <QHostAddress>

#include "link/SerialTransport.h"

namespace pb {

QString SameLinkKey(const LinkSettings& link) {
    if (link.kind == LinkKind::Net) {
        QString host = link.ip.trimmed().toLower();
        if (host.endsWith(QLatin1Char('.'))) host.chop(1);
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) host = host.mid(1, host.size() - 2);
        if (const QHostAddress address(host); !address.isNull()) host = address.toString();
        bool ok = false;
        const int port = link.tcpPort.trimmed().toInt(&ok);
        return QStringLiteral("tcp %1:%2").arg(host, ok ? QString::number(port) : link.tcpPort.trimmed());
    }
    const QString path = SerialDevicePath(link.portName);
    const QString device = QFileInfo(path).canonicalFilePath();
    return QStringLiteral("serial ") + (device.isEmpty() ? path : device);
}

std::optional<std::pair<int, int>> FirstRepeatedLink(const QList<LinkSettings>& links) {
    QHash<QString, int> seen;
    for (int i = 0; i < links.size(); ++i) {
        const QString key = SameLinkKey(links[i]);
        if (const auto at = seen.constFind(key); at != seen.constEnd()) return std::pair{*at, i};
        seen.insert(key, i);
    }
    return std::nullopt;
}

}  // namespace pb
