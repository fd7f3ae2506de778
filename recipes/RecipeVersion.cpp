#include "recipes/RecipeVersion.h"

#include <QRegularExpression>

namespace pb {

int VersionText::compareNumbers(const VersionText& other) const {
    const qsizetype n = qMax(numbers.size(), other.numbers.size());
    for (qsizetype i = 0; i < n; ++i) {
        const int a = numbers.value(i, 0);
        const int b = other.numbers.value(i, 0);
        if (a != b) return a < b ? -1 : 1;
    }
    return 0;
}

std::optional<VersionText> parseVersion(const QString& text) {
    const QString trimmed = text.trimmed();
    // The last word: what follows the last space or '-'.
    const qsizetype cut = qMax(trimmed.lastIndexOf(u' '), trimmed.lastIndexOf(u'-'));
    const QString word = trimmed.mid(cut + 1);
    static const QRegularExpression form(
        QStringLiteral("^([A-Za-z]*)([0-9]{1,9}(?:\\.[0-9]{1,9})*)$"));
    const QRegularExpressionMatch m = form.match(word);
    if (!m.hasMatch()) return std::nullopt;
    VersionText v;
    v.tag = m.captured(1).toUpper();
    for (const QString& part : m.captured(2).split(u'.')) v.numbers.append(part.toInt());
    v.text = word;
    return v;
}

namespace {

bool tagAdmits(const VersionText& bound, const VersionText& v) {
    return bound.tag.isEmpty() || bound.tag == v.tag;
}

}  // namespace

bool VersionRange::contains(const VersionText& v) const {
    if (min && (!tagAdmits(*min, v) || v.compareNumbers(*min) < 0)) return false;
    if (max && (!tagAdmits(*max, v) || v.compareNumbers(*max) > 0)) return false;
    return min || max;
}

QString VersionRange::text() const {
    if (min && max) return min->text + QStringLiteral(" .. ") + max->text;
    if (min) return QStringLiteral(">= ") + min->text;
    if (max) return QStringLiteral("<= ") + max->text;
    return {};
}

}  // namespace pb
