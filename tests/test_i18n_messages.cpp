// The message table and the language fonts.
#include <gtest/gtest.h>

#include <iconv.h>
#include <type_traits>

#include <QByteArray>

#include "i18n/ChartTexts.h"
#include "i18n/LanguageFont.h"
#include "i18n/EndingTexts.h"
#include "i18n/EventTexts.h"
#include "i18n/FeedbackTexts.h"
#include "i18n/LinkFailureTexts.h"
#include "i18n/Messages.h"
#include "records/exports/ShownStatus.h"
#include "i18n/RecipeTexts.h"
#include "i18n/TrafficTexts.h"
#include "i18n/RecordsTexts.h"
#include "i18n/StationTexts.h"
#include "catalogue/StepNames.h"
#include "settings/Settings.h"

namespace {

// True when every character of `text` exists in the code page `charset`.
bool EncodableIn(const char* charset, const QString& text) {
    iconv_t cd = iconv_open(charset, "UTF-8");
    if (cd == iconv_t(-1)) return false;
    QByteArray in = text.toUtf8();
    QByteArray out(in.size() * 4 + 16, '\0');
    char* inPtr = in.data();
    size_t inLeft = size_t(in.size());
    char* outPtr = out.data();
    size_t outLeft = size_t(out.size());
    const size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    return result != size_t(-1) && inLeft == 0;
}

TEST(MessageTable, TheCodePageCheckCatchesAWrongScript) {
    // The check itself: a Traditional character is no GB2312 text, a Simplified one no Big5.
    EXPECT_TRUE(EncodableIn("GB2312", QStringLiteral("韧体档案")));
    EXPECT_FALSE(EncodableIn("GB2312", QStringLiteral("韌體檔案")));
    EXPECT_TRUE(EncodableIn("BIG5", QStringLiteral("韌體檔案")));
    EXPECT_FALSE(EncodableIn("BIG5", QStringLiteral("韧体档案")));
}

TEST(MessageTable, EveryTextIsInTheCodePageOfItsLanguage) {
    for (int id = 0; id < pb::kMessageCount; ++id) {
        const QString english = pb::Msg(pb::MsgId(id), pb::Language::English);
        EXPECT_FALSE(english.isEmpty()) << id;
        for (QChar c : english) EXPECT_LT(c.unicode(), 0x80) << "id " << id;
        EXPECT_TRUE(EncodableIn("GB2312", pb::Msg(pb::MsgId(id), pb::Language::SimplifiedChinese))) << "id " << id;
        EXPECT_TRUE(EncodableIn("BIG5", pb::Msg(pb::MsgId(id), pb::Language::TraditionalChinese))) << "id " << id;
    }
}

// The other text tables: English in ASCII, each Chinese column in its code page.
// The event texts take the language itself, the records and traffic texts its index.
template <typename Id>
QString TextIn(Id id, int language) {
    if constexpr (std::is_same_v<Id, pb::EventText>)
        return pb::Text(id, pb::LanguageAt(language));
    else
        return pb::Text(id, language);
}

template <typename Id>
void ExpectTableEncodable(int count) {
    for (int id = 0; id < count; ++id) {
        const QString english = TextIn(Id(id), 0);
        EXPECT_FALSE(english.isEmpty()) << id;
        for (QChar c : english) EXPECT_LT(c.unicode(), 0x80) << "id " << id;
        EXPECT_TRUE(EncodableIn("GB2312", TextIn(Id(id), 1))) << "id " << id;
        EXPECT_TRUE(EncodableIn("BIG5", TextIn(Id(id), 2))) << "id " << id;
        // Placeholders are the same in every language.
        for (int language = 1; language < pb::kLanguageCount; ++language)
            for (const char* mark : {"%1", "%2"})
                EXPECT_EQ(english.contains(mark), TextIn(Id(id), language).contains(mark)) << id << mark;
    }
}

TEST(MessageTable, EventAndTrafficTextsAreInTheCodePageOfTheirLanguage) {
    ExpectTableEncodable<pb::EventText>(int(pb::EventText::NoRecords) + 1);
    ExpectTableEncodable<pb::TrafficText>(int(pb::TrafficText::LinkClosed) + 1);
    ExpectTableEncodable<pb::RecipeProblem>(int(pb::RecipeProblem::MistakeLine) + 1);
    ExpectTableEncodable<pb::RecipeReason>(int(pb::RecipeReason::NotRun) + 1);
}

TEST(MessageTable, WhatARecipeStepReadIsInTheCodePageOfItsLanguage) {
    EXPECT_TRUE(pb::Text(pb::RecipeMeasure::None, 1).isEmpty());
    for (int id = int(pb::RecipeMeasure::None) + 1; id <= int(pb::RecipeMeasure::Upgraded); ++id) {
        const auto measure = pb::RecipeMeasure(id);
        const QString english = pb::Text(measure, 0);
        EXPECT_FALSE(english.isEmpty()) << id;
        for (QChar c : english) EXPECT_LT(c.unicode(), 0x80) << "id " << id;
        EXPECT_TRUE(EncodableIn("GB2312", pb::Text(measure, 1))) << "id " << id;
        EXPECT_TRUE(EncodableIn("BIG5", pb::Text(measure, 2))) << "id " << id;
        // Every value the English names, the Chinese names too (up to four).
        for (int language = 1; language < pb::kLanguageCount; ++language)
            for (const char* mark : {"%1", "%2", "%3", "%4"})
                EXPECT_EQ(english.contains(mark), pb::Text(measure, language).contains(mark)) << id << mark;
    }
}

TEST(MessageTable, FeedbackTextsAreInTheCodePageOfTheirLanguage) {
    ExpectTableEncodable<pb::FeedbackText>(int(pb::FeedbackText::FlashMayBeBrokenAdvice) + 1);
    // The bar's figures have five places to fill, in every language.
    for (int language = 0; language < pb::kLanguageCount; ++language)
        for (const char* mark : {"%3", "%4", "%5"})
            EXPECT_TRUE(pb::Text(pb::FeedbackText::BarProgress, language).contains(mark)) << language << mark;
}

TEST(MessageTable, StationTextsAreInTheCodePageOfTheirLanguage) {
    ExpectTableEncodable<pb::StationText>(int(pb::StationText::RecipeMistakes) + 1);
    for (int kind = 0; kind <= int(pb::TestId::AwaitAnswer); ++kind) {
        pb::RecipeStep step;
        step.kind = pb::TestId(kind);
        EXPECT_TRUE(EncodableIn("GB2312", pb::StepName(step, 1))) << kind;
        EXPECT_TRUE(EncodableIn("BIG5", pb::StepName(step, 2))) << kind;
    }
}

TEST(MessageTable, RecordsTextsAreInTheCodePageOfTheirLanguage) {
    ExpectTableEncodable<pb::RecordText>(pb::kRecordTextCount);
    ExpectTableEncodable<pb::ChartText>(int(pb::ChartText::FlaggedNote) + 1);
}

TEST(MessageTable, OpenFailureTextsAreInTheCodePageOfTheirLanguage) {
    for (int id = 0; id < pb::kLinkFailureTextCount; ++id) {
        const auto text = pb::LinkFailureText(id);
        EXPECT_FALSE(pb::Text(text, 0).isEmpty()) << id;
        for (QChar c : pb::Text(text, 0)) EXPECT_LT(c.unicode(), 0x80) << "id " << id;
        EXPECT_TRUE(EncodableIn("GB2312", pb::Text(text, 1))) << "id " << id;
        EXPECT_TRUE(EncodableIn("BIG5", pb::Text(text, 2))) << "id " << id;
        // The same facts in every language.
        for (int language = 1; language < pb::kLanguageCount; ++language)
            for (const char* mark : {"%1", "%2", "%3"})
                EXPECT_EQ(pb::Text(text, language).contains(QLatin1String(mark)),
                          pb::Text(text, 0).contains(QLatin1String(mark)))
                    << "id " << id << " " << mark;
    }
}

// Every reason an ending gives: worded in each language with each of its facts once,
// kept by records as its cause's name and facts and read back the same.
TEST(EndingReasons, EveryCauseIsWordedWithItsFactsAndReadBackFromItsRecord) {
    for (int id = int(pb::EndingCause::None) + 1; id <= int(pb::EndingCause::BlockDiffers); ++id) {
        const auto cause = pb::EndingCause(id);
        const QStringList names = pb::FactNames(cause);
        QStringList facts;
        for (int i = 0; i < names.size(); ++i) facts << QStringLiteral("<fact%1>").arg(i + 1);
        const pb::EndingReason reason{cause, facts};
        for (int language = 0; language < pb::kLanguageCount; ++language) {
            const QString text = pb::EndingReasonText(reason, language);
            EXPECT_FALSE(text.isEmpty()) << id;
            EXPECT_FALSE(text.contains(u'%')) << id << " " << text.toStdString();
            for (const QString& fact : facts) EXPECT_EQ(text.count(fact), 1) << id << " " << language;
            if (language == 0) {
                for (QChar c : text) EXPECT_LT(c.unicode(), 0x80) << "id " << id;
            }
        }
        EXPECT_TRUE(EncodableIn("GB2312", pb::EndingReasonText(reason, 1))) << id;
        EXPECT_TRUE(EncodableIn("BIG5", pb::EndingReasonText(reason, 2))) << id;

        const QJsonObject json = pb::ToJson(reason);
        EXPECT_EQ(json.value("cause").toString(), pb::EndingCauseName(cause));
        for (int i = 0; i < names.size(); ++i) EXPECT_EQ(json.value(names[i]).toString(), facts[i]);
        EXPECT_EQ(pb::EndingReasonFromJson(json), reason) << id;
        EXPECT_EQ(pb::EndingReasonFromArgs(pb::ToArgs(reason)), reason) << id;
    }
    EXPECT_FALSE(pb::EndingReasonFromJson({}).has_value());
    EXPECT_FALSE(pb::EndingReasonFromJson({{"cause", "no-such-cause"}}).has_value());
    EXPECT_FALSE(pb::EndingReasonFromArgs({"set-date"}).has_value());
}

TEST(EndingReasons, TheStatusLineIsTheEndingsOwnTextThenTheReason) {
    const pb::EndingReason cycles{pb::EndingCause::LineWentAwayAfterCycles, {"11"}};
    EXPECT_EQ(pb::EndingStatus(pb::MsgId::CommandError, cycles, 0),
              "Command error! the line went away after 11 cycles");
    EXPECT_EQ(pb::EndingStatus(pb::MsgId::CommandError, cycles, 1),
              QStringLiteral("指令错误! 11 个周期后连线中断"));
    EXPECT_EQ(pb::EndingStatus(pb::MsgId::CommandError, {}, 2), QStringLiteral("指令錯誤!"));
    EXPECT_EQ(pb::EndingStatus(pb::MsgId::LoadFirmwareFileError,
                               {pb::EndingCause::NoSuchFile, {"/path"}}, 0),
              "Load firmware file error! no such file: /path");
    EXPECT_EQ(pb::EndingStatus(pb::MsgId::FirmwareFileModelError,
                               {pb::EndingCause::FileForOtherModel, {"KV320MX-V5", "KV740MX-V6"}}, 0),
              "Firmware file format model error! the file is for KV320MX-V5, the controller is KV740MX-V6");
    // The words of the file menu, once: one term for a file that is none.
    for (int language = 0; language < pb::kLanguageCount; ++language)
        EXPECT_EQ(pb::EndingReasonText({pb::EndingCause::NotAFirmwareFile, {}}, language),
                  pb::Text(pb::FeedbackText::NotAFirmwareFile, language));
    // A fact that holds a placeholder of its own stays as it is.
    EXPECT_EQ(pb::EndingReasonText({pb::EndingCause::FileForOtherModel, {"%2", "KV740MX-V6"}}, 0),
              "the file is for %2, the controller is KV740MX-V6");
}

// A recipe step keeps the reason as its verdict's arguments and words it in the reader's
// language; a verdict of before, with its English words only, reads as it did.
TEST(EndingReasons, ARecipeVerdictWordsTheReasonInTheReadersLanguage) {
    const QStringList args = QStringList{"set-date"} + pb::ToArgs({pb::EndingCause::NoReply, {"AA"}});
    EXPECT_EQ(pb::Text(pb::RecipeReason::CommandFailed, args, 0), "Command set-date failed: no reply to AA");
    EXPECT_EQ(pb::Text(pb::RecipeReason::CommandFailed, args, 2), QStringLiteral("指令 set-date 失敗：AA 沒有回應"));
    EXPECT_EQ(pb::Text(pb::RecipeReason::CommandFailed, {"set-date"}, 0), "Command set-date failed");
    const QStringList block = pb::ToArgs({pb::EndingCause::BlockNotProgrammed, {"3"}});
    EXPECT_EQ(pb::Text(pb::RecipeReason::FlashFailed, block, 1), QStringLiteral("烧录或检查失败：第 3 块烧录失败"));
    EXPECT_EQ(pb::Text(pb::RecipeReason::FirmwareRefused, {"model kind 7 has no loader"}, 0),
              "The firmware does not suit this controller: model kind 7 has no loader");
}

TEST(MessageTable, LooksUpByIdAndLanguage) {
    // The window's language tests read the cells through the controls; here the edges.
    // The model name is the same in every column.
    for (pb::Language language : pb::kLanguages) {
        EXPECT_TRUE(pb::Msg(pb::MsgId::Caption, language).startsWith("KV410")) << int(language);
        EXPECT_TRUE(pb::Msg(pb::MsgId::AboutText, language).contains("KV410")) << int(language);
    }
    // Out of range gives nothing rather than a neighbour.
    EXPECT_TRUE(pb::Msg(pb::MsgId(-1), pb::Language::English).isEmpty());
    EXPECT_TRUE(pb::Msg(pb::MsgId(pb::kMessageCount), pb::Language::English).isEmpty());
    EXPECT_TRUE(pb::Msg(pb::MsgId::Caption, pb::Language(3)).isEmpty());
}

TEST(LanguageNames, StoredNameAndIndexMatch) {
    for (pb::Language language : pb::kLanguages)
        EXPECT_EQ(pb::LanguageFor(pb::LanguageFlagFor(language)), language);
    EXPECT_EQ(pb::LanguageFlagFor(pb::Language::SimplifiedChinese), "ChineseGB");
    EXPECT_EQ(pb::LanguageFlagFor(pb::Language::TraditionalChinese), "ChineseBIG5");
    EXPECT_EQ(pb::LanguageFlagFor(pb::Language(7)), "English");
    // The numbering the stored index and the text tables share.
    EXPECT_EQ(pb::LanguageIndex(pb::Language::TraditionalChinese), 2);
    EXPECT_EQ(pb::LanguageAt(1), pb::Language::SimplifiedChinese);
    EXPECT_EQ(pb::LanguageAt(3), pb::Language::English);
}

TEST(LanguageFont, ConversionOfTheTexts) {
    pb::LanguageFontText text{"X", "136", "14", "0x000000FF", pb::kStyleBold | pb::kStyleItalic};
    pb::LanguageFont font = pb::ToLanguageFont(text);
    EXPECT_EQ(font.charset, 136);
    EXPECT_EQ(font.pointSize, 14);
    EXPECT_EQ(font.colour, 0xFFu);
    EXPECT_EQ(font.style, 3);

    text.style = 16;  // outside 0..15: the style is left as it is
    EXPECT_FALSE(pb::ToLanguageFont(text).style.has_value());
    text.style = -1;
    EXPECT_FALSE(pb::ToLanguageFont(text).style.has_value());
    text.style = 15;
    EXPECT_EQ(pb::ToLanguageFont(text).style, 15);

    text.size = "twelve";  // not a number: the English size stays
    EXPECT_EQ(pb::ToLanguageFont(text).pointSize, 10);
}

}  // namespace

// A run's stored ending, read back in another language: the message table's words and
// the reason the details name both follow the window's language.
TEST(RecordsShownStatus, TheReasonOfAStoredEndingIsShownInTheWindowsLanguage) {
    const pb::EndingReason reason{pb::EndingCause::NoReply, {QStringLiteral("AA")}};
    const QJsonObject details{{QStringLiteral("reason"), pb::ToJson(reason)}};
    const int english = pb::LanguageIndex(pb::Language::English);
    const QString stored = pb::EndingStatus(pb::MsgId::CommandError, reason, english);
    for (const pb::Language language : pb::kLanguages) {
        const int to = pb::LanguageIndex(language);
        const QString shown = pb::records::ShownRunStatus(stored, details, to);
        EXPECT_EQ(shown, pb::EndingStatus(pb::MsgId::CommandError, reason, to));
        if (to != english) {
            EXPECT_FALSE(shown.contains(QStringLiteral("no reply to"))) << qPrintable(shown);
        }
    }
    // A status with no reason in its details is only translated phrase by phrase.
    EXPECT_EQ(pb::records::ShownRunStatus(QStringLiteral("something else"), {}, 1), QStringLiteral("something else"));
}
