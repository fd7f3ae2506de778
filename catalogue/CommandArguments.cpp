#include "catalogue/CommandArguments.h"

#include <QDateTime>
#include <QRegularExpression>

#include "procedures/CommandConsoles.h"

namespace pb {
namespace {

// How the value is named in an error: "--cycles", "alarm LEVEL".
QString named(const TestDescriptor& test, const ParamDescriptor& p) {
    return p.positional() ? test.commandName() + u' ' + QLatin1String(p.option) : QLatin1String(p.option);
}

QString rangeText(const ParamDescriptor& p) {
    if (p.max >= (1 << 30)) return QStringLiteral("from %1").arg(p.min);
    return QStringLiteral("from %1 to %2").arg(p.min).arg(p.max);
}

// The value of a text as the parameter's kind reads it; the usage error when it does not.
std::optional<QString> read(const TestDescriptor& test, const ParamDescriptor& p, const QString& text, QVariant& value) {
    switch (p.kind) {
        case ParamKind::Integer: {
            bool ok = false;
            const int n = text.toInt(&ok);
            if (!ok || n < p.min || n > p.max)
                return QStringLiteral("%1 wants a whole number %2, not '%3'").arg(named(test, p), rangeText(p), text);
            value = n;
            return std::nullopt;
        }
        case ParamKind::DateTime: {
            const QDateTime t = QDateTime::fromString(text, Qt::ISODate);
            if (!t.isValid()) return QStringLiteral("%1 wants yyyy-mm-ddThh:mm:ss, not '%2'").arg(named(test, p), text);
            value = t;
            return std::nullopt;
        }
        case ParamKind::Outputs:
            if (!QRegularExpression(QStringLiteral("^[01]{1,4}$")).match(text).hasMatch())
                return QStringLiteral("%1 wants up to four 0/1 digits, not '%2'").arg(named(test, p), text);
            value = text;
            return std::nullopt;
        case ParamKind::ModuleType: {
            bool isNumber = false;
            const int n = text.toInt(&isNumber);
            const int type = isNumber ? (ModuleTypeLetter(n).isEmpty() ? -1 : n)
                                      : ModuleTypeOfLetter(text, Qt::CaseInsensitive);
            if (type < 0) return QStringLiteral("%1 is 0..5 or A B H I J E, not '%2'").arg(named(test, p), text);
            value = type;
            return std::nullopt;
        }
        case ParamKind::NonEmptyText:
            if (text.trimmed().isEmpty()) return QStringLiteral("%1 must not be empty").arg(named(test, p));
            value = text;
            return std::nullopt;
        default:
            value = text;
            return std::nullopt;
    }
}

}  // namespace

QList<QCommandLineOption> TestOptions() {
    QList<QCommandLineOption> options;
    QStringList seen;
    for (const TestDescriptor& test : Catalogue())
        for (const ParamDescriptor& p : test.params) {
            if (!p.option || p.positional()) continue;
            const QString name = QLatin1String(p.option).mid(2);
            if (seen.contains(name)) continue;
            seen << name;
            options << (p.metavar ? QCommandLineOption(name, QString(), QLatin1String(p.metavar)) : QCommandLineOption(name));
        }
    return options;
}

std::optional<QString> ReadCommandArguments(const TestDescriptor& test, const QStringList& arguments,
                                            const QCommandLineParser& parser, RecipeStep& step,
                                            const QString& typed) {
    // An option of another test's does not go with this one.
    for (const TestDescriptor& other : Catalogue())
        for (const ParamDescriptor& p : other.params) {
            if (!p.option || p.positional() || !parser.isSet(QLatin1String(p.option).mid(2))) continue;
            bool mine = false;
            for (const ParamDescriptor& q : test.params) mine = mine || (q.option && qstrcmp(q.option, p.option) == 0);
            if (!mine) return QStringLiteral("%1 goes with '%2'").arg(QLatin1String(p.option), other.commandName());
        }
    const QList<const ParamDescriptor*> positionals = test.positionals();
    if (arguments.size() != positionals.size())
        return QStringLiteral("'%1' takes %2 argument(s), not %3")
            .arg(typed.isEmpty() ? test.commandName() : typed).arg(positionals.size()).arg(arguments.size());
    step.kind = test.id;
    for (qsizetype i = 0; i < positionals.size(); ++i) {
        QVariant value;
        if (const auto why = read(test, *positionals[i], arguments[i], value)) return why;
        positionals[i]->set(step, value);
    }
    for (const ParamDescriptor& p : test.params) {
        if (!p.option || p.positional()) continue;
        const QString name = QLatin1String(p.option).mid(2);
        if (!parser.isSet(name)) continue;
        if (p.excludes && parser.isSet(QLatin1String(p.excludes).mid(2)))
            return QStringLiteral("give %1 or %2, not both").arg(QLatin1String(p.option), QLatin1String(p.excludes));
        QVariant value = true;
        if (p.repeatable) {
            QStringList all;
            for (const QString& given : parser.values(name)) {
                if (const auto why = read(test, p, given, value)) return why;
                all << value.toString();
            }
            value = all;
        } else if (p.metavar) {
            if (const auto why = read(test, p, parser.value(name), value)) return why;
        }
        p.set(step, value);
    }
    return std::nullopt;
}

}  // namespace pb
