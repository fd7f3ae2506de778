#pragma once
// The three languages of the window. The numbering is the language index kept by the
// text tables (0, 1, 2) and must stay as it is.

namespace pb {

enum class Language : int { English = 0, SimplifiedChinese = 1, TraditionalChinese = 2 };

constexpr int kLanguageCount = 3;

// The index of a language in the text tables.
constexpr int LanguageIndex(Language language) {
    return static_cast<int>(language);
}

// The language of index 0, 1 or 2; English for anything else.
constexpr Language LanguageAt(int index) {
    return index == 1 ? Language::SimplifiedChinese
           : index == 2 ? Language::TraditionalChinese
                        : Language::English;
}

constexpr Language kLanguages[kLanguageCount] = {Language::English, Language::SimplifiedChinese,
                                                 Language::TraditionalChinese};

}  // namespace pb
