#pragma once
// The serial parameters in device-control form: "baud,parity,data bits,stop bits",
// e.g. "19200,e,8,1"; parity n/e/o/m/s, stop bits 1, 1.5 or 2.

#include <QSerialPort>
#include <QString>
#include <optional>

namespace pb {

struct SerialParameters {
    qint32 baudRate = 19200;
    QSerialPort::Parity parity = QSerialPort::EvenParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

// Parses the text; nothing when any field is missing or out of range.
std::optional<SerialParameters> ParseSpeedText(const QString& text);

// Bits on the wire per character (start + data + parity + stop), for pacing.
double BitsPerCharacter(const SerialParameters& p);

}  // namespace pb
