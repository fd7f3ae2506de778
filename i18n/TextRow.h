#pragma once
// One row of a text table: the same text in the three languages of the message table.

#include <QString>

#include "i18n/Language.h"

namespace pb {

struct TextRow {
    const char16_t* text[kLanguageCount];
};

// The row's text in `language`; English for a language out of range.
inline QString RowText(const TextRow& row, int language) {
    const int lang = language >= 0 && language < kLanguageCount ? language : 0;
    return QString::fromUtf16(row.text[lang]);
}

}  // namespace pb
