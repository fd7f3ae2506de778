#include "events/EventsTarget.h"

#include <QUrl>

namespace pb::events {

std::optional<EventsTarget> ParseEventsUrl(const QString& text, QString* why) {
    const auto refuse = [why](const QString& reason) -> std::optional<EventsTarget> {
        if (why) *why = reason;
        return std::nullopt;
    };
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts")))
        return refuse(QStringLiteral("an events URL reads mqtt://HOST:PORT/PREFIX or mqtts://HOST:PORT/PREFIX"));
    if (url.host().isEmpty()) return refuse(QStringLiteral("the events URL names no host"));
    if (!url.password().isEmpty())
        return refuse(QStringLiteral("a password never goes in the events URL: give --events-password-file"));
    if (url.hasQuery() || url.hasFragment()) return refuse(QStringLiteral("the events URL takes no query"));
    EventsTarget t;
    t.tls = scheme == QLatin1String("mqtts");
    t.host = url.host();
    t.port = url.port(t.tls ? 8883 : 1883);
    t.user = url.userName();
    t.prefix = url.path();
    while (t.prefix.startsWith(u'/')) t.prefix.remove(0, 1);
    while (t.prefix.endsWith(u'/')) t.prefix.chop(1);
    if (t.prefix.contains(u'+') || t.prefix.contains(u'#'))
        return refuse(QStringLiteral("the events prefix holds no MQTT wildcard (+ or #)"));
    return t;
}

QString TopicLevel(const QString& name) {
    QString level = name.isEmpty() ? QStringLiteral("_") : name;
    for (QChar& c : level)
        if (c == u'/' || c == u'+' || c == u'#' || c.isSpace()) c = u'_';
    return level;
}

QString StationTopic(const EventsTarget& target, const QString& station, const QString& leaf) {
    const QString tail = QStringLiteral("station/%1/%2").arg(TopicLevel(station), leaf);
    return target.prefix.isEmpty() ? tail : target.prefix + u'/' + tail;
}

}  // namespace pb::events
