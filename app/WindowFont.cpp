#include "app/WindowFont.h"

#include <QFontDatabase>
#include <QList>
#include <QStringList>

namespace pb {
namespace {

QFontDatabase::WritingSystem WritingSystemOf(int charset) {
    switch (charset) {
        case kCharsetGb2312:
            return QFontDatabase::SimplifiedChinese;
        case kCharsetBig5:
            return QFontDatabase::TraditionalChinese;
        default:
            return QFontDatabase::Latin;
    }
}

}  // namespace

QString InstalledFamilyFor(const QString& name, int charset) {
    const QFontDatabase::WritingSystem system = WritingSystemOf(charset);
    if (QFontDatabase::hasFamily(name) && QFontDatabase::writingSystems(name).contains(system))
        return name;
    // The desktop's own font first, when it writes the script.
    const QString general = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    if (QFontDatabase::writingSystems(general).contains(system)) return general;
    // Else the first proportional, scalable family that does, preferring one that also
    // writes Latin: the captions mix in "KV410", digits and "ID:", and a CJK-only fallback
    // font (Droid Sans Fallback) would leave those to glyph substitution and its widths.
    const QStringList families = QFontDatabase::families(system);
    const auto usable = [](const QString& family) {
        return !QFontDatabase::isPrivateFamily(family) && !QFontDatabase::isFixedPitch(family) &&
               QFontDatabase::isScalable(family);
    };
    for (const QString& family : families)
        if (usable(family) && QFontDatabase::writingSystems(family).contains(QFontDatabase::Latin))
            return family;
    for (const QString& family : families)
        if (usable(family)) return family;
    return families.isEmpty() ? general : families.first();
}

QFont WindowFontFor(const LanguageFont& font, QFont base) {
    base.setFamilies({InstalledFamilyFor(font.name, font.charset)});
    if (font.pointSize > 0) base.setPointSize(font.pointSize);
    if (font.style) {
        base.setBold(*font.style & kStyleBold);
        base.setItalic(*font.style & kStyleItalic);
        base.setUnderline(*font.style & kStyleUnderline);
        base.setStrikeOut(*font.style & kStyleStrikeOut);
    }
    return base;
}

}  // namespace pb
