// The units file of the command line ("HOST:PORT [ID]" or "PORT [ID]" per line, '#'
// comments) with arbitrary bytes, as an editor or a script could write it: the parser the
// command line runs, and what it makes of each line.

#include <QRegularExpression>

#include "cli/UnitsFile.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

using cli::UnitLink;

const QString kSpeed = QStringLiteral("9600,n,8,1");

bool Same(const UnitLink& a, const UnitLink& b) {
    return a.kind == b.kind && a.port == b.port && a.speed == b.speed && a.host == b.host &&
           a.tcpPort == b.tcpPort && a.id == b.id;
}

void CheckText(const QString& text) {
    QList<UnitLink> units;
    QString error;
    const bool ok = cli::ParseUnitsFile(text, kSpeed, units, error);

    // Lines that hold something besides a comment, one unit each up to a refused one.
    const QStringList lines = text.split(QLatin1Char('\n'));
    int meant = 0;
    for (const QString& line : lines)
        if (!line.section(QLatin1Char('#'), 0, 0).trimmed().isEmpty()) ++meant;
    if (ok) {
        FUZZ_REQUIRE(error.isEmpty() && units.size() == meant);
    } else {
        static const QRegularExpression named(QStringLiteral("^units file line ([0-9]+): "));
        const QRegularExpressionMatch m = named.match(error);
        FUZZ_REQUIRE(m.hasMatch());
        const int line = m.captured(1).toInt();
        FUZZ_REQUIRE(line >= 1 && line <= lines.size());
        FUZZ_REQUIRE(units.size() < meant);
    }

    static const QRegularExpression id(QStringLiteral("^[0-9]{3,4}$"));
    static const QRegularExpression space(QStringLiteral("\\s"));
    for (const UnitLink& u : units) {
        FUZZ_REQUIRE(u.speed == kSpeed);
        FUZZ_REQUIRE(u.id.isEmpty() || id.match(u.id).hasMatch());
        FUZZ_REQUIRE(u.unitSerial.isEmpty());
        if (u.kind == UnitLink::Kind::Tcp) {
            // A port number in its plain form, and a host before the colon.
            bool number = false;
            const int port = u.tcpPort.toInt(&number);
            FUZZ_REQUIRE(number && port >= 1 && port <= 65535 && u.tcpPort == QString::number(port));
            FUZZ_REQUIRE(!u.host.isEmpty() && u.port.isEmpty());
        } else {
            FUZZ_REQUIRE(!u.port.isEmpty() && u.host.isEmpty() && u.tcpPort.isEmpty());
        }
        const QString label = u.label();
        FUZZ_REQUIRE(!label.contains(QLatin1Char('#')) && !space.match(label).hasMatch());
    }
    if (!ok) return;

    // The units written back as a file, one "LINK [ID]" a line, read as the same units.
    QString written;
    for (const UnitLink& u : units) written += u.label() + (u.id.isEmpty() ? QString() : u' ' + u.id) + u'\n';
    QList<UnitLink> again;
    QString againError;
    FUZZ_REQUIRE(cli::ParseUnitsFile(written, kSpeed, again, againError));
    FUZZ_REQUIRE(again.size() == units.size());
    for (qsizetype i = 0; i < units.size(); ++i) FUZZ_REQUIRE(Same(again[i], units[i]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    CheckText(QString::fromUtf8(text, qsizetype(size)));
    CheckText(QString::fromLatin1(text, qsizetype(size)));
    return 0;
}
