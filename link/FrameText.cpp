#include "link/FrameText.h"

namespace pb {
namespace {

const char* nameOfControlByte(quint8 b) {
    switch (b) {
        case 0x01:
            return "SOH";
        case 0x02:
            return "STX";
        case 0x03:
            return "ETX";
        case 0x04:
            return "EOT";
        case 0x0A:
            return "LF";
        case 0x0D:
            return "CR";
        default:
            return nullptr;
    }
}

}  // namespace

QString FrameText(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size() + 16);
    for (char c : bytes) {
        const auto b = quint8(c);
        if (const char* name = nameOfControlByte(b))
            text += QLatin1Char('<') + QLatin1String(name) + QLatin1Char('>');
        else if (b >= 0x20 && b < 0x7F)
            text += QLatin1Char(c);
        else
            text += QStringLiteral("<x%1>").arg(
                QString::number(b, 16).toUpper().rightJustified(2, u'0'));
    }
    return text;
}

}  // namespace pb
