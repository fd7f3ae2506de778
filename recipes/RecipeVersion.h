#pragma once
// Version texts as the controllers report them, and ranges of them.
//
// A version text is an optional tag of letters followed by numbers joined by dots:
// "V6.01.03" is tag "V" and 6, 1, 3; the KV410's "0470" is no tag and 470. A text that
// carries a product in front ("KV740MX -V6.01.03", "KV150RB V1.20.05") is read from its
// last word after a space or '-'. Two versions compare number by number (a missing
// number counts as 0, so "V6.1" equals "V6.01.00"); a range bound with a tag admits only
// versions with the same tag (upper/lower case alike), so "V6" and "R6" firmware lines
// never fall into each other's ranges, while a bound without a tag admits any tag.

#include <QList>
#include <QString>
#include <optional>

namespace pb {

struct VersionText {
    QString tag;         // "V", "R", "" ...
    QList<int> numbers;  // at least one
    QString text;        // as written, trimmed

    // < 0, 0, > 0 by the numbers alone.
    int compareNumbers(const VersionText& other) const;
};

std::optional<VersionText> parseVersion(const QString& text);

struct VersionRange {
    std::optional<VersionText> min;  // inclusive; at least one of the two is set
    std::optional<VersionText> max;  // inclusive

    bool contains(const VersionText& v) const;
    QString text() const;  // "V6.01.00 .. V6.99.99", ">= V6.01.00", "<= V6.99.99"
};

}  // namespace pb
