#include "app/PortAdapter.h"

#include <QStringList>

namespace pb {

QString PortLabel(const PortFacts& port) {
    QStringList parts{port.name.trimmed()};
    if (!port.description.isEmpty() && port.description != QLatin1String("n/a"))
        parts << port.description;
    if (!port.byIdName.isEmpty()) parts << port.byIdName;
    return parts.join(QStringLiteral("  "));
}

}  // namespace pb
