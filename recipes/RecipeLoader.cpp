#include "recipes/RecipeLoader.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <cmath>

#include "files/CheckedFile.h"
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
    void identify(const QJsonObject& o, const QString& path, IdentifyExpect& out);
    void dido(const QJsonObject& o, const QString& path, DidoStep& out);
    void upgrade(const QJsonObject& o, const QString& path, UpgradeStep& out);
    void poll(const QJsonObject& o, const QString& path, PollStep& out);
    void reply(const QJsonObject& o, const QString& path, ReplyStep& out);

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
    if (const auto f = text(o, path, QStringLiteral("on-failure"), false)) {
        if (*f == u"go-on")
            s.onFailure = OnFailure::GoOn;
        else if (*f != u"stop")
            add(join(path, QStringLiteral("on-failure")), RecipeProblem::BadOnFailure);
    }
    s.retries = integer(o, path, QStringLiteral("retries"), false, 0, 100).value_or(0);
    if (!known) {  // which fields belong to the step is unknown too
        recipe.steps.append(s);
        return;
    }
    QSet<QString> fields{"kind", "label", "on-failure", "retries"};
    switch (s.kind) {
        case TestId::Connect:
            fields.unite({"models", "model", "version", "check-serial"});
            identify(o, path, s.identify);
            break;
        case TestId::SetDate:
            fields.insert(QStringLiteral("time"));
            if (const auto t = text(o, path, QStringLiteral("time"), false)) {
                const QDateTime when = QDateTime::fromString(*t, Qt::ISODate);
                if (when.isValid())
                    s.setDate.time = when;
                else
                    add(join(path, QStringLiteral("time")), RecipeProblem::BadTime);
            }
            break;
        case TestId::Alarm:
            fields.insert(QStringLiteral("level"));
            s.alarm.level = integer(o, path, QStringLiteral("level"), true, 0, 6).value_or(0);
            break;
        case TestId::Reboot:
            fields.insert(QStringLiteral("within-s"));
            s.reboot.withinSeconds =
                integer(o, path, QStringLiteral("within-s"), false, 1, 600).value_or(30);
            break;
        case TestId::Dido:
            fields.unite({"cycles", "patterns"});
            dido(o, path, s.dido);
            break;
        case TestId::FirmwareUpgrade:
            fields.unite({"file", "sha256", "version", "always", "allow-partial"});
            upgrade(o, path, s.upgrade);
            break;
        case TestId::Polling:
            fields.unite({"at-least", "at-most"});
            poll(o, path, s.poll);
            break;
        case TestId::ControllerCommand:
        case TestId::ModuleCommand:
            fields.unite({"command", "reply"});
            reply(o, path, s.reply);
            break;
        default:  // a test that takes nothing: the common fields only (factory-initial)
            break;
    }
    onlyKnown(o, path, fields);
    recipe.steps.append(s);
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

void Checker::identify(const QJsonObject& o, const QString& path, IdentifyExpect& out) {
    const QString field = join(path, QStringLiteral("models"));
    const QJsonValue models = o.value(u"models");
    if (models.isArray()) {
        const QJsonArray list = models.toArray();
        for (qsizetype i = 0; i < list.size(); ++i)
            if (const auto k = whole(list.at(i), QStringLiteral("%1[%2]").arg(field).arg(i), 0, 7))
                out.modelKinds.append(*k);
    } else if (o.contains(u"models")) {
        if (const auto k = whole(models, field, 0, 7)) out.modelKinds.append(*k);
    }
    out.modelText = text(o, path, QStringLiteral("model"), false).value_or(QString());
    out.version = range(o, path, QStringLiteral("version"), false);
    out.checkSerial = boolean(o, path, QStringLiteral("check-serial")).value_or(true);
}

void Checker::dido(const QJsonObject& o, const QString& path, DidoStep& out) {
    out.cycles = integer(o, path, QStringLiteral("cycles"), false, 1, 100000).value_or(1);
    const QString field = join(path, QStringLiteral("patterns"));
    if (!o.contains(u"patterns")) {
        add(field, RecipeProblem::MissingField);
        return;
    }
    if (!o.value(u"patterns").isArray() || o.value(u"patterns").toArray().isEmpty()) {
        add(field, RecipeProblem::WrongType, {QStringLiteral("a list of patterns")});
        return;
    }
    const QJsonArray list = o.value(u"patterns").toArray();
    static const QRegularExpression outputs(QStringLiteral("^[01]{4}$"));
    static const QRegularExpression inputs(QStringLiteral("^[01xX]{8}$"));
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
        out.patterns.append(pattern);
    }
}

void Checker::upgrade(const QJsonObject& o, const QString& path, UpgradeStep& out) {
    out.file = text(o, path, QStringLiteral("file"), true).value_or(QString());
    if (const auto h = text(o, path, QStringLiteral("sha256"), true)) {
        static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{64}$"));
        if (hex.match(*h).hasMatch())
            out.sha256 = QByteArray::fromHex(h->toLatin1());
        else
            add(join(path, QStringLiteral("sha256")), RecipeProblem::BadSha256);
    }
    if (const auto r = range(o, path, QStringLiteral("version"), true)) out.wanted = *r;
    out.always = boolean(o, path, QStringLiteral("always")).value_or(false);
    out.allowPartial = boolean(o, path, QStringLiteral("allow-partial")).value_or(false);
}

void Checker::poll(const QJsonObject& o, const QString& path, PollStep& out) {
    out.atLeast = integer(o, path, QStringLiteral("at-least"), false, 0, 1000000);
    out.atMost = integer(o, path, QStringLiteral("at-most"), false, 0, 1000000);
    const bool none = !o.contains(u"at-least") && !o.contains(u"at-most");
    if (none || (out.atLeast && out.atMost && *out.atLeast > *out.atMost))
        add(none ? path : join(path, QStringLiteral("at-most")), RecipeProblem::BadRange);
}

void Checker::reply(const QJsonObject& o, const QString& path, ReplyStep& out) {
    out.command = text(o, path, QStringLiteral("command"), true).value_or(QString());
    if (const auto r = text(o, path, QStringLiteral("reply"), true)) {
        const QRegularExpression re(*r);
        if (re.isValid())
            out.replyPattern = *r;
        else
            add(join(path, QStringLiteral("reply")), RecipeProblem::BadRegex, {re.errorString()});
    }
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
