#include "multiup/AdapterMatch.h"

namespace pb {
namespace {

bool IsFullId(const QString& text) { return text.startsWith(QLatin1String("usb:")); }

bool Matches(const PortFacts& port, const QString& adapter) {
    if (IsFullId(adapter)) return AdapterId(port) == adapter;
    const qsizetype colon = adapter.indexOf(u':');
    const QString model = adapter.left(colon).trimmed();
    const QString serial = adapter.mid(colon + 1).trimmed();
    return !port.serialNumber.isEmpty() && port.serialNumber == serial &&
           port.description.contains(model, Qt::CaseInsensitive);
}

}  // namespace

bool IsAdapterText(const QString& text) {
    if (IsFullId(text)) return text.size() > 4;
    const qsizetype colon = text.indexOf(u':');
    return colon > 0 && !text.left(colon).trimmed().isEmpty() && !text.mid(colon + 1).trimmed().isEmpty() &&
           !text.mid(colon + 1).contains(u':');
}

AdapterPort FindAdapterPort(const QList<PortFacts>& ports, const QString& adapter) {
    AdapterPort found;
    if (IsAdapterText(adapter))
        for (const PortFacts& port : ports)
            if (Matches(port, adapter)) found.matching << port.name;
    if (found.matching.isEmpty()) found.failure = AdapterPort::Failure::NotFound;
    else if (found.matching.size() > 1) found.failure = AdapterPort::Failure::Several;
    else found.port = found.matching.first();
    return found;
}

}  // namespace pb
