#include "output/TerminalText.h"

#include <QList>

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

namespace pb {
namespace {

bool Wide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
           (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

}  // namespace

int TerminalWidth(QStringView text) {
    int width = 0;
    for (char32_t c : text.toUcs4()) width += Wide(c) ? 2 : 1;
    return width;
}

QString PadRight(const QString& text, int width) {
    return text + QString(qMax(0, width - TerminalWidth(text)), u' ');
}

QString PadLeft(const QString& text, int width) {
    return QString(qMax(0, width - TerminalWidth(text)), u' ') + text;
}

}  // namespace pb
