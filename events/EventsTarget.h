#pragma once
// Where a station's live events go: mqtt://HOST:PORT/PREFIX (or mqtts:// over TLS with the
// system's certificate authorities). A user name may come with the URL or its own option;
// a password only from a file, never from the URL.

#include <QString>
#include <optional>

namespace pb::events {

struct EventsTarget {
    bool tls = false;
    QString host;
    int port = 1883;
    QString prefix;        // topics go under it ("plant/line-1"); may be empty
    QString user;          // empty: anonymous
    QString passwordFile;  // its first line is the password; empty: none
};

// Null with `why` set for a URL this station cannot use.
std::optional<EventsTarget> ParseEventsUrl(const QString& url, QString* why = nullptr);

// A station's name as one topic level: '/', '+' and '#' (and spaces) become '_'.
QString TopicLevel(const QString& name);
// PREFIX/station/<station>/<leaf>.
QString StationTopic(const EventsTarget& target, const QString& station, const QString& leaf);

}  // namespace pb::events
