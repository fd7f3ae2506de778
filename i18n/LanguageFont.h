#pragma once
// The window font of each language. The values are kept as texts, as configured, and
// converted to numbers when the font is applied.

#include <QString>
#include <optional>

namespace pb {

// Character sets of the language fonts.
constexpr int kCharsetAnsi = 0;
constexpr int kCharsetGb2312 = 134;
constexpr int kCharsetBig5 = 136;

// Style bits.
constexpr int kStyleBold = 1;
constexpr int kStyleItalic = 2;
constexpr int kStyleUnderline = 4;
constexpr int kStyleStrikeOut = 8;

struct LanguageFontText {
    QString name;
    QString charset;
    QString size;    // points
    QString colour;  // 0x00BBGGRR
    int style = 0;   // bits above; 0..15
};

struct LanguageFont {
    QString name;
    int charset = kCharsetAnsi;
    int pointSize = 10;
    quint32 colour = 0;  // 0x00BBGGRR
    // Empty when the configured style is outside 0..15: the style is left unchanged.
    std::optional<int> style;
};

// The configured texts of language 0 (English), 1 (Simplified) or 2 (Traditional);
// English for anything else.
LanguageFontText LanguageFontTextFor(int language);

// Converts the texts; a number that does not convert keeps the English font's value.
LanguageFont ToLanguageFont(const LanguageFontText& text);

inline LanguageFont LanguageFontFor(int language) {
    return ToLanguageFont(LanguageFontTextFor(language));
}

}  // namespace pb
