#include "records/store/ServerAddress.h"

#include <QRegularExpression>
#include <QUrl>

namespace pb::records {
namespace {

QString Decoded(const QString& part) {
    return QUrl::fromPercentEncoding(part.toUtf8());
}

QString Encoded(const QString& part) {
    return QString::fromUtf8(QUrl::toPercentEncoding(part));
}

}  // namespace

bool IsServerUrl(const QString& text) {
    return text.startsWith(QLatin1String("postgresql://")) || text.startsWith(QLatin1String("postgres://"));
}

QString ServerAddress::option(const QString& key) const {
    for (const QString& o : options)
        if (o.section(u'=', 0, 0) == key) return o.section(u'=', 1);
    return {};
}

QString ServerAddress::display() const {
    QString text = QStringLiteral("postgresql://");
    if (!user.isEmpty()) text += Encoded(user) + u'@';
    // An IPv6 address in brackets as libpq writes it; any other host percent-encoded, so
    // that the text reads back as this address.
    static const QRegularExpression ipv6(QStringLiteral("^[0-9A-Fa-f:.]*:[0-9A-Fa-f:.]*$"));
    text += ipv6.match(host).hasMatch() ? u'[' + host + u']' : Encoded(host);
    if (port > 0) text += u':' + QString::number(port);
    text += u'/' + Encoded(database);
    QStringList encoded;
    for (const QString& o : options) encoded << o.section(u'=', 0, 0) + u'=' + Encoded(o.section(u'=', 1));
    if (!encoded.isEmpty()) text += u'?' + encoded.join(u'&');
    return text;
}

std::optional<ServerAddress> ParseServerUrl(const QString& url, QString* why, UrlProblem* problem,
                                            QString* argument) {
    if (problem) *problem = UrlProblem::None;
    const auto refuse = [&](const QString& reason, UrlProblem named = UrlProblem::NotAUrl,
                            const QString& part = {}) {
        if (why) *why = reason;
        if (problem) *problem = named;
        if (argument) *argument = part;
        return std::nullopt;
    };
    static const QRegularExpression form(QStringLiteral(
        "^postgres(?:ql)?://(?:([^@/?]*)@)?(\\[[^\\]]*\\]|[^:/?]*)(?::([^/?]*))?(?:/([^?]*))?(?:\\?(.*))?$"));
    const QRegularExpressionMatch m = form.match(url.trimmed());
    if (!m.hasMatch()) return refuse(QStringLiteral("not a postgresql://user@host:port/database URL"));
    ServerAddress a;
    const QString userInfo = m.captured(1);
    if (userInfo.contains(u':'))
        return refuse(QStringLiteral("a password does not go in the URL: put it in ~/.pgpass"), UrlProblem::Password);
    a.user = Decoded(userInfo);
    QString host = m.captured(2);
    if (host.startsWith(u'[')) host = host.mid(1, host.size() - 2);
    a.host = Decoded(host);
    // The port in its place or as the option "port=": a number libpq can dial.
    const auto port = [&](const QString& text) {
        bool ok = false;
        a.port = text.toInt(&ok);
        return ok && a.port >= 1 && a.port <= 65535;
    };
    const auto badPort = [&](const QString& text) {
        return refuse(QStringLiteral("the port is 1 to 65535, not '%1'").arg(text), UrlProblem::BadPort, text);
    };
    if (!m.captured(3).isEmpty() && !port(m.captured(3))) return badPort(m.captured(3));
    a.database = Decoded(m.captured(4));
    for (const QString& pair : m.captured(5).split(u'&', Qt::SkipEmptyParts)) {
        // Named by its key alone when refused: the value may be a secret.
        const QString rawKey = pair.section(u'=', 0, 0);
        const QString key = Decoded(rawKey).toLower();
        const QString value = Decoded(pair.section(u'=', 1));
        // A password under any name, or inside another option's value (options=-c password=...).
        if (key.contains(QLatin1String("password")) || value.contains(QLatin1String("password"), Qt::CaseInsensitive))
            return refuse(QStringLiteral("a password does not go in the URL: put it in ~/.pgpass"), UrlProblem::Password);
        // libpq's own spellings of what the URL's parts say.
        if (key == QLatin1String("host")) a.host = value;
        else if (key == QLatin1String("user")) a.user = value;
        else if (key == QLatin1String("dbname")) a.database = value;
        else if (key == QLatin1String("port")) {
            if (!port(value)) return badPort(value);
        }
        else if (!key.isEmpty()) {
            static const QRegularExpression word(QStringLiteral("^[a-z_]+$"));
            if (!word.match(key).hasMatch() || value.contains(u' ') || value.contains(u'\'') ||
                value.contains(u';'))
                return refuse(QStringLiteral("the option '%1' cannot be passed on").arg(rawKey),
                              UrlProblem::BadOption, rawKey);
            a.options << key + u'=' + value;
        }
    }
    return a;
}

}  // namespace pb::records
