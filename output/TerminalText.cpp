#include "output/TerminalText.h"

namespace pb {
namespace {

bool IsControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x2028 || c == 0x2029 ||
           (c >= 0x200E && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

QString TerminalText(QStringView text) {
    QString shown;
    shown.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (!IsControl(c)) {
            shown += ch;
            continue;
        }
        switch (c) {
        case u'\t': shown += QLatin1String("\\t"); break;
        case u'\n': shown += QLatin1String("\\n"); break;
        case u'\r': shown += QLatin1String("\\r"); break;
        case 0x1B: shown += QLatin1String("\\e"); break;
        default:
            shown += (c < 0x100 ? QLatin1String("\\x") : QLatin1String("\\u")) +
                     QString::number(uint(c), 16).toUpper().rightJustified(c < 0x100 ? 2 : 4, u'0');
        }
    }
    return shown;
}

}  // namespace pb
