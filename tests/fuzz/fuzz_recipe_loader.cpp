// The recipe loader and checker with arbitrary files, as an engineer's editor or a copy cut
// short could leave them: the JSON parse, the line finder and every field check.

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QRegularExpression>

#include "recipes/RecipeLoader.h"
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
        switch (s.kind) {
            case TestId::Connect:
                for (int kind : s.identify.modelKinds) FUZZ_REQUIRE(kind >= 0 && kind <= 7);
                if (s.identify.version) FUZZ_REQUIRE(s.identify.version->min || s.identify.version->max);
                break;
            case TestId::SetDate:
                if (s.setDate.time) FUZZ_REQUIRE(s.setDate.time->isValid());
                break;
            case TestId::Alarm:
                FUZZ_REQUIRE(s.alarm.level >= 0 && s.alarm.level <= 6);
                break;
            case TestId::Reboot:
                FUZZ_REQUIRE(s.reboot.withinSeconds >= 1 && s.reboot.withinSeconds <= 600);
                break;
            case TestId::Dido:
                FUZZ_REQUIRE(s.dido.cycles >= 1 && s.dido.cycles <= 100000);
                FUZZ_REQUIRE(!s.dido.patterns.isEmpty());
                for (const DidoPattern& p : s.dido.patterns) {
                    FUZZ_REQUIRE(Outputs(p.outputs));
                    FUZZ_REQUIRE(Inputs(p.inputs));
                }
                break;
            case TestId::FirmwareUpgrade:
                FUZZ_REQUIRE(s.upgrade.sha256.size() == 32);
                FUZZ_REQUIRE(!s.upgrade.file.trimmed().isEmpty());
                FUZZ_REQUIRE(s.upgrade.wanted.min || s.upgrade.wanted.max);
                if (s.upgrade.wanted.min && s.upgrade.wanted.max)
                    FUZZ_REQUIRE(s.upgrade.wanted.min->compareNumbers(*s.upgrade.wanted.max) <= 0);
                break;
            case TestId::Polling:
                FUZZ_REQUIRE(s.poll.atLeast || s.poll.atMost);
                if (s.poll.atLeast && s.poll.atMost) FUZZ_REQUIRE(*s.poll.atLeast <= *s.poll.atMost);
                break;
            case TestId::ControllerCommand:
            case TestId::ModuleCommand:
                FUZZ_REQUIRE(!s.reply.command.trimmed().isEmpty());
                FUZZ_REQUIRE(QRegularExpression(s.reply.replyPattern).isValid());
                break;
            case TestId::FactoryInitial:
                break;
            case TestId::AwaitAnswer:  // part of other tests: never a step of its own
                FUZZ_REQUIRE(false);
                break;
        }
        // The version bounds of either step read back as what they were written as.
        for (const std::optional<VersionRange>& range : {s.identify.version, std::optional(s.upgrade.wanted)}) {
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
