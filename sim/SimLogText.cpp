#include "sim/SimLogText.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace sim {

QString visibleBytes(const QByteArray& bytes) {
    static const char* const names[] = {"NUL", "SOH", "STX", "ETX", "EOT"};
    QString s;
    for (char c : bytes) {
        const quint8 b = quint8(c);
        if (b < 5)
            s += QStringLiteral("<%1>").arg(QLatin1String(names[b]));
        else if (b == 0x0D)
            s += QStringLiteral("<CR>");
        else if (b < 0x20 || b > 0x7E)
            s += QStringLiteral("<%1>").arg(b, 2, 16, QLatin1Char('0'));
        else
            s += QLatin1Char(c);
    }
    return s;
}

QString screenLine(const LogEntry& e) {
    QString line =
        QStringLiteral("%1 %2 %3 %4")
            .arg(double(e.ms) / 1000.0, 10, 'f', 3)
            .arg(e.dir == LogEntry::Received ? QStringLiteral("<-") : QStringLiteral("->"))
            .arg(visibleBytes(e.frame))
            .arg(e.checksumOk ? QStringLiteral("[ok]") : QStringLiteral("[BAD CHECKSUM]"));
    if (!e.note.isEmpty()) line += QStringLiteral("  (%1)").arg(e.note);
    return line;
}

QByteArray jsonLine(const LogEntry& e) {
    QJsonObject o;
    o.insert(QStringLiteral("ms"), e.ms);
    o.insert(QStringLiteral("dir"),
             e.dir == LogEntry::Received ? QStringLiteral("received") : QStringLiteral("sent"));
    o.insert(QStringLiteral("text"), e.text);
    o.insert(QStringLiteral("frame"), QString::fromLatin1(e.frame));
    o.insert(QStringLiteral("checksumOk"), e.checksumOk);
    if (!e.note.isEmpty()) o.insert(QStringLiteral("note"), e.note);
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

}  // namespace sim
