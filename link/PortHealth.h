#pragma once
// How well a port carried one run: what went wrong on the line, counted by the link, so
// that a worn cable, a noisy bus or a failing adapter shows in the records beside the
// units it tested.

#include <QJsonObject>

namespace pb {

struct PortHealth {
    int retries = 0;          // commands sent again after a failed try
    int badChecksums = 0;     // replies that came whole and failed their checksum
    int noReplies = 0;        // commands no complete reply answered in time
    qint64 skippedBytes = 0;  // bytes before a reply's lead byte: an echo, noise

    bool operator==(const PortHealth&) const = default;
};

// {"retries", "badChecksums", "noReplies", "skippedBytes"}, always all four.
QJsonObject ToJson(const PortHealth& health);
PortHealth PortHealthFromJson(const QJsonObject& o);

}  // namespace pb
