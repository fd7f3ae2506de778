#include "catalogue/RecipeLoader.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <cmath>

#include "files/CheckedFile.h"
#include "catalogue/TestCatalogue.h"
#include "procedures/CommandConsoles.h"
#include "recipes/JsonLines.h"

namespace pb {

QString RecipeMistake::text(int language) const {
    return Text(RecipeProblem::MistakeLine,
                {QString::number(line), field.isEmpty() ? QStringLiteral("-") : field,
                 Text(problem, args, language)},
                language);
}

namespace {

QString join(const QString& path, const QString& key) {
    return path.isEmpty() ? key : path + u'.' + key;
}

// One pass over a parsed document; every finding goes into `mistakes`.
class Checker {
public:
    Checker(const QByteArray& bytes, QList<RecipeMistake>& mistakes)
        : lines_(bytes), mistakes_(mistakes) {}

    std::optional<Recipe> recipe(const QJsonObject& root);

private:
    void add(const QString& field, RecipeProblem problem, const QStringList& args = {}) {
        // A field that is missing is shown at the line of the object that lacks it.
        QString at = field;
        while (!at.isEmpty() && !lines_.has(at)) {
            const qsizetype cut = qMax(at.lastIndexOf(u'.'), at.lastIndexOf(u'['));
            at = cut > 0 ? at.left(cut) : QString();
        }
        mistakes_.append({lines_.line(at), field, problem, args});
    }

    void onlyKnown(const QJsonObject& o, const QString& path, const QSet<QString>& known) {
        for (auto it = o.begin(); it != o.end(); ++it)
            if (!known.contains(it.key())) add(join(path, it.key()), RecipeProblem::UnknownField);
    }

    std::optional<QString> text(const QJsonObject& o, const QString& path, const QString& key,
                                bool required, bool nonEmpty = true) {
        const QString field = join(path, key);
        if (!o.contains(key)) {
            if (required) add(field, RecipeProblem::MissingField);
            return std::nullopt;
        }
        if (!o.value(key).isString()) {
            add(field, RecipeProblem::WrongType, {QStringLiteral("string")});
            return std::nullopt;
        }
        const QString s = o.value(key).toString();
        if (nonEmpty && s.trimmed().isEmpty()) {
            add(field, RecipeProblem::EmptyText);
            return std::nullopt;
        }
        return s;
    }

    std::optional<int> whole(const QJsonValue& v, const QString& field, int min, int max) {
        const double d = v.toDouble();
        if (!v.isDouble() || std::floor(d) != d) {
            add(field, RecipeProblem::WrongType, {QStringLiteral("integer")});
            return std::nullopt;
        }
        if (d < min || d > max) {
            add(field, RecipeProblem::OutOfRange, {QString::number(min), QString::number(max)});
            return std::nullopt;
        }
        return int(d);
    }

    std::optional<int> integer(const QJsonObject& o, const QString& path, const QString& key,
                               bool required, int min, int max) {
        if (!o.contains(key)) {
            if (required) add(join(path, key), RecipeProblem::MissingField);
            return std::nullopt;
        }
        return whole(o.value(key), join(path, key), min, max);
    }

    std::optional<bool> boolean(const QJsonObject& o, const QString& path, const QString& key) {
        if (!o.contains(key)) return std::nullopt;
        if (!o.value(key).isBool()) {
            add(join(path, key), RecipeProblem::WrongType, {QStringLiteral("true or false")});
            return std::nullopt;
        }
        return o.value(key).toBool();
    }

    std::optional<QJsonObject> object(const QJsonObject& o, const QString& path, const QString& key,
                                      bool required) {
        if (!o.contains(key)) {
            if (required) add(join(path, key), RecipeProblem::MissingField);
            return std::nullopt;
        }
        if (!o.value(key).isObject()) {
            add(join(path, key), RecipeProblem::WrongType, {QStringLiteral("object")});
            return std::nullopt;
        }
        return o.value(key).toObject();
    }

    std::optional<VersionRange> range(const QJsonObject& o, const QString& path, const QString& key,
                                      bool required);
    void step(const QJsonValue& v, const QString& path, Recipe& recipe);
    // A parameter's field as its kind reads it; an invalid value when absent or wrong.
    QVariant readParam(const ParamDescriptor& param, const QJsonObject& o, const QString& path);
    std::optional<RetryGroup> retryGroup(const QJsonObject& o, const QString& path, int self);
    QVariant modelKinds(const QJsonObject& o, const QString& path, const QString& key);
    QVariant patterns(const QJsonObject& o, const QString& path, const QString& key);
    QVariant moduleWord(const QJsonObject& o, const QString& path, const QString& key);
    // What a kind's fields say together (a range of records).
    void together(TestId kind, const QJsonObject& o, const QString& path, const RecipeStep& s);

    JsonLines lines_;
    QList<RecipeMistake>& mistakes_;
};

std::optional<Recipe> Checker::recipe(const QJsonObject& root) {
    const int before = int(mistakes_.size());
    onlyKnown(root, {}, {"schema", "product", "description", "steps"});
    const std::optional<int> schema = integer(root, {}, QStringLiteral("schema"), true, 0, 1 << 30);
    if (schema && *schema != Recipe::kSchema) {
        add(QStringLiteral("schema"), RecipeProblem::SchemaUnsupported, {QString::number(*schema)});
        return std::nullopt;  // another schema's fields mean other things
    }
    Recipe r;
    r.product = text(root, {}, QStringLiteral("product"), true).value_or(QString());
    text(root, {}, QStringLiteral("description"), false, false);
    if (!root.contains(u"steps"))
        add(QStringLiteral("steps"), RecipeProblem::MissingField);
    else if (!root.value(u"steps").isArray())
        add(QStringLiteral("steps"), RecipeProblem::WrongType, {QStringLiteral("list")});
    else if (root.value(u"steps").toArray().isEmpty())
        add(QStringLiteral("steps"), RecipeProblem::NoSteps);
    else {
        const QJsonArray steps = root.value(u"steps").toArray();
        for (qsizetype i = 0; i < steps.size(); ++i)
            step(steps.at(i), QStringLiteral("steps[%1]").arg(i), r);
    }
    if (mistakes_.size() != before) return std::nullopt;
    return r;
}

void Checker::step(const QJsonValue& v, const QString& path, Recipe& recipe) {
    if (!v.isObject()) {
        add(path, RecipeProblem::WrongType, {QStringLiteral("object")});
        return;
    }
    const QJsonObject o = v.toObject();
    RecipeStep s;
    s.line = lines_.line(path);
    const std::optional<QString> kindName = text(o, path, QStringLiteral("kind"), true);
    bool known = false;
    if (kindName) {
        if (const std::optional<TestId> k = StandaloneTest(*kindName)) {
            s.kind = *k;
            known = true;
        } else {
            add(join(path, QStringLiteral("kind")), RecipeProblem::UnknownKind, {*kindName});
        }
    }
    s.label = text(o, path, QStringLiteral("label"), false).value_or(QString());
    // "on-fail": "continue" is the line's word for "on-failure": "go-on".
    for (const char* key : {"on-failure", "on-fail"})
        if (const auto f = text(o, path, QLatin1String(key), false)) {
            if (*f == u"go-on" || *f == u"continue")
                s.onFailure = OnFailure::GoOn;
            else if (*f != u"stop")
                add(join(path, QLatin1String(key)), RecipeProblem::BadOnFailure);
        }
    s.retries = integer(o, path, QStringLiteral("retries"), false, 0, 100).value_or(0);
    s.retryGroup = retryGroup(o, path, int(recipe.steps.size()) + 1);
    if (!known) {  // which fields belong to the step is unknown too
        recipe.steps.append(s);
        return;
    }
    QSet<QString> fields{"kind", "label", "on-failure", "on-fail", "retries", "retry"};
    for (const ParamDescriptor& param : CatalogueEntry(s.kind).params) {
        if (!param.field) continue;
        const QString key = QLatin1String(param.field);
        fields.insert(key);
        const QVariant value = readParam(param, o, path);
        if (value.isValid()) param.set(s, value);
        else if (!o.contains(key) && param.absent.isValid()) param.set(s, param.absent);
    }
    together(s.kind, o, path, s);
    onlyKnown(o, path, fields);
    recipe.steps.append(s);
}

// {"steps": [4, 5], "times": 2}: the steps by number from 1, one after another, the last
// the step that holds it (number `self`); tried again up to `times` more times.
std::optional<RetryGroup> Checker::retryGroup(const QJsonObject& o, const QString& path, int self) {
    if (!o.contains(u"retry")) return std::nullopt;
    const QString field = join(path, QStringLiteral("retry"));
    const QJsonValue value = o.value(u"retry");
    if (!value.isObject()) {
        add(field, RecipeProblem::WrongType, {QStringLiteral("object")});
        return std::nullopt;
    }
    const QJsonObject group = value.toObject();
    const std::optional<int> times = integer(group, field, QStringLiteral("times"), true, 1, 100);
    const QJsonArray steps = group.value(u"steps").toArray();
    bool inOrder = group.value(u"steps").isArray() && !steps.isEmpty();
    for (qsizetype i = 0; inOrder && i < steps.size(); ++i)
        inOrder = steps[i].isDouble() && steps[i].toDouble() == double(steps[0].toInt() + i);
    inOrder = inOrder && steps.first().toInt() >= 1 && steps.last().toInt() == self;
    if (!inOrder)
        add(join(field, QStringLiteral("steps")), RecipeProblem::BadRetrySteps, {QString::number(self)});
    onlyKnown(group, field, {QStringLiteral("steps"), QStringLiteral("times")});
    if (!inOrder || !times) return std::nullopt;
    return RetryGroup{steps.first().toInt() - 1, *times};
}

QVariant Checker::readParam(const ParamDescriptor& param, const QJsonObject& o, const QString& path) {
    const QString key = QLatin1String(param.field);
    switch (param.kind) {
        case ParamKind::Integer:
            if (const auto n = integer(o, path, key, param.required, param.min, param.max)) return *n;
            return {};
        case ParamKind::Flag:
            if (const auto b = boolean(o, path, key)) return *b;
            if (param.required && !o.contains(key)) add(join(path, key), RecipeProblem::MissingField);
            return {};
        case ParamKind::Text:
        case ParamKind::NonEmptyText:
            if (const auto t = text(o, path, key, param.required, param.kind == ParamKind::NonEmptyText)) return *t;
            return {};
        case ParamKind::Regex: {
            const auto r = text(o, path, key, param.required);
            if (!r) return {};
            const QRegularExpression re(*r);
            if (re.isValid()) return *r;
            add(join(path, key), RecipeProblem::BadRegex, {re.errorString()});
            return {};
        }
        case ParamKind::Sha256: {
            const auto h = text(o, path, key, param.required);
            if (!h) return {};
            static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{64}$"));
            if (hex.match(*h).hasMatch()) return QByteArray::fromHex(h->toLatin1());
            add(join(path, key), RecipeProblem::BadSha256);
            return {};
        }
        case ParamKind::DateTime: {
            const auto t = text(o, path, key, param.required);
            if (!t) return {};
            const QDateTime when = QDateTime::fromString(*t, Qt::ISODate);
            if (when.isValid()) return when;
            add(join(path, key), RecipeProblem::BadTime);
            return {};
        }
        case ParamKind::Versions:
            if (const auto r = range(o, path, key, param.required)) return QVariant::fromValue(*r);
            return {};
        case ParamKind::ModelKinds:
            return modelKinds(o, path, key);
        case ParamKind::Patterns:
            return patterns(o, path, key);
        case ParamKind::ModuleWord:
            return moduleWord(o, path, key);
        case ParamKind::Outputs:
        case ParamKind::ModuleType:
            break;  // the command line's alone
    }
    return {};
}

QVariant Checker::modelKinds(const QJsonObject& o, const QString& path, const QString& key) {
    const QString field = join(path, key);
    const QJsonValue models = o.value(key);
    QVariantList kinds;
    if (models.isArray()) {
        const QJsonArray list = models.toArray();
        for (qsizetype i = 0; i < list.size(); ++i)
            if (const auto k = whole(list.at(i), QStringLiteral("%1[%2]").arg(field).arg(i), 0, 7)) kinds << *k;
    } else if (o.contains(key)) {
        if (const auto k = whole(models, field, 0, 7)) kinds << *k;
    }
    return kinds.isEmpty() ? QVariant() : QVariant(kinds);
}

QVariant Checker::patterns(const QJsonObject& o, const QString& path, const QString& key) {
    const QString field = join(path, key);
    if (!o.contains(key)) {
        add(field, RecipeProblem::MissingField);
        return {};
    }
    if (!o.value(key).isArray() || o.value(key).toArray().isEmpty()) {
        add(field, RecipeProblem::WrongType, {QStringLiteral("a list of patterns")});
        return {};
    }
    const QJsonArray list = o.value(key).toArray();
    static const QRegularExpression outputs(QStringLiteral("^[01]{4}$"));
    static const QRegularExpression inputs(QStringLiteral("^[01xX]{8}$"));
    QList<DidoPattern> out;
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString at = QStringLiteral("%1[%2]").arg(field).arg(i);
        if (!list.at(i).isObject()) {
            add(at, RecipeProblem::WrongType, {QStringLiteral("object")});
            continue;
        }
        const QJsonObject p = list.at(i).toObject();
        onlyKnown(p, at, {"outputs", "inputs"});
        DidoPattern pattern;
        if (const auto t = text(p, at, QStringLiteral("outputs"), true)) {
            if (outputs.match(*t).hasMatch())
                pattern.outputs = *t;
            else
                add(join(at, QStringLiteral("outputs")), RecipeProblem::BadPattern,
                    {QStringLiteral("4 digits 0/1 (outputs 1-4)")});
        }
        if (const auto t = text(p, at, QStringLiteral("inputs"), true)) {
            if (inputs.match(*t).hasMatch())
                pattern.inputs = t->toLower();
            else
                add(join(at, QStringLiteral("inputs")), RecipeProblem::BadPattern,
                    {QStringLiteral("8 characters 0/1/x (inputs 1-8)")});
        }
        out.append(pattern);
    }
    return QVariant::fromValue(out);
}

// A module command is written as one word: type letter, module number, its own command.
QVariant Checker::moduleWord(const QJsonObject& o, const QString& path, const QString& key) {
    const auto word = text(o, path, key, true);
    if (!word) return {};
    return QStringList{QString::number(qMax(0, ModuleTypeOfLetter(word->left(1)))), word->mid(1, 1), word->mid(2)};
}

void Checker::together(TestId kind, const QJsonObject& o, const QString& path, const RecipeStep& s) {
    const TestDescriptor& test = CatalogueEntry(kind);
    if (!test.checkFields) return;
    if (const auto problem = test.checkFields(o, s.params))
        add(problem->field.isEmpty() ? path : join(path, problem->field), problem->problem);
}

std::optional<VersionRange> Checker::range(const QJsonObject& o, const QString& path,
                                           const QString& key, bool required) {
    const std::optional<QJsonObject> r = object(o, path, key, required);
    if (!r) return std::nullopt;
    const QString at = join(path, key);
    onlyKnown(*r, at, {"min", "max"});
    VersionRange out;
    bool readable = true;
    for (const char* bound : {"min", "max"}) {
        const QString name = QString::fromLatin1(bound);
        const auto t = text(*r, at, name, false);
        if (!t) {
            readable = readable && !r->contains(name);
            continue;
        }
        const auto v = parseVersion(*t);
        if (!v) {
            add(join(at, name), RecipeProblem::BadVersion, {*t});
            readable = false;
        }
        (name == u"min" ? out.min : out.max) = v;
    }
    if (!readable) return std::nullopt;
    const bool crossed =
        out.min && out.max &&
        ((!out.min->tag.isEmpty() && !out.max->tag.isEmpty() && out.min->tag != out.max->tag) ||
         out.min->compareNumbers(*out.max) > 0);
    if ((!out.min && !out.max) || crossed) {
        add(at, RecipeProblem::BadRange);
        return std::nullopt;
    }
    return out;
}

}  // namespace

RecipeLoad loadRecipe(const QByteArray& bytes) {
    RecipeLoad out;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        out.mistakes.append({JsonLines::lineOfOffset(bytes, error.offset),
                             QString(),
                             RecipeProblem::Syntax,
                             {error.errorString()}});
        return out;
    }
    if (!doc.isObject()) {
        out.mistakes.append({1, QString(), RecipeProblem::NotAnObject, {}});
        return out;
    }
    Checker checker(bytes, out.mistakes);
    out.recipe = checker.recipe(doc.object());
    if (out.recipe)
        out.recipe->sha256 = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
    return out;
}

RecipeLoad loadRecipeFile(const QString& path) {
    const CheckedFile file = ReadCheckedFile(path, kTextFileLimit);
    if (!file.ok()) {
        RecipeLoad out;
        if (file.problem == CheckedFile::Problem::NotAFile)
            out.mistakes.append({0, QString(), RecipeProblem::FileNotRegular, {path}});
        else if (file.problem == CheckedFile::Problem::TooLarge)
            out.mistakes.append({0, QString(), RecipeProblem::FileTooLarge,
                                 {path, QString::number(file.size), QString::number(file.limit)}});
        else
            out.mistakes.append({0, QString(), RecipeProblem::FileUnreadable, {path}});
        return out;
    }
    RecipeLoad out = loadRecipe(file.bytes);
    if (out.recipe) out.recipe->sourcePath = QFileInfo(path).absoluteFilePath();
    return out;
}

}  // namespace pb
