// Recipe files: a good one read into its values, every mistake of a bad one named with
// its line and field, and the shipped examples accepted.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QTemporaryDir>

#include "catalogue/RecipeLoader.h"
#include "tests/support/QtPrinters.h"

using pb::RecipeProblem;

namespace {

// "line field problem" for each mistake, sorted, so a failure shows every difference.
QStringList Found(const pb::RecipeLoad& load) {
    QStringList out;
    for (const pb::RecipeMistake& m : load.mistakes)
        out.append(QStringLiteral("%1 %2 %3").arg(m.line).arg(m.field).arg(int(m.problem)));
    out.sort();
    return out;
}

QString Expect(int line, const char* field, RecipeProblem p) {
    return QStringLiteral("%1 %2 %3").arg(line).arg(QLatin1String(field)).arg(int(p));
}

const char* kGood = R"({
  "schema": 1,
  "product": "KV740MX door controller",
  "steps": [
    {"kind": "identify", "models": [6], "model": "KV740MX",
     "version": {"min": "V6.01.00", "max": "V6.99.99"}},
    {"kind": "set-date", "time": "2026-03-01T08:30:00"},
    {"kind": "dido", "cycles": 3, "retries": 2, "on-failure": "go-on",
     "patterns": [{"outputs": "1000", "inputs": "1000XXXX"}]},
    {"kind": "upgrade", "file": "fw/v6.bin",
     "sha256": "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855",
     "version": {"min": "V6.02"}},
    {"kind": "poll", "at-most": 200},
    {"kind": "module", "label": "Reader", "command": "A1B", "reply": "KVPA1"},
    {"kind": "reboot"}
  ]
}
)";

TEST(RecipeChecker, AGoodRecipeIsReadIntoItsValues) {
    const QByteArray bytes(kGood);
    const pb::RecipeLoad load = pb::loadRecipe(bytes);
    ASSERT_TRUE(load.mistakes.isEmpty()) << Found(load).join(u'\n').toStdString();
    ASSERT_TRUE(load.recipe);
    const pb::Recipe& r = *load.recipe;
    EXPECT_EQ(r.product, "KV740MX door controller");
    EXPECT_EQ(r.sha256, QCryptographicHash::hash(bytes, QCryptographicHash::Sha256));
    ASSERT_EQ(r.steps.size(), 7);
    EXPECT_EQ(r.steps[0].kind, pb::TestId::Connect);
    EXPECT_EQ(r.steps[0].line, 5);
    EXPECT_EQ(r.steps[0].params.identify.modelKinds, QList<int>{6});
    EXPECT_TRUE(r.steps[0].params.identify.checkSerial);
    EXPECT_EQ(r.steps[0].params.identify.version->text(), "V6.01.00 .. V6.99.99");
    EXPECT_EQ(r.steps[1].params.setDate.time, QDateTime(QDate(2026, 3, 1), QTime(8, 30)));
    EXPECT_EQ(r.steps[2].onFailure, pb::OnFailure::GoOn);
    EXPECT_EQ(r.steps[2].retries, 2);
    EXPECT_EQ(r.steps[2].params.dido.cycles, 3);
    EXPECT_EQ(r.steps[2].params.dido.patterns[0].inputs, "1000xxxx");
    EXPECT_EQ(r.steps[3].line, 10);
    EXPECT_EQ(r.steps[3].params.upgrade.sha256.toHex(),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_FALSE(r.steps[3].params.upgrade.always);
    EXPECT_EQ(r.steps[4].params.poll.atMost, 200);
    EXPECT_FALSE(r.steps[4].params.poll.atLeast);
    EXPECT_EQ(r.steps[5].label, "Reader");
    EXPECT_EQ(r.steps[6].params.restart.withinSeconds, 30);
    EXPECT_EQ(r.steps[6].onFailure, pb::OnFailure::Stop);

    // From a file: the firmware is found beside the recipe.
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("unit.json")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    const pb::RecipeLoad fromFile = pb::loadRecipeFile(f.fileName());
    ASSERT_TRUE(fromFile.recipe);
    EXPECT_EQ(fromFile.recipe->firmwarePath(fromFile.recipe->steps[3].params.upgrade),
              QDir(dir.path()).filePath(QStringLiteral("fw/v6.bin")));
    const pb::RecipeLoad missing = pb::loadRecipeFile(dir.filePath(QStringLiteral("none.json")));
    ASSERT_EQ(missing.mistakes.size(), 1);
    EXPECT_EQ(missing.mistakes[0].problem, RecipeProblem::FileUnreadable);
}

TEST(RecipeChecker, EveryMistakeIsNamedWithItsLineAndField) {
    const char* text = R"({
  "schema": 1,
  "product": "KV740MX",
  "steps": [
    {"kind": "identify", "models": [6, 9], "version": {"min": "V6.02", "max": "V6.01"}},
    {"kind": "blink"},
    {"kind": "alarm"},
    {"kind": "poll", "at-least": "3"},
    {"kind": "upgrade", "file": "fw.bin", "sha256": "abc", "version": {"min": "V6.x"}},
    {"kind": "send", "command": "AS", "reply": "([", "retries": -1},
    {"kind": "dido", "cycles": 2, "patterns": [{"outputs": "10", "inputs": "1000000y"}]},
    {"kind": "set-date", "time": "tomorrow", "colour": "red", "on-failure": "maybe"},
    {"kind": "reboot",
     "within-s": 0},
    {"kind": "poll", "at-least": 5,
     "at-most": 2},
    {"kind": "identify", "version": {"min": "V6.01", "max": "R6.02"}, "check-serial": "yes"},
    {"label": "no kind"},
    {"kind": "upgrade",
     "file": "fw.bin"}
  ]
}
)";
    const pb::RecipeLoad load = pb::loadRecipe(text);
    EXPECT_FALSE(load.recipe);
    QStringList want{
        Expect(5, "steps[0].models[1]", RecipeProblem::OutOfRange),
        Expect(5, "steps[0].version", RecipeProblem::BadRange),
        Expect(6, "steps[1].kind", RecipeProblem::UnknownKind),
        Expect(7, "steps[2].level", RecipeProblem::MissingField),
        Expect(8, "steps[3].at-least", RecipeProblem::WrongType),
        Expect(9, "steps[4].sha256", RecipeProblem::BadSha256),
        Expect(9, "steps[4].version.min", RecipeProblem::BadVersion),
        Expect(10, "steps[5].reply", RecipeProblem::BadRegex),
        Expect(10, "steps[5].retries", RecipeProblem::OutOfRange),
        Expect(11, "steps[6].patterns[0].outputs", RecipeProblem::BadPattern),
        Expect(11, "steps[6].patterns[0].inputs", RecipeProblem::BadPattern),
        Expect(12, "steps[7].time", RecipeProblem::BadTime),
        Expect(12, "steps[7].colour", RecipeProblem::UnknownField),
        Expect(12, "steps[7].on-failure", RecipeProblem::BadOnFailure),
        Expect(14, "steps[8].within-s", RecipeProblem::OutOfRange),
        Expect(16, "steps[9].at-most", RecipeProblem::BadRange),
        Expect(17, "steps[10].version", RecipeProblem::BadRange),
        Expect(17, "steps[10].check-serial", RecipeProblem::WrongType),
        Expect(18, "steps[11].kind", RecipeProblem::MissingField),
        Expect(19, "steps[12].sha256", RecipeProblem::MissingField),
        Expect(19, "steps[12].version", RecipeProblem::MissingField),
    };
    want.sort();
    EXPECT_EQ(Found(load), want);

    // The text an engineer reads, in each language.
    for (const pb::RecipeMistake& m : load.mistakes)
        if (m.field == u"steps[5].retries") {
            EXPECT_EQ(m.text(0), "line 10, steps[5].retries: out of range, allowed 0 to 100");
            EXPECT_EQ(m.text(1),
                      QString::fromUtf8("第 10 行，steps[5].retries：超出范围，允许 0 至 100"));
        } else if (m.field == u"steps[1].kind") {
            EXPECT_EQ(m.text(0), "line 6, steps[1].kind: unknown step kind 'blink'");
        }
}

TEST(RecipeChecker, SyntaxAndShapeMistakes) {
    // The parser's offset becomes the line it stopped at.
    const pb::RecipeLoad syntax = pb::loadRecipe("{\n  \"schema\": 1,\n  \"product\": tru,\n}\n");
    ASSERT_EQ(syntax.mistakes.size(), 1);
    EXPECT_EQ(syntax.mistakes[0].problem, RecipeProblem::Syntax);
    EXPECT_EQ(syntax.mistakes[0].line, 3);
    EXPECT_TRUE(syntax.mistakes[0].text(0).startsWith("line 3, -: JSON syntax error: "));

    const pb::RecipeLoad late =
        pb::loadRecipe("{\n\"schema\": 1,\n\n\n\"steps\": [\n{\"kind\": \"reboot\"}\n");
    ASSERT_EQ(late.mistakes.size(), 1);
    EXPECT_EQ(late.mistakes[0].line, 7);  // the text ends before the list is closed

    EXPECT_EQ(Found(pb::loadRecipe("[1, 2]")),
              QStringList{Expect(1, "", RecipeProblem::NotAnObject)});
    EXPECT_EQ(Found(pb::loadRecipe("{\n\"product\": \"x\",\n\"schema\": 2,\n\"steps\": 5}")),
              QStringList{Expect(3, "schema", RecipeProblem::SchemaUnsupported)});
    QStringList want{Expect(1, "schema", RecipeProblem::MissingField),
                     Expect(2, "product", RecipeProblem::EmptyText),
                     Expect(3, "steps", RecipeProblem::NoSteps),
                     Expect(4, "extra", RecipeProblem::UnknownField)};
    want.sort();
    EXPECT_EQ(Found(pb::loadRecipe("{\n\"product\": \" \",\n\"steps\": [],\n\"extra\": 0}")), want);
    // Keys with escapes and nested lists do not upset the line count.
    EXPECT_EQ(
        Found(pb::loadRecipe("{\"schema\": 1, \"product\": \"a\\\"b\\n\",\n\"steps\": [\n"
                             "{\"kind\": \"send\", \"command\": \"[{\", \"reply\": \"\\\\d+\"},\n"
                             "{\"kind\": \"alarm\", \"level\": 7}]}")),
        QStringList{Expect(4, "steps[1].level", RecipeProblem::OutOfRange)});
}

TEST(RecipeChecker, TheShippedExamplesPass) {
    const QDir dir(QStringLiteral(PANELBENCH_SOURCE_DIR "/examples/recipes"));
    const QStringList files = dir.entryList({QStringLiteral("*.json")}, QDir::Files);
    ASSERT_GE(files.size(), 8);  // one per family and the bench check
    for (const QString& name : files) {
        const pb::RecipeLoad load = pb::loadRecipeFile(dir.filePath(name));
        EXPECT_TRUE(load.recipe) << name.toStdString() << ": "
                                 << (load.mistakes.isEmpty()
                                         ? std::string()
                                         : load.mistakes[0].text(0).toStdString());
    }
    const pb::RecipeLoad bench =
        pb::loadRecipeFile(dir.filePath(QStringLiteral("bench-check.json")));
    ASSERT_TRUE(bench.recipe);
    const auto& steps = bench.recipe->steps;
    ASSERT_EQ(steps.size(), 3);
    EXPECT_EQ(steps[0].kind, pb::TestId::Connect);
    EXPECT_FALSE(steps[0].params.identify.modelKinds.contains(4));  // four-digit controllers only
    EXPECT_EQ(steps[1].kind, pb::TestId::SetDate);
    EXPECT_FALSE(steps[1].params.setDate.time);  // the PC's clock
    EXPECT_EQ(steps[2].kind, pb::TestId::Dido);
    EXPECT_EQ(steps[2].params.dido.cycles, 3);
    for (const pb::DidoPattern& p : steps[2].params.dido.patterns) EXPECT_EQ(p.inputs, "00000000");
}

}  // namespace
