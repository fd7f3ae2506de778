// The serial speed text ("19200,e,8,1") as a user could type it into the combo box or a
// damaged settings file could hold it: any bytes, read as UTF-8 and as Latin-1.

#include <QStringList>

#include "link/SpeedText.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

using pb::SerialParameters;

bool Same(const SerialParameters& a, const SerialParameters& b) {
    return a.baudRate == b.baudRate && a.parity == b.parity && a.dataBits == b.dataBits &&
           a.stopBits == b.stopBits;
}

QString CanonicalText(const SerialParameters& p) {
    const char* parity = p.parity == QSerialPort::NoParity     ? "n"
                         : p.parity == QSerialPort::EvenParity ? "e"
                         : p.parity == QSerialPort::OddParity  ? "o"
                         : p.parity == QSerialPort::MarkParity ? "m"
                                                               : "s";
    const char* stop = p.stopBits == QSerialPort::OneStop          ? "1"
                       : p.stopBits == QSerialPort::OneAndHalfStop ? "1.5"
                                                                   : "2";
    return QStringLiteral("%1,%2,%3,%4").arg(p.baudRate).arg(QLatin1String(parity)).arg(int(p.dataBits)).arg(QLatin1String(stop));
}

void CheckText(const QString& text) {
    const std::optional<SerialParameters> parsed = pb::ParseSpeedText(text);
    // Exactly four comma-separated fields or nothing.
    if (text.count(u',') != 3) FUZZ_REQUIRE(!parsed);
    // Spaces around the fields change nothing.
    QStringList padded = text.split(u',');
    for (QString& field : padded) field = QLatin1Char(' ') + field + QLatin1String(" \t");
    const std::optional<SerialParameters> again = pb::ParseSpeedText(padded.join(u','));
    FUZZ_REQUIRE(bool(parsed) == bool(again));
    if (!parsed) return;
    FUZZ_REQUIRE(Same(*parsed, *again));

    // Every value accepted is one the serial port can be set to.
    const SerialParameters& p = *parsed;
    FUZZ_REQUIRE(p.baudRate >= 50 && p.baudRate <= 921600);
    FUZZ_REQUIRE(p.parity == QSerialPort::NoParity || p.parity == QSerialPort::EvenParity ||
                 p.parity == QSerialPort::OddParity || p.parity == QSerialPort::MarkParity ||
                 p.parity == QSerialPort::SpaceParity);
    FUZZ_REQUIRE(int(p.dataBits) >= 5 && int(p.dataBits) <= 8);
    FUZZ_REQUIRE(p.stopBits == QSerialPort::OneStop || p.stopBits == QSerialPort::OneAndHalfStop ||
                 p.stopBits == QSerialPort::TwoStop);
    const double bits = pb::BitsPerCharacter(p);
    FUZZ_REQUIRE(bits >= 7.0 && bits <= 12.0);

    // Written back in its plain form, the text reads the same.
    const std::optional<SerialParameters> canonical = pb::ParseSpeedText(CanonicalText(p));
    FUZZ_REQUIRE(canonical && Same(*canonical, p));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    CheckText(QString::fromUtf8(text, qsizetype(size)));
    CheckText(QString::fromLatin1(text, qsizetype(size)));
    return 0;
}
