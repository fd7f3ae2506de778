#include "link/SpeedText.h"

#include <QStringList>

namespace pb {

std::optional<SerialParameters> ParseSpeedText(const QString& text) {
    const QStringList fields = text.split(QLatin1Char(','));
    if (fields.size() != 4) return std::nullopt;
    SerialParameters p;

    bool ok = false;
    const qint64 baud = fields[0].trimmed().toLongLong(&ok);
    if (!ok || baud < 50 || baud > 921600) return std::nullopt;
    p.baudRate = qint32(baud);

    const QString parity = fields[1].trimmed().toLower();
    if (parity == u"n") p.parity = QSerialPort::NoParity;
    else if (parity == u"e") p.parity = QSerialPort::EvenParity;
    else if (parity == u"o") p.parity = QSerialPort::OddParity;
    else if (parity == u"m") p.parity = QSerialPort::MarkParity;
    else if (parity == u"s") p.parity = QSerialPort::SpaceParity;
    else return std::nullopt;

    const int bits = fields[2].trimmed().toInt(&ok);
    if (!ok || bits < 5 || bits > 8) return std::nullopt;
    p.dataBits = QSerialPort::DataBits(bits);

    const QString stop = fields[3].trimmed();
    if (stop == u"1") p.stopBits = QSerialPort::OneStop;
    else if (stop == u"1.5") p.stopBits = QSerialPort::OneAndHalfStop;
    else if (stop == u"2") p.stopBits = QSerialPort::TwoStop;
    else return std::nullopt;
    return p;
}

double BitsPerCharacter(const SerialParameters& p) {
    const double stop = p.stopBits == QSerialPort::OneStop       ? 1.0
                        : p.stopBits == QSerialPort::OneAndHalfStop ? 1.5
                                                                     : 2.0;
    const double parity = p.parity == QSerialPort::NoParity ? 0.0 : 1.0;
    return 1.0 + int(p.dataBits) + parity + stop;
}

}  // namespace pb
