#include "i18n/LanguageFont.h"

namespace pb {
namespace {

int ToNumber(const QString& text, int otherwise) {
    bool ok = false;
    // Base 0 reads both "12" and "0x00000000".
    const qlonglong value = text.trimmed().toLongLong(&ok, 0);
    return ok ? static_cast<int>(value) : otherwise;
}

}  // namespace

LanguageFontText LanguageFontTextFor(int language) {
    switch (language) {
        case 1:
            return {QStringLiteral("宋体"), QStringLiteral("134"), QStringLiteral("12"),
                    QStringLiteral("0x00000000"), 0};
        case 2:
            return {QStringLiteral("細明體"), QStringLiteral("136"), QStringLiteral("12"),
                    QStringLiteral("0x00000000"), 0};
        default:
            return {QStringLiteral("MS Sans Serif"), QStringLiteral("0"), QStringLiteral("10"),
                    QStringLiteral("0x00000000"), 0};
    }
}

LanguageFont ToLanguageFont(const LanguageFontText& text) {
    LanguageFont font;
    font.name = text.name;
    font.charset = ToNumber(text.charset, font.charset);
    font.pointSize = ToNumber(text.size, font.pointSize);
    font.colour = static_cast<quint32>(ToNumber(text.colour, static_cast<int>(font.colour)));
    if (text.style >= 0 && text.style <= 15) font.style = text.style;
    return font;
}

}  // namespace pb
