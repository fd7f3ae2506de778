// The message table and the language fonts.
#include <gtest/gtest.h>

#include <iconv.h>
#include <type_traits>

#include <QByteArray>

#include "i18n/CauseTexts.h"
#include "i18n/ChartTexts.h"
#include "i18n/CommandTexts.h"
#include "i18n/MeasurementTexts.h"
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
    ExpectTableEncodable<pb::CommandText>(int(pb::CommandText::LinkNotOpened) + 1);
}

TEST(MessageTable, CausesAndMeasurementNamesAreInTheCodePageOfTheirLanguage) {
    for (int code = 0; code <= int(pb::CauseCode::Unknown); ++code) {
        const pb::Cause cause = pb::Cause::of(pb::CauseCode(code));
        for (int language = 0; language < pb::kLanguageCount; ++language) {
            const QString title = pb::CauseTitle(cause.code, language);
            const QString text = pb::CauseText(cause, language);
            EXPECT_FALSE(title.isEmpty()) << code;
            if (language == 0)
                for (QChar c : title + text) EXPECT_LT(c.unicode(), 0x80) << "cause " << code;
            else
                EXPECT_TRUE(EncodableIn(language == 1 ? "GB2312" : "BIG5", title + text)) << "cause " << code << " in " << language;
        }
    }
    for (const QString& name : pb::KnownMeasurementNames()) {
        EXPECT_TRUE(EncodableIn("GB2312", pb::MeasurementName(name, 1))) << name.toStdString();
        EXPECT_TRUE(EncodableIn("BIG5", pb::MeasurementName(name, 2))) << name.toStdString();
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

TEST(EndingCauses, TheStatusLineIsTheEndingsOwnTextThenTheCause) {
    const pb::Cause lost = pb::Cause::of(pb::CauseCode::LineLost, {11, "DG0"});
    EXPECT_EQ(pb::EndingStatus(pb::MsgId::CommandError, lost, 0),
              "Command error! the line was lost after 11 exchanges, at DG0");
    EXPECT_EQ(pb::EndingStatus(pb::MsgId::CommandError, lost, 1), QStringLiteral("指令错误! 11 次通讯后连线中断，于 DG0"));
    EXPECT_EQ(pb::EndingStatus(pb::MsgId::CommandError, {}, 2), QStringLiteral("指令錯誤!"));
    const pb::Cause missing = pb::Cause::of(pb::CauseCode::FileMissing, {"/path"});
    EXPECT_EQ(pb::EndingStatus(pb::ErrorEnding(missing), missing, 0), "Load firmware file error! no such file: /path");
    const pb::Cause other = pb::Cause::of(pb::CauseCode::FileForOtherModel, {"KV320MX-V5", "KV740MX-V6"});
    EXPECT_EQ(pb::EndingStatus(pb::ErrorEnding(other), other, 0),
              "Firmware file format model error! the file is for KV320MX-V5, the controller is KV740MX-V6");
    // A value that holds a placeholder of its own stays as it is.
    EXPECT_EQ(pb::CauseText(pb::Cause::of(pb::CauseCode::FileForOtherModel, {"{controllerModel}", "KV740MX-V6"}), 0),
              "the file is for {controllerModel}, the controller is KV740MX-V6");
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

// A run's kept ending, read back in another language: the ending's words and the cause
// both follow the reader's language, the ending the one the window showed.
TEST(RecordsShownStatus, AKeptEndingIsShownInTheReadersLanguage) {
    const pb::Cause silent = pb::Cause::of(pb::CauseCode::NoReply, {QStringLiteral("AA")});
    const pb::Cause missing = pb::Cause::of(pb::CauseCode::FileMissing, {QStringLiteral("/fw.KVF")});
    for (const pb::Language language : pb::kLanguages) {
        const int to = pb::LanguageIndex(language);
        const QString shown = pb::records::ShownRunStatus(pb::records::Outcome::Error, silent, "Command error! no reply to AA", to);
        EXPECT_EQ(shown, pb::EndingStatus(pb::MsgId::CommandError, silent, to));
        if (to != 0) {
            EXPECT_FALSE(shown.contains(QStringLiteral("no reply to"))) << qPrintable(shown);
        }
        EXPECT_EQ(pb::records::ShownRunStatus(pb::records::Outcome::Error, missing, {}, to),
                  pb::EndingStatus(pb::MsgId::LoadFirmwareFileError, missing, to));
    }
    // A status kept before causes were is only translated phrase by phrase.
    const pb::Cause old = pb::Cause::of(pb::CauseCode::Unknown, {QStringLiteral("something else")});
    EXPECT_EQ(pb::records::ShownRunStatus(pb::records::Outcome::Error, old, QStringLiteral("something else"), 1),
              QStringLiteral("something else"));
}
