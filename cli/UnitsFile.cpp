#include "cli/UnitsFile.h"

#include <QRegularExpression>

namespace cli {

bool IsUnitId(const QString& id) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]{3,4}$"));
    return digits.match(id).hasMatch();
}

bool ParseTcpLink(const QString& text, UnitLink& u) {
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0) return false;
    bool ok = false;
    const int port = text.mid(colon + 1).toInt(&ok);
    if (!ok || port < 1 || port > 65535) return false;
    u.kind = UnitLink::Kind::Tcp;
    u.host = text.left(colon);
    u.tcpPort = QString::number(port);
    return true;
}

bool ParseUnitsFile(const QString& text, const QString& speed, QList<UnitLink>& units,
                    QString& error) {
    int lineNumber = 0;
    for (QString line : text.split(QLatin1Char('\n'))) {
        ++lineNumber;
        line = line.section(QLatin1Char('#'), 0, 0).trimmed();
        if (line.isEmpty()) continue;
        static const QRegularExpression space(QStringLiteral("\\s+"));
        const QStringList words = line.split(space);
        if (words.size() > 2 || (words.size() == 2 && !IsUnitId(words[1]))) {
            error = QStringLiteral("units file line %1: want 'PORT [ID]' or 'HOST:PORT [ID]', not '%2'")
                        .arg(lineNumber).arg(line);
            return false;
        }
        UnitLink u;
        if (!ParseTcpLink(words[0], u)) {
            u.kind = UnitLink::Kind::Serial;
            u.port = words[0];
        }
        u.speed = speed;
        if (words.size() == 2) u.id = words[1];
        units.append(u);
    }
    return true;
}

}  // namespace cli
