// Causes and measurements as data: every code has a stable name, its words in three
// languages name only its own values, and both survive the records' JSON unchanged.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QSet>

#include "evidence/Cause.h"
#include "evidence/Measurement.h"
#include "i18n/CauseTexts.h"
#include "i18n/Language.h"

using namespace pb;

TEST(Causes, EveryCodeHasOneNameAndWordsForItsOwnValuesOnly) {
    QSet<QString> names;
    static const QRegularExpression placeholder(QStringLiteral(R"(\{([A-Za-z0-9]+)\})"));
    for (CauseCode code : AllCauseCodes()) {
        const QString name = CauseName(code);
        EXPECT_FALSE(name.isEmpty());
        EXPECT_FALSE(names.contains(name)) << qPrintable(name);
        names << name;
        EXPECT_EQ(CauseCodeNamed(name), code) << qPrintable(name);
        // Every value filled: the words show no placeholder left and no value missing.
        QVariantList values;
        for (const QString& v : CauseValueNames(code))
            values << (CauseValueKindOf(code, v) == CauseValueKind::Number ? QVariant(7) : QVariant(QStringLiteral("V")));
        const Cause cause = Cause::of(code, values);
        for (int language = 0; language < kLanguageCount; ++language) {
            EXPECT_FALSE(CauseTitle(code, language).isEmpty()) << qPrintable(name) << " " << language;
            const QString text = CauseText(cause, language);
            EXPECT_FALSE(text.isEmpty()) << qPrintable(name) << " " << language;
            EXPECT_FALSE(text.contains(u'{')) << qPrintable(name) << ": " << qPrintable(text);
        }
        // Every value the code names is shown (but a failed open's: its kind is worded, its
        // detail is the system's own words).
        for (qsizetype i = 0; i < values.size(); ++i) {
            const QString v = CauseValueNames(code)[i];
            if (code == CauseCode::LinkOpenFailed) continue;
            QVariantList marked = values;
            marked[i] = CauseValueKindOf(code, v) == CauseValueKind::Number ? QVariant(987654) : QVariant(QStringLiteral("Q9Z"));
            const QString shown = CauseText(Cause::of(code, marked), 0);
            EXPECT_TRUE(shown.contains(u"987654") || shown.contains(u"Q9Z")) << qPrintable(name) << " " << qPrintable(v);
        }
    }
    EXPECT_FALSE(CauseCodeNamed(QStringLiteral("no-such-cause")).has_value());
}

TEST(Causes, KeepTheirTypedValuesThroughJson) {
    const Cause c = Cause::of(CauseCode::InputMismatch, {3, "1010", "10110000", "1x100000", 4});
    const QJsonObject json = ToJson(c);
    EXPECT_EQ(json.value(u"code").toString(), "input-mismatch");
    EXPECT_TRUE(json.value(u"cycle").isDouble());
    EXPECT_EQ(json.value(u"inputs").toString(), "10110000");
    EXPECT_EQ(CauseFromJson(json), c);
    EXPECT_EQ(c.number(QStringLiteral("input")), 4);
    EXPECT_EQ(CauseText(c, 0), "cycle 3, outputs 1010: inputs 10110000, expected 1x100000 (DI4)");
    // A stored value of the wrong type is made the code's type; unknown names are dropped.
    const auto read = CauseFromJson({{"code", "line-lost"}, {"exchanges", "12"}, {"extra", 1}});
    ASSERT_TRUE(read);
    EXPECT_EQ(read->number(QStringLiteral("exchanges")), 12);
    EXPECT_FALSE(read->values.contains(u"extra"));
    EXPECT_FALSE(CauseFromJson({{"code", "nope"}}).has_value());
    // A value holding braces is shown as it is, not filled again.
    EXPECT_EQ(CauseText(Cause::of(CauseCode::NoReply, {"{command}"}), 0), "no reply to {command}");
}

TEST(Measurements, KeepKindUnitLimitsAndOutcomeThroughJson) {
    const Measurements ms = {
        Measurement::numberOf(QStringLiteral("answered-after"), 4.25, QStringLiteral("s")).within(std::nullopt, 30).judged(true),
        Measurement::bitsOf(QStringLiteral("inputs"), QStringLiteral("1011-000"))
            .expecting(QStringLiteral("1x11x000")).belongingTo(QStringLiteral("1010")).judged(false),
        Measurement::textOf(QStringLiteral("version"), QStringLiteral("V6.01.03")),
    };
    const QJsonArray json = ToJson(ms);
    EXPECT_EQ(MeasurementsFromJson(json), ms);
    EXPECT_FALSE(json[2].toObject().contains(u"outcome"));  // info is left out
    EXPECT_EQ(json[1].toObject().value(u"bits").toString(), "1011-000");
    ASSERT_NE(Find(ms, QStringLiteral("version")), nullptr);
    EXPECT_EQ(Find(ms, QStringLiteral("nope")), nullptr);
}
