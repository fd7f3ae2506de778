#include "multiup/FixtureLoader.h"

#include <QCryptographicHash>
#include "link/TcpTransport.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <cmath>

#include "files/CheckedFile.h"
#include "multiup/AdapterMatch.h"
#include "link/SpeedText.h"
#include "recipes/JsonLines.h"

namespace pb {

QString FixtureMistake::text(int language) const {
    QStringList filled = args;
    if (problem == FixtureProblem::InRecipe && inRecipe) filled << inRecipe->text(language);
    return Text(RecipeProblem::MistakeLine,
                {QString::number(line), field.isEmpty() ? QStringLiteral("-") : field,
                 Text(problem, filled, language)},
                language);
}

namespace {

QString join(const QString& path, const QString& key) {
    return path.isEmpty() ? key : path + u'.' + key;
}

// Only what the link opens: a dotted IPv4 address and a port of digits (no name is looked up).
bool IsTcpAddress(const QString& text) {
    const qsizetype colon = text.lastIndexOf(u':');
    return colon > 0 && IsDottedIPv4(text.left(colon)) && IsTcpPortText(text.mid(colon + 1));
}

bool IsDeviceId(const QString& id) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]{3,4}$"));
    return digits.match(id).hasMatch();
}

// One pass over a parsed fixture; every finding goes into `mistakes`, each at the line of
// its field (or of the object that lacks it), as the recipe checker places them.
class Checker {
public:
    Checker(const QByteArray& bytes, QList<FixtureMistake>& mistakes) : lines_(bytes), mistakes_(mistakes) {}

    std::optional<Fixture> fixture(const QJsonObject& root, const QString& folder);

private:
    void add(const QString& field, FixtureProblem problem, const QStringList& args = {},
             std::optional<RecipeMistake> inRecipe = std::nullopt) {
        QString at = field;
        while (!at.isEmpty() && !lines_.has(at)) {
            const qsizetype cut = qMax(at.lastIndexOf(u'.'), at.lastIndexOf(u'['));
            at = cut > 0 ? at.left(cut) : QString();
        }
        mistakes_.append({lines_.line(at), field, problem, args, std::move(inRecipe)});
    }

    void onlyKnown(const QJsonObject& o, const QString& path, const QSet<QString>& known) {
        for (auto it = o.begin(); it != o.end(); ++it)
            if (!known.contains(it.key())) add(join(path, it.key()), FixtureProblem::UnknownField);
    }

    std::optional<QString> text(const QJsonObject& o, const QString& path, const QString& key, bool required) {
        const QString field = join(path, key);
        if (!o.contains(key)) {
            if (required) add(field, FixtureProblem::MissingField);
            return std::nullopt;
        }
        if (!o.value(key).isString()) {
            add(field, FixtureProblem::WrongType, {QStringLiteral("string")});
            return std::nullopt;
        }
        const QString s = o.value(key).toString();
        if (s.trimmed().isEmpty()) {
            add(field, FixtureProblem::EmptyText);
            return std::nullopt;
        }
        return s;
    }

    void recipe(const QJsonObject& root, const QString& folder, Fixture& f);
    void socket(const QJsonValue& v, const QString& path, Fixture& f, QHash<QString, int>& names);

    JsonLines lines_;
    QList<FixtureMistake>& mistakes_;
};

std::optional<Fixture> Checker::fixture(const QJsonObject& root, const QString& folder) {
    onlyKnown(root, {}, {"schema", "fixture", "recipe", "start", "sockets"});
    const QJsonValue schema = root.value(u"schema");
    if (!root.contains(u"schema")) {
        add(QStringLiteral("schema"), FixtureProblem::MissingField);
    } else if (!schema.isDouble() || std::floor(schema.toDouble()) != schema.toDouble()) {
        add(QStringLiteral("schema"), FixtureProblem::WrongType, {QStringLiteral("integer")});
    } else if (schema.toDouble() != Fixture::kSchema) {
        add(QStringLiteral("schema"), FixtureProblem::SchemaUnsupported, {QString::number(schema.toDouble())});
        return std::nullopt;  // another schema's fields mean other things
    }
    Fixture f;
    f.name = text(root, {}, QStringLiteral("fixture"), true).value_or(QString());
    recipe(root, folder, f);
    if (const auto start = text(root, {}, QStringLiteral("start"), false)) {
        if (*start == u"on-key") f.start = FixtureStart::OnKey;
        else if (*start != u"when-full") add(QStringLiteral("start"), FixtureProblem::BadStart, {*start});
    }
    const QString sockets = QStringLiteral("sockets");
    if (!root.contains(sockets)) {
        add(sockets, FixtureProblem::MissingField);
    } else if (!root.value(sockets).isArray()) {
        add(sockets, FixtureProblem::WrongType, {QStringLiteral("list")});
    } else {
        const QJsonArray list = root.value(sockets).toArray();
        if (list.isEmpty() || list.size() > Fixture::kMaxSockets)
            add(sockets, FixtureProblem::SocketCount,
                {QString::number(list.size()), QString::number(Fixture::kMaxSockets)});
        QHash<QString, int> names;  // each name and the line it is first given at
        for (qsizetype i = 0; i < list.size(); ++i) socket(list.at(i), QStringLiteral("sockets[%1]").arg(i), f, names);
    }
    if (!mistakes_.isEmpty()) return std::nullopt;
    return f;
}

void Checker::recipe(const QJsonObject& root, const QString& folder, Fixture& f) {
    const QString field = QStringLiteral("recipe");
    const std::optional<QString> written = text(root, {}, field, true);
    if (!written) return;
    const QString path = QDir::cleanPath(QDir(folder).absoluteFilePath(*written));
    if (!QFileInfo::exists(path)) {
        add(field, FixtureProblem::RecipeNotFound, {path});
        return;
    }
    const RecipeLoad load = loadRecipeFile(path);
    for (const RecipeMistake& m : load.mistakes) add(field, FixtureProblem::InRecipe, {*written}, m);
    if (!load.recipe) return;
    f.recipePath = path;
    f.recipe = *load.recipe;
}

void Checker::socket(const QJsonValue& v, const QString& path, Fixture& f, QHash<QString, int>& names) {
    if (!v.isObject()) {
        add(path, FixtureProblem::WrongType, {QStringLiteral("object")});
        return;
    }
    const QJsonObject o = v.toObject();
    onlyKnown(o, path, {"name", "tcp", "serial", "adapter", "speed", "id", "rs485"});
    FixtureSocket s;
    s.line = lines_.line(path);
    if (const auto name = text(o, path, QStringLiteral("name"), true)) {
        s.name = name->trimmed();
        if (names.contains(s.name))
            add(join(path, QStringLiteral("name")), FixtureProblem::DuplicateSocket,
                {s.name, QString::number(names.value(s.name))});
        else
            names.insert(s.name, lines_.line(join(path, QStringLiteral("name"))));
    }

    // Exactly one link; a second is shown where it is written.
    QStringList links;
    for (const char* key : {"tcp", "serial", "adapter"})
        if (o.contains(QLatin1String(key))) links << QLatin1String(key);
    if (links.isEmpty()) add(path, FixtureProblem::NoLink);
    if (links.size() > 1) add(join(path, links[1]), FixtureProblem::TwoLinks, {links.join(QStringLiteral(", "))});
    if (const auto tcp = text(o, path, QStringLiteral("tcp"), false)) {
        if (!IsTcpAddress(*tcp)) add(join(path, QStringLiteral("tcp")), FixtureProblem::BadTcpAddress, {*tcp});
        s.link = FixtureSocket::Link::Tcp;
        s.address = *tcp;
    }
    if (const auto serial = text(o, path, QStringLiteral("serial"), false)) {
        s.link = FixtureSocket::Link::Serial;
        s.address = *serial;
    }
    if (const auto adapter = text(o, path, QStringLiteral("adapter"), false)) {
        if (!IsAdapterText(*adapter))
            add(join(path, QStringLiteral("adapter")), FixtureProblem::BadAdapter, {*adapter});
        s.link = FixtureSocket::Link::Adapter;
        s.address = *adapter;
    }
    const bool tcpOnly = links == QStringList{QStringLiteral("tcp")};
    if (const auto speed = text(o, path, QStringLiteral("speed"), false)) {
        if (tcpOnly) add(join(path, QStringLiteral("speed")), FixtureProblem::NotForTcp, {QStringLiteral("speed")});
        else if (!ParseSpeedText(*speed))
            add(join(path, QStringLiteral("speed")), FixtureProblem::BadSpeed, {*speed});
        s.speed = *speed;
    }
    if (const auto id = text(o, path, QStringLiteral("id"), false)) {
        if (!IsDeviceId(*id)) add(join(path, QStringLiteral("id")), FixtureProblem::BadDeviceId, {*id});
        s.id = *id;
    }
    if (o.contains(u"rs485")) {
        const QString field = join(path, QStringLiteral("rs485"));
        if (!o.value(u"rs485").isBool()) add(field, FixtureProblem::WrongType, {QStringLiteral("true or false")});
        else if (tcpOnly && o.value(u"rs485").toBool()) add(field, FixtureProblem::NotForTcp, {QStringLiteral("rs485")});
        s.rs485 = o.value(u"rs485").toBool();
    }
    f.sockets.append(s);
}

}  // namespace

FixtureLoad loadFixture(const QByteArray& bytes, const QString& folder) {
    FixtureLoad out;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        out.mistakes.append({JsonLines::lineOfOffset(bytes, error.offset), QString(), FixtureProblem::Syntax,
                             {error.errorString()}, std::nullopt});
        return out;
    }
    if (!doc.isObject()) {
        out.mistakes.append({1, QString(), FixtureProblem::NotAnObject, {}, std::nullopt});
        return out;
    }
    Checker checker(bytes, out.mistakes);
    out.fixture = checker.fixture(doc.object(), folder);
    if (out.fixture)
        out.fixture->sha256Hex = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    return out;
}

FixtureLoad loadFixtureFile(const QString& path) {
    const CheckedFile file = ReadCheckedFile(path, kTextFileLimit);
    if (!file.ok()) {
        FixtureLoad out;
        if (file.problem == CheckedFile::Problem::NotAFile)
            out.mistakes.append({0, QString(), FixtureProblem::FileNotRegular, {path}, std::nullopt});
        else if (file.problem == CheckedFile::Problem::TooLarge)
            out.mistakes.append({0, QString(), FixtureProblem::FileTooLarge,
                                 {path, QString::number(file.size), QString::number(file.limit)}, std::nullopt});
        else
            out.mistakes.append({0, QString(), FixtureProblem::FileUnreadable, {path}, std::nullopt});
        return out;
    }
    const QFileInfo info(path);
    FixtureLoad out = loadFixture(file.bytes, info.absolutePath());
    if (out.fixture) out.fixture->sourcePath = info.absoluteFilePath();
    return out;
}

bool IsFixtureFile(const QString& path) {
    const CheckedFile file = ReadCheckedFile(path, kTextFileLimit);
    if (!file.ok()) return false;
    const QJsonDocument doc = QJsonDocument::fromJson(file.bytes);
    return doc.isObject() && doc.object().contains(QStringLiteral("sockets"));
}

}  // namespace pb
