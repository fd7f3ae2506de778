#include "output/ReportText.h"

#include "output/TerminalText.h"

namespace pb {

QString ReportPlainText(QStringView text) {
    QString clean;
    clean.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\n' || u == u'\t') clean += c;
        else if (u < 0x20) continue;  // not allowed in XML
        else if (u == 0x2028 || u == 0x2029 || (u >= 0x200E && u <= 0x200F) || (u >= 0x202A && u <= 0x202E) ||
                 (u >= 0x2066 && u <= 0x2069) || (u >= 0x7F && u < 0xA0))
            clean += TerminalText(QStringView(&c, 1));
        else clean += c;
    }
    return clean;
}

QString ReportText(QStringView text) { return ReportPlainText(text).toHtmlEscaped(); }

}  // namespace pb
