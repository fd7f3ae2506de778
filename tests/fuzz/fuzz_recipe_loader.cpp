// The recipe loader and checker with arbitrary files, as an engineer's editor or a copy cut
// short could leave them: the JSON parse, the line finder and every field check.

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QRegularExpression>

#include "catalogue/RecipeLoader.h"
#include "catalogue/TestCatalogue.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

using namespace pb;

bool Outputs(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^[01]{4}$"));
    return form.match(text).hasMatch();
}

bool Inputs(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^[01x]{8}$"));
    return form.match(text).hasMatch();
}

// What the checker promises of a recipe it accepts: every value within its documented limits.
void CheckRecipe(const Recipe& r, const QByteArray& bytes, int lineCount) {
    FUZZ_REQUIRE(r.schema == Recipe::kSchema);
    FUZZ_REQUIRE(!r.product.trimmed().isEmpty());
    FUZZ_REQUIRE(!r.steps.isEmpty());
    FUZZ_REQUIRE(r.sha256 == QCryptographicHash::hash(bytes, QCryptographicHash::Sha256));
    FUZZ_REQUIRE(r.sourcePath.isEmpty());
    for (const RecipeStep& s : r.steps) {
        FUZZ_REQUIRE(s.line >= 1 && s.line <= lineCount);
        FUZZ_REQUIRE(s.retries >= 0 && s.retries <= 100);
        // Only tests with a step of their own are steps; each keeps to its fields' limits.
        const TestDescriptor& test = CatalogueEntry(s.kind);
        FUZZ_REQUIRE(test.step != nullptr);
        const auto has = [&test](const char* field) {
            for (const ParamDescriptor& p : test.params)
                if (p.field && qstrcmp(p.field, field) == 0) return true;
            return false;
        };
        const TestParams& p = s.params;
        for (int kind : p.identify.modelKinds) FUZZ_REQUIRE(kind >= 0 && kind <= 7);
        if (p.identify.version) FUZZ_REQUIRE(p.identify.version->min || p.identify.version->max);
        if (p.setDate.time) FUZZ_REQUIRE(p.setDate.time->isValid());
        FUZZ_REQUIRE(p.alarm.level >= 0 && p.alarm.level <= 6);
        if (p.restart.withinSeconds) FUZZ_REQUIRE(*p.restart.withinSeconds >= 1 && *p.restart.withinSeconds <= 600);
        if (has("patterns")) {
            FUZZ_REQUIRE(p.dido.cycles >= 1 && p.dido.cycles <= 100000);
            FUZZ_REQUIRE(!p.dido.patterns.isEmpty());
            for (const DidoPattern& pattern : p.dido.patterns) {
                FUZZ_REQUIRE(Outputs(pattern.outputs));
                FUZZ_REQUIRE(Inputs(pattern.inputs));
            }
        }
        if (has("sha256")) {
            FUZZ_REQUIRE(p.upgrade.sha256.size() == 32);
            FUZZ_REQUIRE(!p.upgrade.file.trimmed().isEmpty());
            FUZZ_REQUIRE(p.upgrade.wanted && (p.upgrade.wanted->min || p.upgrade.wanted->max));
            if (p.upgrade.wanted->min && p.upgrade.wanted->max)
                FUZZ_REQUIRE(p.upgrade.wanted->min->compareNumbers(*p.upgrade.wanted->max) <= 0);
        }
        if (has("at-least")) {
            FUZZ_REQUIRE(p.poll.atLeast || p.poll.atMost);
            if (p.poll.atLeast && p.poll.atMost) FUZZ_REQUIRE(*p.poll.atLeast <= *p.poll.atMost);
        }
        if (has("reply")) {
            FUZZ_REQUIRE(!p.console.text.trimmed().isEmpty());
            FUZZ_REQUIRE(QRegularExpression(p.console.replyPattern).isValid());
        }
        // The version bounds of either step read back as what they were written as.
        for (const std::optional<VersionRange>& range : {p.identify.version, p.upgrade.wanted}) {
            if (!range) continue;
            for (const std::optional<VersionText>& bound : {range->min, range->max})
                if (bound) FUZZ_REQUIRE(parseVersion(bound->text) && parseVersion(bound->text)->numbers == bound->numbers);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const RecipeLoad load = loadRecipe(bytes);
    const int lineCount = int(bytes.count('\n')) + 1;

    // A recipe exactly when there is no mistake.
    FUZZ_REQUIRE(bool(load.recipe) == load.mistakes.isEmpty());
    // Text the JSON parser refuses is one syntax mistake, at a line of the file.
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        FUZZ_REQUIRE(load.mistakes.size() == 1 && load.mistakes[0].problem == RecipeProblem::Syntax);
    } else if (!doc.isObject()) {
        FUZZ_REQUIRE(load.mistakes.size() == 1 && load.mistakes[0].problem == RecipeProblem::NotAnObject);
    }
    // Every mistake names a line of the file and reads in every language.
    for (const RecipeMistake& m : load.mistakes) {
        FUZZ_REQUIRE(m.line >= 1 && m.line <= lineCount);
        FUZZ_REQUIRE(m.problem != RecipeProblem::FileUnreadable && m.problem != RecipeProblem::MistakeLine);
        for (int language = 0; language < 3; ++language) {
            FUZZ_REQUIRE(!m.text(language).isEmpty());
        }
    }
    if (load.recipe) CheckRecipe(*load.recipe, bytes, lineCount);

    // Loading is repeatable.
    const RecipeLoad again = loadRecipe(bytes);
    FUZZ_REQUIRE(again.mistakes.size() == load.mistakes.size());
    for (qsizetype i = 0; i < load.mistakes.size(); ++i)
        FUZZ_REQUIRE(again.mistakes[i].line == load.mistakes[i].line &&
                     again.mistakes[i].field == load.mistakes[i].field &&
                     again.mistakes[i].problem == load.mistakes[i].problem);
    return 0;
}
